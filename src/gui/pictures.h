#pragma once
// The pictures the windows name by resource ("polling/0".."polling/12", "output/0", "output/1",
// "setup/beep", "setup/imparziale", "setup/storico"), drawn in code at any size.

#include <QPixmap>
#include <QSize>

#include <string>

namespace vc::gui {

// A null pixmap for a name that is not one of the resources (or "").
QPixmap picture(const std::string& name, QSize size);

}  // namespace vc::gui
