#pragma once
// The Qt front end of an App: a window for every form the App loads, and Qt's own event
// processing run by the model's event loop at the start of every doEvents(). The model's loop is
// the program's only loop; Qt runs inside it, and the model's handlers, posted there by the
// windows, never run inside Qt's event dispatch.

#include <QPointer>

#include <string>
#include <vector>

class QApplication;

namespace vc {
class App;
}

namespace vc::gui {

class FormWindow;

class FrontEnd {
public:
    explicit FrontEnd(App& app);
    // Lets go of the App's forms: destroy the front end before the App.
    ~FrontEnd();
    FrontEnd(const FrontEnd&) = delete;
    FrontEnd& operator=(const FrontEnd&) = delete;

    // The window of a loaded form, or nullptr.
    FormWindow* window(const std::string& formName) const;
    // Shows and hides the windows as their forms now are, then lets Qt process its events.
    void pump();

private:
    App& app_;
    std::vector<QPointer<FormWindow>> windows_;
};

// The look shared by the program and its tests: one style, one font, whatever the desktop, and
// Qt's own dialogs in Italian.
void prepareApplication(QApplication& app);

}  // namespace vc::gui
