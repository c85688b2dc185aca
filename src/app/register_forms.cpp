#include "app/register_forms.h"

#include "cards/frm_card_search.h"
#include "cards/frm_cards_abil.h"
#include "cards/frm_def_fasce.h"
#include "cards/frm_fasce_online.h"
#include "cards/frm_pass_abil.h"
#include "core/main/frm_main.h"
#include "core/main/frm_wait.h"
#include "core/settings/frm_prog_setup.h"
#include "history/frm_view_storia.h"
#include "password/frm_chk_passw.h"
#include "password/frm_gest_passw.h"
#include "readers_admin/frm_conf_lettori.h"
#include "readers_admin/frm_down_load.h"
#include "readers_admin/frm_funz_agg.h"
#include "readers_admin/frm_util_tessaro.h"

namespace vc {

void registerForms(App& app) {
    app.registerForm<FrmMain>();
    app.registerForm<FrmWait>();
    app.registerForm<FrmFasceOnline>();
    app.registerForm<FrmCardsAbil>();
    app.registerForm<FrmPassAbil>();
    app.registerForm<FrmCardSearch>();
    app.registerForm<FrmDefFasce>();
    app.registerForm<FrmProgSetup>();
    app.registerForm<FrmChkPassw>();
    app.registerForm<FrmGestPassw>();
    app.registerForm<FrmConfLettori>();
    app.registerForm<FrmViewStoria>();
    app.registerForm<FrmUtilTessaro>();
    app.registerForm<FrmFunzAgg>();
    app.registerForm<FrmDownLoad>();
}

}  // namespace vc
