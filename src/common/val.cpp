#include "common/val.h"

#include <cmath>
#include <limits>

#include "platform/numtext.h"

namespace vc {
namespace {

double roundHalfEven(double v) {
    const double down = std::floor(v);
    const double rest = v - down;
    if (rest > 0.5) return down + 1;
    if (rest < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

// NaN has no nearest whole number; it gives 0 rather than an undefined conversion.
template <typename Int>
Int roundClamped(double v) {
    if (std::isnan(v)) return 0;
    const double r = roundHalfEven(v);
    if (r <= std::numeric_limits<Int>::min()) return std::numeric_limits<Int>::min();
    if (r >= std::numeric_limits<Int>::max()) return std::numeric_limits<Int>::max();
    return static_cast<Int>(r);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBlanks(std::string_view t) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    return t;
}

// Skips the digits at t[i...]; returns how many there were.
std::size_t skipDigits(std::string_view t, std::size_t& i) {
    const std::size_t first = i;
    while (i < t.size() && isDigit(t[i])) ++i;
    return i - first;
}

void skipSign(std::string_view t, std::size_t& i) {
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
}

}  // namespace

double Val(std::string_view text) { return numericValue(text); }

std::int16_t CInt(double v) { return roundClamped<std::int16_t>(v); }

std::int32_t CLng(double v) { return roundClamped<std::int32_t>(v); }

bool IsNumeric(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    std::size_t i = 0;
    skipSign(t, i);
    std::size_t digits = skipDigits(t, i);
    if (i < t.size() && t[i] == '.') digits += skipDigits(t, ++i);
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e' || t[i] == 'D' || t[i] == 'd')) {
        skipSign(t, ++i);
        if (skipDigits(t, i) == 0) return false;
    }
    return i == t.size();
}

}  // namespace vc
