#include "engine/Render.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"
#include "engine/KernelsAvx2.h"
#include "engine/Parallel.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace knetix {

namespace {

using kernels::clamp32;
using kernels::kBatch;
using kernels::Level;

inline const uint8_t* pixelAt(const PictureBuffers& p, int64_t x, int64_t y)
{
    return p.source + (int64_t(p.height) - 1 - y) * p.stride + 3 * x;
}

// The plain forms, for pictures beyond the size the batched forms handle.

void renderRowsSmoothWide(const PictureBuffers& p, const OffsetCell* field, int64_t a, int32_t x0,
                          int32_t x1, int32_t y0, int32_t y1)
{
    const int64_t W = p.width, H = p.height;
    for (int64_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + y * W;
        uint8_t* out = p.displayed + (H - 1 - y) * p.stride;
        for (int64_t x = x0; x <= x1; ++x) {
            const OffsetCell c = cells[x];
            const int64_t X64 = (a * c.dx + 4096 * x) / 64;
            const int64_t Y64 = (a * c.dy + 4096 * y) / 64;
            const int64_t sx = X64 / 64;
            const int64_t sy = Y64 / 64;
            uint8_t* d = out + 3 * x;
            if (sx >= 2 && sx <= W - 2 && sy >= 2 && sy <= H - 2) {
                const int32_t fx = int32_t(X64 % 64), fy = int32_t(Y64 % 64);
                const int32_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
                const int32_t w01 = (64 - fx) * fy, w11 = fx * fy;
                const uint8_t* p00 = pixelAt(p, sx, sy);
                const uint8_t* p01 = p00 - p.stride; // the picture row below
                for (int k = 0; k < 3; ++k)
                    d[k] = uint8_t((w00 * p00[k] + w10 * p00[3 + k] + w01 * p01[k] +
                                    w11 * p01[3 + k]) /
                                   4096);
            } else {
                const uint8_t* s = pixelAt(p, clampTo(sx, 1, W - 2), clampTo(sy, 1, H - 2));
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

void renderRowsFastWide(const PictureBuffers& p, const OffsetCell* field, int64_t a, int32_t x0,
                        int32_t x1, int32_t y0, int32_t y1)
{
    const int64_t W = p.width, H = p.height;
    for (int64_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + y * W;
        uint8_t* out = p.displayed + (H - 1 - y) * p.stride;
        for (int64_t x = x0; x <= x1; ++x) {
            const OffsetCell c = cells[x];
            const int64_t sx = x + (a * c.dx + 2048) / 4096;
            const int64_t sy = y + (a * c.dy + 2048) / 4096;
            const uint8_t* s = pixelAt(p, clampTo(sx, 1, W - 2), clampTo(sy, 1, H - 2));
            uint8_t* d = out + 3 * x;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

// The batched forms work in 32 bits on pictures of at most kBatchedSide pixels
// each way with rows of at most kBatchedStride bytes (so byte offsets fit too).
// Field components are first clamped to +-kComponentLimit: at a scale of 1 or
// more such a component moves the position more than 4096 pixels, out
// of the picture on the same side, so the clamp changes no result, and it keeps
// every position within 31 bits.
//
// Positions are in 1/4096 pixel. Where the plain form divides by 64 twice,
// truncating, an arithmetic shift floors instead; the two differ only for
// negative positions, where both end below 2 and clamp to the same pixel.
constexpr int32_t kBatchedSide = 4096;
constexpr int32_t kComponentLimit = 1 << 24;
// Rows of at most this many bytes: the vector smooth form multiplies the row
// and the column by the stride and 3 as 16-bit pairs.
constexpr int32_t kBatchedStride = INT16_MAX;
// Pixels per chunk of a whole render shared between threads.
constexpr int64_t kPixelsPerChunk = int64_t(1) << 12;

inline int32_t clampComponent(int32_t v)
{
    return clamp32(v, -kComponentLimit, kComponentLimit);
}

bool batchedFits(const PictureBuffers& p)
{
    return p.width <= kBatchedSide && p.height <= kBatchedSide && p.stride <= kBatchedStride;
}

// Where n pixels of row y from column xs read the source: the offset of the
// pixel up and left of the point and the weights towards the next ones, in
// 1/64 (0 outside the picture, where the clamped pixel is taken whole).
// Written to vectorise.
inline void smoothPositions(const PictureBuffers& p, const OffsetCell* c, int32_t a, int32_t xs, int32_t y,
                            int32_t n, int32_t* offset, int32_t* fx, int32_t* fy)
{
    const int32_t H = p.height, stride = p.stride;
    const int32_t xHigh = p.width - 2, yHigh = H - 2;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t X = a * clampComponent(c[i].dx) + 4096 * (xs + i);
        const int32_t Y = a * clampComponent(c[i].dy) + 4096 * y;
        const int32_t sx = X >> 12, sy = Y >> 12;
        const bool inside = sx >= 2 && sx <= xHigh && sy >= 2 && sy <= yHigh;
        offset[i] = (H - 1 - clamp32(sy, 1, yHigh)) * stride + 3 * clamp32(sx, 1, xHigh);
        fx[i] = inside ? (X >> 6) & 63 : 0;
        fy[i] = inside ? (Y >> 6) & 63 : 0;
    }
}

// Each batch of a row: positions into offset/fx/fy, then the pixels into a
// scratch row, then out.
void renderRowsSmoothPortable(const PictureBuffers& p, const OffsetCell* field, int32_t a,
                              int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    const int32_t W = p.width, H = p.height, stride = p.stride;
    alignas(32) int32_t offset[kBatch], fx[kBatch], fy[kBatch];
    alignas(32) uint8_t pixels[3 * kBatch + kernels::kOutSlack];
    for (int32_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + int64_t(y) * W;
        uint8_t* out = p.displayed + int64_t(H - 1 - y) * stride;
        for (int32_t xs = x0; xs <= x1; xs += kBatch) {
            const int32_t n = std::min(kBatch, x1 - xs + 1);
            const OffsetCell* c = cells + xs;
            smoothPositions(p, c, a, xs, y, n, offset, fx, fy);
            kernels::mixPixelsPortable(p.source, stride, offset, fx, fy, n, pixels);
            std::memcpy(out + 3 * int64_t(xs), pixels, size_t(3 * n));
        }
    }
}

template <Level L>
__attribute__((always_inline)) inline void renderRowsFastBatched(const PictureBuffers& p,
                                                                 const OffsetCell* field,
                                                                 int32_t a, int32_t x0, int32_t x1,
                                                                 int32_t y0, int32_t y1)
{
    const int32_t W = p.width, H = p.height, stride = p.stride;
    const int32_t xHigh = W - 2, yHigh = H - 2;
    alignas(32) int32_t offset[kBatch];
    alignas(32) uint8_t pixels[3 * kBatch + kernels::kOutSlack];
    for (int32_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + int64_t(y) * W;
        uint8_t* out = p.displayed + int64_t(H - 1 - y) * stride;
        for (int32_t xs = x0; xs <= x1; xs += kBatch) {
            const int32_t n = std::min(kBatch, x1 - xs + 1);
            const OffsetCell* c = cells + xs;
            for (int32_t i = 0; i < n; ++i) {
                const int32_t sx = xs + i + (a * clampComponent(c[i].dx) + 2048) / 4096;
                const int32_t sy = y + (a * clampComponent(c[i].dy) + 2048) / 4096;
                offset[i] = (H - 1 - clamp32(sy, 1, yHigh)) * stride + 3 * clamp32(sx, 1, xHigh);
            }
#if KNETIX_HAVE_AVX2
            if constexpr (L == Level::Avx2)
                kernels::copyPixelsAvx2(p.source, offset, n, pixels);
            else
#endif
                kernels::copyPixelsPortable(p.source, offset, n, pixels);
            std::memcpy(out + 3 * int64_t(xs), pixels, size_t(3 * n));
        }
    }
}


void renderRowsFastPortable(const PictureBuffers& p, const OffsetCell* field, int32_t a, int32_t x0,
                            int32_t x1, int32_t y0, int32_t y1)
{
    renderRowsFastBatched<Level::Portable>(p, field, a, x0, x1, y0, y1);
}

#if KNETIX_HAVE_AVX2

// The field's cells x .. x + 7 of a row as their dx and dy, clamped as the
// batched forms clamp them.
KNETIX_AVX2_INLINE void loadComponents(const OffsetCell* cells, __m256i& dx, __m256i& dy)
{
    const __m256i evenFirst = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i a = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cells)), evenFirst);
    const __m256i b = _mm256_permutevar8x32_epi32(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cells + 4)), evenFirst);
    const __m256i high = _mm256_set1_epi32(kComponentLimit), low = _mm256_set1_epi32(-kComponentLimit);
    dx = _mm256_min_epi32(_mm256_max_epi32(_mm256_permute2x128_si256(a, b, 0x20), low), high);
    dy = _mm256_min_epi32(_mm256_max_epi32(_mm256_permute2x128_si256(a, b, 0x31), low), high);
}

// a * c, a shift in the usual case of the full scale.
KNETIX_AVX2_INLINE __m256i scaled(__m256i c, int32_t a)
{
    return a == 64 ? _mm256_slli_epi32(c, 6) : _mm256_mullo_epi32(c, _mm256_set1_epi32(a));
}

// The smooth batched form with each step of eight pixels in registers and
// the pixels written straight into the row. A pixel's source is clamped to
// rows 1 .. H - 2, so the eight-byte reads of the padded mix stay within the
// block: the last row they can start in is the second from the top.
KNETIX_AVX2 void renderRowsSmoothAvx2(const PictureBuffers& p, const OffsetCell* field, int32_t a,
                                      int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    using namespace kernels::avx2;
    const int32_t W = p.width, H = p.height, stride = p.stride;
    const int32_t xHigh = W - 2, yHigh = H - 2;
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i sixtyThree = _mm256_set1_epi32(63);
    const __m256i xHighV = _mm256_set1_epi32(xHigh), yHighV = _mm256_set1_epi32(yHigh);
    const __m256i xBeyond = _mm256_set1_epi32(xHigh + 1), yBeyond = _mm256_set1_epi32(yHigh + 1);
    const __m256i lastRow = _mm256_set1_epi32(H - 1);
    const __m256i rowAndPixel = _mm256_set1_epi32(stride | 3 << 16);
    const __m256i lane4096 = _mm256_setr_epi32(0, 4096, 8192, 12288, 16384, 20480, 24576, 28672);
    alignas(32) int32_t offset[kBatch], fx[kBatch], fy[kBatch];
    for (int32_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + int64_t(y) * W;
        uint8_t* out = p.displayed + int64_t(H - 1 - y) * stride;
        const __m256i rowY = _mm256_set1_epi32(4096 * y);
        int32_t xs = x0;
        // Positions of a batch first, then its pixels.
        for (; xs + 8 <= x1 + 1; xs += kBatch) {
            const int32_t groups = std::min(kBatch, x1 + 1 - xs) / 8;
            for (int32_t g = 0; g < groups; ++g) {
                const int32_t x = xs + 8 * g;
                __m256i dx, dy;
                loadComponents(cells + x, dx, dy);
                const __m256i X = _mm256_add_epi32(scaled(dx, a),
                                                   _mm256_add_epi32(_mm256_set1_epi32(4096 * x), lane4096));
                const __m256i Y = _mm256_add_epi32(scaled(dy, a), rowY);
                const __m256i sx = _mm256_srai_epi32(X, 12), sy = _mm256_srai_epi32(Y, 12);
                const __m256i inside = _mm256_and_si256(
                    _mm256_and_si256(_mm256_cmpgt_epi32(sx, one), _mm256_cmpgt_epi32(xBeyond, sx)),
                    _mm256_and_si256(_mm256_cmpgt_epi32(sy, one), _mm256_cmpgt_epi32(yBeyond, sy)));
                const __m256i px = _mm256_min_epi32(_mm256_max_epi32(sx, one), xHighV);
                const __m256i py = _mm256_min_epi32(_mm256_max_epi32(sy, one), yHighV);
                // (H - 1 - py) stride + 3 px from the 16-bit pairs (H - 1 - py, px)
                // and (stride, 3): every number here is below 2^15.
                storeOffsets(offset + 8 * g,
                             _mm256_madd_epi16(_mm256_or_si256(_mm256_sub_epi32(lastRow, py),
                                                               _mm256_slli_epi32(px, 16)),
                                               rowAndPixel));
                const __m256i fraction = _mm256_and_si256(inside, sixtyThree);
                storeOffsets(fx + 8 * g, _mm256_and_si256(_mm256_srai_epi32(X, 6), fraction));
                storeOffsets(fy + 8 * g, _mm256_and_si256(_mm256_srai_epi32(Y, 6), fraction));
            }
            for (int32_t g = 0; g < groups; ++g) {
                const __m256i gx = _mm256_load_si256(reinterpret_cast<const __m256i*>(fx + 8 * g));
                const __m256i gy = _mm256_load_si256(reinterpret_cast<const __m256i*>(fy + 8 * g));
                storePixels8Exact(mix8Padded(p.source, stride, offset + 8 * g, gx, gy),
                                  out + 3 * int64_t(xs + 8 * g));
            }
            if (groups * 8 < kBatch) {
                xs += groups * 8;
                break;
            }
        }
        // The last pixels, fewer than eight, the plain way.
        const int32_t n = x1 + 1 - xs;
        if (n > 0) {
            const OffsetCell* c = cells + xs;
            smoothPositions(p, c, a, xs, y, n, offset, fx, fy);
            kernels::mixPixelsPortable(p.source, stride, offset, fx, fy, n, out + 3 * int64_t(xs));
        }
    }
}

KNETIX_AVX2 void renderRowsFastAvx2(const PictureBuffers& p, const OffsetCell* field, int32_t a,
                                    int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    renderRowsFastBatched<Level::Avx2>(p, field, a, x0, x1, y0, y1);
}
#endif

} // namespace

void renderRegion(const PictureBuffers& p, const OffsetCell* field, int32_t scale, RenderMode mode,
                  int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    if (!p.source || !p.displayed || !field || p.width < 2 || p.height < 3)
        return;
    // Never outside the rendered area, whatever the caller asks.
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, p.width - 2);
    y1 = std::min(y1, p.height - 3);
    if (x0 > x1 || y0 > y1)
        return;
    const int32_t a = int32_t(clampTo(scale, 0, 64));
    const bool smooth = mode == RenderMode::Smooth;
    if (!batchedFits(p)) {
        if (smooth)
            renderRowsSmoothWide(p, field, a, x0, x1, y0, y1);
        else
            renderRowsFastWide(p, field, a, x0, x1, y0, y1);
        return;
    }
#if KNETIX_HAVE_AVX2
    if (kernels::level() == Level::Avx2) {
        if (smooth)
            renderRowsSmoothAvx2(p, field, a, x0, x1, y0, y1);
        else
            renderRowsFastAvx2(p, field, a, x0, x1, y0, y1);
        return;
    }
#endif
    if (smooth)
        renderRowsSmoothPortable(p, field, a, x0, x1, y0, y1);
    else
        renderRowsFastPortable(p, field, a, x0, x1, y0, y1);
}

void renderAll(const PictureBuffers& p, const OffsetCell* field, int32_t scale, RenderMode mode,
               unsigned threads)
{
    if (p.width < 2 || p.height < 3)
        return;
    // Small chunks: the working picture (354 x 354 smooth, 0.17 ms alone)
    // took 0.08 ms with both cores free and no longer than alone with one
    // busy elsewhere; chunks of 32 rows and more came out slower in both.
    const int32_t grain = parallel::rowsPerChunk(kPixelsPerChunk, p.width - 1);
    parallel::forEachChunk(0, p.height - 3, grain, threads, [&](int32_t first, int32_t last) {
        renderRegion(p, field, scale, mode, 0, p.width - 2, first, last);
    });
}

void renderSquare(const PictureBuffers& p, const OffsetCell* field, int32_t x, int32_t y,
                  int32_t radius)
{
    const int64_t x0 = std::max<int64_t>(0, int64_t(x) - radius);
    const int64_t x1 = std::min<int64_t>(int64_t(x) + radius - 1, int64_t(p.width) - 3);
    const int64_t y0 = std::max<int64_t>(0, int64_t(y) - radius - 1);
    // Down to row H - 3 like the full render: a stroke near the bottom changes
    // that row of the field too, and it must not keep showing the old picture.
    const int64_t y1 = std::min<int64_t>(int64_t(y) + radius - 2, int64_t(p.height) - 3);
    if (x0 > x1 || y0 > y1)
        return;
    renderRegion(p, field, 64, RenderMode::Smooth, int32_t(x0), int32_t(x1), int32_t(y0),
                 int32_t(y1));
}

} // namespace knetix
