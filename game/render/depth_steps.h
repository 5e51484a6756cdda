// The depths along a span, z, z + dz, (z + dz) + dz, ..., each the rounded sum of the
// one before and dz, computed without waiting for one addition after another.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

// While z and every next sum stay strictly inside the binade of z (magnitudes 2^e ..
// 2^(e+1), spacing u), each addition rounds z + dz to the multiple of u nearest to it: z
// plus dz rounded to a multiple of u, D, the same for every step unless dz lies exactly
// half way (then the last bit of z decides). So z + t * D, every product and sum exact, is
// the sequence itself, and so is adding D (or 2 * D) to an exact term. Returns how many
// steps, at most limit, follow this rule (0 when the first may not) and sets *step to D.
inline int64_t exact_depth_steps(double z, double dz, int64_t limit, double* step)
{
    constexpr uint64_t mantissa_bits = (uint64_t{1} << 52) - 1;
    constexpr int64_t binade_low = (int64_t{1} << 52) + 1;   // 2^e + u, in units of u
    constexpr int64_t binade_high = (int64_t{1} << 53) - 1;  // 2^(e+1) - u
    constexpr double half_way_shift = 6755399441055744.0;    // 1.5 * 2^52: rounds to an integer
    const uint64_t bits = std::bit_cast<uint64_t>(z);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    // Zero, tiny values (u would be subnormal), infinities and NaN go one step at a time.
    if (static_cast<unsigned>(exponent - 54) > 0x7FEu - 54) return 0;
    const double u = std::bit_cast<double>(static_cast<uint64_t>(exponent - 52) << 52);
    const double q = dz * std::bit_cast<double>(static_cast<uint64_t>(2098 - exponent) << 52);  // dz / u, exact
    if (!(std::fabs(q) < 2251799813685248.0)) return 0;  // |q| < 2^51; no NaN
    const double k = (q + half_way_shift) - half_way_shift;  // nearest integer, ties to even
    if (std::fabs(q - k) == 0.5) return 0;
    *step = k * u;
    // The change of the magnitude per step, in u: k, negated for a negative z.
    const uint64_t sign = bits & (uint64_t{1} << 63);
    const int64_t units = static_cast<int64_t>(std::bit_cast<double>(std::bit_cast<uint64_t>(k) ^ sign));
    const int64_t magnitude = static_cast<int64_t>((bits & mantissa_bits) | (uint64_t{1} << 52));
    // With at most 2^18 steps of less than 2^44 units the end is below 2^62 units away;
    // longer runs are worked out by division below.
    if (limit <= (int64_t{1} << 18) && (units < 0 ? -units : units) < (int64_t{1} << 44)) {
        const int64_t end = magnitude + limit * units;
        if (static_cast<uint64_t>(end - binade_low) <= static_cast<uint64_t>(binade_high - binade_low)) return limit;
    }
    // Otherwise the last step that keeps the magnitude in range (never beyond limit: with
    // limit 0 and z a power of two, end is out of range while the run could go on).
    int64_t steps = 0;
    if (units > 0) steps = (binade_high - magnitude) / units;
    else if (units < 0 && magnitude >= binade_low) steps = (magnitude - binade_low) / -units;
    return steps < limit ? steps : limit;
}

// Walks the first count values of the sequence z, z + dz, ... as exact runs, calling
// run(i, n, first, last, step) for each: values i .. i + n are first + t * step for t in
// 0 .. n, exactly, the first being first itself and the last last. Runs follow each other
// from i = 0; almost always one covers the whole sequence.
template <typename Run>
void for_each_depth_run(double z, double dz, int64_t count, Run run)
{
    int64_t i = 0;  // index of z in the sequence
    while (i < count) {
        double step = 0.0;
        const int64_t n = exact_depth_steps(z, dz, count - 1 - i, &step);
        const double last = n > 0 ? z + static_cast<double>(n) * step : z;
        run(i, n, z, last, step);
        i += n + 1;
        z = last + dz;
    }
}

// The value after steps rounded additions of dz to z, bit for bit, over the exact runs
// instead of one addition at a time.
inline double advance_by_steps(double z, double dz, int64_t steps)
{
    while (steps > 0) {
        double step = 0.0;
        const int64_t n = exact_depth_steps(z, dz, steps, &step);
        if (n > 0) {
            z += static_cast<double>(n) * step;
            steps -= n;
        } else {
            const double next = z + dz;
            // A value the addition leaves as it is (a tie rounded back, a step too small
            // to count) stays so: the rest of the additions change nothing.
            if (std::bit_cast<uint64_t>(next) == std::bit_cast<uint64_t>(z)) return z;
            z = next;
            steps--;
        }
    }
    return z;
}
