#include <gtest/gtest.h>

#include <cmath>

#include "platform/numtext.h"
#include "platform/value.h"

namespace vc {
namespace {

TEST(NumericValue, TakesTheLongestLeadingNumber) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},           {"abc", 0},        {"42", 42},          {"  42abc", 42},   {"1 2 3", 123},
        {"\t-\n5", -5},    {"+7", 7},         {"--5", 0},          {"3.25", 3.25},    {".5", 0.5},
        {"1.2.3", 1.2},    {"-.", 0},         {"1e3", 1000},       {"2D2", 200},      {"1e", 1},
        {"1e+", 1},        {"1.5E-1x", 0.15}, {"&HFF", 255},       {"&h1g", 1},       {"&O17", 15},
        {"&O8", 0},        {"&", 0},          {"& H 1 0", 16},     {"12\r3", 12},     {"1e999", HUGE_VAL},
        {"1e-999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(numericValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(Value, TextFormsOfNumbers) {
    EXPECT_EQ(Value().str(), "");
    EXPECT_EQ(Value(-12).str(), "-12");
    EXPECT_EQ(Value(true).str(), "1");
    EXPECT_EQ(Value(0.5).str(), "0.5");
    EXPECT_EQ(Value(100.0).str(), "100");
    EXPECT_EQ(Value(0.1 + 0.2).str(), "0.3");
    EXPECT_EQ(Value(1e-5).str(), "1E-05");
    EXPECT_EQ(Value(123456789012345.0).str(), "123456789012345");
    EXPECT_EQ(Value(1e15).str(), "1E+15");
    EXPECT_EQ(Value("tal quale ").str(), "tal quale ");
}

TEST(Value, WholeNumbersRoundHalvesToEven) {
    struct Case {
        Value v;
        std::int64_t whole;
    };
    const Case cases[] = {
        {Value(), 0},     {Value(2.5), 2},     {Value(3.5), 4},   {Value(-2.5), -2},
        {Value(2.6), 3},  {Value(" 1 2.5"), 12}, {Value("x"), 0}, {Value(1e300), INT64_MAX},
        {Value(-1e300), INT64_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.toInt(), c.whole) << c.v.str();
}

TEST(Value, YesNoReadings) {
    EXPECT_FALSE(Value().toBool());
    EXPECT_FALSE(Value(0).toBool());
    EXPECT_TRUE(Value(-1).toBool());
    EXPECT_TRUE(Value(0.25).toBool());
    EXPECT_TRUE(Value("TRUE").toBool());
    EXPECT_TRUE(Value("1").toBool());
    EXPECT_FALSE(Value("False").toBool());
    EXPECT_FALSE(Value("0").toBool());
    EXPECT_FALSE(Value("truex").toBool());
}

}  // namespace
}  // namespace vc
