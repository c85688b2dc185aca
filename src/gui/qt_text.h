#pragma once
// Conversions at the edge between the model (UTF-8 text, 0x00BBGGRR colours) and Qt.

#include <QColor>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace vc::gui {

inline QString qs(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

inline std::string utf8(const QString& s) { return s.toStdString(); }

inline QColor qcolour(std::int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

}  // namespace vc::gui
