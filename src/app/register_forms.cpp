#include "app/register_forms.h"

#include "core/main/finestra_vuota.h"
#include "core/main/frm_main.h"
#include "core/main/frm_wait.h"
#include "core/settings/frm_prog_setup.h"
#include "password/frm_chk_passw.h"
#include "readers_admin/frm_conf_lettori.h"

namespace vc {

void registerForms(App& app) {
    app.registerForm<FrmMain>();
    app.registerForm<FrmWait>();
    app.registerForm<FrmProgSetup>();
    app.registerForm<FrmChkPassw>();
    app.registerForm<FrmConfLettori>();
    auto vuota = [&app](const char* name, const char* caption) {
        app.registerForm(name, [name, caption](App& a) { return std::make_unique<FinestraVuota>(a, name, caption); });
    };
    vuota("FrmCardsAbil", "Varcanto - abilitazione carte");
    vuota("FrmFunzAgg", "Varcanto - altre opzioni");
}

}  // namespace vc
