#pragma once
// The card-archive utilities for the archive reader family: builds an archive file by reading
// cards on the reader shown by the readers window, and loads an archive into that reader.
//
// The archive App.Path/<name>.txt holds one quoted record a line: a 3-digit record number, then
// the card code the reader reports (its poll reply without the first 8 and the last 2
// characters). Records are only ever appended; characters 4-9 are the key.

#include <string>
#include <vector>

#include "core/app.h"

namespace vc {

class FrmUtilTessaro final : public Form {
public:
    static constexpr const char* kName = "FrmUtilTessaro";
    explicit FrmUtilTessaro(App& app);

    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};
    CommandButton Command3{*this, "Command3"};
    CommandButton Command4{*this, "Command4"};
    Label Label1{*this, "Label1"};
    Label Label2{*this, "Label2"};
    ProgressBar ProgressBar1{*this, "ProgressBar1"};

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    // True when no record of the archive at 'percorso' has 'codice' as its key.
    bool controllo_stringa(const std::string& codice, const std::string& percorso);

protected:
    void Form_Load() override;
    // The title-bar close goes back to the readers window, and only while idle.
    void Form_QueryClose() override;

private:
    class Costruzione;
    void Disponi();
    bool PreparaArchivio(std::string& percorso, int& prossimo);
    std::string ChiediNomeFile();
    bool Leggi(const std::string& percorso, std::vector<std::string>& record);
    std::string PrefissoLettore();
    bool LeggiCarta(std::string& codice);
    void Pausa();
    void MostraInattivo();

    App& app_;
    bool Interrompi = false;
};

}  // namespace vc
