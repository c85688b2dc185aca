#pragma once
// One widget per model control. A view copies its control's own properties onto the widget
// (sync) and hands the operator's gestures back as actions to run on the model (operate), never
// changing its own state: what the widget shows is always what the model holds.

#include <QWidget>

#include <functional>

#include "platform/forms.h"

namespace vc::gui {

// Queues an operator action on the model; the view's control is synced again once it has run.
using Operate = std::function<void(std::function<void()> action)>;

class View {
public:
    virtual ~View() = default;
    virtual Control& control() = 0;
    virtual QWidget* widget() = 0;
    // The control-specific properties; geometry, Enabled and Visible are the window's business.
    virtual void sync() = 0;
};

// The view of a control, created as a child of 'parent'; nullptr for a control with nothing to
// draw (timers, report controls).
View* makeView(Control& c, QWidget* parent, Operate operate);

// The view behind a widget of a window, or nullptr.
View* viewOf(QObject* widget);

}  // namespace vc::gui
