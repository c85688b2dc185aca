#include "common/val.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

namespace vc {
namespace {

using namespace std::string_view_literals;

TEST(Val, LeadingNumberOfAText) {
    struct Case {
        std::string_view text;
        double value;
    };
    const Case cases[] = {
        {"2x", 2},        {" 1 5", 15},   {"2.5", 2.5},       {"&h2F8", 760}, {"&H300", 768},
        {"1E3", 1000},    {"1D2", 100},   {"", 0},            {"abc", 0},     {"-1", -1},
        {"12\0  "sv, 12},  // a fixed-size buffer read from the settings file
    };
    for (const auto& c : cases) EXPECT_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(CInt, RoundsHalvesToEven) {
    struct Case {
        double v;
        int expected;
    };
    const Case cases[] = {
        {2.5, 2},   {3.5, 4},   {12.5, 12}, {17.5, 18}, {-2.5, -2}, {-3.5, -4},
        {2.4, 2},   {2.6, 3},   {-2.6, -3}, {0.5, 0},   {1.5, 2},   {-0.4, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CInt(c.v), c.expected) << c.v;
        EXPECT_EQ(CLng(c.v), c.expected) << c.v;
    }
}

TEST(CInt, ClampsToItsRange) {
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(32767.5), 32767);
    EXPECT_EQ(CInt(1e9), 32767);
    EXPECT_EQ(CInt(-32768.5), -32768);
    EXPECT_EQ(CInt(-1e9), -32768);
    EXPECT_EQ(CInt(HUGE_VAL), 32767);
    EXPECT_EQ(CInt(NAN), 0);
}

TEST(CLng, ClampsToItsRange) {
    EXPECT_EQ(CLng(40000), 40000);
    EXPECT_EQ(CLng(2147483646.5), 2147483646);
    EXPECT_EQ(CLng(2147483647.5), 2147483647);
    EXPECT_EQ(CLng(1e12), 2147483647);
    EXPECT_EQ(CLng(-1e12), -2147483647 - 1);
    EXPECT_EQ(CLng(-HUGE_VAL), -2147483647 - 1);
}

TEST(IsNumeric, DecimalNumbersWithBlanksAround) {
    struct Case {
        std::string_view text;
        bool numeric;
    };
    const Case cases[] = {
        {" 8", true},   {"05", true},     {"-1", true},   {"1.5", true},  {"1e3", true},
        {"+2 ", true},  {".5", true},     {"5.", true},   {"1E-2", true}, {"2D3", true},
        {"", false},    {"  ", false},    {"#:", false},  {"1.2.3", false}, {"2x", false},
        {".", false},   {"-", false},     {"1e", false},  {"1e+", false}, {"1 2", false},
        {"&H10", false}, {"12\0"sv, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsNumeric(c.text), c.numeric) << '"' << c.text << '"';
}

}  // namespace
}  // namespace vc
