#pragma once
// The on-line schedules window: browses, creates, edits and deletes the rows of "Fasce", one at a
// time. A save copies the schedule into every card that carries its name, a deletion strips it
// from them, so the access decision (which reads each card's own copy) follows the schedules.
// The mode (browse, new, edit) lives in the captions of Command1 and Command2.
// Opened for editing by the other-options window, or as a read-only view of one card's schedule
// by the cards window (FasceDaCarte); "Esci" goes back to the opener.

#include <array>
#include <cstdint>
#include <string>

#include "core/app.h"

namespace vc {

class FrmFasceOnline final : public Form {
public:
    static constexpr const char* kName = "FrmFasceOnline";
    explicit FrmFasceOnline(App& app);

    Frame Frame3{*this, "Frame3"};
    TextBox Text5{*this, "Text5", &Frame3};
    Frame Frame1{*this, "Frame1"};
    // One frame per day, 0 Monday .. 6 Sunday; each holds the day's tick and its two bands.
    ControlArray<Frame, 7> Frame2{*this, "Frame2", &Frame1};
    ControlArray<CheckBox, 7> Check1{*this, "Check1", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<Label, 7> Label1{*this, "Label1", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<TextBox, 7> text1{*this, "text1", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<Label, 7> Label2{*this, "Label2", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<TextBox, 7> Text2{*this, "Text2", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<Label, 7> Label3{*this, "Label3", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<TextBox, 7> Text3{*this, "Text3", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<Label, 7> Label4{*this, "Label4", [this](int i) -> Control& { return Frame2[i]; }};
    ControlArray<TextBox, 7> Text4{*this, "Text4", [this](int i) -> Control& { return Frame2[i]; }};
    CommandButton Command5{*this, "Command5"};
    CommandButton Command6{*this, "Command6"};
    CommandButton Command7{*this, "Command7"};
    CommandButton Command8{*this, "Command8"};
    Frame Frame4{*this, "Frame4"};
    Label Label5{*this, "Label5", &Frame4};
    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};
    CommandButton Command3{*this, "Command3"};
    CommandButton Command4{*this, "Command4"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};

    void Check1_Click(int i);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();

    // True when the name and the 28 times may be saved; shows a message for every failure met.
    bool controllo_dati_fascia();
    // Shows a schedule record (a row of "Fasce") in the fields, read-only; any window's
    // recordset on "Fasce" will do.
    void MostraFascia(const Recordset& fascia);

protected:
    void Form_Load() override;
    // The title-bar close leaves like "Esci", and only when "Esci" could be pressed, so the opener
    // always comes back and an entry in progress is never dropped unasked.
    void Form_QueryClose() override;

private:
    void Disponi();
    std::array<TextBox*, 4> OrariGiorno(int i);
    std::array<bool, 7> Giorni();
    std::array<std::string, 28> Orari();
    void PresentaFascia();
    void AggiornaContatore();
    void PulisciCampiFascia();
    void PreparaNuovaFascia();
    void RiposizionaFascia();
    void AbilitaOrari();
    void ModoModifica(const char* salva, const char* contatore);
    void ModoConsultazione();
    void MostraPosizione();
    void Vai(bool possibile, void (Recordset::*mossa)(), std::int16_t posizione);
    void Salva();
    void SalvaFascia();
    void AggiornaCarteFascia(Database& db);
    void TogliFasciaCarte(Database& db, const std::string& nome);
    std::int16_t ContaFasce();
    void MostraAttesa(int cedimenti = 0);
    void ChiudiAttesa();
    void ErroreDatabase(const DbError& e);

    App& app_;
    std::int16_t PosizioneFascia = 0;
    std::int16_t NumeroFasce = 0;
    std::int16_t PosizioneFasciaSalvata = 0;
};

}  // namespace vc
