#pragma once
// The main window: the program starts in its load handler and it stays while the program runs.
// It carries the reader line, the polling and automatic-output switches, the status of the last
// decision and the three timers (polling, timed outputs, daily random check).

#include "core/app.h"

namespace vc {

class FrmMain final : public Form {
public:
    static constexpr const char* kName = "FrmMain";
    explicit FrmMain(App& app);

    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};
    CommandButton Command3{*this, "Command3"};
    CommandButton Command7{*this, "Command7"};
    CommandButton Command4{*this, "Command4"};
    CommandButton Command6{*this, "Command6"};
    CommandButton Command5{*this, "Command5"};
    CommandButton Command8{*this, "Command8"};
    Label Label1{*this, "Label1"};
    Label Label2{*this, "Label2"};
    Frame Frame1{*this, "Frame1"};
    Label Label3{*this, "Label3", &Frame1};
    Frame Frame2{*this, "Frame2"};
    Label Label4{*this, "Label4", &Frame2};
    Label Label8{*this, "Label8"};
    Shape Shape1{*this, "Shape1"};
    Shape Shape2{*this, "Shape2"};
    Label Label7{*this, "Label7"};
    Label Label9{*this, "Label9"};  // lasting: decided passages not yet written
    ControlArray<Image, 13> Image1{*this, "Image1"};
    ControlArray<Image, 2> Image2{*this, "Image2"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};
    Data Data3{*this, "Data3"};
    Report Report1{*this, "Report1"};  // the users report of the other-options window
    Timer Timer1{*this, "Timer1"};
    Timer Timer2{*this, "Timer2", 10000};
    Timer Timer3{*this, "Timer3", 60000};
    Timer Timer4{*this, "Timer4", 1000};  // writes what waits in the journal

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command7_Click();
    void Command4_Click();
    void Command6_Click();
    void Command5_Click();
    void Timer1_Timer();
    // Every reader's timed output on (1) or off (0).
    void Settaggio_output_lettore(std::int16_t scom);

protected:
    void Form_Load() override;
    void Form_QueryClose() override;
    // F1 and the letter A unlock a reader.
    void Form_KeyDown(int keyCode, int shift) override;
    void Form_KeyPress(int& keyAscii) override;

private:
    void ApriConPassword(const char* finestra);
    void AbilitaConfigurazione();
    void LeggiImpostazioniAllAvvio();
    void ApriPortaSeriale();
    void CopiaDatabaseReport();

    App& app_;
};

}  // namespace vc
