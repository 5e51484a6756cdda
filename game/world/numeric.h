// Defined conversions of doubles to integers for values that may be out of range.
#pragma once

#include <cstdint>

// Truncates toward zero; values beyond the 32-bit range clamp to its ends, NaN gives 0.
int32_t clamp_to_int32(double value);

// The same for the 64-bit range.
int64_t clamp_to_int64(double value);
