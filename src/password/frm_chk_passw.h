#pragma once
// The login dialog in front of the administration windows. With no password set it closes at
// once and grants access; otherwise three wrong tries refuse it.

#include "core/app.h"

namespace vc {

class FrmChkPassw final : public Form {
public:
    static constexpr const char* kName = "FrmChkPassw";
    explicit FrmChkPassw(App& app);

    Frame Frame1{*this, "Frame1"};
    TextBox text1{*this, "text1", &Frame1};
    CommandButton Command1{*this, "Command1"};

    void Command1_Click();

protected:
    void Form_Load() override;
    void Form_Activate() override;

private:
    App& app_;
    std::int16_t Tentativi = 0;
};

}  // namespace vc
