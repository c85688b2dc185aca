// The cards window's "Fasce orarie": the stand-alone bands of a stand-alone card, or the on-line
// schedule of an on-line card shown read-only on the schedules window.

#include "cards/frm_cards_abil.h"
#include "cards/frm_def_fasce.h"
#include "cards/frm_fasce_online.h"
#include "common/carte.h"
#include "core/settings/frm_prog_setup.h"

namespace vc {

void FrmCardsAbil::Command9_Click() {
    if (Check5.checked())
        MostraTurnoOnLine();
    else
        MostraBandeStandAlone();
}

void FrmCardsAbil::MostraBandeStandAlone() {
    FrmDefFasce& vista = app_.form<FrmDefFasce>();
    auto colora = [&vista](int k, std::int32_t sfondo, std::int32_t testo) {
        for (TextBox* t : {&vista.text1[k], &vista.Text2[k]}) {
            t->setBackColor(sfondo);
            t->setForeColor(testo);
        }
    };
    for (int k = 0; k < 3; ++k) colora(k, colour::Red, colour::White);
    // "Attivo 24 ore" passes in every band.
    const bool tutte = Option12.Value();
    const bool scelte[] = {Option9.Value() || tutte, Option10.Value() || tutte, Option11.Value() || tutte};
    for (int k = 0; k < 3; ++k) {
        if (scelte[k]) colora(k, colour::Green, colour::Black);
        vista.text1[k].setLocked(true);
        vista.Text2[k].setLocked(true);
    }
    for (int k = 0; k < 3; ++k) {
        vista.text1[k].setText(InizioBanda(app_, k));
        vista.Text2[k].setText(FineBanda(app_, k));
    }
    setEnabled(false);
    vista.Show();
}

void FrmCardsAbil::MostraTurnoOnLine() {
    if (Combo1.Text().empty()) {
        app_.MsgBox("Non è stato inserito nessun turno.", mb::Exclamation, "Attenzione");
        return;
    }
    app_.form("FrmWait").Show();
    app_.FasceDaCarte = true;
    HeldRecordset fascia;
    try {
        // The walk yields: a click meanwhile (another look-up, a move, the way back) would show
        // a schedule over a card, or a window, that is no longer there.
        FormBusy occupata(*this);
        fascia = TrovaFascia(Combo1.Text());
    } catch (const DbError& e) {
        app_.form("FrmWait").Unload();
        return ErroreDatabase(e);
    }
    app_.form("FrmWait").Unload();
    if (!fascia) {
        app_.MsgBox("Il turno definito nelle fasce orarie non esiste.", mb::Exclamation, "Attenzione");
        return;
    }
    setEnabled(false);
    FrmFasceOnline& vista = app_.form<FrmFasceOnline>();
    vista.Show();
    // Only "Esci" is left: the view shows the card's schedule, it does not edit it.
    for (CommandButton* pulsante : {&vista.Command1, &vista.Command2, &vista.Command3, &vista.Command5,
                                    &vista.Command6, &vista.Command7, &vista.Command8})
        pulsante->setEnabled(false);
    vista.Command4.setEnabled(true);
    vista.Frame4.setCaption("N.Carta");
    PresentaFasciaCarta(*fascia);
    vista.Label5.setCaption(Text4.Text());
}

void FrmCardsAbil::PresentaFasciaCarta(const Recordset& fascia) {
    FrmFasceOnline& vista = app_.form<FrmFasceOnline>();
    vista.Text5.setText(fascia.field("Nome").str());
    for (int d = 0; d < 7; ++d) {
        vista.Check1[d].setValue(0);
        vista.Frame2[d].setForeColor(colour::Red);
    }
    // An enabled day is named in green, a disabled one in red.
    for (int d = 0; d < 7; ++d) {
        if (!fascia.field(CampiGiorni[static_cast<std::size_t>(d)]).toBool()) continue;
        vista.Check1[d].setValue(1);
        vista.Frame2[d].setForeColor(colour::Green);
    }
    for (int d = 0; d < 7; ++d) {
        TextBox* orari[] = {&vista.text1[d], &vista.Text2[d], &vista.Text3[d], &vista.Text4[d]};
        for (int b = 0; b < 4; ++b)
            orari[b]->setText(fascia.field(CampiOrari[static_cast<std::size_t>(d * 4 + b)]).str());
    }
    vista.Text5.setLocked(true);
    vista.Frame1.setEnabled(false);
    vista.Frame3.setEnabled(true);
}

}  // namespace vc
