#include "cards/frm_pass_abil.h"

#include <cstddef>

#include "platform/layout.h"
#include "readers_admin/frm_conf_lettori.h"

namespace vc {

FrmPassAbil::FrmPassAbil(App& app) : Form(app, kName), app_(app) {
    setCaption("Varcanto - associa lettori");
    geometry = {0, 0, 640, 420};
    SSTab1.TabCaptions = {"Lettori 1-32", "Lettori 33-64"};
    layOut({
        {SSTab1, {10, 10, 620, 350}},
        {Frame1, "Lettori", {10, 30, 600, 310}},
        {Frame2, "Lettori", {10, 30, 600, 310}},
        {Command1, "Ok", {270, 370, 100, 36}},
    });
    Frame1.page = 0;
    Frame2.page = 1;
    // Four columns of eight readers on each page.
    for (int i = 0; i < 64; ++i) {
        const int k = i % 32;
        Check1[i].place(12 + (k / 8) * 146, 22 + (k % 8) * 34, 140, 26);
    }
    wire(*this, {
        {Command1.Click, &FrmPassAbil::Command1_Click},
    });
}

void FrmPassAbil::Form_Load() {
    // Outside the new and edit states the flags are only shown.
    Frame1.setEnabled(app_.ModificaAttiva);
    Frame2.setEnabled(app_.ModificaAttiva);
    SSTab1.setTab(0);
    for (int i = 0; i < 64; ++i) {
        Check1[i].setEnabled(false);
        Check1[i].setCaption("");
        Check1[i].setValue(0);
    }
    Data& lettori = DatiLettori(app_);
    try {
        lettori.Refresh();
        Recordset& rs = *lettori.recordset();
        for (int i = 0; i < 64 && !rs.EOF_(); ++i, rs.MoveNext()) {
            Check1[i].setEnabled(true);
            Check1[i].setCaption(rs.field("SituatoPresso").str());
            Check1[i].setValue(app_.LettoriCarta[static_cast<std::size_t>(i)]);
        }
        lettori.Refresh();
    } catch (const DbError& e) {
        app_.MsgBox(std::string("Impossibile leggere i lettori: ") + e.what(), mb::Critical, "Errore");
    }
}

void FrmPassAbil::Command1_Click() {
    // Every element is written: those beyond the last reader become 0.
    for (int i = 0; i < 64; ++i)
        app_.LettoriCarta[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(Check1[i].Value());
    RitornaAlleCarte();
}

void FrmPassAbil::Form_QueryClose() { RitornaAlleCarte(); }

void FrmPassAbil::RitornaAlleCarte() {
    Form& carte = app_.form("FrmCardsAbil");
    carte.setEnabled(true);
    Unload();
    carte.Show();
}

}  // namespace vc
