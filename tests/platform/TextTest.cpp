#include "platform/Text.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>
#include <string>

namespace planora {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ValCase {
    const char* name;
    std::string text;
    double expected;
};

void PrintTo(const ValCase& c, std::ostream* out) {
    *out << c.name;
}

class ValTest : public ::testing::TestWithParam<ValCase> {};

TEST_P(ValTest, ReadsTheLongestNumberPrefix) {
    const ValCase& c = GetParam();
    EXPECT_EQ(Val(c.text), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ValTest,
    ::testing::Values(
        ValCase{"integer", "150", 150}, ValCase{"decimal", "12.9", 12.9},
        ValCase{"negative", "-3.5", -3.5}, ValCase{"plus sign", "+2", 2},
        ValCase{"leading point", ".5", 0.5}, ValCase{"trailing point", "7.", 7},
        ValCase{"leading blanks", "  \t4", 4}, ValCase{"trailing characters", "1.5abc", 1.5},
        ValCase{"comma ends the number", "1,5", 1}, ValCase{"exponent", "2.5e3", 2500},
        ValCase{"negative exponent", "1e-2", 0.01}, ValCase{"exponent without digits", "3e", 3},
        ValCase{"exponent sign without digits", "3e+", 3},
        ValCase{"overflow gives infinity", "1e400", kInf},
        ValCase{"negative overflow", "-1e400", -kInf}, ValCase{"underflow gives zero", "1e-400", 0},
        ValCase{"subnormal as the C library", "4.9e-324", 4.9e-324},
        ValCase{"infinity", "inf", kInf}, ValCase{"Infinity word", "Infinity", kInf},
        ValCase{"negative infinity", "-INF", -kInf}, ValCase{"empty", "", 0},
        ValCase{"blanks only", "   ", 0}, ValCase{"no number", "abc", 0},
        ValCase{"sign only", "-", 0}, ValCase{"point only", ".", 0},
        ValCase{"blank inside", "1 2", 1}, ValCase{"hex is no number", "0x10", 0},
        ValCase{"long text", std::string(10000, '9').insert(0, "0."), 1.0}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(Val, ReadsNaN) {
    EXPECT_TRUE(std::isnan(Val("nan")));
    EXPECT_TRUE(std::isnan(Val("-NaN")));
}

TEST(Val, StopsAtTheEndOfAViewThatIsNotTerminated) {
    const std::string buffer = "12345";
    EXPECT_EQ(Val(std::string_view(buffer).substr(0, 2)), 12);
}

TEST(Val, KeepsTheFullStopUnderAGermanLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    // The C library now reads a comma as the decimal point ...
    EXPECT_EQ(std::strtod("1.5", nullptr), 1.0);
    // ... but typed numbers keep the full stop.
    EXPECT_EQ(Val("1.5"), 1.5);
    EXPECT_EQ(Val("1,5"), 1.0);
    EXPECT_EQ(Str(2.5), "2.5");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Str, WritesPlainDecimalText) {
    EXPECT_EQ(Str(150.0), "150");
    EXPECT_EQ(Str(-3.0), "-3");
    EXPECT_EQ(Str(0.0), "0");
    EXPECT_EQ(Str(12.5), "12.5");
    EXPECT_EQ(Str(0.1), "0.1");
    EXPECT_EQ(Val(Str(1.0 / 3.0)), 1.0 / 3.0);
    EXPECT_EQ(Str(std::int64_t{150}), "150");
    EXPECT_EQ(Str(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(Str(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
}

TEST(Truncation, IsTowardZeroAndDefinedOutsideTheRange) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(truncToInt64(12.9), 12);
    EXPECT_EQ(truncToInt64(-3.5), -3);
    EXPECT_EQ(truncToInt64(-0.5), 0);
    EXPECT_EQ(truncToInt64(-9223372036854775808.0), kMin);
    EXPECT_EQ(truncToInt64(9223372036854775808.0), std::nullopt);
    EXPECT_EQ(truncToInt64(std::nan("")), std::nullopt);
    EXPECT_EQ(truncToInt64(-kInf), std::nullopt);

    EXPECT_EQ(saturatingTruncToInt64(1e300), kMax);
    EXPECT_EQ(saturatingTruncToInt64(kInf), kMax);
    EXPECT_EQ(saturatingTruncToInt64(-kInf), kMin);
    EXPECT_EQ(saturatingTruncToInt64(std::nan("")), 0);
    EXPECT_EQ(saturatingTruncToInt64(-7.9), -7);
}

} // namespace
} // namespace planora
