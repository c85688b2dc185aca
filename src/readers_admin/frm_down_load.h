#pragma once
// The download window: collects the transits stored in one reader or in every reader into the
// table "Storico", with the card holder's name, and erases the readers' memory afterwards when
// the settings ask for it.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/app.h"

namespace vc {

class CorsaInterrompibile;
struct TransitoScaricato;

class FrmDownLoad final : public Form {
public:
    static constexpr const char* kName = "FrmDownLoad";
    explicit FrmDownLoad(App& app);

    Frame Frame1{*this, "Frame1"};
    OptionButton Option1{*this, "Option1", &Frame1};
    OptionButton Option2{*this, "Option2", &Frame1};
    ComboBox Combo1{*this, "Combo1", &Frame1};
    Label Label1{*this, "Label1"};
    Label Label2{*this, "Label2"};
    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};
    Data Data1{*this, "Data1"};
    Data Data2{*this, "Data2"};

    void Option1_Click();
    void Option2_Click();
    void Command1_Click();
    void Command2_Click();

protected:
    void Form_Load() override;
    // Closing the window is "Annulla": the other-options window waits disabled until then, and
    // during a run it stops the run first.
    void Form_QueryClose() override { Command2_Click(); }

private:
    // How a phase ends when no reader failed (a failing reader gives its index instead).
    static constexpr int Completata = -1, Interrotta = -2;
    class Corsa;

    void Disponi();
    // The indexes of the readers to download, or nothing when the choice is wrong (said why).
    std::optional<std::vector<int>> LettoriScelti();
    // The three phases, each only after the one before it completed.
    int Scarica(const std::vector<int>& lettori);
    int Sonda(const std::vector<int>& lettori);
    int Raccogli(const std::vector<int>& lettori);
    int CancellaMemorie(const std::vector<int>& lettori);
    void Memorizza(int lettore, const TransitoScaricato& transito);
    // Cognome and Nome of the card with that number, "" for both when there is none.
    std::pair<std::string, std::string> Intestatario(const std::string& numeroCarta);
    void AvvisaScartati();
    // "Operazione completata.", naming the readers left unerased for their records left out.
    std::string TestoCompletata() const;
    void AvvisaInterruzione(std::size_t scelti);
    void Chiudi();

    App& app_;
    CorsaInterrompibile* corsa_ = nullptr;  // the run under way
    int cancellati_ = 0;                // readers erased by this run
    std::map<int, int> scartati_;       // reader index -> malformed records not stored
    std::vector<int> nonCancellati_;    // readers not erased for the records they keep
};

}  // namespace vc
