#include "window_watch.h"

#include <set>

#include "core/app.h"

namespace vc::operatore {

namespace {

// The windows the main window opens behind the password.
const std::set<std::string> Administration = {"FrmCardsAbil", "FrmProgSetup", "FrmConfLettori", "FrmFunzAgg"};

// The controls that exist to stop a run of their own window: they are pressed while it runs.
const std::set<std::string> Stops = {"FrmDownLoad.Command2", "FrmDownLoad.close", "FrmCardsAbil.Command15",
                                     "FrmUtilTessaro.Command4"};

}  // namespace

void WindowWatch::begin(const std::string& form, const std::string& control, const std::string& what, bool entered) {
    if (entered && !Stops.count(form + "." + control))
        for (const Running& r : running_)
            if (r.entered && r.form == form)
                fault(form + ": \"" + what + "\" reached it while \"" + r.what + "\" still runs");
    running_.push_back({form, what, entered});
}

void WindowWatch::unloaded(const Form& f) {
    // The innermost action may close its own window; those below it must not lose theirs.
    for (std::size_t i = 0; i + 1 < running_.size(); ++i)
        if (running_[i].entered && running_[i].form == f.name())
            fault(f.name() + " unloaded while \"" + running_[i].what + "\" still runs");
}

void WindowWatch::check(App& app) {
    std::string open;
    int count = 0;
    app.forEachForm([&](Form& f) {
        if (f.Visible() && Administration.count(f.name())) open += " " + f.name(), ++count;
    });
    if (count > 1) fault("administration windows open together:" + open);
    if (count == 0 || !app.isLoaded("FrmMain")) return;
    const Form& main = app.form("FrmMain");
    if (main.Visible() && main.Enabled()) fault("the main window can be used while" + open + " is open");
}

std::string WindowWatch::running() const {
    std::string out;
    for (const Running& r : running_) out += " [" + r.what + "]";
    return out;
}

}  // namespace vc::operatore
