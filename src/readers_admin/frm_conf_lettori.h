#pragma once
// The readers window: browses, creates, edits and deletes the rows of "Lettori", checks a row
// before it is written, and starts the programming of the reader shown and, for the archive
// reader family, the card-archive utilities. Its data control on "Lettori" is also what the
// reader table and the reader-association window read the readers from.

#include <vector>

#include "core/app.h"

namespace vc {

class FieldControl;

class FrmConfLettori final : public Form {
public:
    static constexpr const char* kName = "FrmConfLettori";
    explicit FrmConfLettori(App& app);

    Frame Frame1{*this, "Frame1"};
    Label Label1{*this, "Label1", &Frame1};
    TextBox Text2{*this, "Text2", &Frame1};
    ComboBox Combo1{*this, "Combo1", &Frame1};
    Label Label2{*this, "Label2", &Frame1};
    TextBox Text3{*this, "Text3", &Frame1};
    Label Label3{*this, "Label3", &Frame1};
    TextBox Text4{*this, "Text4", &Frame1};
    Label Label4{*this, "Label4", &Frame1};
    TextBox Text5{*this, "Text5", &Frame1};
    Label Label5{*this, "Label5", &Frame1};
    TextBox Text6{*this, "Text6", &Frame1};
    ComboBox Combo2{*this, "Combo2", &Frame1};
    Frame Frame2{*this, "Frame2"};
    Label Label6{*this, "Label6", &Frame2};
    ControlArray<TextBox, 4> Text7{*this, "Text7", &Frame2};
    Label Label7{*this, "Label7", &Frame2};
    ControlArray<TextBox, 6> Text8{*this, "Text8", &Frame2};
    Frame Frame3{*this, "Frame3"};
    Label Label8{*this, "Label8", &Frame3};
    TextBox Text9{*this, "Text9", &Frame3};
    Label Label9{*this, "Label9", &Frame3};
    TextBox Text10{*this, "Text10", &Frame3};
    Frame Frame6{*this, "Frame6"};
    CheckBox Check1{*this, "Check1", &Frame6};
    CheckBox Check2{*this, "Check2", &Frame6};
    CheckBox Check3{*this, "Check3", &Frame6};
    Frame Frame4{*this, "Frame4"};
    CommandButton Command1{*this, "Command1", &Frame4};
    CommandButton Command2{*this, "Command2", &Frame4};
    CommandButton Command3{*this, "Command3", &Frame4};
    CommandButton Command4{*this, "Command4", &Frame4};
    CommandButton Command5{*this, "Command5", &Frame4};
    Label Label11{*this, "Label11", &Frame4};
    CommandButton Command6{*this, "Command6"};
    CommandButton Command8{*this, "Command8"};
    CommandButton Command7{*this, "Command7"};
    Data Data1{*this, "Data1"};

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();

    // The row check: the first field in error shows its message and gives false. Rewrites the
    // plant code to its 6 digits on the way.
    bool controllo_dati_lettore();

protected:
    void Form_Load() override;
    // The title-bar close leaves the window as its back button does, and only when that may.
    void Form_QueryClose() override;

private:
    void Disponi();
    void BloccaCampiLettore();
    void SbloccaCampiLettore();
    std::int16_t ContaLettori();
    void VaiAlLettore(std::int16_t posizione);
    std::vector<FieldControl> CampiLettore();
    void PresentaLettore();
    void MostraUtilities(bool si);
    void PulisciCampiLettore(int modo);
    void Contatore();
    void TabellaVuota();
    void ModoInserimento(const char* contatore);
    void ModoConsultazione();
    bool IndirizzoLibero(std::int16_t loop, std::int16_t indirizzo);
    void ScriviLettore();
    void Salva();
    bool SchedaK880();

    App& app_;
};

// The readers window's data control on "Lettori", which the reader table is loaded from; touching
// it loads the window (hidden) when it is not loaded yet.
inline Data& DatiLettori(App& app) { return app.form<FrmConfLettori>().Data1; }

}  // namespace vc
