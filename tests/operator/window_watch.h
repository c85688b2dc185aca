#pragma once
// What the operator's actions do to the windows: no window's handler is entered while another of
// its own handlers runs (except the buttons that exist to stop a run), no window is unloaded while
// one of its handlers runs below the action that closes it, at most one administration window is
// open and never beside a main window the operator can use.

#include <functional>
#include <string>
#include <vector>

namespace vc {
class App;
class Form;
}  // namespace vc

namespace vc::operatore {

class WindowWatch {
public:
    std::function<void(const std::string&)> fault;

    // An operator's action starts; 'entered' when it reaches one of the window's handlers (a
    // disabled or hidden control ignores it). 'control' is the control's name, or "close" or "key".
    void begin(const std::string& form, const std::string& control, const std::string& what, bool entered);
    void end() { running_.pop_back(); }
    void restart() { running_.clear(); }
    // A window was unloaded.
    void unloaded(const Form& f);
    // The windows on the screen, after every round of the event loop.
    void check(App& app);

    // The actions still running, outermost first, for a report.
    std::string running() const;
    bool idle() const { return running_.empty(); }

private:
    struct Running {
        std::string form, what;
        bool entered;
    };
    std::vector<Running> running_;
};

}  // namespace vc::operatore
