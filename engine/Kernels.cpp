#include "engine/Kernels.h"

#include <atomic>
#include <cstring>

#if KNETIX_HAVE_AVX2
#include <immintrin.h>
#define KNETIX_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#endif

namespace knetix::kernels {

namespace {

Level detect()
{
#if KNETIX_HAVE_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return Level::Avx2;
#endif
    return Level::Portable;
}

std::atomic<Level>& current()
{
    static std::atomic<Level> level{bestLevel()};
    return level;
}

} // namespace

Level bestLevel()
{
    static const Level best = detect();
    return best;
}

Level level()
{
    return current().load(std::memory_order_relaxed);
}

Level setLevel(Level wanted)
{
    if (wanted == Level::Avx2 && bestLevel() != Level::Avx2)
        wanted = Level::Portable;
    return current().exchange(wanted, std::memory_order_relaxed);
}

#if KNETIX_HAVE_AVX2

namespace {

// Eight pixels of one byte each per 32-bit lane, packed into 24 bytes at out
// (28 bytes are written).
KNETIX_AVX2_INLINE void storePixels8(__m256i bgr, uint8_t* out)
{
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed = _mm256_shuffle_epi8(bgr, pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(packed, 1));
}

// One channel of eight pixels: 16-bit pairs (pixel, right neighbour) of the
// row and of the row below, weighted by the pairs (w00, w10) and (w01, w11).
// madd forms exactly the plain sums w00 c + w10 d and w01 e + w11 f.
KNETIX_AVX2_INLINE __m256i weighted(__m256i top, __m256i bottom, __m256i wTop, __m256i wBottom)
{
    const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(top, wTop), _mm256_madd_epi16(bottom, wBottom));
    return _mm256_srli_epi32(sum, 12);
}

// Four bytes at base + offset[k] + shift for eight k. Assembled from plain
// loads: on the processors at hand that is faster than a gather instruction.
KNETIX_AVX2_INLINE __m256i load8(const uint8_t* base, const int32_t* offset, int64_t shift)
{
    auto at = [base, offset, shift](int k) {
        int32_t v;
        std::memcpy(&v, base + (offset[k] + shift), 4);
        return v;
    };
    return _mm256_setr_epi32(at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7));
}

// Reads four bytes at the pixel (with the first byte of its right neighbour)
// and two bytes on (the last byte of the pixel and its right neighbour): never
// beyond the right neighbour. The same for the row below.
KNETIX_AVX2_INLINE void mixPixels8(const uint8_t* base, int64_t stride, const int32_t* offset,
                                   __m256i fx, __m256i fy, uint8_t* out)
{
    const __m256i t0 = load8(base, offset, 0);           // c0 c1 c2 d0
    const __m256i t2 = load8(base, offset, 2);           // c2 d0 d1 d2
    const __m256i u0 = load8(base, offset, -stride);     // the same in the row below
    const __m256i u2 = load8(base, offset, 2 - stride);

    // Bytes 0 and 3 of each lane as two 16-bit values; byte 1 of one lane and
    // byte 2 of another.
    const __m256i outer = _mm256_setr_epi8(0, -1, 3, -1, 4, -1, 7, -1, 8, -1, 11, -1, 12, -1, 15, -1,
                                           0, -1, 3, -1, 4, -1, 7, -1, 8, -1, 11, -1, 12, -1, 15, -1);
    const __m256i second = _mm256_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1,
                                            1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1);
    const __m256i third = _mm256_setr_epi8(-1, -1, 2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1,
                                           -1, -1, 2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1);
    const __m256i top0 = _mm256_shuffle_epi8(t0, outer);
    const __m256i top1 =
        _mm256_or_si256(_mm256_shuffle_epi8(t0, second), _mm256_shuffle_epi8(t2, third));
    const __m256i top2 = _mm256_shuffle_epi8(t2, outer);
    const __m256i bottom0 = _mm256_shuffle_epi8(u0, outer);
    const __m256i bottom1 =
        _mm256_or_si256(_mm256_shuffle_epi8(u0, second), _mm256_shuffle_epi8(u2, third));
    const __m256i bottom2 = _mm256_shuffle_epi8(u2, outer);

    // (w00, w10) = (64 - fy) (64 - fx, fx) and (w01, w11) = fy (64 - fx, fx); no
    // product exceeds 4096, so neither carries into the other half.
    const __m256i sixtyFour = _mm256_set1_epi32(64);
    const __m256i pairX = _mm256_or_si256(_mm256_sub_epi32(sixtyFour, fx), _mm256_slli_epi32(fx, 16));
    const __m256i wTop = _mm256_mullo_epi32(_mm256_sub_epi32(sixtyFour, fy), pairX);
    const __m256i wBottom = _mm256_mullo_epi32(fy, pairX);

    const __m256i v0 = weighted(top0, bottom0, wTop, wBottom);
    const __m256i v1 = weighted(top1, bottom1, wTop, wBottom);
    const __m256i v2 = weighted(top2, bottom2, wTop, wBottom);
    const __m256i bgr =
        _mm256_or_si256(v0, _mm256_or_si256(_mm256_slli_epi32(v1, 8), _mm256_slli_epi32(v2, 16)));
    storePixels8(bgr, out);
}

// Eight bytes at base + offset[k] + shift for four k, one per 64-bit lane.
KNETIX_AVX2_INLINE __m256i load4Wide(const uint8_t* base, const int32_t* offset, int64_t shift)
{
    auto at = [base, offset, shift](int k) {
        long long v;
        std::memcpy(&v, base + (offset[k] + shift), 8);
        return v;
    };
    return _mm256_setr_epi64x(at(0), at(1), at(2), at(3));
}

// Pixels 0..3 and 4..7 of a row as eight bytes each (c0 c1 c2 d0 d1 d2 - -)
// into the 16-bit pairs (c, d) of each channel. Each 128-bit half holds two
// pixels, so the 32-bit lanes come out in the pixel order 0 1 4 5 2 3 6 7.
KNETIX_AVX2_INLINE void pairsOfRow(__m256i low, __m256i high, __m256i& ch0, __m256i& ch1, __m256i& ch2)
{
    const __m256i first = _mm256_setr_epi8(0, -1, 3, -1, 8, -1, 11, -1, 1, -1, 4, -1, 9, -1, 12, -1,
                                           0, -1, 3, -1, 8, -1, 11, -1, 1, -1, 4, -1, 9, -1, 12, -1);
    const __m256i last = _mm256_setr_epi8(2, -1, 5, -1, 10, -1, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          2, -1, 5, -1, 10, -1, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i a = _mm256_shuffle_epi8(low, first), b = _mm256_shuffle_epi8(high, first);
    ch0 = _mm256_unpacklo_epi64(a, b);
    ch1 = _mm256_unpackhi_epi64(a, b);
    ch2 = _mm256_unpacklo_epi64(_mm256_shuffle_epi8(low, last), _mm256_shuffle_epi8(high, last));
}

} // namespace

KNETIX_AVX2 void mixPixelsPaddedAvx2(const uint8_t* base, int64_t stride, const int32_t* offset,
                                     const int32_t* fx, const int32_t* fy, int32_t count,
                                     uint8_t* out)
{
    // Swapping the middle 64-bit lanes turns pixel order into the pairs' lane
    // order and back.
    constexpr int kSwapMiddle = 0xD8;
    const __m256i sixtyFour = _mm256_set1_epi32(64);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i top0, top1, top2, bottom0, bottom1, bottom2;
        pairsOfRow(load4Wide(base, offset + i, 0), load4Wide(base, offset + i + 4, 0), top0, top1, top2);
        pairsOfRow(load4Wide(base, offset + i, -stride), load4Wide(base, offset + i + 4, -stride), bottom0,
                   bottom1, bottom2);
        const __m256i x = _mm256_permute4x64_epi64(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fx + i)), kSwapMiddle);
        const __m256i y = _mm256_permute4x64_epi64(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fy + i)), kSwapMiddle);
        const __m256i pairX = _mm256_or_si256(_mm256_sub_epi32(sixtyFour, x), _mm256_slli_epi32(x, 16));
        const __m256i wTop = _mm256_mullo_epi32(_mm256_sub_epi32(sixtyFour, y), pairX);
        const __m256i wBottom = _mm256_mullo_epi32(y, pairX);
        const __m256i v0 = weighted(top0, bottom0, wTop, wBottom);
        const __m256i v1 = weighted(top1, bottom1, wTop, wBottom);
        const __m256i v2 = weighted(top2, bottom2, wTop, wBottom);
        const __m256i bgr =
            _mm256_or_si256(v0, _mm256_or_si256(_mm256_slli_epi32(v1, 8), _mm256_slli_epi32(v2, 16)));
        storePixels8(_mm256_permute4x64_epi64(bgr, kSwapMiddle), out + 3 * i);
    }
    mixPixelsPortable(base, stride, offset + i, fx + i, fy + i, count - i, out + 3 * i);
}

KNETIX_AVX2 void mixPixelsAvx2(const uint8_t* base, int64_t stride, const int32_t* offset,
                               const int32_t* fx, const int32_t* fy, int32_t count, uint8_t* out)
{
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        mixPixels8(base, stride, offset + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fx + i)),
                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fy + i)), out + 3 * i);
    mixPixelsPortable(base, stride, offset + i, fx + i, fy + i, count - i, out + 3 * i);
}

// Reads four bytes at every offset: the pixel and the first byte of its right
// neighbour, which every caller's pixel has.
KNETIX_AVX2 void copyPixelsAvx2(const uint8_t* base, const int32_t* offset, int32_t count,
                                uint8_t* out)
{
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        storePixels8(load8(base, offset + i, 0), out + 3 * i);
    copyPixelsPortable(base, offset + i, count - i, out + 3 * i);
}

#endif

} // namespace knetix::kernels
