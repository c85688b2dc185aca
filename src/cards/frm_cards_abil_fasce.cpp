// The cards window's "Fasce orarie": the stand-alone bands of a stand-alone card, or the on-line
// schedule of an on-line card shown read-only on the schedules window.

#include "cards/frm_cards_abil.h"
#include "cards/frm_def_fasce.h"
#include "common/carte.h"

namespace vc {

namespace {
template <class C>
C& SuFasceOnline(App& app, const char* nome, int indice = -1) {
    return app.control<C>("FrmFasceOnline", nome, indice);
}
}  // namespace

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
        vista.text1[k].setText(app_.control<TextBox>("FrmProgSetup", "Text5", k).Text());
        vista.Text2[k].setText(app_.control<TextBox>("FrmProgSetup", "Text6", k).Text());
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
    app_.form("FrmFasceOnline").Show();
    // Only "Esci" is left: the view shows the card's schedule, it does not edit it.
    for (const char* pulsante : {"Command1", "Command2", "Command3", "Command5", "Command6", "Command7", "Command8"})
        SuFasceOnline<CommandButton>(app_, pulsante).setEnabled(false);
    SuFasceOnline<CommandButton>(app_, "Command4").setEnabled(true);
    SuFasceOnline<Frame>(app_, "Frame4").setCaption("N.Carta");
    PresentaFasciaCarta(*fascia);
    SuFasceOnline<Label>(app_, "Label5").setCaption(Text4.Text());
}

void FrmCardsAbil::PresentaFasciaCarta(const Recordset& fascia) {
    SuFasceOnline<TextBox>(app_, "Text5").setText(fascia.field("Nome").str());
    for (int d = 0; d < 7; ++d) {
        SuFasceOnline<CheckBox>(app_, "Check1", d).setValue(0);
        SuFasceOnline<Frame>(app_, "Frame2", d).setForeColor(colour::Red);
    }
    // An enabled day is named in green, a disabled one in red.
    for (int d = 0; d < 7; ++d) {
        if (!fascia.field(CampiGiorni[static_cast<std::size_t>(d)]).toBool()) continue;
        SuFasceOnline<CheckBox>(app_, "Check1", d).setValue(1);
        SuFasceOnline<Frame>(app_, "Frame2", d).setForeColor(colour::Green);
    }
    const char* orari[] = {"text1", "Text2", "Text3", "Text4"};
    for (int d = 0; d < 7; ++d)
        for (int b = 0; b < 4; ++b)
            SuFasceOnline<TextBox>(app_, orari[b], d)
                .setText(fascia.field(CampiOrari[static_cast<std::size_t>(d * 4 + b)]).str());
    SuFasceOnline<TextBox>(app_, "Text5").setLocked(true);
    SuFasceOnline<Frame>(app_, "Frame1").setEnabled(false);
    SuFasceOnline<Frame>(app_, "Frame3").setEnabled(true);
}

}  // namespace vc
