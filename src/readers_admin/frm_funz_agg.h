#pragma once
// The other-options window: the less frequent administration tasks (users report, random check
// on demand, anti-pass-back reset, programming every card into every reader, erasing every
// reader's stored transits) and the doors to the download, history, schedules and password
// windows.

#include "common/comando_carta.h"
#include "core/app.h"

namespace vc {

class CorsaInterrompibile;

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
    // How a run over the readers ended; a failure has been told by then.
    enum class Esito { Completata, Fallita, Interrotta };
    // The run of "Upload carte" once its checks passed, reader by reader.
    Esito ProgrammaTutteLeCarte(CorsaInterrompibile& corsa);
    Esito ProgrammaLettore(CorsaInterrompibile& corsa);
    void RifiutaCarta(const Recordset& carta);
    std::string LettoreDi(int i) const;
    std::string TestoUploadInterrotto() const;
    // The run of the erase once confirmed.
    Esito CancellaTuttiGliStorici(CorsaInterrompibile& corsa, int& cancellati);

    App& app_;
    // Of the "Upload carte" run under way.
    CarteRifiutate rifiutate_;
    struct {
        int lettore;  // 0-based, the reader under way
        long carta;   // the cards it has taken
        long carte;   // the cards of the table
    } upload_{};
};

}  // namespace vc
