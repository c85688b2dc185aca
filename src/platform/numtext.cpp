#include "platform/numtext.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vc {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }

std::string withoutBlanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') out += c;
    }
    return out;
}

int digitValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

double radixValue(std::string_view digits, int radix) {
    double v = 0;
    for (char c : digits) {
        int d = digitValue(c);
        if (d >= radix) break;
        v = v * radix + d;
    }
    return v;
}

double decimalValue(std::string_view s) {
    std::string num;  // the number in from_chars' syntax
    std::size_t i = 0;
    if (i < s.size() && isSign(s[i])) {
        if (s[i] == '-') num += '-';
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            digits = true;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
        num += s[i];
    }
    if (!digits) return 0;
    bool negativeExponent = false;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && isSign(s[j])) {
            negativeExponent = s[j] == '-';
            exponent += s[j++];
        }
        std::size_t first = j;
        while (j < s.size() && isDigit(s[j])) exponent += s[j++];
        if (j > first) num += exponent;
    }
    double v = 0;
    auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
    if (ec == std::errc::result_out_of_range) {
        v = negativeExponent ? 0.0 : HUGE_VAL;
        if (num[0] == '-') v = -v;
    }
    return v;
}

}  // namespace

double numericValue(std::string_view text) {
    std::string s = withoutBlanks(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') return radixValue(std::string_view(s).substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o') return radixValue(std::string_view(s).substr(2), 8);
        return 0;
    }
    return decimalValue(s);
}

}  // namespace vc
