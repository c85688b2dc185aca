#pragma once
// The other-options window: the less frequent administration tasks (users report, random check
// on demand, anti-pass-back reset, programming every card into every reader, erasing every
// reader's stored transits) and the doors to the download, history, schedules and password
// windows.

#include "common/comando_carta.h"
#include "core/app.h"

namespace vc {

class FrmFunzAgg final : public Form {
public:
    static constexpr const char* kName = "FrmFunzAgg";
    explicit FrmFunzAgg(App& app);

    CommandButton Command1{*this, "Command1"};
    CommandButton Command10{*this, "Command10"};
    CommandButton Command5{*this, "Command5"};
    CommandButton Command6{*this, "Command6"};
    CommandButton Command7{*this, "Command7"};
    CommandButton Command2{*this, "Command2"};
    CommandButton Command3{*this, "Command3"};
    CommandButton Command8{*this, "Command8"};
    CommandButton Command9{*this, "Command9"};
    CommandButton Command4{*this, "Command4"};
    Image Image1{*this, "Image1"};
    Image Image2{*this, "Image2"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();

protected:
    void Form_Load() override;
    // Closing the window is going back to the main window, which would otherwise stay hidden.
    void Form_QueryClose() override { Command4_Click(); }

private:
    void Disponi();
    void ApriSitoDb(Data& data, const char* tabella);
    // The run of "Upload carte" once its checks passed: false at the first failing reader.
    bool ProgrammaTutteLeCarte();
    bool ProgrammaLettore(int i);
    void RifiutaCarta(const Recordset& carta);
    // The run of the erase once confirmed: the index of the first failing reader, or -1.
    int CancellaTuttiGliStorici();

    App& app_;
    CarteRifiutate rifiutate_;  // of the "Upload carte" run under way
};

}  // namespace vc
