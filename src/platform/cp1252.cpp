#include "platform/cp1252.h"

#include <array>

namespace vc::cp1252 {
namespace {

// Codes 0x80-0x9F; the rest of the page is Latin-1. The unassigned five stand for themselves,
// so every byte of an old file survives a round trip.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void appendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes the character at text[i], advancing i past it; -1 (with i past one byte) when the
// bytes there are not well-formed UTF-8 (overlong forms and surrogates included).
long decodeOne(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    char32_t ch = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, ch = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, ch = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, ch = lead & 0x07, min = 0x10000;
    } else {
        ++i;
        return -1;
    }
    if (text.size() - i <= extra) {
        ++i;
        return -1;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (!isContinuation(b)) {
            ++i;
            return -1;
        }
        ch = (ch << 6) | (b & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        ++i;
        return -1;
    }
    i += extra + 1;
    return static_cast<long>(ch);
}

}  // namespace

char32_t charOf(unsigned char code) {
    if (code >= 0x80 && code <= 0x9F) return kHigh[code - 0x80];
    return code;
}

int codeOf(char32_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<int>(ch);
    for (std::size_t k = 0; k < kHigh.size(); ++k) {
        if (kHigh[k] == ch) return static_cast<int>(0x80 + k);
    }
    return -1;
}

std::string toUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char b : bytes) appendUtf8(out, charOf(static_cast<unsigned char>(b)));
    return out;
}

std::string fromUtf8(std::string_view utf8, bool* lossy) {
    std::string out;
    out.reserve(utf8.size());
    bool lost = false;
    for (std::size_t i = 0; i < utf8.size();) {
        const long ch = decodeOne(utf8, i);
        const int code = ch < 0 ? -1 : codeOf(static_cast<char32_t>(ch));
        if (code < 0) lost = true;
        out += code < 0 ? '?' : static_cast<char>(code);
    }
    if (lossy) *lossy = lost;
    return out;
}

}  // namespace vc::cp1252
