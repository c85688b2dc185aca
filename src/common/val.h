#pragma once
// Numbers from texts, the way the stored files and the screens expect them.

#include <cstdint>
#include <string_view>

namespace vc {

// Numeric value of a text: blanks, tabs and line feeds are skipped wherever they stand; then the
// longest leading number is taken (optional sign, digits with at most one decimal point, optional
// exponent E or D with digits; or &H hexadecimal digits; or &O octal digits). No number gives 0.
double Val(std::string_view text);

// Rounding to the nearest whole number, halves to the even one, then clamped to the type's range.
std::int16_t CInt(double v);
std::int32_t CLng(double v);

// A decimal number with blanks at either end ignored: optional sign, digits with at most one
// decimal point (at least one digit), optional exponent. "" and all-blank texts are not numeric.
bool IsNumeric(std::string_view text);

}  // namespace vc
