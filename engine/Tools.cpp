#include "engine/Tools.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"
#include "engine/KernelsAvx2.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <type_traits>
#include <utility>

namespace knetix {

OffsetCell resampleField(const OffsetCell* F, int32_t W, int32_t H, int32_t x, int32_t y,
                         int32_t ox, int32_t oy)
{
    const int64_t ix = clampTo(floorDiv(ox, 64), 1 - int64_t(x), int64_t(W) - x - 2);
    const int64_t iy = clampTo(floorDiv(oy, 64), 1 - int64_t(y), int64_t(H) - y - 2);
    const int64_t fx = ox - 64 * ix;
    const int64_t fy = oy - 64 * iy;
    const OffsetCell* a = F + (int64_t(y) + iy) * W + (int64_t(x) + ix);
    const OffsetCell& c00 = a[0];
    const OffsetCell& c10 = a[1];
    const OffsetCell& c01 = a[W];
    const OffsetCell& c11 = a[W + 1];

    if (fx >= 0 && fx < 64 && fy >= 0 && fy < 64) {
        // The usual case: weights of at most 4096 keep the sums inside 64 bits.
        const int64_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
        const int64_t w01 = (64 - fx) * fy, w11 = fx * fy;
        const int64_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
        const int64_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
        return {saturate32(ox + sdx / 4096), saturate32(oy + sdy / 4096)};
    }
    // Clamped at the border: the extrapolating weights can grow with the offset.
    const int128_t gx = fx, gy = fy;
    const int128_t w00 = (64 - gx) * (64 - gy), w10 = gx * (64 - gy);
    const int128_t w01 = (64 - gx) * gy, w11 = gx * gy;
    const int128_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
    const int128_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
    return {saturate32(int128_t(ox) + sdx / 4096), saturate32(int128_t(oy) + sdy / 4096)};
}

namespace {

// Visits every second point of every second row of the tool square that passes
// the kind's range test and stores what cellAt computes into the patch.
template <class CellAt>
void visitSquare(const CMTool& tool, OffsetCell* patch, const Rect& square, bool moveRange,
                 CellAt cellAt)
{
    const int64_t W = tool.pictureWidth();
    const int64_t H = tool.pictureHeight();
    const int64_t r = tool.radius();
    // Two rows and two columns are the least the bilinear reads need; and a
    // square of another size than the patch would write outside it.
    if (W < 2 || H < 2 || int64_t(square.right) - square.left != 2 * r ||
        int64_t(square.bottom) - square.top != 2 * r)
        return;
    const int64_t side = tool.diameter();
    const int64_t xLow = 1, xHigh = moveRange ? W - 2 : W - 1;
    const int64_t yLow = moveRange ? 1 : 0, yHigh = moveRange ? H - 2 : H - 1;
    for (int64_t y = square.top; y < square.bottom; y += 2) {
        if (y < yLow || y > yHigh)
            continue;
        OffsetCell* row = patch + (y - square.top) * side;
        for (int64_t x = square.left; x < square.right; x += 2) {
            if (x < xLow || x > xHigh)
                continue;
            row[x - square.left] = cellAt(int32_t(x), int32_t(y));
        }
    }
}

static_assert(int64_t(CMTool::kMaxRadius) * CMTool::kMaxRadius * 64 <= (int64_t(1) << 26),
              "the falloff's quotient takes numerators under 2^26");

struct ToolView {
    const OffsetCell* F;
    int32_t W, H, cx, cy, V, sn, cs, D;
    const CMTool& tool;
    int32_t r2;
    // Whether every point the square can visit lies within kNear of the tool's
    // centre in both directions, which the quick falloff relies on.
    bool near;
    // n / r2 for n < 2^26 as (n m) >> shift (Granlund and Montgomery: with
    // 2^(shift - 26) >= r2 and m = ceil(2^shift / r2), m r2 - 2^shift < r2
    // makes the quotient exact; n m < 2^53).
    uint64_t m = 0;
    int32_t shift = 0;

    static constexpr int64_t kNear = 1 << 15;

    explicit ToolView(const CMTool& t, const OffsetCell* field, const Rect& square)
        : F(field), W(t.pictureWidth()), H(t.pictureHeight()), cx(t.lastX()), cy(t.lastY()),
          V(t.value()), sn(t.directionSine()), cs(t.directionCosine()), D(t.movementDistance()),
          tool(t), r2(t.radiusSquared())
    {
        auto within = [](int64_t lo, int64_t hi, int64_t centre) {
            return lo - centre >= -kNear && hi - centre <= kNear;
        };
        near = within(square.left, square.right, cx) && within(square.top, square.bottom, cy);
        if (r2 > 0) {
            // r2 <= 2^20 (the radius is at most 1024), so 64 s < 2^26 below.
            shift = 26 + int32_t(std::bit_width(uint32_t(r2) - 1));
            m = ((uint64_t(1) << shift) + uint64_t(r2) - 1) / uint64_t(r2);
        }
    }
    const OffsetCell& at(int32_t x, int32_t y) const { return F[int64_t(y) * W + x]; }

    // CMTool::falloff. Near the centre the squared distance s is small, and
    // e = 64 s / r^2 reaches 64 exactly when s reaches r^2, so only points
    // inside the circle need the division, which then fits 26 bits and is
    // taken by a multiplication.
    int32_t falloff(int32_t dx, int32_t dy) const
    {
        if (!near)
            return tool.falloff(dx, dy);
        if (r2 <= 0)
            return 0;
        const uint32_t s = uint32_t(dx * dx) + uint32_t(dy * dy);
        if (s >= uint32_t(r2))
            return 0;
        const int32_t e = int32_t((uint64_t(64 * s) * m) >> shift);
        return (64 - e) * (64 - e) / 64;
    }

    // resampleField, with the usual case (the whole 2 x 2 block inside the
    // field, fractions in 0..63) inline: there the clamp keeps floor(o / 64),
    // and o - 64 floor(o / 64) is o & 63.
    OffsetCell resample(int32_t x, int32_t y, int64_t ox64, int64_t oy64) const
    {
        const int32_t ox = saturate32(ox64), oy = saturate32(oy64);
        const int64_t ix = ox >> 6, iy = oy >> 6;
        if (ix < 1 - int64_t(x) || ix > int64_t(W) - x - 2 || iy < 1 - int64_t(y) ||
            iy > int64_t(H) - y - 2)
            return resampleField(F, W, H, x, y, ox, oy);
        const int64_t fx = ox & 63, fy = oy & 63;
        const OffsetCell* a = F + (int64_t(y) + iy) * W + (int64_t(x) + ix);
        const OffsetCell c00 = a[0], c10 = a[1], c01 = a[W], c11 = a[W + 1];
        const int64_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
        const int64_t w01 = (64 - fx) * fy, w11 = fx * fy;
        const int64_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
        const int64_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
        return {saturate32(ox + sdx / 4096), saturate32(oy + sdy / 4096)};
    }
};

// The usual case of ToolView::resample for rows of points, eight at a time,
// in 32 bits: exact while the four cells read have components within
// 2^19 - 1 (four weighted cells then sum below 2^31) and the picture is
// under 2^24 pixels each way (the offset plus the blend then stays below
// 2^31, so nothing saturates). Other points go the plain way.
constexpr int32_t kComponentLimit = (1 << 19) - 1;
constexpr int32_t kVectorSideLimit = 1 << 24;

void resampleRowPortable(const ToolView& t, int32_t y, int32_t x0, int32_t count, const int32_t* ox,
                         const int32_t* oy, OffsetCell* out)
{
    for (int32_t k = 0; k < count; ++k)
        out[2 * k] = t.resample(x0 + 2 * k, y, ox[k], oy[k]);
}

#if KNETIX_HAVE_AVX2
// The cells at F + at[k] + shift and their right neighbours for eight k: each
// load holds (dx, dy) of both, and four such per 128-bit half transpose into
// one vector per component, lanes in the order of k.
KNETIX_AVX2_INLINE void cellPairs(const OffsetCell* F, const int32_t* at, int64_t shift, __m256i& dx0,
                                  __m256i& dy0, __m256i& dx1, __m256i& dy1)
{
    auto pair = [F, at, shift](int k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(F + at[k] + shift));
    };
    const __m256i r0 = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(0)), pair(4), 1);
    const __m256i r1 = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(1)), pair(5), 1);
    const __m256i r2 = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(2)), pair(6), 1);
    const __m256i r3 = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(3)), pair(7), 1);
    const __m256i u0 = _mm256_unpacklo_epi32(r0, r1), u1 = _mm256_unpackhi_epi32(r0, r1);
    const __m256i u2 = _mm256_unpacklo_epi32(r2, r3), u3 = _mm256_unpackhi_epi32(r2, r3);
    dx0 = _mm256_unpacklo_epi64(u0, u2);
    dy0 = _mm256_unpackhi_epi64(u0, u2);
    dx1 = _mm256_unpacklo_epi64(u1, u3);
    dy1 = _mm256_unpackhi_epi64(u1, u3);
}

// (64 - fx)(64 - fy) c00 + fx (64 - fy) c10 + (64 - fx) fy c01 + fx fy c11,
// summed the separable way, which is the same integer, then / 4096.
KNETIX_AVX2_INLINE __m256i blendCells(__m256i fx, __m256i fy, __m256i c00, __m256i c10, __m256i c01,
                                      __m256i c11)
{
    const __m256i sixtyFour = _mm256_set1_epi32(64);
    const __m256i gx = _mm256_sub_epi32(sixtyFour, fx), gy = _mm256_sub_epi32(sixtyFour, fy);
    const __m256i top = _mm256_add_epi32(_mm256_mullo_epi32(gx, c00), _mm256_mullo_epi32(fx, c10));
    const __m256i bottom = _mm256_add_epi32(_mm256_mullo_epi32(gx, c01), _mm256_mullo_epi32(fx, c11));
    return kernels::avx2::divide4096(
        _mm256_add_epi32(_mm256_mullo_epi32(gy, top), _mm256_mullo_epi32(fy, bottom)));
}

// Points x0, x0 + 2, ... of row y at offsets (ox, oy) into out[0], out[2],
// ...; the cells between them are set to (0, 0), as the patch holds them
// before it is filled.
KNETIX_AVX2 void resampleRowAvx2(const ToolView& t, int32_t y, int32_t x0, int32_t count,
                                 const int32_t* ox, const int32_t* oy, OffsetCell* out)
{
    const int32_t W = t.W, H = t.H;
    int32_t k = 0;
    if (W < kVectorSideLimit && H < kVectorSideLimit) {
        const __m256i zero = _mm256_setzero_si256(), sixtyThree = _mm256_set1_epi32(63);
        const __m256i wLast = _mm256_set1_epi32(W - 1), hLast = _mm256_set1_epi32(H - 1);
        const __m256i width = _mm256_set1_epi32(W), rowY = _mm256_set1_epi32(y);
        const __m256i steps = _mm256_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14);
        const __m256i limit = _mm256_set1_epi32(kComponentLimit);
        alignas(32) int32_t at[8];
        for (; k + 8 <= count; k += 8) {
            const __m256i OX = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ox + k));
            const __m256i OY = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(oy + k));
            // Points outside the tool's circle are read at offset (0, 0): in
            // the usual case (the 2 x 2 blocks inside the field) that gives
            // their own cells, whatever their size. Loaded with the cells
            // between, which become (0, 0).
            const __m256i any = _mm256_or_si256(OX, OY);
            if (_mm256_testz_si256(any, any) && x0 + 2 * k + 14 <= W - 2 && y >= 1 && y <= H - 2) {
                const __m256i* from = reinterpret_cast<const __m256i*>(t.F + int64_t(y) * W + x0 + 2 * k);
                __m256i* to = reinterpret_cast<__m256i*>(out + 2 * k);
                for (int q = 0; q < 4; ++q)
                    _mm256_storeu_si256(to + q, _mm256_blend_epi32(_mm256_loadu_si256(from + q), zero, 0xCC));
                continue;
            }
            const __m256i x = _mm256_add_epi32(_mm256_set1_epi32(x0 + 2 * k), steps);
            // The top left cell of the 2 x 2 block read; the usual case has
            // the whole block inside the field.
            const __m256i ax = _mm256_add_epi32(x, _mm256_srai_epi32(OX, 6));
            const __m256i ay = _mm256_add_epi32(rowY, _mm256_srai_epi32(OY, 6));
            const __m256i usual = _mm256_and_si256(
                _mm256_and_si256(_mm256_cmpgt_epi32(ax, zero), _mm256_cmpgt_epi32(wLast, ax)),
                _mm256_and_si256(_mm256_cmpgt_epi32(ay, zero), _mm256_cmpgt_epi32(hLast, ay)));
            // Other points read cell 0, which every field has, and are redone.
            _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                               _mm256_and_si256(usual, _mm256_add_epi32(_mm256_mullo_epi32(ay, width), ax)));
            __m256i dx00, dy00, dx10, dy10, dx01, dy01, dx11, dy11;
            cellPairs(t.F, at, 0, dx00, dy00, dx10, dy10);
            cellPairs(t.F, at, W, dx01, dy01, dx11, dy11);
            const __m256i magnitude = _mm256_or_si256(
                _mm256_or_si256(_mm256_or_si256(_mm256_abs_epi32(dx00), _mm256_abs_epi32(dy00)),
                                _mm256_or_si256(_mm256_abs_epi32(dx10), _mm256_abs_epi32(dy10))),
                _mm256_or_si256(_mm256_or_si256(_mm256_abs_epi32(dx01), _mm256_abs_epi32(dy01)),
                                _mm256_or_si256(_mm256_abs_epi32(dx11), _mm256_abs_epi32(dy11))));
            // A magnitude with any bit above the limit's (the sign bit too,
            // which abs(INT32_MIN) keeps) is beyond it.
            const __m256i fine = _mm256_and_si256(
                _mm256_cmpeq_epi32(_mm256_andnot_si256(limit, magnitude), zero), usual);
            // The four weights' sum taken the separable way, which is the
            // same integer.
            const __m256i fx = _mm256_and_si256(OX, sixtyThree), fy = _mm256_and_si256(OY, sixtyThree);
            const __m256i dx = _mm256_add_epi32(OX, blendCells(fx, fy, dx00, dx10, dx01, dx11));
            const __m256i dy = _mm256_add_epi32(OY, blendCells(fx, fy, dy00, dy10, dy01, dy11));
            // Cells (dx, dy) with a (0, 0) cell after each: points 0 1 | 4 5
            // and 2 3 | 6 7 first, then spread out.
            const __m256i low = _mm256_unpacklo_epi32(dx, dy), high = _mm256_unpackhi_epi32(dx, dy);
            const __m256i c0 = _mm256_unpacklo_epi64(low, zero), c1 = _mm256_unpackhi_epi64(low, zero);
            const __m256i c2 = _mm256_unpacklo_epi64(high, zero), c3 = _mm256_unpackhi_epi64(high, zero);
            __m256i* to = reinterpret_cast<__m256i*>(out + 2 * k);
            _mm256_storeu_si256(to, _mm256_permute2x128_si256(c0, c1, 0x20));     // points 0, 1
            _mm256_storeu_si256(to + 1, _mm256_permute2x128_si256(c2, c3, 0x20)); // points 2, 3
            _mm256_storeu_si256(to + 2, _mm256_permute2x128_si256(c0, c1, 0x31)); // points 4, 5
            _mm256_storeu_si256(to + 3, _mm256_permute2x128_si256(c2, c3, 0x31)); // points 6, 7
            const int redo = ~_mm256_movemask_ps(_mm256_castsi256_ps(fine)) & 0xFF;
            for (int lanes = redo; lanes != 0; lanes &= lanes - 1) {
                const int32_t j = k + std::countr_zero(unsigned(lanes));
                out[2 * j] = t.resample(x0 + 2 * j, y, ox[j], oy[j]);
            }
        }
    }
    resampleRowPortable(t, y, x0 + 2 * k, count - k, ox + k, oy + k, out + 2 * k);
}
#endif

// The Whirl's turn depends on the falloff alone, which takes 65 values: each
// one's cosine and sine (times 64) are worked out once, on first use. Entry 0
// is never used and stays (0, 0).
struct WhirlTurns {
    double cosines[65] = {}, sines[65] = {};
    bool known[65] = {true};
    int32_t V;

    explicit WhirlTurns(int32_t value) : V(value) {}
    __attribute__((noinline)) void learn(int32_t g)
    {
        const double theta = double(g * (V - 32)) / 1024.0;
        cosines[g] = 64.0 * std::cos(theta);
        sines[g] = 64.0 * std::sin(theta);
        known[g] = true;
    }
};

// What a kind without offsets computed eight at a time passes.
struct NoEight {};

#if KNETIX_HAVE_AVX2
// The offsets of a row's points eight at a time, for the kinds whose state
// keeps the products below in the ranges given. Lanes hold points x0 + 2k,
// k = 0..7; dx and dy are their distances from the centre, which ToolView's
// near test keeps within 2^15.

// ToolView::falloff for eight points, in the same steps: s = dx^2 + dy^2 fits
// 32 unsigned bits, and 64 s m (m < 2^28) is formed in 64 bits per lane.
KNETIX_AVX2_INLINE __m256i falloff8(const ToolView& t, __m256i dx, __m256i dy)
{
    const __m256i s = _mm256_add_epi32(_mm256_mullo_epi32(dx, dx), _mm256_mullo_epi32(dy, dy));
    const __m256i r2 = _mm256_set1_epi32(t.r2);
    const __m256i outside = _mm256_cmpeq_epi32(_mm256_max_epu32(s, r2), s); // s >= r2, unsigned
    // Inside the circle 64 s < 2^26; the lanes outside are dropped at the end.
    const __m256i n = _mm256_slli_epi32(s, 6);
    const __m256i m = _mm256_set1_epi64x(int64_t(t.m));
    const __m128i shift = _mm_cvtsi32_si128(t.shift);
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, m), shift);
    const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), m), shift);
    const __m256i e = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    const __m256i h = _mm256_sub_epi32(_mm256_set1_epi32(64), e);
    return _mm256_andnot_si256(outside, _mm256_srli_epi32(_mm256_mullo_epi32(h, h), 6));
}

// a b / 4096 truncated toward zero for four lanes, through doubles: exact
// while |a b| < 2^53, where the product and its scaling by 2^-12 are exact
// and the conversion truncates as C++ divides, and the quotient fits 32 bits.
KNETIX_AVX2_INLINE __m128i productOver4096(__m128i a, __m128i b)
{
    const __m256d p = _mm256_mul_pd(_mm256_cvtepi32_pd(a), _mm256_cvtepi32_pd(b));
    return _mm256_cvttpd_epi32(_mm256_mul_pd(p, _mm256_set1_pd(1.0 / 4096)));
}

KNETIX_AVX2_INLINE __m256i productOver4096(__m256i a, __m256i b)
{
    return _mm256_setr_m128i(
        productOver4096(_mm256_castsi256_si128(a), _mm256_castsi256_si128(b)),
        productOver4096(_mm256_extracti128_si256(a, 1), _mm256_extracti128_si256(b, 1)));
}

// v / 3 truncated toward zero for any 32-bit v: floor(u / 3) is
// (u * 0xAAAAAAAB) >> 33 for every u < 2^32 (0xAAAAAAAB is 2^33 / 3 rounded
// up, 3 of it exceed 2^33 by 1 <= 2^(33 - 32)); taken of |v|, then v's sign.
KNETIX_AVX2_INLINE __m256i divide3(__m256i v)
{
    const __m256i u = _mm256_abs_epi32(v);
    const __m256i m = _mm256_set1_epi64x(0xAAAAAAABLL);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(u, m), 33);
    // Shifted right by 1 only, the odd lanes' quotients sit in the upper half.
    const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(u, 32), m), 1);
    return _mm256_sign_epi32(_mm256_blend_epi32(even, odd, 0xAA), v);
}

// The components of every second cell from at (at[0], at[2], ..., at[14], or
// with odd at[1] to at[15]) in the lane order 0 2 4 6 | 1 3 5 7 of the eight:
// 128-bit halves hold cells 0 and 2 of each load.
KNETIX_AVX2_INLINE void everySecondCell(const OffsetCell* at, bool odd, __m256i& dx, __m256i& dy)
{
    const __m256i* v = reinterpret_cast<const __m256i*>(at);
    const __m256i a = _mm256_loadu_si256(v), b = _mm256_loadu_si256(v + 1);
    const __m256i c = _mm256_loadu_si256(v + 2), d = _mm256_loadu_si256(v + 3);
    const __m256 low = _mm256_castsi256_ps(odd ? _mm256_unpackhi_epi64(a, b) : _mm256_unpacklo_epi64(a, b));
    const __m256 high = _mm256_castsi256_ps(odd ? _mm256_unpackhi_epi64(c, d) : _mm256_unpacklo_epi64(c, d));
    dx = _mm256_castps_si256(_mm256_shuffle_ps(low, high, 0x88));
    dy = _mm256_castps_si256(_mm256_shuffle_ps(low, high, 0xDD));
}

KNETIX_AVX2_INLINE __m256i negate(__m256i v)
{
    return _mm256_sub_epi32(_mm256_setzero_si256(), v);
}

// Fills ox and oy for the points of a row in groups of eight; returns how
// many points it did, the rest being left to the plain code.
template <class Eight>
KNETIX_AVX2 int32_t rowOffsetsAvx2(const ToolView& t, const Eight& eight, int32_t y, int32_t x0,
                                   int32_t count, int32_t* ox, int32_t* oy)
{
    const __m256i dy = _mm256_set1_epi32(y - t.cy);
    const __m256i steps = _mm256_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14);
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const int32_t x = x0 + 2 * k;
        if (!eight.fits(t, x, y))
            break;
        const __m256i dx = _mm256_add_epi32(_mm256_set1_epi32(x - t.cx), steps);
        const __m256i g = falloff8(t, dx, dy);
        // Every kind's offset is (0, 0) where the falloff is 0.
        __m256i vx = g, vy = g;
        if (!_mm256_testz_si256(g, g))
            eight(t, x, y, dx, dy, g, vx, vy);
        _mm256_store_si256(reinterpret_cast<__m256i*>(ox + k), vx);
        _mm256_store_si256(reinterpret_cast<__m256i*>(oy + k), vy);
    }
    return k;
}

// ZoomIn and ZoomOut: k = V D g, then k dx / 4096. While |V D| <= 2^18,
// |k| <= 2^24 and |k dx| < 2^39.
struct ScaleEight {
    int32_t vd;
    bool inward;
    static bool usable(const ToolView& t)
    {
        const int64_t vd = int64_t(t.V) * t.D;
        return vd >= -(1 << 18) && vd <= (1 << 18);
    }
    bool fits(const ToolView&, int32_t, int32_t) const { return true; }
    KNETIX_AVX2_INLINE void operator()(const ToolView&, int32_t, int32_t, __m256i dx, __m256i dy,
                                       __m256i g, __m256i& ox, __m256i& oy) const
    {
        const __m256i k = _mm256_mullo_epi32(g, _mm256_set1_epi32(vd));
        ox = productOver4096(k, dx);
        oy = productOver4096(k, dy);
        if (inward) {
            ox = negate(ox);
            oy = negate(oy);
        }
    }
};

// Move: sn D g V and cs D g V in 32 bits, exact while |sn D V| and |cs D V|
// are at most 2^24 (g <= 64).
struct MoveEight {
    int32_t sx, sy;
    static bool usable(const ToolView& t)
    {
        const int64_t dv = int64_t(t.D) * t.V;
        return std::abs(t.sn * dv) <= (1 << 24) && std::abs(t.cs * dv) <= (1 << 24);
    }
    bool fits(const ToolView&, int32_t, int32_t) const { return true; }
    KNETIX_AVX2_INLINE void operator()(const ToolView&, int32_t, int32_t, __m256i, __m256i, __m256i g,
                                       __m256i& ox, __m256i& oy) const
    {
        ox = negate(kernels::avx2::divide4096(_mm256_mullo_epi32(g, _mm256_set1_epi32(sx))));
        oy = negate(kernels::avx2::divide4096(_mm256_mullo_epi32(g, _mm256_set1_epi32(sy))));
    }
};

// Undo: k = V g / 8, then k c / 4096 for the point's own cell c. While
// 0 <= V <= 64, k <= 2^9, |k c| <= 2^40 and the quotient stays within 2^28.
struct UndoEight {
    static bool usable(const ToolView& t) { return t.V >= 0 && t.V <= 64; }
    // The sixteen cells from the first point on are read whole: they must lie
    // in the field.
    bool fits(const ToolView& t, int32_t x, int32_t y) const
    {
        return int64_t(y) * t.W + x + 16 <= int64_t(t.W) * t.H;
    }
    KNETIX_AVX2_INLINE void operator()(const ToolView& t, int32_t x, int32_t y, __m256i, __m256i,
                                       __m256i g, __m256i& ox, __m256i& oy) const
    {
        __m256i cdx, cdy;
        everySecondCell(t.F + int64_t(y) * t.W + x, false, cdx, cdy);
        const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
        cdx = _mm256_permutevar8x32_epi32(cdx, order);
        cdy = _mm256_permutevar8x32_epi32(cdy, order);
        const __m256i k = _mm256_srli_epi32(_mm256_mullo_epi32(g, _mm256_set1_epi32(t.V)), 3);
        ox = negate(productOver4096(k, cdx));
        oy = negate(productOver4096(k, cdy));
    }
};

// Zoom's offset before the division by 3: w = D g / 2, then cs w V and
// sn w V in 32 bits, exact while 0 <= D <= 2^24, |cs V|, |sn V| <= 2^24 and
// 32 D |cs V|, 32 D |sn V| <= 2^30 (w <= 32 D).
struct ZoomEight {
    double cz, sz;
    int32_t D, csV, snV;
    static bool usable(const ToolView& t)
    {
        const int64_t most = std::max(std::abs(int64_t(t.cs) * t.V), std::abs(int64_t(t.sn) * t.V));
        return t.D >= 0 && t.D <= (1 << 24) && most <= (1 << 24) && 32 * t.D * most <= (1 << 30);
    }
    bool fits(const ToolView&, int32_t, int32_t) const { return true; }
    // dx - (cz dx + sz dy + 32) / 64 and dy - (cz dy - sz dx + 32) / 64 in
    // the plain code's steps (a product by 2^-6 is the same as the quotient
    // by 64), truncated: within 2^17 for |dx|, |dy| <= 2^15.
    KNETIX_AVX2_INLINE void turn(__m128i dx, __m128i dy, __m128i& px, __m128i& py) const
    {
        const __m256d c = _mm256_set1_pd(cz), s = _mm256_set1_pd(sz);
        const __m256d half = _mm256_set1_pd(32.0), sixtyFourth = _mm256_set1_pd(1.0 / 64);
        const __m256d x = _mm256_cvtepi32_pd(dx), y = _mm256_cvtepi32_pd(dy);
        const __m256d u = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(c, x), _mm256_mul_pd(s, y)), half);
        const __m256d v = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(c, y), _mm256_mul_pd(s, x)), half);
        px = _mm256_cvttpd_epi32(_mm256_sub_pd(x, _mm256_mul_pd(u, sixtyFourth)));
        py = _mm256_cvttpd_epi32(_mm256_sub_pd(y, _mm256_mul_pd(v, sixtyFourth)));
    }
    KNETIX_AVX2_INLINE void operator()(const ToolView&, int32_t, int32_t, __m256i dx, __m256i dy,
                                       __m256i g, __m256i& ox, __m256i& oy) const
    {
        const __m256i w = _mm256_srli_epi32(_mm256_mullo_epi32(g, _mm256_set1_epi32(D)), 1);
        const __m256i a = kernels::avx2::divide4096(_mm256_mullo_epi32(w, _mm256_set1_epi32(csV)));
        const __m256i b = kernels::avx2::divide4096(_mm256_mullo_epi32(w, _mm256_set1_epi32(snV)));
        __m128i px0, py0, px1, py1;
        turn(_mm256_castsi256_si128(dx), _mm256_castsi256_si128(dy), px0, py0);
        turn(_mm256_extracti128_si256(dx, 1), _mm256_castsi256_si128(dy), px1, py1);
        const __m256i px = _mm256_setr_m128i(px0, px1), py = _mm256_setr_m128i(py0, py1);
        const __m256i none = _mm256_cmpeq_epi32(g, _mm256_setzero_si256());
        ox = _mm256_andnot_si256(none, divide3(_mm256_add_epi32(px, _mm256_slli_epi32(a, 1))));
        oy = _mm256_andnot_si256(none, divide3(_mm256_sub_epi32(py, _mm256_slli_epi32(b, 1))));
    }
};

// Whirl: (cw dx + sw dy + 32) / 64 - hx and (cw dy - sw dx + 32) / 64 - hy
// in the plain code's steps (the product by 2^-6 again standing for the
// quotient by 64), truncated: within 2^17 for |dx|, |dy| <= 2^15. cw and sw
// come from the same table as in the plain code.
struct WhirlEight {
    WhirlTurns& turns;
    bool fits(const ToolView&, int32_t, int32_t) const { return true; }
    KNETIX_AVX2_INLINE void turn(__m128i g, __m128i dx, __m128i dy, __m128i& ox, __m128i& oy) const
    {
        const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
        const __m256d c = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), turns.cosines, g, all, 8);
        const __m256d s = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), turns.sines, g, all, 8);
        const __m256d half = _mm256_set1_pd(32.0), sixtyFourth = _mm256_set1_pd(1.0 / 64);
        const __m256d x = _mm256_cvtepi32_pd(dx), y = _mm256_cvtepi32_pd(dy);
        // (2 d) / 4 is d / 2 truncated: one more than the floor for odd negative d.
        const __m256d hx = _mm256_cvtepi32_pd(_mm_srai_epi32(_mm_add_epi32(dx, _mm_srli_epi32(dx, 31)), 1));
        const __m256d hy = _mm256_cvtepi32_pd(_mm_srai_epi32(_mm_add_epi32(dy, _mm_srli_epi32(dy, 31)), 1));
        const __m256d u = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(c, x), _mm256_mul_pd(s, y)), half);
        const __m256d v = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(c, y), _mm256_mul_pd(s, x)), half);
        ox = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(u, sixtyFourth), hx));
        oy = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_mul_pd(v, sixtyFourth), hy));
    }
    KNETIX_AVX2_INLINE void operator()(const ToolView&, int32_t, int32_t, __m256i dx, __m256i dy,
                                       __m256i g, __m256i& ox, __m256i& oy) const
    {
        alignas(32) int32_t gs[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(gs), g);
        for (int32_t v : gs)
            if (!turns.known[v])
                turns.learn(v);
        __m128i ox0, oy0, ox1, oy1;
        turn(_mm256_castsi256_si128(g), _mm256_castsi256_si128(dx), _mm256_castsi256_si128(dy), ox0, oy0);
        turn(_mm256_extracti128_si256(g, 1), _mm256_extracti128_si256(dx, 1), _mm256_castsi256_si128(dy),
             ox1, oy1);
        const __m256i none = _mm256_cmpeq_epi32(g, _mm256_setzero_si256());
        ox = _mm256_andnot_si256(none, _mm256_setr_m128i(ox0, ox1));
        oy = _mm256_andnot_si256(none, _mm256_setr_m128i(oy0, oy1));
    }
};

// Smooth for the eight points x, x + 2, ..., x + 14 of row y, all of whose
// neighbours read lie inside the field (3 <= x, x + 14 <= W - 4 and
// 3 <= y <= H - 4), into out[0], out[2], ..., with (0, 0) between them. In
// 32 bits: exact while 0 <= V <= 64 (so f <= 64) and the five cells read have
// components within 2^23 - 1, which keeps f n + 4 (64 - f) c within
// 256 (2^23 - 1) < 2^31; other points go the plain way.
template <class CellAt>
KNETIX_AVX2_INLINE void smoothEight(const ToolView& t, int32_t x, int32_t y, OffsetCell* out,
                                    const CellAt& cellAt)
{
    // Lanes hold the points in the order 0 2 4 6 | 1 3 5 7, as every second
    // cell comes out of the loads.
    const __m256i dx = _mm256_add_epi32(_mm256_set1_epi32(x - t.cx), _mm256_setr_epi32(0, 4, 8, 12, 2, 6, 10, 14));
    const __m256i f = _mm256_srli_epi32(
        _mm256_mullo_epi32(falloff8(t, dx, _mm256_set1_epi32(y - t.cy)), _mm256_set1_epi32(t.V)), 6);
    const OffsetCell* at = t.F + int64_t(y) * t.W + x;
    __m256i cdx, cdy, ldx, ldy, rdx, rdy, adx, ady, bdx, bdy;
    everySecondCell(at, false, cdx, cdy);
    everySecondCell(at, true, rdx, rdy);
    everySecondCell(at - 2, true, ldx, ldy);
    everySecondCell(at - t.W, false, adx, ady);
    everySecondCell(at - 3 * int64_t(t.W), false, bdx, bdy);
    const __m256i magnitude = _mm256_or_si256(
        _mm256_or_si256(_mm256_or_si256(_mm256_abs_epi32(cdx), _mm256_abs_epi32(cdy)),
                        _mm256_or_si256(_mm256_abs_epi32(ldx), _mm256_abs_epi32(ldy))),
        _mm256_or_si256(_mm256_or_si256(_mm256_abs_epi32(rdx), _mm256_abs_epi32(rdy)),
                        _mm256_or_si256(_mm256_or_si256(_mm256_abs_epi32(adx), _mm256_abs_epi32(ady)),
                                        _mm256_or_si256(_mm256_abs_epi32(bdx), _mm256_abs_epi32(bdy)))));
    // Any bit above the limit's, the sign bit of abs(INT32_MIN) too.
    const __m256i fine = _mm256_cmpeq_epi32(
        _mm256_andnot_si256(_mm256_set1_epi32((1 << 23) - 1), magnitude), _mm256_setzero_si256());
    const __m256i keep = _mm256_slli_epi32(_mm256_sub_epi32(_mm256_set1_epi32(64), f), 2); // 4 (64 - f)
    const __m256i nx = _mm256_add_epi32(_mm256_add_epi32(adx, bdx), _mm256_add_epi32(ldx, rdx));
    const __m256i ny = _mm256_add_epi32(_mm256_add_epi32(ady, bdy), _mm256_add_epi32(ldy, rdy));
    const __m256i sx = _mm256_add_epi32(_mm256_mullo_epi32(f, nx), _mm256_mullo_epi32(keep, cdx));
    const __m256i sy = _mm256_add_epi32(_mm256_mullo_epi32(f, ny), _mm256_mullo_epi32(keep, cdy));
    // / 256 truncated toward zero: 255 added to negative sums first.
    const __m256i rx = _mm256_srai_epi32(_mm256_add_epi32(sx, _mm256_srli_epi32(_mm256_srai_epi32(sx, 31), 24)), 8);
    const __m256i ry = _mm256_srai_epi32(_mm256_add_epi32(sy, _mm256_srli_epi32(_mm256_srai_epi32(sy, 31), 24)), 8);
    // (dx, dy) pairs: points 0 2 | 1 3 and 4 6 | 5 7, each with a (0, 0) cell
    // after it, make points 0 1 | 2 3 and so on in memory order.
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_unpacklo_epi32(rx, ry), high = _mm256_unpackhi_epi32(rx, ry);
    __m256i* to = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(to, _mm256_unpacklo_epi64(low, zero));      // points 0, 1
    _mm256_storeu_si256(to + 1, _mm256_unpackhi_epi64(low, zero));  // points 2, 3
    _mm256_storeu_si256(to + 2, _mm256_unpacklo_epi64(high, zero)); // points 4, 5
    _mm256_storeu_si256(to + 3, _mm256_unpackhi_epi64(high, zero)); // points 6, 7
    const int redo = ~_mm256_movemask_ps(_mm256_castsi256_ps(fine)) & 0xFF;
    for (int lanes = redo; lanes != 0; lanes &= lanes - 1) {
        static constexpr int32_t kPoint[8] = {0, 2, 4, 6, 1, 3, 5, 7};
        const int32_t j = kPoint[std::countr_zero(unsigned(lanes))];
        out[2 * j] = cellAt(x + 2 * j, y);
    }
}

// visitSquare for Smooth, with the points whose neighbours lie inside the
// field done eight at a time.
template <class CellAt>
KNETIX_AVX2 void smoothSquareAvx2(const ToolView& t, OffsetCell* patch, const Rect& square, const CellAt& cellAt)
{
    const int64_t W = t.W, H = t.H, r = t.tool.radius();
    if (W < 2 || H < 2 || int64_t(square.right) - square.left != 2 * r ||
        int64_t(square.bottom) - square.top != 2 * r)
        return;
    const int64_t side = t.tool.diameter();
    const int64_t left = square.left;
    const int64_t xFirst = std::max(left, 1 + ((1 - left) & 1));
    const int64_t xLast = std::min<int64_t>(square.right - 1, W - 1);
    if (xFirst > xLast)
        return;
    const int64_t count = (xLast - xFirst) / 2 + 1;
    // The first point at or after x = 3; groups of eight run up to W - 4.
    const int64_t kInner = xFirst >= 3 ? 0 : (3 - xFirst + 1) / 2;
    for (int64_t y = square.top; y < square.bottom; y += 2) {
        if (y < 0 || y > H - 1)
            continue;
        OffsetCell* row = patch + (y - square.top) * side + (xFirst - left);
        int64_t k = 0;
        if (y >= 3 && y <= H - 4) {
            for (; k < std::min(kInner, count); ++k)
                row[2 * k] = cellAt(int32_t(xFirst + 2 * k), int32_t(y));
            for (; k + 8 <= count && xFirst + 2 * k + 14 <= W - 4; k += 8)
                smoothEight(t, int32_t(xFirst + 2 * k), int32_t(y), row + 2 * k, cellAt);
        }
        for (; k < count; ++k)
            row[2 * k] = cellAt(int32_t(xFirst + 2 * k), int32_t(y));
    }
}
#endif

// visitSquare for the kinds that resample the field: offsetAt gives the
// offset (ox, oy) of a point (eight gives them eight at a time where it can),
// and the points of a row are resampled together. The cells between the
// points are left (0, 0).
template <class OffsetAt, class Eight>
void resampleSquare(const ToolView& t, OffsetCell* patch, const Rect& square, bool moveRange,
                    OffsetAt offsetAt, const Eight& eight)
{
    const int64_t W = t.tool.pictureWidth();
    const int64_t H = t.tool.pictureHeight();
    const int64_t r = t.tool.radius();
    if (W < 2 || H < 2 || int64_t(square.right) - square.left != 2 * r ||
        int64_t(square.bottom) - square.top != 2 * r)
        return;
    const int64_t side = t.tool.diameter();
    const int64_t xLow = 1, xHigh = moveRange ? W - 2 : W - 1;
    const int64_t yLow = moveRange ? 1 : 0, yHigh = moveRange ? H - 2 : H - 1;
    // The points of a row that pass the range test: the first at or after
    // xLow, every second one up to xHigh (at most r of them).
    const int64_t left = square.left;
    const int64_t xFirst = std::max(left, xLow + ((xLow - left) & 1));
    const int64_t xLast = std::min<int64_t>(square.right - 1, xHigh);
    if (xFirst > xLast)
        return;
    const int32_t count = int32_t((xLast - xFirst) / 2 + 1); // at most r
    alignas(32) int32_t ox[CMTool::kMaxRadius], oy[CMTool::kMaxRadius];
#if KNETIX_HAVE_AVX2
    const bool avx2 = kernels::level() == kernels::Level::Avx2;
    const bool eights = avx2 && t.near;
#endif
    for (int64_t y = square.top; y < square.bottom; y += 2) {
        if (y < yLow || y > yHigh)
            continue;
        int32_t k = 0;
#if KNETIX_HAVE_AVX2
        if constexpr (!std::is_same_v<Eight, NoEight>)
            if (eights)
                k = rowOffsetsAvx2(t, eight, int32_t(y), int32_t(xFirst), count, ox, oy);
#endif
        for (; k < count; ++k) {
            const auto [dx, dy] = offsetAt(int32_t(xFirst + 2 * k), int32_t(y));
            ox[k] = saturate32(dx);
            oy[k] = saturate32(dy);
        }
        OffsetCell* out = patch + (y - square.top) * side + (xFirst - left);
#if KNETIX_HAVE_AVX2
        if (avx2) {
            resampleRowAvx2(t, int32_t(y), int32_t(xFirst), count, ox, oy, out);
            continue;
        }
#endif
        resampleRowPortable(t, int32_t(y), int32_t(xFirst), count, ox, oy, out);
    }
}

using Offset = std::pair<int64_t, int64_t>;

} // namespace

void CMTool_Move::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                        int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    auto offsetAt = [&](int32_t x, int32_t y) {
        const int64_t w = int64_t(t.D) * t.falloff(x - t.cx, y - t.cy);
        return Offset{-(t.sn * w * t.V / 4096), -(t.cs * w * t.V / 4096)};
    };
#if KNETIX_HAVE_AVX2
    if (MoveEight::usable(t))
        return resampleSquare(t, patch, square, true, offsetAt,
                              MoveEight{int32_t(int64_t(t.sn) * t.D * t.V), int32_t(int64_t(t.cs) * t.D * t.V)});
#endif
    resampleSquare(t, patch, square, true, offsetAt, NoEight{});
}

void CMTool_ZoomIn::apply(const OffsetCell* field, OffsetCell* patch, const Rect&,
                          const Rect& square, int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    auto offsetAt = [&](int32_t x, int32_t y) {
        const int64_t dx = x - t.cx, dy = y - t.cy;
        const int64_t k = int64_t(t.V) * t.D * t.falloff(int32_t(dx), int32_t(dy));
        return Offset{-(k * dx / 4096), -(k * dy / 4096)};
    };
#if KNETIX_HAVE_AVX2
    if (ScaleEight::usable(t))
        return resampleSquare(t, patch, square, false, offsetAt, ScaleEight{t.V * t.D, true});
#endif
    resampleSquare(t, patch, square, false, offsetAt, NoEight{});
}

void CMTool_ZoomOut::apply(const OffsetCell* field, OffsetCell* patch, const Rect&,
                           const Rect& square, int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    auto offsetAt = [&](int32_t x, int32_t y) {
        const int64_t dx = x - t.cx, dy = y - t.cy;
        const int64_t k = int64_t(t.V) * t.D * t.falloff(int32_t(dx), int32_t(dy));
        return Offset{k * dx / 4096, k * dy / 4096};
    };
#if KNETIX_HAVE_AVX2
    if (ScaleEight::usable(t))
        return resampleSquare(t, patch, square, false, offsetAt, ScaleEight{t.V * t.D, false});
#endif
    resampleSquare(t, patch, square, false, offsetAt, NoEight{});
}

void CMTool_Undo::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                        int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    auto offsetAt = [&](int32_t x, int32_t y) {
        const int64_t k = int64_t(t.V) * t.falloff(x - t.cx, y - t.cy) / 8;
        const OffsetCell& c = t.at(x, y);
        return Offset{-(k * c.dx / 4096), -(k * c.dy / 4096)};
    };
#if KNETIX_HAVE_AVX2
    if (UndoEight::usable(t))
        return resampleSquare(t, patch, square, false, offsetAt, UndoEight{});
#endif
    resampleSquare(t, patch, square, false, offsetAt, NoEight{});
}

void CMTool_Whirl::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                         int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    WhirlTurns turns(t.V);
    auto offsetAt = [&](int32_t x, int32_t y) {
        const int32_t dx = x - t.cx, dy = y - t.cy;
        const int32_t g = t.falloff(dx, dy);
        int64_t ox = 0, oy = 0;
        if (g != 0) {
            if (!turns.known[g])
                turns.learn(g);
            const double cw = turns.cosines[g];
            const double sw = turns.sines[g];
            const int32_t hx = (2 * dx) / 4;
            const int32_t hy = (2 * dy) / 4;
            ox = int64_t(std::trunc((cw * dx + sw * dy + 32.0) / 64.0 - hx));
            oy = int64_t(std::trunc((cw * dy - sw * dx + 32.0) / 64.0 - hy));
        }
        return Offset{ox, oy};
    };
#if KNETIX_HAVE_AVX2
    return resampleSquare(t, patch, square, false, offsetAt, WhirlEight{turns});
#else
    resampleSquare(t, patch, square, false, offsetAt, NoEight{});
#endif
}

void CMTool_Zoom::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                        int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    const double cz = 64.0 * std::cos(1.0);
    const double sz = 64.0 * std::sin(1.0);
    auto offsetAt = [&](int32_t x, int32_t y) {
        const int32_t dx = x - t.cx, dy = y - t.cy;
        const int32_t g = t.falloff(dx, dy);
        int64_t ox = 0, oy = 0;
        if (g != 0) {
            const int64_t w = int64_t(t.D) * g / 2;
            const int64_t px = int64_t(std::trunc(dx - (cz * dx + sz * dy + 32.0) / 64.0));
            const int64_t py = int64_t(std::trunc(dy - (cz * dy - sz * dx + 32.0) / 64.0));
            ox = (px + 2 * (t.cs * w * t.V / 4096)) / 3;
            oy = (py - 2 * (t.sn * w * t.V / 4096)) / 3;
        }
        return Offset{ox, oy};
    };
#if KNETIX_HAVE_AVX2
    if (ZoomEight::usable(t))
        return resampleSquare(t, patch, square, false, offsetAt,
                              ZoomEight{cz, sz, t.D, t.cs * t.V, t.sn * t.V});
#endif
    resampleSquare(t, patch, square, false, offsetAt, NoEight{});
}

void CMTool_Smooth::apply(const OffsetCell* field, OffsetCell* patch, const Rect&,
                          const Rect& square, int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    auto cellAt = [&](int32_t x, int32_t y) {
        const OffsetCell& c = t.at(x, y);
        if (x < 3 || x > t.W - 4 || y < 3 || y > t.H - 4)
            return c;
        const int64_t f = int64_t(t.V) * t.falloff(x - t.cx, y - t.cy) / 64;
        const OffsetCell& up1 = t.at(x, y - 1);
        const OffsetCell& up3 = t.at(x, y - 3);
        const OffsetCell& left = t.at(x - 1, y);
        const OffsetCell& right = t.at(x + 1, y);
        const int64_t ndx = int64_t(up1.dx) + up3.dx + left.dx + right.dx;
        const int64_t ndy = int64_t(up1.dy) + up3.dy + left.dy + right.dy;
        return OffsetCell(saturate32((f * ndx + 4 * (64 - f) * c.dx) / 256),
                          saturate32((f * ndy + 4 * (64 - f) * c.dy) / 256));
    };
#if KNETIX_HAVE_AVX2
    if (kernels::level() == kernels::Level::Avx2 && t.near && t.V >= 0 && t.V <= 64)
        return smoothSquareAvx2(t, patch, square, cellAt);
#endif
    visitSquare(*this, patch, square, false, cellAt);
}

} // namespace knetix
