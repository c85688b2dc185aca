#pragma once
// The pictures the windows name by resource, drawn in code at any size: the polling animation
// "polling/0".."polling/12", the automatic outputs "output/0" and "output/1", the settings icons
// "setup/beep", "setup/imparziale", "setup/storico", the record arrows "nav/first", "nav/previous",
// "nav/next", "nav/last", the people inside "antipassback/vuoto" and "antipassback/presenti", and
// "tessaro/stop".

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include <string>

namespace vc::gui {

// Each picture is drawn once per size and then shared, so a picture a timer keeps changing (the
// polling animation) costs neither drawing nor memory at each change.
// A null pixmap for a name that is not one of the resources (or "").
QPixmap picture(const std::string& name, QSize size);
// The picture as an icon, the same icon (cacheKey) for the same name and size: a new icon each
// time would have the style keep scaled copies of every one of them.
QIcon icon(const std::string& name, QSize size);

}  // namespace vc::gui
