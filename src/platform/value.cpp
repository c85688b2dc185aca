#include "platform/value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/numtext.h"

namespace vc {
namespace {

// 15 significant digits, exponent form only for very large or small numbers: 0.5, 1E-05, 1E+15.
std::string realText(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string s(buf, end);
    for (char& c : s) {
        if (c == 'e') c = 'E';
    }
    return s;
}

bool isTrueWord(const std::string& s) {
    static constexpr char kTrue[] = "true";
    if (s.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if ((s[i] | 0x20) != kTrue[i]) return false;
    }
    return true;
}

}  // namespace

std::string Value::str() const {
    if (isInteger()) return std::to_string(std::get<std::int64_t>(v_));
    if (isReal()) return realText(std::get<double>(v_));
    if (isText()) return std::get<std::string>(v_);
    return {};
}

double Value::toDouble() const {
    if (isInteger()) return static_cast<double>(std::get<std::int64_t>(v_));
    if (isReal()) return std::get<double>(v_);
    if (isText()) return numericValue(std::get<std::string>(v_));
    return 0;
}

std::int64_t Value::toInt() const {
    if (isInteger()) return std::get<std::int64_t>(v_);
    double r = std::nearbyint(toDouble());
    if (std::isnan(r)) return 0;
    // 2^63 is exact as a double; anything at or beyond it saturates.
    constexpr double kLimit = 9223372036854775808.0;
    if (r >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (r < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

bool Value::toBool() const {
    if (isText() && isTrueWord(std::get<std::string>(v_))) return true;
    return toDouble() != 0;
}

}  // namespace vc
