#pragma once
// The pictures the windows name by resource, drawn in code at any size: the polling animation
// "polling/0".."polling/12", the automatic outputs "output/0" and "output/1", the settings icons
// "setup/beep", "setup/imparziale", "setup/storico", the record arrows "nav/first", "nav/previous",
// "nav/next", "nav/last", the people inside "antipassback/vuoto" and "antipassback/presenti", and
// "tessaro/stop".

#include <QPixmap>
#include <QSize>

#include <string>

namespace vc::gui {

// A null pixmap for a name that is not one of the resources (or "").
QPixmap picture(const std::string& name, QSize size);

}  // namespace vc::gui
