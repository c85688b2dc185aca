#pragma once
// The settings window: edits every setting of "Accessi.ini" but the serial port and the count
// of people inside. Other code reads some of its controls live (the board box, the download's
// erase box, the maximum-inside box and field, the stand-alone band times, the data controls of
// the random check): touching them loads the window hidden, which reads the file again. The
// station's core reads them through the functions at the end of this file.

#include <string>

#include "core/app.h"

namespace vc {

class FrmProgSetup final : public Form {
public:
    static constexpr const char* kName = "FrmProgSetup";
    explicit FrmProgSetup(App& app);

    Frame Frame1{*this, "Frame1"};
    Label Label1{*this, "Label1", &Frame1};
    Label Label2{*this, "Label2", &Frame1};
    CheckBox Check1{*this, "Check1", &Frame1};
    Label Label3{*this, "Label3", &Frame1};
    TextBox text1{*this, "text1", &Frame1};
    CheckBox Check2{*this, "Check2", &Frame1};
    Label Label4{*this, "Label4", &Frame1};
    TextBox Text2{*this, "Text2", &Frame1};
    CheckBox Check3{*this, "Check3", &Frame1};
    Label Label8{*this, "Label8", &Frame1};
    TextBox Text3{*this, "Text3", &Frame1};
    Label Label5{*this, "Label5", &Frame1};
    TextBox Text4{*this, "Text4", &Frame1};
    OptionButton Option1{*this, "Option1", &Frame1};
    OptionButton Option2{*this, "Option2", &Frame1};
    CheckBox Check4{*this, "Check4", &Frame1};
    Frame Frame2{*this, "Frame2", &Frame1};
    ControlArray<Frame, 3> Frame3{*this, "Frame3", &Frame2};
    ControlArray<Label, 3> Label6{*this, "Label6", [this](int i) -> Control& { return Frame3[i]; }};
    ControlArray<TextBox, 3> Text5{*this, "Text5", [this](int i) -> Control& { return Frame3[i]; }};
    ControlArray<Label, 3> Label7{*this, "Label7", [this](int i) -> Control& { return Frame3[i]; }};
    ControlArray<TextBox, 3> Text6{*this, "Text6", [this](int i) -> Control& { return Frame3[i]; }};
    Frame Frame4{*this, "Frame4"};
    CheckBox Check5{*this, "Check5", &Frame4};
    Image Image1{*this, "Image1", &Frame4};
    CheckBox Check6{*this, "Check6", &Frame4};
    Image Image2{*this, "Image2", &Frame4};
    Label Label9{*this, "Label9", &Frame4};
    TextBox Text7{*this, "Text7", &Frame4};
    CheckBox Check7{*this, "Check7", &Frame4};
    Image Image3{*this, "Image3", &Frame4};
    CheckBox Check8{*this, "Check8", &Frame4};
    TextBox Text9{*this, "Text9", &Frame4};
    Label Label11{*this, "Label11", &Frame4};
    TextBox Text10{*this, "Text10", &Frame4};
    Frame Frame5{*this, "Frame5", &Frame4};
    CheckBox Check9{*this, "Check9", &Frame5};
    CheckBox Check10{*this, "Check10", &Frame5};
    Frame Frame6{*this, "Frame6", &Frame4};
    Label Label10{*this, "Label10", &Frame6};
    TextBox Text8{*this, "Text8", &Frame6};
    CommandButton Command1{*this, "Command1"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};

    void Command1_Click();
    void Check4_Click();
    void Check5_Click();
    void Check6_Click();
    void Check7_Click();
    void Check8_Click();

    // The settings check: the first field in error shows its message and gives false.
    bool controllo_impostazioni();

protected:
    void Form_Load() override;
    // Closing the window is leaving it: the fields are checked and saved as by the button.
    void Form_QueryClose() override { Command1_Click(); }

private:
    void Disponi();
    void MostraImpostazioni();
    void Salva();

    App& app_;
};

// What other code reads live of the settings window: each read loads the window (hidden) when it
// is not loaded yet, which reads the file again.
// The board box: the readers sit behind the board.
inline bool ModoScheda(App& app) { return app.form<FrmProgSetup>().Check1.checked(); }
// The box that erases the readers' memory after a download.
inline bool CancellaDopoScarico(App& app) { return app.form<FrmProgSetup>().Check2.checked(); }
// The maximum-inside box, and its field as typed.
inline bool MassimoIngressiAttivo(App& app) { return app.form<FrmProgSetup>().Check3.Value() == 1; }
inline const std::string& MassimoIngressiScritto(App& app) { return app.form<FrmProgSetup>().Text3.Text(); }
// Band k (0..2) of the stand-alone cards, its start and its end as typed.
inline const std::string& InizioBanda(App& app, int k) { return app.form<FrmProgSetup>().Text5[k].Text(); }
inline const std::string& FineBanda(App& app, int k) { return app.form<FrmProgSetup>().Text6[k].Text(); }
// The data controls the random check binds to "Carte" and "Fasce".
inline Data& DatiCarteImparziale(App& app) { return app.form<FrmProgSetup>().Data1; }
inline Data& DatiFasceImparziale(App& app) { return app.form<FrmProgSetup>().Data2; }

// A file base name: empty, or at most 8 characters without ".". Shows why when it is not.
bool ControllaNomeFile(App& app, const std::string& nome);

}  // namespace vc
