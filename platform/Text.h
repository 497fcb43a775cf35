#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace planora {

// Text to number, with a full stop as the decimal point whatever the user's locale. Leading
// blanks and tabs are skipped; then the longest prefix that reads as a decimal number (sign,
// digits, point, exponent) or as "inf", "infinity" or "nan" (any case) is taken, and anything
// after it is ignored. A text without such a prefix gives 0. Values beyond the Double range
// give infinity, values below it zero, as the C library rounds them.
double Val(std::string_view text);

// Number to plain decimal text: integers without a point or exponent ("150"), other values in
// the shortest form that reads back as the same Double.
std::string Str(double value);
std::string Str(std::int64_t value);

// The Double truncated toward zero, when it is finite and the result fits an Int64.
std::optional<std::int64_t> truncToInt64(double value);
// The Double truncated toward zero and saturated: NaN gives 0, values beyond the Int64 range
// give its nearest end.
std::int64_t saturatingTruncToInt64(double value);

} // namespace planora
