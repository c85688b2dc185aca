#pragma once
// The station fixture on screen (QT_QPA_PLATFORM=offscreen): the front end renders its windows,
// and the operator's mouse and keys are sent to them through Qt as the window system would.

#include <QString>
#include <QTest>
#include <QWidget>

#include <functional>
#include <string>

#include "gui/form_window.h"
#include "gui/front_end.h"
#include "support/fakes.h"

namespace vc::test {

class OnScreen {
public:
    Station station;
    gui::FrontEnd screen{station.app()};

    App& app() { return station.app(); }
    // A few rounds of the model's loop, with Qt's events in each.
    void settle(int rounds = 5);
    // Starts the program and brings up its main window.
    void start();
    // Loads and shows a window (modeless), then lets it come up.
    gui::FormWindow& show(const std::string& form);
    gui::FormWindow& window(const std::string& form);
    // A control's widget, found as a test would find it: by its object name in the window.
    template <class W>
    W& widget(const std::string& form, const std::string& name) {
        W* w = window(form).findChild<W*>(QString::fromStdString(name));
        if (!w) throw std::logic_error("no widget " + name + " on " + form);
        return *w;
    }
    // Keys on a window, as typed ("\b" is Backspace and "\r" Enter), then a settle.
    void type(const std::string& form, const QString& keys);
    // The same keys without the settle, for a window whose own modal loop runs the model.
    void keys(const std::string& form, const QString& keys);
    // Runs 'f' from Qt's event processing once the form's window is on the screen: the way to act
    // on a modal window, from inside the loop that waits for it.
    void whenShown(const std::string& form, std::function<void()> f);
    void press(const std::string& form, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
};

// Writes a picture of the widget under the build's screenshot folder; returns its path.
std::string screenshot(QWidget& w, const std::string& name);

// Whether pdftotext is installed: tests that read a PDF back skip without it.
bool canReadPdf();
// The text of a PDF as pdftotext reads it: every page, or only page 'page' (from 1).
QString pdfText(const QString& pdf, int page = 0);

}  // namespace vc::test
