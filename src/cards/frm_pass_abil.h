#pragma once
// The reader association window: one check box per reader, labelled with its location, showing
// and (while the cards window edits a card) changing the card's reader flags LettoriCarta. Nothing
// reaches the database until the cards window saves the card.

#include "core/app.h"

namespace vc {

class FrmPassAbil final : public Form {
public:
    static constexpr const char* kName = "FrmPassAbil";
    explicit FrmPassAbil(App& app);

    TabControl SSTab1{*this, "SSTab1"};
    Frame Frame1{*this, "Frame1", &SSTab1};
    Frame Frame2{*this, "Frame2", &SSTab1};
    // Box i stands for reader i + 1: readers 1-32 on the first tab, 33-64 on the second.
    ControlArray<CheckBox, 64> Check1{*this, "Check1",
                                      [this](int i) -> Control& { return i < 32 ? Frame1 : Frame2; }};
    CommandButton Command1{*this, "Command1"};

    void Command1_Click();

protected:
    void Form_Load() override;
    // Closing the window another way keeps the flags as they were and brings the cards window back.
    void Form_QueryClose() override;

private:
    void RitornaAlleCarte();

    App& app_;
};

}  // namespace vc
