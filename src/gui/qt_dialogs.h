#pragma once
// The message box, input box, beep and busy pointer on the screen, with Italian buttons.
// A box is modal and runs Qt's own loop until answered: the model's timers wait meanwhile, as
// its handler does.

#include <functional>
#include <optional>

#include "platform/clock.h"
#include "platform/dialogs.h"

namespace vc::gui {

class QtDialogs final : public Dialogs {
public:
    // 'clock' paces the beeps; 'sound' makes one (QApplication::beep unless a test counts them).
    explicit QtDialogs(const Clock& clock, std::function<void()> sound = nullptr);
    ~QtDialogs() override;

    int msgBox(const std::string& text, int style, const std::string& title) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& initial) override;
    // At most one sound every 100 ms: the windows may beep in a tight loop.
    void beep() override;
    void setBusyPointer(bool busy) override;

private:
    const Clock& clock_;
    std::function<void()> sound_;
    std::optional<std::int64_t> lastBeep_;
    bool busy_ = false;
};

}  // namespace vc::gui
