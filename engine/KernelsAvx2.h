#pragma once
// AVX2 building blocks that the renderers' fused loops inline: eight pixels
// mixed from positions held in registers, and stored without touching the
// bytes after them. Only for functions compiled for AVX2 themselves
// (KNETIX_AVX2). Internal to the engine.

#include "engine/Kernels.h"

#if KNETIX_HAVE_AVX2

#include <immintrin.h>

#include <cstring>

#define KNETIX_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace knetix::kernels::avx2 {

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

// One channel of eight pixels: 16-bit pairs (pixel, right neighbour) of the
// row and of the row below, weighted by the pairs (w00, w10) and (w01, w11).
// madd forms exactly the plain sums w00 c + w10 d and w01 e + w11 f.
KNETIX_AVX2_INLINE __m256i weighted(__m256i top, __m256i bottom, __m256i wTop, __m256i wBottom)
{
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(top, wTop), _mm256_madd_epi16(bottom, wBottom));
    return _mm256_srli_epi32(sum, 12);
}

// (w00, w10) = (64 - fy) (64 - fx, fx) and (w01, w11) = fy (64 - fx, fx) as
// 16-bit pairs; no product exceeds 4096, so neither carries into the other.
KNETIX_AVX2_INLINE void weightPairs(__m256i fx, __m256i fy, __m256i& wTop, __m256i& wBottom)
{
    const __m256i sixtyFour = _mm256_set1_epi32(64);
    const __m256i pairX = _mm256_or_si256(_mm256_sub_epi32(sixtyFour, fx), _mm256_slli_epi32(fx, 16));
    wTop = _mm256_mullo_epi32(_mm256_sub_epi32(sixtyFour, fy), pairX);
    wBottom = _mm256_mullo_epi32(fy, pairX);
}

KNETIX_AVX2_INLINE __m256i joinChannels(__m256i v0, __m256i v1, __m256i v2)
{
    return _mm256_or_si256(v0, _mm256_or_si256(_mm256_slli_epi32(v1, 8), _mm256_slli_epi32(v2, 16)));
}

// Eight mixed pixels (see Kernels.h), one per 32-bit lane as b g r 0. Reads
// four bytes at the pixel (with the first byte of its right neighbour) and
// two bytes on (the last byte of the pixel and its right neighbour): never
// beyond the right neighbour. The same for the row below.
KNETIX_AVX2_INLINE __m256i mix8(const uint8_t* base, int64_t stride, const int32_t* offset, __m256i fx,
                                __m256i fy)
{
    const __m256i t0 = load8(base, offset, 0);       // c0 c1 c2 d0
    const __m256i t2 = load8(base, offset, 2);       // c2 d0 d1 d2
    const __m256i u0 = load8(base, offset, -stride); // the same in the row below
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
    const __m256i top1 = _mm256_or_si256(_mm256_shuffle_epi8(t0, second), _mm256_shuffle_epi8(t2, third));
    const __m256i top2 = _mm256_shuffle_epi8(t2, outer);
    const __m256i bottom0 = _mm256_shuffle_epi8(u0, outer);
    const __m256i bottom1 =
        _mm256_or_si256(_mm256_shuffle_epi8(u0, second), _mm256_shuffle_epi8(u2, third));
    const __m256i bottom2 = _mm256_shuffle_epi8(u2, outer);

    __m256i wTop, wBottom;
    weightPairs(fx, fy, wTop, wBottom);
    return joinChannels(weighted(top0, bottom0, wTop, wBottom), weighted(top1, bottom1, wTop, wBottom),
                        weighted(top2, bottom2, wTop, wBottom));
}

// One pixel in each 128-bit lane for mix8Padded: the k-th of the eight in
// the low lane, the (k + 4)-th in the high one, whose weights are the k-th
// 32-bit values of each lane of wx (bytes 64 - fx, fx) and wy (16-bit values
// 64 - fy, fy). Gives its channels as 32-bit values c0 c1 c2 0 per lane.
template <int k>
KNETIX_AVX2_INLINE __m256i mixPaddedLanes(const uint8_t* base, int64_t stride, const int32_t* offset,
                                          __m256i wx, __m256i wy)
{
    // Eight bytes at the pixel (c0 c1 c2 d0 d1 d2 - -) and eight at the one
    // below in a 128-bit lane.
    auto pixel = [base, stride, offset](int i) {
        const __m128i row = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + offset[i]));
        return _mm_castpd_si128(
            _mm_loadh_pd(_mm_castsi128_pd(row), reinterpret_cast<const double*>(base + (offset[i] - stride))));
    };
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(pixel(k)), pixel(k + 4), 1);
    // Byte pairs (pixel, right neighbour) per channel, the row and the row
    // below alternating.
    const __m256i byNeighbour = _mm256_setr_epi8(0, 3, 8, 11, 1, 4, 9, 12, 2, 5, 10, 13, -1, -1, -1, -1,
                                                 0, 3, 8, 11, 1, 4, 9, 12, 2, 5, 10, 13, -1, -1, -1, -1);
    constexpr char a = 4 * k, b = 4 * k + 1, c = 4 * k + 2, d = 4 * k + 3;
    const __m256i pickX = _mm256_setr_epi8(a, b, a, b, a, b, a, b, a, b, a, b, -1, -1, -1, -1,
                                           a, b, a, b, a, b, a, b, a, b, a, b, -1, -1, -1, -1);
    const __m256i pickY = _mm256_setr_epi8(a, b, c, d, a, b, c, d, a, b, c, d, -1, -1, -1, -1,
                                           a, b, c, d, a, b, c, d, a, b, c, d, -1, -1, -1, -1);
    // (64 - fx) c + fx d for each channel of the row and of the row below (at
    // most 64 * 255: no saturation), then (64 - fy) top + fy bottom: the four
    // weighted pixels' sum, the same integer as the plain form's.
    const __m256i rows =
        _mm256_maddubs_epi16(_mm256_shuffle_epi8(both, byNeighbour), _mm256_shuffle_epi8(wx, pickX));
    return _mm256_srli_epi32(_mm256_madd_epi16(rows, _mm256_shuffle_epi8(wy, pickY)), 12);
}

// The same eight pixels as mix8 from half as many reads, eight bytes at the
// pixel and at the pixel below, so two bytes past the right neighbour must be
// readable.
KNETIX_AVX2_INLINE __m256i mix8Padded(const uint8_t* base, int64_t stride, const int32_t* offset,
                                      __m256i fx, __m256i fy)
{
    const __m256i sixtyFour = _mm256_set1_epi32(64);
    const __m256i wx = _mm256_or_si256(_mm256_sub_epi32(sixtyFour, fx), _mm256_slli_epi32(fx, 8));
    const __m256i wy = _mm256_or_si256(_mm256_sub_epi32(sixtyFour, fy), _mm256_slli_epi32(fy, 16));
    // Lanes: pixels 0 1 | 4 5 and 2 3 | 6 7 as 16-bit values, then all as
    // bytes in pixel order 0 1 2 3 | 4 5 6 7.
    const __m256i first = _mm256_packus_epi32(mixPaddedLanes<0>(base, stride, offset, wx, wy),
                                              mixPaddedLanes<1>(base, stride, offset, wx, wy));
    const __m256i second = _mm256_packus_epi32(mixPaddedLanes<2>(base, stride, offset, wx, wy),
                                               mixPaddedLanes<3>(base, stride, offset, wx, wy));
    return _mm256_packus_epi16(first, second);
}

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

// The same, writing exactly the 24 bytes: for the last pixels of a range,
// whose neighbours are not to change.
KNETIX_AVX2_INLINE void storePixels8Exact(__m256i bgr, uint8_t* out)
{
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    // The three full 32-bit words of each half side by side: bytes 0..23.
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(bgr, pack),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
}

// v / 4096, truncated toward zero as C++ divides.
KNETIX_AVX2_INLINE __m256i divide4096(__m256i v)
{
    const __m256i bias = _mm256_srli_epi32(_mm256_srai_epi32(v, 31), 20); // 4095 where negative
    return _mm256_srai_epi32(_mm256_add_epi32(v, bias), 12);
}

// Eight offsets of one byte each from a vector, for the pixel loads.
KNETIX_AVX2_INLINE void storeOffsets(int32_t* to, __m256i offset)
{
    _mm256_store_si256(reinterpret_cast<__m256i*>(to), offset);
}

} // namespace knetix::kernels::avx2

#endif
