#include "engine/Resample.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace knetix {

namespace {

// Weights are in 1/16384; every destination pixel's weights add up to exactly
// that, so a plain colour stays exactly that colour at any size.
constexpr int32_t kOneShift = 14;
constexpr int32_t kOne = 1 << kOneShift;

// Which source pixels make destination pixel d, and by how much.
struct Taps {
    std::vector<int32_t> first;  // first source index of d
    std::vector<int32_t> start;  // d's weights are weight[start[d] .. start[d + 1])
    std::vector<int32_t> weight;

    void add(int32_t firstIndex, std::initializer_list<int32_t> weights)
    {
        first.push_back(firstIndex);
        start.push_back(int32_t(weight.size()));
        weight.insert(weight.end(), weights);
    }
};

// Shrinking: source pixel k spans [k * dst, (k + 1) * dst) and destination
// pixel d spans [d * src, (d + 1) * src) in units of 1 / (src * dst) of the
// side; a weight is the overlap's share of d's span.
Taps coverageTaps(int64_t src, int64_t dst)
{
    Taps taps;
    for (int64_t d = 0; d < dst; ++d) {
        const int64_t lo = d * src, hi = (d + 1) * src;
        const int64_t k0 = lo / dst, k1 = (hi - 1) / dst;
        taps.first.push_back(int32_t(k0));
        taps.start.push_back(int32_t(taps.weight.size()));
        int32_t sum = 0, most = -1;
        size_t largest = taps.weight.size();
        for (int64_t k = k0; k <= k1; ++k) {
            const int64_t overlap = std::min(hi, (k + 1) * dst) - std::max(lo, k * dst);
            const int32_t w = int32_t((overlap * kOne + src / 2) / src);
            if (w > most) {
                most = w;
                largest = taps.weight.size();
            }
            taps.weight.push_back(w);
            sum += w;
        }
        // Rounding leaves the sum a little off; the largest weight takes the rest.
        taps.weight[largest] += kOne - sum;
    }
    taps.start.push_back(int32_t(taps.weight.size()));
    return taps;
}

// Growing: destination pixel d's centre lies at (2d + 1) src / (2 dst) - 1/2
// source pixels; it mixes the pixels on either side, and beyond the outer
// centres takes the outer pixel.
Taps interpolationTaps(int64_t src, int64_t dst)
{
    Taps taps;
    const int64_t den = 2 * dst;
    for (int64_t d = 0; d < dst; ++d) {
        const int64_t num = (2 * d + 1) * src - dst;
        const int64_t k = num <= 0 ? 0 : num / den;
        if (num <= 0 || k >= src - 1) {
            taps.add(int32_t(num <= 0 ? 0 : src - 1), {kOne});
            continue;
        }
        const int32_t next = int32_t((num % den * kOne + den / 2) / den);
        taps.add(int32_t(k), {kOne - next, next});
    }
    taps.start.push_back(int32_t(taps.weight.size()));
    return taps;
}

Taps makeTaps(int32_t src, int32_t dst)
{
    return src >= dst ? coverageTaps(src, dst) : interpolationTaps(src, dst);
}

} // namespace

bool resample24(const uint8_t* source, int64_t sourceStride, int32_t sourceWidth,
                int32_t sourceHeight, uint8_t* destination, int64_t destinationStride,
                int32_t destinationWidth, int32_t destinationHeight)
{
    if (!source || !destination || sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 ||
        destinationHeight <= 0)
        return false;
    Taps columns, rows;
    std::vector<uint32_t> mixed;
    try {
        columns = makeTaps(sourceWidth, destinationWidth);
        rows = makeTaps(sourceHeight, destinationHeight);
        mixed.resize(3 * size_t(sourceWidth));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t rowValues = 3 * size_t(sourceWidth);
    for (int32_t r = 0; r < destinationHeight; ++r) {
        // The source rows mixed down to one row first (at most 255 * 2^14 per
        // value), then the columns of that row.
        std::fill(mixed.begin(), mixed.end(), 0u);
        uint32_t* acc = mixed.data();
        for (int32_t t = rows.start[r]; t < rows.start[r + 1]; ++t) {
            const uint32_t w = uint32_t(rows.weight[t]);
            const uint8_t* in = source + int64_t(rows.first[r] + (t - rows.start[r])) * sourceStride;
            for (size_t i = 0; i < rowValues; ++i)
                acc[i] += w * in[i];
        }
        uint8_t* out = destination + int64_t(r) * destinationStride;
        for (int32_t c = 0; c < destinationWidth; ++c) {
            uint64_t b = 0, g = 0, red = 0;
            const uint32_t* at = acc + 3 * size_t(columns.first[c]);
            for (int32_t t = columns.start[c]; t < columns.start[c + 1]; ++t, at += 3) {
                const uint64_t w = uint64_t(columns.weight[t]);
                b += w * at[0];
                g += w * at[1];
                red += w * at[2];
            }
            constexpr uint64_t half = uint64_t(1) << (2 * kOneShift - 1);
            out[3 * c] = uint8_t((b + half) >> (2 * kOneShift));
            out[3 * c + 1] = uint8_t((g + half) >> (2 * kOneShift));
            out[3 * c + 2] = uint8_t((red + half) >> (2 * kOneShift));
        }
    }
    return true;
}

} // namespace knetix
