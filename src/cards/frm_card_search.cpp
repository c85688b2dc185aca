#include "cards/frm_card_search.h"

#include "cards/frm_cards_abil.h"
#include "common/text.h"
#include "common/val.h"
#include "platform/layout.h"

namespace vc {

FrmCardSearch::FrmCardSearch(App& app) : Form(app, kName), app_(app) {
    setCaption("Varcanto - ricerca");
    geometry = {0, 0, 360, 230};
    layOut({
        {Frame1, "Seleziona il campo", {10, 10, 340, 60}},
        {Combo1, {12, 24, 316, 24}},
        {Frame2, {10, 80, 340, 60}},
        {text1, {12, 24, 316, 24}},
        {Command1, "Ok", {60, 160, 110, 36}},
        {Command2, "Annulla", {190, 160, 110, 36}},
    });
    Combo1.AddItem("Numero carta");
    Combo1.AddItem("Cognome");
    Command1.isDefault = true;
    wire(*this, {
        {Combo1.Click, &FrmCardSearch::Combo1_Click},
        {Command1.Click, &FrmCardSearch::Command1_Click},
        {Command2.Click, &FrmCardSearch::Command2_Click},
    });
}

// Nothing can be searched before a field is chosen.
void FrmCardSearch::Form_Load() {
    text1.setEnabled(false);
    Command1.setEnabled(false);
}

void FrmCardSearch::Combo1_Click() {
    TipoRicerca = 0;
    if (Combo1.Text() == "Numero carta") {
        Frame2.setCaption("Inserisci il numero carta");
        TipoRicerca = 1;
    }
    if (Combo1.Text() == "Cognome") {
        Frame2.setCaption("Inserisci il cognome");
        TipoRicerca = 2;
    }
    if (TipoRicerca == 0) return;
    text1.setEnabled(true);
    Command1.setEnabled(true);
}

// The number as a plain number (a stored "0045" is 45), the surname as stored.
std::string FrmCardSearch::Chiave(const Recordset& carta) const {
    if (TipoRicerca == 1) return Num(CLng(Val(carta.field("NumeroCarta").str())));
    return carta.field("Cognome").str();
}

void FrmCardSearch::Command1_Click() {
    FrmCardsAbil& carte = app_.form<FrmCardsAbil>();
    std::int16_t posizione = app_.PosizioneCarta;
    try {
        carte.Data1.Refresh();
        Recordset& rs = *carte.Data1.recordset();
        bool trovata = false;
        for (std::int16_t p = 1; !rs.EOF_(); ++p, rs.MoveNext()) {
            if (Chiave(rs) == text1.Text()) {
                trovata = true;
                posizione = p;
                break;
            }
        }
        if (!trovata) app_.MsgBox("Nessun record trovato.", mb::Information, "Messaggio");
        carte.PortaAllaCarta(posizione);
        carte.MostraCarta();
    } catch (const DbError& e) {
        carte.ErroreDatabase(e);
    }
    RitornaAlleCarte();
}

void FrmCardSearch::Command2_Click() { RitornaAlleCarte(); }

void FrmCardSearch::RitornaAlleCarte() {
    Unload();
    Form& carte = app_.form("FrmCardsAbil");
    carte.setEnabled(true);
    carte.Show();
}

}  // namespace vc
