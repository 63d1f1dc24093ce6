#pragma once
// Integer helpers for the fixed-point arithmetic of fields and pictures. C++
// division already truncates toward zero; floor is spelled out where wanted.

#include <cstdint>
#include <limits>

namespace knetix {

__extension__ typedef __int128 int128_t;

constexpr int64_t floorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Raise to lo, then cap at hi: when the range is empty the upper bound wins,
// which is what every caller of it relies on to stay inside its buffer.
constexpr int64_t clampTo(int64_t v, int64_t lo, int64_t hi)
{
    if (v < lo)
        v = lo;
    if (v > hi)
        v = hi;
    return v;
}

// Results that would not fit a field's 32-bit cell stick at its limits instead
// of wrapping around.
constexpr int32_t saturate32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

constexpr int32_t saturate32(int128_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

} // namespace knetix
