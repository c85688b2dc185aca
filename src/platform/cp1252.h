#pragma once
// Code page 1252, the encoding of the files shared with older installations.
// Inside the program text is UTF-8; these convert at the file edge.

#include <string>
#include <string_view>

namespace vc::cp1252 {

// Each byte becomes its character (the five unassigned codes map to U+0081 etc. as is).
std::string toUtf8(std::string_view bytes);
// Each character becomes its byte; a character outside the code page, or a byte that is not
// well-formed UTF-8, becomes '?'. *lossy tells whether any '?' was put in that way.
std::string fromUtf8(std::string_view utf8, bool* lossy = nullptr);
// The code (0-255) of one character, or -1 when it is not in the code page.
int codeOf(char32_t ch);
// The character of a code 0-255.
char32_t charOf(unsigned char code);

}  // namespace vc::cp1252
