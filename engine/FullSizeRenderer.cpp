#include "engine/FullSizeRenderer.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"
#include "engine/KernelsAvx2.h"
#include "engine/Parallel.h"
#include "container/WA.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace knetix {

namespace {

using kernels::clamp32;
using kernels::kBatch;
using kernels::Level;

// The plain form, for fields and pictures beyond what the batched form handles.
void renderRowsWide(const uint8_t* source, uint8_t* output, int32_t W, int32_t H, int32_t stride,
                    const OffsetCell* field, int32_t w, int32_t h, int32_t firstRow, int32_t lastRow)
{
    const int64_t pw = W, ph = H, fw = w, fh = h;
    for (int64_t i = firstRow; i <= lastRow; ++i) {
        // Position in the field in 1/64 cell.
        const int64_t fy = i * (64 * fh) / ph;
        const int64_t cy = std::min(fh - 2, fy / 64);
        const int64_t oy = fy % 64;
        const OffsetCell* row0 = field + cy * fw;
        const OffsetCell* row1 = row0 + fw;
        uint8_t* out = output + (ph - 1 - i) * stride;
        for (int64_t j = 0; j <= pw - 2; ++j) {
            const int64_t fx = j * (64 * fw) / pw;
            const int64_t cx = std::min(fw - 2, fx / 64);
            const int64_t ox = fx % 64;
            const int64_t w00 = (64 - oy) * (64 - ox), w10 = (64 - oy) * ox;
            const int64_t w01 = oy * (64 - ox), w11 = oy * ox;
            const int64_t DX = (w00 * row0[cx].dx + w10 * row0[cx + 1].dx + w01 * row1[cx].dx +
                                w11 * row1[cx + 1].dx) /
                               4096;
            const int64_t DY = (w00 * row0[cx].dy + w10 * row0[cx + 1].dy + w01 * row1[cx].dy +
                                w11 * row1[cx + 1].dy) /
                               4096;
            // Source position in 1/64 picture pixel.
            const int64_t X = 64 * j + DX * pw / fw;
            const int64_t Y = 64 * i + DY * ph / fh;
            const int64_t sx = X / 64, sy = Y / 64;
            uint8_t* d = out + 3 * j;
            if (X < 0 || Y < 0 || sx > pw - 2 || sy > ph - 2) {
                const uint8_t* s =
                    source + (ph - 1 - clampTo(sy, 1, ph - 2)) * stride + 3 * clampTo(sx, 1, pw - 2);
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                continue;
            }
            const int32_t rx = int32_t(X % 64), ry = int32_t(Y % 64);
            const int32_t v00 = (64 - ry) * (64 - rx), v10 = (64 - ry) * rx;
            const int32_t v01 = ry * (64 - rx), v11 = ry * rx;
            const uint8_t* p00 = source + (ph - 1 - sy) * stride + 3 * sx;
            const uint8_t* p01 = p00 - stride; // the picture row below
            for (int k = 0; k < 3; ++k)
                d[k] = uint8_t((v00 * p00[k] + v10 * p00[3 + k] + v01 * p01[k] + v11 * p01[3 + k]) /
                               4096);
        }
    }
}

// The batched form computes in 32 bits, which is exact while field components
// stay below 2^19 (the sums of four weighted cells then stay below 2^31), the
// positions fit and the picture block is under 2 GB. It scales the offsets
// by an integer multiplier where that is exact (nearly always), else with
// doubles: DX * W is below 2^52, so the quotient, rounded to nearest and then
// truncated, is the truncated integer quotient.
constexpr int64_t kComponentLimit = (int64_t(1) << 19) - 1;
// Fields narrower and lower than this, which the AVX2 form's scaling by a
// multiplication needs (see scaleOffsets).
constexpr int32_t kFieldSideLimit = 1 << 19;

// trunc(d * P / p) as (|d| * factor) >> shift with the sign put back, where
// that is exact for every |d| up to the field's largest component m (see
// multiplierFor); 0 where it is not.
struct Multiplier {
    uint32_t factor = 0;
    int32_t shift = 0;
};

// With factor = ceil(2^shift P / p), |d| factor / 2^shift exceeds v = |d| P / p
// by less than |d| / 2^shift, which is at most 1 / p while m p <= 2^shift. v
// is a multiple of 1 / p, so its fraction is at most 1 - 1 / p and the excess
// never reaches the next integer: the shifted product is floor(v). The
// largest shift (at most 32) whose factor fits in 32 bits is taken.
Multiplier multiplierFor(int64_t P, int64_t p, int64_t m)
{
    for (int32_t shift = 32; shift >= 0; --shift) {
        const int64_t factor = ((P << shift) + p - 1) / p;
        if (factor <= int64_t(UINT32_MAX)) {
            if (m * p > (int64_t(1) << shift))
                return {};
            return {uint32_t(factor), shift};
        }
    }
    return {};
}

struct Plan {
    bool batched = false;
    std::vector<int32_t> column; // field column of picture column j
    std::vector<int32_t> weight; // its weight in 1/64 towards the next field column
    double xRatio = 0, yRatio = 0; // W / w and H / h, rounded
    Multiplier xMultiplier, yMultiplier;
};

// The field row above picture row i (the blend reads it and the next one).
int64_t fieldRowOf(int64_t i, int32_t H, int32_t h)
{
    return std::min(int64_t(h) - 2, i * (64 * int64_t(h)) / H / 64);
}

// For rows firstRow .. lastRow (within 0 .. H - 2): only the field rows these
// read are checked.
Plan makePlan(int32_t W, int32_t H, int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
              int32_t firstRow, int32_t lastRow)
{
    Plan plan;
    if (int64_t(H) * stride > INT32_MAX)
        return plan;
    int32_t lo = 0, hi = 0;
    const OffsetCell* begin = field + fieldRowOf(firstRow, H, h) * w;
    const OffsetCell* end = field + (fieldRowOf(lastRow, H, h) + 2) * w;
    for (const OffsetCell* c = begin; c != end; ++c) {
        lo = std::min({lo, c->dx, c->dy});
        hi = std::max({hi, c->dx, c->dy});
    }
    const int64_t m = std::max(-int64_t(lo), int64_t(hi));
    if (m > kComponentLimit || w >= kFieldSideLimit || h >= kFieldSideLimit ||
        64 * (int64_t(W) - 2) + m * W / w > INT32_MAX ||
        64 * (int64_t(H) - 2) + m * H / h > INT32_MAX)
        return plan;
    try {
        plan.column.resize(size_t(W) - 1);
        plan.weight.resize(size_t(W) - 1);
    } catch (const std::bad_alloc&) {
        return plan;
    }
    for (int64_t j = 0; j <= int64_t(W) - 2; ++j) {
        const int64_t fx = j * (64 * int64_t(w)) / W;
        plan.column[size_t(j)] = int32_t(std::min(int64_t(w) - 2, fx / 64));
        plan.weight[size_t(j)] = int32_t(fx % 64);
    }
    plan.xRatio = double(W) / double(w);
    plan.yRatio = double(H) / double(h);
    plan.xMultiplier = multiplierFor(W, w, m);
    plan.yMultiplier = multiplierFor(H, h, m);
    plan.batched = true;
    return plan;
}

// Where output pixel (j, i) reads the source for the field's displacement
// (DX, DY) there, in 1/64 field pixel: the offset of the pixel up and left of
// the point, and the weights towards the next ones in 1/64 (0 outside the
// picture, where the clamped pixel is taken whole).
inline void pixelPosition(int32_t j, int32_t i, int32_t DX, int32_t DY, int32_t W, int32_t H, int32_t w,
                          int32_t h, int32_t stride, int32_t& offset, int32_t& rx, int32_t& ry)
{
    const int32_t X = 64 * j + int32_t(double(DX) * W / w);
    const int32_t Y = 64 * i + int32_t(double(DY) * H / h);
    const int32_t sx = X >> 6, sy = Y >> 6;
    const bool inside = (X >= 0) & (Y >= 0) & (sx <= W - 2) & (sy <= H - 2);
    const int32_t px = inside ? sx : clamp32(sx, 1, W - 2);
    const int32_t py = inside ? sy : clamp32(sy, 1, H - 2);
    offset = (H - 1 - py) * stride + 3 * px;
    rx = inside ? X & 63 : 0;
    ry = inside ? Y & 63 : 0;
}

// Per row: the field rows around it blended vertically once (vx, vy), then
// batches of pixels: positions (written to vectorise), pixels, out.
void renderRowsPortable(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                        int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                        int32_t firstRow, int32_t lastRow, const Plan& plan, int32_t* vx, int32_t* vy)
{
    const int32_t* column = plan.column.data();
    const int32_t* weight = plan.weight.data();
    alignas(32) int32_t offset[kBatch], rx[kBatch], ry[kBatch];
    alignas(32) uint8_t pixels[3 * kBatch + kernels::kOutSlack];
    for (int32_t i = firstRow; i <= lastRow; ++i) {
        const int64_t fy = int64_t(i) * (64 * int64_t(h)) / H;
        const int64_t cy = std::min(int64_t(h) - 2, fy / 64);
        const int32_t oy = int32_t(fy % 64);
        const OffsetCell* row0 = field + cy * w;
        const OffsetCell* row1 = row0 + w;
        for (int32_t c = 0; c < w; ++c) {
            vx[c] = (64 - oy) * row0[c].dx + oy * row1[c].dx;
            vy[c] = (64 - oy) * row0[c].dy + oy * row1[c].dy;
        }
        uint8_t* out = output + int64_t(H - 1 - i) * stride;
        for (int32_t js = 0; js <= W - 2; js += kBatch) {
            const int32_t n = std::min(kBatch, W - 1 - js);
            const int32_t* col = column + js;
            const int32_t* wt = weight + js;
            for (int32_t k = 0; k < n; ++k) {
                const int32_t c = col[k], o = wt[k];
                const int32_t DX = ((64 - o) * vx[c] + o * vx[c + 1]) / 4096;
                const int32_t DY = ((64 - o) * vy[c] + o * vy[c + 1]) / 4096;
                pixelPosition(js + k, i, DX, DY, W, H, w, h, stride, offset[k], rx[k], ry[k]);
            }
            kernels::mixPixelsPortable(source, stride, offset, rx, ry, n, pixels);
            std::memcpy(out + 3 * int64_t(js), pixels, size_t(3 * n));
        }
    }
}

#if KNETIX_HAVE_AVX2

// trunc(d * W / w) for eight offsets d (|d| < 2^19) as the exact truncated
// quotient, by one multiplication: with v = |d| W / w < 2^31 (the plan's range
// check), t = fl(fl(|d| fl(W / w)) + 2^-20) lies within 2^-21 + 2^-22 of
// v + 2^-20, so v < t < v + 2^-19. v is a multiple of 1 / w > 2^-19, so no
// integer lies in [v, t) unless v is one itself, and the truncation of t is
// floor(v). The sign goes back on afterwards, as truncation wants.
KNETIX_AVX2_INLINE __m256i scaleOffsets(__m256i d, __m256d ratio)
{
    const __m256d nudge = _mm256_set1_pd(0x1p-20);
    const __m256i magnitude = _mm256_abs_epi32(d);
    const __m256d low = _mm256_cvtepi32_pd(_mm256_castsi256_si128(magnitude));
    const __m256d high = _mm256_cvtepi32_pd(_mm256_extracti128_si256(magnitude, 1));
    const __m128i qLow = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(low, ratio), nudge));
    const __m128i qHigh = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(high, ratio), nudge));
    return _mm256_sign_epi32(_mm256_set_m128i(qHigh, qLow), d);
}

// The same by the plan's multiplier: two 32 x 32 -> 64-bit products for the
// even and the odd lanes, each shifted so that the quotient lands in its
// lane's 32 bits.
KNETIX_AVX2_INLINE __m256i scaleOffsets(__m256i d, __m256i factor, __m128i shift, __m128i upShift)
{
    const __m256i magnitude = _mm256_abs_epi32(d);
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(magnitude, factor), shift);
    const __m256i odd = _mm256_sll_epi64(_mm256_mul_epu32(_mm256_srli_epi64(magnitude, 32), factor), upShift);
    return _mm256_sign_epi32(_mm256_blend_epi32(even, odd, 0xAA), d);
}

// Copies n bytes with stores that bypass the caches where 32 bytes at a time
// are aligned, plain ones at the ends. The caller fences before others read.
KNETIX_AVX2 void streamBytes(uint8_t* to, const uint8_t* from, int64_t n)
{
    const int64_t head = std::min<int64_t>(n, (32 - (reinterpret_cast<uintptr_t>(to) & 31)) & 31);
    std::memcpy(to, from, size_t(head));
    int64_t k = head;
    for (; k + 32 <= n; k += 32)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(to + k),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k)));
    std::memcpy(to + k, from + k, size_t(n - k));
}

// The batched form with every step of eight pixels in registers. Per row the
// field rows are blended vertically into pairs v[2 c] = vx[c], v[2 c + 1] =
// vy[c] (v holds 2 w + 16 numbers). Eight picture columns mostly fall within
// seven field columns, whose pairs are then shuffled into place; otherwise
// they are gathered.
template <bool kByMultiplier>
KNETIX_AVX2 void renderRowsAvx2(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                                int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                                int32_t firstRow, int32_t lastRow, const Plan& plan, int32_t* v,
                                uint8_t* rowBuffer)
{
    using namespace kernels::avx2;
    const int32_t* column = plan.column.data();
    const int32_t* weight = plan.weight.data();
    const __m256d xRatio = _mm256_set1_pd(plan.xRatio), yRatio = _mm256_set1_pd(plan.yRatio);
    const __m256i xFactor = _mm256_set1_epi32(int32_t(plan.xMultiplier.factor));
    const __m256i yFactor = _mm256_set1_epi32(int32_t(plan.yMultiplier.factor));
    const __m128i xShift = _mm_cvtsi32_si128(plan.xMultiplier.shift);
    const __m128i yShift = _mm_cvtsi32_si128(plan.yMultiplier.shift);
    const __m128i xUpShift = _mm_cvtsi32_si128(32 - plan.xMultiplier.shift);
    const __m128i yUpShift = _mm_cvtsi32_si128(32 - plan.yMultiplier.shift);
    const __m256i one = _mm256_set1_epi32(1), sixtyThree = _mm256_set1_epi32(63);
    const __m256i sixtyFour = _mm256_set1_epi32(64), minusOne = _mm256_set1_epi32(-1);
    const __m256i lastX = _mm256_set1_epi32(W - 2), lastY = _mm256_set1_epi32(H - 2);
    const __m256i wMinusOne = _mm256_set1_epi32(W - 1), hMinusOne = _mm256_set1_epi32(H - 1);
    const __m256i strideV = _mm256_set1_epi32(stride);
    // An eight-byte read at an offset beyond this would leave the block.
    const __m256i paddedLimit = _mm256_set1_epi32(int32_t(int64_t(H) * stride - 8));
    const __m256i lane64 = _mm256_setr_epi32(0, 64, 128, 192, 256, 320, 384, 448);
    const __m256i evenFirst = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const int32_t groups = (W - 1) / 8; // whole groups of columns 0 .. W - 2
    alignas(32) int32_t offset[kBatch], rx[kBatch], ry[kBatch];
    for (int32_t i = firstRow; i <= lastRow; ++i) {
        const int64_t fy = int64_t(i) * (64 * int64_t(h)) / H;
        const int64_t cy = std::min(int64_t(h) - 2, fy / 64);
        const int32_t oy = int32_t(fy % 64);
        const int32_t* row0 = &field[cy * w].dx;
        const int32_t* row1 = row0 + 2 * int64_t(w);
        for (int32_t k = 0; k < 2 * w; ++k)
            v[k] = (64 - oy) * row0[k] + oy * row1[k];
        uint8_t* const row = output + int64_t(H - 1 - i) * stride;
        uint8_t* out = rowBuffer ? rowBuffer : row;
        const __m256i rowY = _mm256_set1_epi32(64 * i);
        // A batch's positions first, then its pixels: the pixel reads of many
        // groups are then in flight at once.
        for (int32_t gs = 0; gs < groups; gs += kBatch / 8) {
            const int32_t batchGroups = std::min(kBatch / 8, groups - gs);
            __m256i beyond = _mm256_setzero_si256();
            for (int32_t g = 0; g < batchGroups; ++g) {
                const int32_t js = 8 * (gs + g);
                const __m256i col = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + js));
                const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weight + js));
                __m256i vx0, vx1, vy0, vy1;
                const int32_t c0 = column[js];
                if (column[js + 7] - c0 <= 6) {
                    const __m256i a = _mm256_permutevar8x32_epi32(
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + 2 * c0)), evenFirst);
                    const __m256i b = _mm256_permutevar8x32_epi32(
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + 2 * c0 + 8)), evenFirst);
                    const __m256i xs = _mm256_permute2x128_si256(a, b, 0x20);
                    const __m256i ys = _mm256_permute2x128_si256(a, b, 0x31);
                    const __m256i at = _mm256_sub_epi32(col, _mm256_set1_epi32(c0));
                    const __m256i next = _mm256_add_epi32(at, one);
                    vx0 = _mm256_permutevar8x32_epi32(xs, at);
                    vx1 = _mm256_permutevar8x32_epi32(xs, next);
                    vy0 = _mm256_permutevar8x32_epi32(ys, at);
                    vy1 = _mm256_permutevar8x32_epi32(ys, next);
                } else {
                    const __m256i at = _mm256_add_epi32(col, col);
                    vx0 = _mm256_i32gather_epi32(v, at, 4);
                    vy0 = _mm256_i32gather_epi32(v + 1, at, 4);
                    vx1 = _mm256_i32gather_epi32(v + 2, at, 4);
                    vy1 = _mm256_i32gather_epi32(v + 3, at, 4);
                }
                const __m256i rest = _mm256_sub_epi32(sixtyFour, o);
                const __m256i DX = divide4096(
                    _mm256_add_epi32(_mm256_mullo_epi32(rest, vx0), _mm256_mullo_epi32(o, vx1)));
                const __m256i DY = divide4096(
                    _mm256_add_epi32(_mm256_mullo_epi32(rest, vy0), _mm256_mullo_epi32(o, vy1)));
                const __m256i SX = kByMultiplier ? scaleOffsets(DX, xFactor, xShift, xUpShift)
                                                 : scaleOffsets(DX, xRatio);
                const __m256i SY = kByMultiplier ? scaleOffsets(DY, yFactor, yShift, yUpShift)
                                                 : scaleOffsets(DY, yRatio);
                const __m256i X =
                    _mm256_add_epi32(_mm256_add_epi32(_mm256_set1_epi32(64 * js), lane64), SX);
                const __m256i Y = _mm256_add_epi32(rowY, SY);
                const __m256i sx = _mm256_srai_epi32(X, 6), sy = _mm256_srai_epi32(Y, 6);
                const __m256i inside = _mm256_and_si256(
                    _mm256_and_si256(_mm256_cmpgt_epi32(X, minusOne), _mm256_cmpgt_epi32(Y, minusOne)),
                    _mm256_and_si256(_mm256_cmpgt_epi32(wMinusOne, sx), _mm256_cmpgt_epi32(hMinusOne, sy)));
                const __m256i px =
                    _mm256_blendv_epi8(_mm256_min_epi32(_mm256_max_epi32(sx, one), lastX), sx, inside);
                const __m256i py =
                    _mm256_blendv_epi8(_mm256_min_epi32(_mm256_max_epi32(sy, one), lastY), sy, inside);
                const __m256i at =
                    _mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(hMinusOne, py), strideV),
                                     _mm256_add_epi32(px, _mm256_add_epi32(px, px)));
                beyond = _mm256_or_si256(beyond, _mm256_cmpgt_epi32(at, paddedLimit));
                storeOffsets(offset + 8 * g, at);
                storeOffsets(rx + 8 * g, _mm256_and_si256(_mm256_and_si256(X, sixtyThree), inside));
                storeOffsets(ry + 8 * g, _mm256_and_si256(_mm256_and_si256(Y, sixtyThree), inside));
            }
            // Only the top row's last pixels can lack the padded read's two
            // extra bytes.
            const bool padded = _mm256_testz_si256(beyond, beyond);
            uint8_t* to = out + 24 * int64_t(gs);
            for (int32_t g = 0; g < batchGroups; ++g) {
                const __m256i fx = _mm256_load_si256(reinterpret_cast<const __m256i*>(rx + 8 * g));
                const __m256i fy = _mm256_load_si256(reinterpret_cast<const __m256i*>(ry + 8 * g));
                const __m256i bgr = padded ? mix8Padded(source, stride, offset + 8 * g, fx, fy)
                                           : mix8(source, stride, offset + 8 * g, fx, fy);
                storePixels8Exact(bgr, to + 24 * g);
            }
        }
        // The last columns, fewer than eight, the plain way.
        const int32_t js = 8 * groups, n = W - 1 - js;
        for (int32_t k = 0; k < n; ++k) {
            const int32_t c = column[js + k], o = weight[js + k];
            const int32_t DX = ((64 - o) * v[2 * c] + o * v[2 * c + 2]) / 4096;
            const int32_t DY = ((64 - o) * v[2 * c + 1] + o * v[2 * c + 3]) / 4096;
            pixelPosition(js + k, i, DX, DY, W, H, w, h, stride, offset[k], rx[k], ry[k]);
        }
        kernels::mixPixelsPortable(source, stride, offset, rx, ry, n, out + 3 * int64_t(js));
        if (rowBuffer)
            streamBytes(row, rowBuffer, 3 * int64_t(W - 1));
    }
    // The streamed rows are out before whatever tells other threads the
    // band is done.
    _mm_sfence();
}
#endif

bool renderable(const uint8_t* source, const uint8_t* output, int32_t W, int32_t H,
                const OffsetCell* field, int32_t w, int32_t h)
{
    return source && output && field && W >= 2 && H >= 2 && w >= 2 && h >= 2;
}

// Rows firstRow .. lastRow, within 0 .. H - 2.
void renderRowsWithPlan(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                        int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                        int32_t firstRow, int32_t lastRow, const Plan& plan)
{
    // The blended field rows: vx and vy apart, or for AVX2 in pairs with
    // room for its reads of eight pairs past the last one used.
    std::vector<int32_t> blended;
    if (plan.batched) {
        try {
            blended.resize(2 * size_t(w) + 16);
        } catch (const std::bad_alloc&) {
        }
    }
    if (blended.empty()) {
        renderRowsWide(source, output, W, H, stride, field, w, h, firstRow, lastRow);
        return;
    }
#if KNETIX_HAVE_AVX2
    if (kernels::level() == Level::Avx2) {
        // Each row is mixed into scratch and then streamed out past the
        // caches: a picture at its own size does not fit in them, and nothing
        // reads its rows again while it renders.
        std::vector<uint8_t> scratch;
        try {
            scratch.resize(3 * size_t(W));
        } catch (const std::bad_alloc&) {
        }
        uint8_t* rowBuffer = scratch.empty() ? nullptr : scratch.data();
        const auto render = plan.xMultiplier.factor && plan.yMultiplier.factor ? renderRowsAvx2<true>
                                                                             : renderRowsAvx2<false>;
        render(source, output, W, H, stride, field, w, h, firstRow, lastRow, plan, blended.data(),
               rowBuffer);
        return;
    }
#endif
    int32_t* vx = blended.data();
    int32_t* vy = vx + w;
    renderRowsPortable(source, output, W, H, stride, field, w, h, firstRow, lastRow, plan, vx, vy);
}

// Pixels per chunk of rows shared between threads.
constexpr int64_t kPixelsPerChunk = int64_t(1) << 16;

// Splits rows 0 .. H - 2 into chunks that the threads take as they come. False
// if nothing can be rendered.
bool renderBands(const uint8_t* source, uint8_t* output, int32_t W, int32_t H, int32_t stride,
                 const OffsetCell* field, int32_t w, int32_t h, unsigned threads)
{
    const int32_t rows = H - 1; // rows 0 .. H - 2
    if (rows <= 0 || !renderable(source, output, W, H, field, w, h))
        return false;
    // One plan for all chunks: the column tables and the range check depend
    // only on the sizes and the field.
    const Plan plan = makePlan(W, H, stride, field, w, h, 0, H - 2);
    const int32_t grain = parallel::rowsPerChunk(kPixelsPerChunk, W);
    parallel::forEachChunk(0, H - 2, grain, threads, [&](int32_t first, int32_t last) {
        renderRowsWithPlan(source, output, W, H, stride, field, w, h, first, last, plan);
    });
    return true;
}

} // namespace

void renderFullSizeRows(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                        int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                        int32_t firstRow, int32_t lastRow)
{
    if (!renderable(source, output, W, H, field, w, h))
        return;
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, H - 2);
    if (firstRow > lastRow)
        return;
    renderRowsWithPlan(source, output, W, H, stride, field, w, h, firstRow, lastRow,
                       makePlan(W, H, stride, field, w, h, firstRow, lastRow));
}

void renderFullSize(const uint8_t* source, uint8_t* output, int32_t W, int32_t H, int32_t stride,
                    const OffsetCell* field, int32_t w, int32_t h, unsigned threads)
{
    renderBands(source, output, W, H, stride, field, w, h, threads);
}

bool FullSizeRenderer::load(const WA& picture)
{
    m_output.clear();
    m_source.clear();
    m_width = m_height = m_stride = 0;
    if (picture.type() != WA_TYPE_24BIT || picture.width() <= 0 || picture.height() <= 0 ||
        picture.width() > (1 << 28))
        return false;
    const int32_t W = picture.width(), H = picture.height();
    const int32_t stride = dibStride24(W);
    const size_t imageSize = size_t(stride) * size_t(H);
    try {
        m_source.resize(imageSize);
        m_output.resize(kDibHeaderSize + imageSize);
    } catch (const std::bad_alloc&) {
        m_source.clear();
        m_output.clear();
        return false;
    }
    for (int32_t k = 0; k < H; ++k)
        std::memcpy(m_source.data() + size_t(k) * stride, picture.row(k), size_t(W) * 3);
    m_width = W;
    m_height = H;
    m_stride = stride;
    m_xPelsPerMeter = picture.horizontalPixelsPerMetre();
    m_yPelsPerMeter = picture.verticalPixelsPerMetre();

    writeDibHeader(m_output.data(), dib24Header(W, H, m_xPelsPerMeter, m_yPelsPerMeter));
    std::memcpy(m_output.data() + kDibHeaderSize, m_source.data(), imageSize);
    return true;
}

void FullSizeRenderer::render(const OffsetCell* field, int32_t fieldWidth, int32_t fieldHeight,
                              unsigned threads)
{
    if (!isLoaded())
        return;
    // A render writes every pixel of rows 0 .. H - 2, columns 0 .. W - 2 and
    // nothing else, which load() left unwarped; so only when nothing can be
    // rendered must the output go back to the unwarped picture.
    uint8_t* out = m_output.data() + kDibHeaderSize;
    if (!renderBands(m_source.data(), out, m_width, m_height, m_stride, field, fieldWidth,
                     fieldHeight, threads))
        std::memcpy(out, m_source.data(), m_source.size());
}

Bitmap24View FullSizeRenderer::outputView() const
{
    if (!isLoaded())
        return {};
    return Bitmap24View{m_width,      m_height,        m_stride, m_output.data() + kDibHeaderSize,
                        m_xPelsPerMeter, m_yPelsPerMeter};
}

} // namespace knetix
