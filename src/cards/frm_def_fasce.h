#pragma once
// The stand-alone bands view: the three daily bands of the settings, read-only, with the band of
// the card shown in the cards window highlighted. The cards window fills it and waits, disabled.

#include "core/app.h"

namespace vc {

class FrmDefFasce final : public Form {
public:
    static constexpr const char* kName = "FrmDefFasce";
    explicit FrmDefFasce(App& app);

    ControlArray<Frame, 3> Frame1{*this, "Frame1"};
    ControlArray<Label, 3> Label1{*this, "Label1", [this](int k) -> Control& { return Frame1[k]; }};
    ControlArray<TextBox, 3> text1{*this, "text1", [this](int k) -> Control& { return Frame1[k]; }};
    ControlArray<Label, 3> Label2{*this, "Label2", [this](int k) -> Control& { return Frame1[k]; }};
    ControlArray<TextBox, 3> Text2{*this, "Text2", [this](int k) -> Control& { return Frame1[k]; }};
    CommandButton Command1{*this, "Command1"};

    void Command1_Click();

protected:
    // Closing the window is leaving it, so the cards window comes back.
    void Form_QueryClose() override { Command1_Click(); }

private:
    App& app_;
};

}  // namespace vc
