#include "platform/Text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace planora {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool startsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(s[i]) != word[i])
            return false;
    return true;
}

// The length of the longest prefix of s that is a decimal number: [sign] digits [. digits]
// [e [sign] digits], with at least one digit before the exponent.
std::size_t numberPrefix(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

// Parses exactly the given number text with the C library's rounding, in the "C" locale
// whatever the process's locale is.
double parseNumber(std::string_view number) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const std::string copy(number); // strtod needs a terminated text
    return strtod_l(copy.c_str(), nullptr, cLocale);
}

} // namespace

double Val(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    std::string_view s = text.substr(start);

    bool negative = false;
    std::string_view unsignedPart = s;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        unsignedPart.remove_prefix(1);
    }
    if (startsWithWord(unsignedPart, "inf"))
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    if (startsWithWord(unsignedPart, "nan"))
        return std::numeric_limits<double>::quiet_NaN();

    const std::size_t length = numberPrefix(s);
    if (length == 0)
        return 0;
    return parseNumber(s.substr(0, length));
}

std::string Str(std::int64_t value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string Str(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == std::trunc(value) && std::abs(value) < 1e15)
        return Str(std::int64_t(value));
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::optional<std::int64_t> truncToInt64(double value) {
    // Every Double in [-2^63, 2^63) truncates to a value that fits; NaN fails both tests.
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!(value >= -limit && value < limit))
        return std::nullopt;
    return std::int64_t(value);
}

std::int64_t saturatingTruncToInt64(double value) {
    if (std::isnan(value))
        return 0;
    if (auto exact = truncToInt64(value))
        return *exact;
    return value > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
}

} // namespace planora
