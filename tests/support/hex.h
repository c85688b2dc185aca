#pragma once
// Bytes as hexadecimal pairs, for failure messages that show frames and control characters.

#include <cstdio>
#include <string>

namespace vc::test {

inline std::string hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

}  // namespace vc::test
