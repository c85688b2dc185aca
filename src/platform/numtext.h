#pragma once
// The numeric value of a text: one rule for field values and for the windows' Val.

#include <string_view>

namespace vc {

// Blanks, tabs and line feeds are skipped wherever they stand; then the longest leading number is
// taken: optional sign, digits with at most one decimal point, optional exponent E or D with
// digits; or &H hexadecimal digits; or &O octal digits. No number gives 0.
double numericValue(std::string_view text);

}  // namespace vc
