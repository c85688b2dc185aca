#include "platform/dialogs.h"

#include <iostream>

namespace vc {

int ConsoleDialogs::msgBox(const std::string& text, int style, const std::string& title) {
    std::cerr << "[" << title << "] " << text << "\n";
    switch (mb::buttons(style)) {
        case mb::AbortRetryIgnore: return mb::Abort;
        case mb::YesNoCancel:
        case mb::YesNo: return mb::Yes;
        case mb::RetryCancel: return mb::Retry;
        default: return mb::OK;
    }
}

std::string ConsoleDialogs::inputBox(const std::string& prompt, const std::string& title,
                                     const std::string&) {
    std::cerr << "[" << title << "] " << prompt << " (no answer without a screen)\n";
    return "";
}

void ConsoleDialogs::beep() { std::cerr << '\a'; }

}  // namespace vc
