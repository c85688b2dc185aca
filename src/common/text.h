#pragma once
// The text operations the windows are written with, safe at any length: Mid and Right never
// throw, positions count from 1. They work on bytes; cp1252 text has one byte per character.

#include <cstdint>
#include <string>
#include <string_view>

namespace vc {

inline std::string Mid(std::string_view t, std::size_t pos, std::size_t n = std::string_view::npos) {
    if (pos < 1 || pos > t.size()) return "";
    return std::string(t.substr(pos - 1, n));
}

inline std::string Left(std::string_view t, std::size_t n) { return std::string(t.substr(0, n)); }

inline std::string Right(std::string_view t, std::size_t n) {
    return std::string(n >= t.size() ? t : t.substr(t.size() - n));
}

inline std::string Trim(std::string_view t) {
    const auto b = t.find_first_not_of(' ');
    if (b == std::string_view::npos) return "";
    return std::string(t.substr(b, t.find_last_not_of(' ') - b + 1));
}

// Plain decimal digits of a whole number (Trim(Str(n))).
inline std::string Num(std::int64_t n) { return std::to_string(n); }

// Right("000..." & n, width): n zero-padded on the left, cut to its last 'width' digits.
inline std::string Pad(std::int64_t n, std::size_t width) {
    return Right(std::string(width, '0') + std::to_string(n), width);
}

}  // namespace vc
