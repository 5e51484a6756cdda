// Defined conversions of doubles to integers for values that may be out of range. Inline:
// the renderer converts several values for every row it draws.
#pragma once

#include <cmath>
#include <cstdint>

// Truncates toward zero; values beyond the 32-bit range clamp to its ends, NaN gives 0.
inline int32_t clamp_to_int32(double value)
{
    if (std::isnan(value)) return 0;
    // 2147483647.0 and -2147483648.0 are exact doubles, so the comparisons are exact.
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The same for the 64-bit range.
inline int64_t clamp_to_int64(double value)
{
    if (std::isnan(value)) return 0;
    // 2^63 is exact; anything at or above it does not fit.
    if (value >= 9223372036854775808.0) return INT64_MAX;
    if (value <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(value);
}
