#pragma once
// The Qt window of one model form: a widget per control, positioned by the control's geometry
// inside its container's widget. It follows the form through the form's observer and feeds the
// operator's gestures back as actions posted to the model's event loop, so model code never runs
// inside Qt's event dispatch: its re-entrant waits, its modal windows and the program's end all
// unwind through the model's own loop.
//
// Keys reach the form first (key preview): each key the window gets, whichever of its widgets has
// the focus, goes to Form::keyDown, a typed character to Form::keyPress; then, on a text box, the
// character goes through TextBox::type, so MaxLength, Locked and the box's KeyPress apply, and the
// caret keys, Delete, select-all, cut and paste edit the box itself: the line edit only ever shows
// the box's Text, caret and selection. Keys are taken where the window system delivers them, on
// the window, so each is seen once, before any widget.
//
// When the form unloads, the window lets go of it at once and is deleted later.

#include <QWidget>

#include <functional>
#include <map>

#include "platform/events.h"
#include "platform/forms.h"

class QKeyEvent;

namespace vc::gui {

class View;

class FormWindow final : public QWidget {
public:
    FormWindow(Form& form, EventLoop& loop);
    ~FormWindow() override;

    // False once the form has unloaded; from then on the window never touches it.
    bool attached() const { return attached_; }
    // Only while attached.
    Form& form() const { return form_; }
    // The widget drawing a control, or nullptr (timers, report controls).
    QWidget* widgetOf(const Control& c) const;
    // Shows, hides or re-modals the window as the form now is. Run by the front end before Qt
    // processes its events, so a window that one handler shows and hides again never flashes.
    void applyVisibility();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    View* build(Control& c);
    void changed(Control* c);
    void refresh(Control& c);
    void refreshForm();
    bool shown(const Control& c) const;
    void detach();
    // Posts an operator action; 'c', when given, is synced again after it has run.
    void operate(Control* c, std::function<void()> action);
    bool keyPressed(QWidget* target, const QKeyEvent& k);
    CommandButton* buttonForEnter(View* target) const;

    Form& form_;
    EventLoop& loop_;
    std::map<const Control*, View*> views_;
    bool attached_ = true;
    bool placed_ = false;
};

}  // namespace vc::gui
