#include "engine/Render.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"

#include <algorithm>
#include <climits>
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
// each way whose block is under 2 GB (byte offsets fit). Field components are first clamped to +-kComponentLimit: at a scale
// of 1 or more such a component moves the position more than 4096 pixels, out
// of the picture on the same side, so the clamp changes no result, and it keeps
// every position within 31 bits.
//
// Positions are in 1/4096 pixel. Where the plain form divides by 64 twice,
// truncating, an arithmetic shift floors instead; the two differ only for
// negative positions, where both end below 2 and clamp to the same pixel.
constexpr int32_t kBatchedSide = 4096;
constexpr int32_t kComponentLimit = 1 << 24;

inline int32_t clampComponent(int32_t v)
{
    return clamp32(v, -kComponentLimit, kComponentLimit);
}

bool batchedFits(const PictureBuffers& p)
{
    return p.width <= kBatchedSide && p.height <= kBatchedSide &&
           int64_t(p.height) * p.stride <= INT32_MAX;
}

// Each batch of a row: positions into offset/fx/fy (written to vectorise),
// then the pixels into a scratch row, then out.
template <Level L>
__attribute__((always_inline)) inline void renderRowsSmoothBatched(const PictureBuffers& p,
                                                                   const OffsetCell* field,
                                                                   int32_t a, int32_t x0,
                                                                   int32_t x1, int32_t y0, int32_t y1)
{
    const int32_t W = p.width, H = p.height, stride = p.stride;
    const int32_t xHigh = W - 2, yHigh = H - 2;
    alignas(32) int32_t offset[kBatch], fx[kBatch], fy[kBatch];
    alignas(32) uint8_t pixels[3 * kBatch + kernels::kOutSlack];
    for (int32_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + int64_t(y) * W;
        uint8_t* out = p.displayed + int64_t(H - 1 - y) * stride;
        for (int32_t xs = x0; xs <= x1; xs += kBatch) {
            const int32_t n = std::min(kBatch, x1 - xs + 1);
            const OffsetCell* c = cells + xs;
            for (int32_t i = 0; i < n; ++i) {
                const int32_t X = a * clampComponent(c[i].dx) + 4096 * (xs + i);
                const int32_t Y = a * clampComponent(c[i].dy) + 4096 * y;
                const int32_t sx = X >> 12, sy = Y >> 12;
                const bool inside = sx >= 2 && sx <= xHigh && sy >= 2 && sy <= yHigh;
                offset[i] = (H - 1 - clamp32(sy, 1, yHigh)) * stride + 3 * clamp32(sx, 1, xHigh);
                fx[i] = inside ? (X >> 6) & 63 : 0;
                fy[i] = inside ? (Y >> 6) & 63 : 0;
            }
#if KNETIX_HAVE_AVX2
            if constexpr (L == Level::Avx2)
                kernels::mixPixelsAvx2(p.source, stride, offset, fx, fy, n, pixels);
            else
#endif
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

void renderRowsSmoothPortable(const PictureBuffers& p, const OffsetCell* field, int32_t a,
                              int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    renderRowsSmoothBatched<Level::Portable>(p, field, a, x0, x1, y0, y1);
}

void renderRowsFastPortable(const PictureBuffers& p, const OffsetCell* field, int32_t a, int32_t x0,
                            int32_t x1, int32_t y0, int32_t y1)
{
    renderRowsFastBatched<Level::Portable>(p, field, a, x0, x1, y0, y1);
}

#if KNETIX_HAVE_AVX2
KNETIX_AVX2 void renderRowsSmoothAvx2(const PictureBuffers& p, const OffsetCell* field, int32_t a,
                                      int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    renderRowsSmoothBatched<Level::Avx2>(p, field, a, x0, x1, y0, y1);
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

void renderAll(const PictureBuffers& p, const OffsetCell* field, int32_t scale, RenderMode mode)
{
    renderRegion(p, field, scale, mode, 0, p.width - 2, 0, p.height - 3);
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
