#include "platform/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace vc::cp1252 {
namespace {

TEST(Cp1252, TheCodesBetween80And9F) {
    const char* const expected[32] = {
        "€", "\u0081", "‚", "ƒ", "„", "…", "†", "‡", "ˆ", "‰", "Š", "‹", "Œ", "\u008D", "Ž", "\u008F",
        "\u0090", "‘", "’", "“", "”", "•", "–", "—", "˜", "™", "š", "›", "œ", "\u009D", "ž", "Ÿ",
    };
    for (int code = 0x80; code <= 0x9F; ++code) {
        const std::string byte(1, static_cast<char>(code));
        const std::string utf8 = expected[code - 0x80];
        EXPECT_EQ(toUtf8(byte), utf8) << std::hex << code;
        EXPECT_EQ(fromUtf8(utf8), byte) << std::hex << code;
    }
}

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    bool lossy = true;
    EXPECT_EQ(fromUtf8(toUtf8(all), &lossy), all);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(toUtf8("Entrata \xE8 \xE0 \xFF"), "Entrata è à ÿ");
}

TEST(Cp1252, CharactersAndBytesOutsideThePageBecomeQuestionMarks) {
    struct Case {
        const char* utf8;
        const char* bytes;
    };
    const Case cases[] = {
        {"a\u0080b", "a?b"},            // a C1 control the page gives another meaning
        {"\u0100", "?"},                // just past Latin-1
        {"漢字", "??"},                 // three-byte characters
        {"\U0001F600!", "?!"},          // a four-byte character
        {"a\xFF" "b", "a?b"},           // a byte that never starts a character
        {"\xC3", "?"},                  // a character cut at the end
        {"\xC3" "a", "?a"},             // a lead byte without its continuation
        {"\xC0\xAF", "??"},             // an overlong '/'
        {"\xED\xA0\x80", "???"},        // a surrogate
        {"\xF4\x90\x80\x80", "????"},   // past U+10FFFF
    };
    for (const auto& c : cases) {
        bool lossy = false;
        EXPECT_EQ(fromUtf8(c.utf8, &lossy), c.bytes) << c.utf8;
        EXPECT_TRUE(lossy) << c.utf8;
    }
}

TEST(Cp1252, CodeOfAndCharOf) {
    EXPECT_EQ(codeOf(U'A'), 'A');
    EXPECT_EQ(codeOf(U'€'), 0x80);
    EXPECT_EQ(codeOf(U'Ÿ'), 0x9F);
    EXPECT_EQ(codeOf(U'\u0081'), 0x81);
    EXPECT_EQ(codeOf(U'é'), 0xE9);
    EXPECT_EQ(codeOf(U'\u0080'), -1);
    EXPECT_EQ(codeOf(U'\u0154'), -1);
    EXPECT_EQ(charOf(0x80), U'€');
    EXPECT_EQ(charOf(0x9D), U'\u009D');
    EXPECT_EQ(charOf(0xE9), U'é');
}

}  // namespace
}  // namespace vc::cp1252
