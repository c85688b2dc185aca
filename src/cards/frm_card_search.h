#pragma once
// The card search: moves the cards window to the first card, in record order, whose number
// (without leading zeros) or surname equals the text typed, exactly.

#include <cstdint>

#include "core/app.h"

namespace vc {

class FrmCardSearch final : public Form {
public:
    static constexpr const char* kName = "FrmCardSearch";
    explicit FrmCardSearch(App& app);

    Frame Frame1{*this, "Frame1"};
    ComboBox Combo1{*this, "Combo1", &Frame1};
    Frame Frame2{*this, "Frame2"};
    TextBox text1{*this, "text1", &Frame2};
    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};

    void Combo1_Click();
    void Command1_Click();
    void Command2_Click();

    // The field searched: 0 none chosen yet, 1 the card number, 2 the surname.
    std::int16_t TipoRicerca = 0;

protected:
    void Form_Load() override;
    // Closing the window is giving up the search, so the cards window comes back.
    void Form_QueryClose() override { Command2_Click(); }

private:
    std::string Chiave(const Recordset& carta) const;
    void RitornaAlleCarte();

    App& app_;
};

}  // namespace vc
