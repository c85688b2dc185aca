#pragma once
// The cards window: browses, creates, edits and deletes the rows of "Carte", and starts the
// companions that act on the card shown (reader association, search, bands and schedule views,
// programming into the readers, external card registration, random-check release).
// No control is bound to a field: one table of fields and controls serves the display routines,
// which copy the current record of Data1 into the controls, and the save, which copies them
// back. The mode (browse, new, edit) lives in the captions of Command3 and Command4 and in App's
// NuovoUtente / ModificaAttiva.

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/app.h"

namespace vc {

class FieldControl;

class FrmCardsAbil final : public Form {
public:
    static constexpr const char* kName = "FrmCardsAbil";
    explicit FrmCardsAbil(App& app);

    Frame Frame1{*this, "Frame1"};
    Label Label1{*this, "Label1", &Frame1};
    TextBox text1{*this, "text1", &Frame1};
    Label Label2{*this, "Label2", &Frame1};
    TextBox Text2{*this, "Text2", &Frame1};
    Label Label3{*this, "Label3", &Frame1};
    TextBox Text3{*this, "Text3", &Frame1};
    Label Label4{*this, "Label4", &Frame1};
    TextBox Text4{*this, "Text4", &Frame1};
    Label Label5{*this, "Label5", &Frame1};
    TextBox Text5{*this, "Text5", &Frame1};

    Frame Frame2{*this, "Frame2"};
    Frame Frame3{*this, "Frame3", &Frame2};
    CheckBox Check1{*this, "Check1", &Frame3};
    CheckBox Check5{*this, "Check5", &Frame3};
    Frame Frame4{*this, "Frame4", &Frame2};
    CheckBox Check2{*this, "Check2", &Frame4};
    CheckBox Check3{*this, "Check3", &Frame4};
    Frame Frame5{*this, "Frame5", &Frame2};
    Frame Frame7{*this, "Frame7", &Frame5};
    OptionButton Option1{*this, "Option1", &Frame7};
    OptionButton Option2{*this, "Option2", &Frame7};
    Frame Frame8{*this, "Frame8", &Frame5};
    OptionButton Option3{*this, "Option3", &Frame8};
    OptionButton Option4{*this, "Option4", &Frame8};
    Frame Frame9{*this, "Frame9", &Frame5};
    OptionButton Option5{*this, "Option5", &Frame9};
    OptionButton Option6{*this, "Option6", &Frame9};
    Frame Frame10{*this, "Frame10", &Frame5};
    OptionButton Option7{*this, "Option7", &Frame10};
    OptionButton Option8{*this, "Option8", &Frame10};

    Frame Frame6{*this, "Frame6"};
    Label Label7{*this, "Label7", &Frame6};
    ComboBox Combo1{*this, "Combo1", &Frame6};
    CheckBox Check4{*this, "Check4", &Frame6};

    Frame Frame11{*this, "Frame11"};
    OptionButton Option9{*this, "Option9", &Frame11};
    OptionButton Option10{*this, "Option10", &Frame11};
    OptionButton Option11{*this, "Option11", &Frame11};
    OptionButton Option12{*this, "Option12", &Frame11};

    Label Label6{*this, "Label6"};
    CommandButton Command12{*this, "Command12"};
    CommandButton Command2{*this, "Command2"};
    CommandButton Command1{*this, "Command1"};
    CommandButton Command13{*this, "Command13"};
    CommandButton Command3{*this, "Command3"};
    CommandButton Command4{*this, "Command4"};
    CommandButton Command5{*this, "Command5"};
    CommandButton Command6{*this, "Command6"};
    CommandButton Command8{*this, "Command8"};
    CommandButton Command9{*this, "Command9"};
    CommandButton Command10{*this, "Command10"};
    CommandButton Command11{*this, "Command11"};
    CommandButton Command14{*this, "Command14"};
    CommandButton Command15{*this, "Command15"};
    CommandButton Command7{*this, "Command7"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();
    void Command12_Click();
    void Command13_Click();
    void Command14_Click();
    void Command15_Click();
    void Check4_Click();
    void Check5_Click();

    // The display routines the companions share.
    void PresentaCarta();
    void PulisciCarta(int modo);  // 1 puts the defaults of a new card
    void AbilitaOpzioniCarta();
    // Counter, PresentaCarta, LettoriCarta from the record, AbilitaOpzioniCarta.
    void MostraCarta();
    // Data1 refreshed and moved forward to 'posizione' (1-based), which becomes PosizioneCarta.
    void PortaAllaCarta(std::int16_t posizione);
    // "position / count" in Label6.
    void Contatore();
    // LettoriCarta from the current record's "Lettore".
    void CaricaLettoriCarta();

    bool controllo_dati_carta();
    void BloccaCampiCarta();
    void SbloccaCampiCarta();
    void ContaCarte(std::int16_t& conta);
    // Programs the card shown into every reader: "B" where it is enabled, "C" elsewhere.
    void upload_carta();
    // Shows a schedule record (the one the look-up found) on the schedules window, read-only.
    void PresentaFasciaCarta(const Recordset& fascia);
    // Tells the operator that the cards could not be read or written.
    void ErroreDatabase(const DbError& e);

protected:
    void Form_Load() override;
    // The title-bar close leaves as "Ritorna alla pagina principale" does, and only when that
    // button could be pressed, so an entry in progress is never dropped unasked.
    void Form_QueryClose() override { Command7.click(); }

private:
    void Disponi();
    std::vector<FieldControl> CampiCarta();
    void RiempiTurni();
    void StatoVuoto();
    // Enables or disables the buttons Command<n> of the numbers given.
    void Abilita(std::initializer_list<int> numeri, bool abilitati);
    void NuovaCarta();
    void ModificaCarta();
    void AnnullaModifica();
    void Salva();
    void ScriviCarta(Recordset& rs);
    // Walks Data2 from its first record to the schedule named 'nome' (both trimmed), yielding
    // at each record; the recordset on the schedule found, or null.
    HeldRecordset TrovaFascia(const std::string& nome);
    void Vai(bool possibile, std::int16_t posizione, void (Recordset::*mossa)());
    void MostraBandeStandAlone();
    void MostraTurnoOnLine();
    void RegistraCartaEsterna();
    bool AttendiCartaEsterna(std::string& risposta, DatiLettore& lettore);
    void RilasciaImparziale();

    App& app_;
    std::array<CommandButton*, 15> pulsanti_;  // Command1 .. Command15
};

}  // namespace vc
