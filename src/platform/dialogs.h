#pragma once
// Message box, input box, beep and the mouse pointer. The numeric styles and answers are the
// classic ones, so call sites read like the screens they come from.

#include <string>

namespace vc {

namespace mb {
enum : int {
    OKOnly = 0, OKCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5,
    Critical = 16, Question = 32, Exclamation = 48, Information = 64,
};
enum Answer : int { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
inline int buttons(int style) { return style & 7; }
inline int icon(int style) { return style & 0x70; }
}  // namespace mb

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal message box; returns the button chosen (mb::Answer).
    virtual int msgBox(const std::string& text, int style, const std::string& title) = 0;
    // Shows an input box; Cancel returns "".
    virtual std::string inputBox(const std::string& prompt, const std::string& title,
                                 const std::string& initial) = 0;
    virtual void beep() = 0;
    // The hourglass while a long operation runs.
    virtual void setBusyPointer(bool busy) = 0;
};

// Without a screen: every box is written to standard error and answered with its first button
// (OK, Yes, Abort or Retry); input boxes answer "".
class ConsoleDialogs final : public Dialogs {
public:
    int msgBox(const std::string& text, int style, const std::string& title) override;
    std::string inputBox(const std::string& prompt, const std::string& title,
                         const std::string& initial) override;
    void beep() override;
    void setBusyPointer(bool) override {}
};

}  // namespace vc
