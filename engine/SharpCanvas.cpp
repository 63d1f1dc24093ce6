#include "engine/SharpCanvas.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"
#include "engine/Parallel.h"
#include "engine/Resample.h"
#include "container/WA.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace knetix {

namespace {

using kernels::clamp32;
using kernels::kBatch;
using kernels::Level;

// The least a region has before the canvas, choosing the threads itself,
// shares it out; and the pixels in one chunk of a shared one.
constexpr int64_t kPixelsPerBand = int64_t(1) << 18;
constexpr int64_t kPixelsPerChunk = int64_t(1) << 15;

// Pixels that the AVX2 kernels' overshoot past their output can reach.
constexpr int32_t kOvershootPixels = (kernels::kOutSlack + 2) / 3;

// The AVX2 copy reads four bytes at a pixel, the padded mix eight; the last
// pixels of the block may be among them.
constexpr size_t kSourceSlack = 4;

// What a render of some rows and columns needs, shared by its bands.
struct Pass {
    const uint8_t* source;
    uint8_t* displayed;
    int32_t W, H, stride; // the display
    int32_t w, f;         // field width, factor
    const OffsetCell* field;
    const int32_t* columnCell;
    const int32_t* columnWeight;
    const int32_t* rowCell;
    const int32_t* rowWeight;
    int32_t scale; // 0..64
    bool smooth;
    int32_t firstColumn, lastColumn;
};

// The plain form in 64 bits, for fields whose components the batched form
// cannot take. The full-size renderer's formula for an f w x f h picture,
// where DX * W / w is exactly DX * f.
void renderRowsWide(const Pass& p, int32_t firstRow, int32_t lastRow)
{
    const int64_t W = p.W, H = p.H, a = p.scale;
    auto scaled = [a](int32_t v) { return a * v / 64; };
    for (int64_t i = firstRow; i <= lastRow; ++i) {
        const int64_t oy = p.rowWeight[i];
        const OffsetCell* row0 = p.field + int64_t(p.rowCell[i]) * p.w;
        const OffsetCell* row1 = row0 + p.w;
        uint8_t* out = p.displayed + (H - 1 - i) * p.stride;
        for (int64_t j = p.firstColumn; j <= p.lastColumn; ++j) {
            const int64_t cx = p.columnCell[j], ox = p.columnWeight[j];
            const int64_t w00 = (64 - oy) * (64 - ox), w10 = (64 - oy) * ox;
            const int64_t w01 = oy * (64 - ox), w11 = oy * ox;
            const int64_t DX = (w00 * scaled(row0[cx].dx) + w10 * scaled(row0[cx + 1].dx) +
                                w01 * scaled(row1[cx].dx) + w11 * scaled(row1[cx + 1].dx)) /
                               4096;
            const int64_t DY = (w00 * scaled(row0[cx].dy) + w10 * scaled(row0[cx + 1].dy) +
                                w01 * scaled(row1[cx].dy) + w11 * scaled(row1[cx + 1].dy)) /
                               4096;
            const int64_t X = 64 * j + DX * p.f;
            const int64_t Y = 64 * i + DY * p.f;
            const int64_t sx = X / 64, sy = Y / 64;
            uint8_t* d = out + 3 * j;
            if (X < 0 || Y < 0 || sx > W - 2 || sy > H - 2) {
                const uint8_t* s =
                    p.source + (H - 1 - clampTo(sy, 1, H - 2)) * p.stride + 3 * clampTo(sx, 1, W - 2);
                std::memcpy(d, s, 3);
                continue;
            }
            const int32_t rx = int32_t(X % 64), ry = int32_t(Y % 64);
            if (!p.smooth) {
                // The nearest of the four pixels the smooth render mixes.
                const int64_t px = sx + (rx >= 32), py = sy + (ry >= 32);
                std::memcpy(d, p.source + (H - 1 - py) * p.stride + 3 * px, 3);
                continue;
            }
            const int32_t v00 = (64 - ry) * (64 - rx), v10 = (64 - ry) * rx;
            const int32_t v01 = ry * (64 - rx), v11 = ry * rx;
            const uint8_t* p00 = p.source + (H - 1 - sy) * p.stride + 3 * sx;
            const uint8_t* p01 = p00 - p.stride; // the picture row below
            for (int k = 0; k < 3; ++k)
                d[k] = uint8_t((v00 * p00[k] + v10 * p00[3 + k] + v01 * p01[k] + v11 * p01[3 + k]) /
                               4096);
        }
    }
}

// The batched form computes in 32 bits, exact while field components stay
// within 2^19 - 1 (a sum of four weighted cells stays below 2^31, and scaling
// by at most 64 first stays below 2^25) and the display's block is under 2 GB
// (kMaxSide sees to that).
constexpr int64_t kComponentLimit = (int64_t(1) << 19) - 1;

// Per band: the field rows around a display row blended vertically (by field
// column) and then horizontally (by display column, from the band's first).
struct Scratch {
    std::vector<int32_t> vx, vy, hx, hy;
};

// Display columns take the field cells in groups of F: pixel F c + q sits
// 64 q / F of the way from cell c to cell c + 1. Such groups are blended
// without looking anything up; the columns at the ends of the range, and those
// past the last pair of cells, which repeat the last pair's group, go through
// the tables.
// The largest magnitude of a component in cells c0 .. c1 of rows r0 .. r1.
__attribute__((always_inline)) inline int64_t largestComponent(const OffsetCell* field, int32_t w,
                                                               int32_t r0, int32_t r1, int32_t c0,
                                                               int32_t c1)
{
    int32_t lo = 0, hi = 0;
    for (int32_t r = r0; r <= r1; ++r) {
        // Both components alike, as one run of numbers.
        const int32_t* v = &field[int64_t(r) * w + c0].dx;
        const int32_t n = 2 * (c1 - c0 + 1);
        for (int32_t k = 0; k < n; ++k) {
            lo = std::min(lo, v[k]);
            hi = std::max(hi, v[k]);
        }
    }
    return std::max(-int64_t(lo), int64_t(hi));
}

int64_t largestComponentPortable(const OffsetCell* field, int32_t w, int32_t r0, int32_t r1,
                                 int32_t c0, int32_t c1)
{
    return largestComponent(field, w, r0, r1, c0, c1);
}

#if KNETIX_HAVE_AVX2
KNETIX_AVX2 int64_t largestComponentAvx2(const OffsetCell* field, int32_t w, int32_t r0, int32_t r1,
                                         int32_t c0, int32_t c1)
{
    return largestComponent(field, w, r0, r1, c0, c1);
}
#endif

template <int F>
__attribute__((always_inline)) inline void blendColumns(const Pass& p, const int32_t* vx,
                                                        const int32_t* vy, int32_t* hx, int32_t* hy)
{
    const int32_t j0 = p.firstColumn, j1 = p.lastColumn;
    auto byTable = [&](int32_t from, int32_t to) {
        for (int32_t j = from; j <= to; ++j) {
            const int32_t c = p.columnCell[j], o = p.columnWeight[j];
            hx[j - j0] = ((64 - o) * vx[c] + o * vx[c + 1]) / 4096;
            hy[j - j0] = ((64 - o) * vy[c] + o * vy[c + 1]) / 4096;
        }
    };
    const int32_t cFirst = (j0 + F - 1) / F;
    const int32_t cLast = std::min((j1 + 1) / F - 1, p.w - 2);
    if (cFirst > cLast) {
        byTable(j0, j1);
        return;
    }
    byTable(j0, F * cFirst - 1);
    int32_t* gx = hx + (F * cFirst - j0);
    int32_t* gy = hy + (F * cFirst - j0);
    for (int32_t c = cFirst; c <= cLast; ++c, gx += F, gy += F) {
#pragma GCC unroll 4
        for (int32_t q = 0; q < F; ++q) {
            const int32_t o = 64 * q / F;
            gx[q] = ((64 - o) * vx[c] + o * vx[c + 1]) / 4096;
            gy[q] = ((64 - o) * vy[c] + o * vy[c + 1]) / 4096;
        }
    }
    byTable(F * (cLast + 1), j1);
}

template <Level L, bool Smooth, int F>
__attribute__((always_inline)) inline void renderRowsBatched(const Pass& p, int32_t firstRow,
                                                             int32_t lastRow, Scratch& scratch)
{
    const int32_t W = p.W, H = p.H, stride = p.stride, a = p.scale;
    const int32_t j0 = p.firstColumn, j1 = p.lastColumn;
    const int32_t c0 = p.columnCell[j0], c1 = p.columnCell[j1] + 1;
    int32_t* vx = scratch.vx.data();
    int32_t* vy = scratch.vy.data();
    int32_t* hx = scratch.hx.data();
    int32_t* hy = scratch.hy.data();
    alignas(32) int32_t offset[kBatch], rx[kBatch], ry[kBatch];
    for (int32_t i = firstRow; i <= lastRow; ++i) {
        const int32_t oy = p.rowWeight[i];
        const OffsetCell* row0 = p.field + int64_t(p.rowCell[i]) * p.w;
        const OffsetCell* row1 = row0 + p.w;
        if (a == 64) {
            for (int32_t c = c0; c <= c1; ++c) {
                vx[c] = (64 - oy) * row0[c].dx + oy * row1[c].dx;
                vy[c] = (64 - oy) * row0[c].dy + oy * row1[c].dy;
            }
        } else {
            for (int32_t c = c0; c <= c1; ++c) {
                vx[c] = (64 - oy) * (a * row0[c].dx / 64) + oy * (a * row1[c].dx / 64);
                vy[c] = (64 - oy) * (a * row0[c].dy / 64) + oy * (a * row1[c].dy / 64);
            }
        }
        blendColumns<F>(p, vx, vy, hx, hy);
        uint8_t* out = p.displayed + int64_t(H - 1 - i) * stride;
        for (int32_t js = j0; js <= j1; js += kBatch) {
            const int32_t n = std::min(kBatch, j1 - js + 1);
            const int32_t* DX = hx + (js - j0);
            const int32_t* DY = hy + (js - j0);
            for (int32_t k = 0; k < n; ++k) {
                const int32_t X = 64 * (js + k) + DX[k] * F;
                const int32_t Y = 64 * i + DY[k] * F;
                const int32_t sx = X >> 6, sy = Y >> 6;
                const bool inside = (X >= 0) & (Y >= 0) & (sx <= W - 2) & (sy <= H - 2);
                int32_t px = clamp32(sx, 1, W - 2), py = clamp32(sy, 1, H - 2);
                if constexpr (Smooth) {
                    px = inside ? sx : px;
                    py = inside ? sy : py;
                    rx[k] = inside ? X & 63 : 0;
                    ry[k] = inside ? Y & 63 : 0;
                } else {
                    // The nearest of the four pixels the smooth render mixes.
                    px = inside ? sx + ((X & 63) >> 5) : px;
                    py = inside ? sy + ((Y & 63) >> 5) : py;
                }
                offset[k] = (H - 1 - py) * stride + 3 * px;
            }
            // Straight into the row. The AVX2 kernels write a few bytes past
            // their pixels, which is harmless where pixels written later follow;
            // at the end of the range the last ones go through the plain
            // kernel, which writes exactly its own.
            uint8_t* to = out + 3 * int64_t(js);
            const int32_t later = j1 - (js + n - 1);
            const int32_t exact = L == Level::Avx2 ? std::clamp(kOvershootPixels - later, 0, n) : n;
            const int32_t wide = n - exact;
#if KNETIX_HAVE_AVX2
            if constexpr (L == Level::Avx2) {
                if (wide > 0) {
                    if constexpr (Smooth)
                        kernels::mixPixelsPaddedAvx2(p.source, stride, offset, rx, ry, wide, to);
                    else
                        kernels::copyPixelsAvx2(p.source, offset, wide, to);
                }
            }
#endif
            if constexpr (Smooth)
                kernels::mixPixelsPortable(p.source, stride, offset + wide, rx + wide, ry + wide, exact,
                                           to + 3 * wide);
            else
                kernels::copyPixelsPortable(p.source, offset + wide, exact, to + 3 * wide);
        }
    }
}

template <Level L, bool Smooth>
__attribute__((always_inline)) inline void renderRowsAtFactor(const Pass& p, int32_t firstRow,
                                                              int32_t lastRow, Scratch& scratch)
{
    switch (p.f) {
    case 1:
        renderRowsBatched<L, Smooth, 1>(p, firstRow, lastRow, scratch);
        break;
    case 2:
        renderRowsBatched<L, Smooth, 2>(p, firstRow, lastRow, scratch);
        break;
    case 3:
        renderRowsBatched<L, Smooth, 3>(p, firstRow, lastRow, scratch);
        break;
    default:
        renderRowsBatched<L, Smooth, 4>(p, firstRow, lastRow, scratch);
        break;
    }
}

void renderRowsPortable(const Pass& p, int32_t firstRow, int32_t lastRow, Scratch& scratch)
{
    if (p.smooth)
        renderRowsAtFactor<Level::Portable, true>(p, firstRow, lastRow, scratch);
    else
        renderRowsAtFactor<Level::Portable, false>(p, firstRow, lastRow, scratch);
}

#if KNETIX_HAVE_AVX2
KNETIX_AVX2 void renderRowsAvx2(const Pass& p, int32_t firstRow, int32_t lastRow, Scratch& scratch)
{
    if (p.smooth)
        renderRowsAtFactor<Level::Avx2, true>(p, firstRow, lastRow, scratch);
    else
        renderRowsAtFactor<Level::Avx2, false>(p, firstRow, lastRow, scratch);
}
#endif

// One band of rows, batched if the pass allows it and the scratch rows can be
// had.
void renderBand(const Pass& p, bool batched, int32_t firstRow, int32_t lastRow)
{
    Scratch scratch;
    if (batched) {
        try {
            const size_t columns = size_t(p.lastColumn - p.firstColumn + 1);
            scratch.vx.resize(size_t(p.w));
            scratch.vy.resize(size_t(p.w));
            scratch.hx.resize(columns);
            scratch.hy.resize(columns);
        } catch (const std::bad_alloc&) {
            batched = false;
        }
    }
    if (!batched) {
        renderRowsWide(p, firstRow, lastRow);
        return;
    }
#if KNETIX_HAVE_AVX2
    if (kernels::level() == Level::Avx2) {
        renderRowsAvx2(p, firstRow, lastRow, scratch);
        return;
    }
#endif
    renderRowsPortable(p, firstRow, lastRow, scratch);
}

} // namespace

bool SharpCanvas::allocate(int32_t width, int32_t height, int32_t factor)
{
    clear();
    if (width < 2 || height < 2 || factor < 1 || factor > kMaxFactor || width > kMaxSide / factor ||
        height > kMaxSide / factor)
        return false;
    const int32_t W = width * factor, H = height * factor;
    const int32_t stride = dibStride24(W);
    const size_t imageSize = size_t(stride) * size_t(H);
    try {
        m_source.assign(imageSize + kSourceSlack, 0);
        m_displayed.assign(imageSize, 0);
        m_columnCell.resize(size_t(W));
        m_columnWeight.resize(size_t(W));
        m_rowCell.resize(size_t(H));
        m_rowWeight.resize(size_t(H));
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    // As the full-size renderer places picture pixel j in the field: at
    // j * 64 w / W in 1/64 cell, in the last pair of cells at the far edge.
    auto place = [](int32_t n, int32_t cells, std::vector<int32_t>& cell, std::vector<int32_t>& weight) {
        for (int64_t j = 0; j < n; ++j) {
            const int64_t at = j * (64 * int64_t(cells)) / n;
            cell[size_t(j)] = int32_t(std::min(int64_t(cells) - 2, at / 64));
            weight[size_t(j)] = int32_t(at % 64);
        }
    };
    place(W, width, m_columnCell, m_columnWeight);
    place(H, height, m_rowCell, m_rowWeight);
    m_factor = factor;
    m_fieldWidth = width;
    m_fieldHeight = height;
    m_width = W;
    m_height = H;
    m_stride = stride;
    return true;
}

bool SharpCanvas::load(const WA& picture, int32_t width, int32_t height, int32_t factor)
{
    if (picture.type() != WA_TYPE_24BIT || picture.width() <= 0 || picture.height() <= 0 ||
        !allocate(width, height, factor))
        return false;
    if (!resample24(picture.row(0), picture.rowBytes(), picture.width(), picture.height(),
                    m_source.data(), m_stride, m_width, m_height)) {
        clear();
        return false;
    }
    std::memcpy(m_displayed.data(), m_source.data(), m_displayed.size());
    return true;
}

bool SharpCanvas::loadEnlarged(const Bitmap24View& working, int32_t factor)
{
    if (!working.valid() || !allocate(working.width, working.height, factor))
        return false;
    const int32_t f = factor;
    for (int32_t k = 0; k < m_height; ++k) {
        // Stored row k of the display shows stored row k / f of the picture
        // in either order, since the display is exactly f times as high.
        const uint8_t* in = working.storedRow(k / f);
        uint8_t* out = m_source.data() + size_t(k) * m_stride;
        for (int32_t x = 0; x < m_width; ++x)
            std::memcpy(out + 3 * size_t(x), in + 3 * size_t(x / f), 3);
    }
    std::memcpy(m_displayed.data(), m_source.data(), m_displayed.size());
    return true;
}

void SharpCanvas::clear()
{
    // The memory goes too: at scale 4 the pictures take megabytes.
    m_factor = m_fieldWidth = m_fieldHeight = m_width = m_height = m_stride = 0;
    m_columnCell = {};
    m_columnWeight = {};
    m_rowCell = {};
    m_rowWeight = {};
    m_source = {};
    m_displayed = {};
}

Bitmap24View SharpCanvas::view() const
{
    if (!isLoaded())
        return {};
    return Bitmap24View{m_width, m_height, m_stride, m_displayed.data(), 0, 0};
}

bool SharpCanvas::batchedFits(const OffsetCell* field, int32_t firstRow, int32_t lastRow,
                              int32_t firstColumn, int32_t lastColumn) const
{
    const int32_t c0 = m_columnCell[size_t(firstColumn)], c1 = m_columnCell[size_t(lastColumn)] + 1;
    const int32_t r0 = m_rowCell[size_t(firstRow)], r1 = m_rowCell[size_t(lastRow)] + 1;
#if KNETIX_HAVE_AVX2
    if (kernels::level() == Level::Avx2)
        return largestComponentAvx2(field, m_fieldWidth, r0, r1, c0, c1) <= kComponentLimit;
#endif
    return largestComponentPortable(field, m_fieldWidth, r0, r1, c0, c1) <= kComponentLimit;
}

void SharpCanvas::renderRows(const OffsetCell* field, int32_t scale, RenderMode mode, bool batched,
                             int32_t firstRow, int32_t lastRow, int32_t firstColumn,
                             int32_t lastColumn)
{
    const Pass pass{m_source.data(),      m_displayed.data(),   m_width,         m_height,
                    m_stride,             m_fieldWidth,         m_factor,        field,
                    m_columnCell.data(),  m_columnWeight.data(), m_rowCell.data(), m_rowWeight.data(),
                    scale,                mode == RenderMode::Smooth, firstColumn, lastColumn};
    renderBand(pass, batched, firstRow, lastRow);
}

void SharpCanvas::renderAll(const OffsetCell* field, int32_t cellCount, int32_t scale,
                            RenderMode mode, unsigned threads)
{
    renderRegion(field, cellCount, scale, mode, Rect{0, 0, m_width, m_height}, threads);
}

void SharpCanvas::renderRegion(const OffsetCell* field, int32_t cellCount, int32_t scale,
                               RenderMode mode, const Rect& area, unsigned threads)
{
    if (!isLoaded() || !field || int64_t(cellCount) != int64_t(m_fieldWidth) * m_fieldHeight)
        return;
    const int32_t x0 = std::max(area.left, 0), y0 = std::max(area.top, 0);
    const int32_t x1 = int32_t(std::min<int64_t>(int64_t(area.right) - 1, m_width - 2));
    const int32_t y1 = int32_t(std::min<int64_t>(int64_t(area.bottom) - 1, m_height - 2));
    if (x0 > x1 || y0 > y1)
        return;
    const int32_t a = int32_t(clampTo(scale, 0, 64));
    const bool batched = batchedFits(field, y0, y1, x0, x1);
    // Left to itself the canvas renders a region of under kPixelsPerBand
    // pixels (a stroke's square at scale 2) on the calling thread: sharing it
    // saves little when the cores are free and costs more than that when
    // another program holds one. Larger ones (the whole display at scale 2,
    // about 1.1 ms alone) go in chunks of rows that the threads take as they
    // come free: measured, 0.65 ms with both cores free and no slower than
    // alone with one busy.
    const int32_t rows = y1 - y0 + 1;
    const int64_t pixels = int64_t(rows) * (x1 - x0 + 1);
    if (threads == 0 && pixels < kPixelsPerBand)
        threads = 1;
    const int32_t grain = parallel::rowsPerChunk(kPixelsPerChunk, x1 - x0 + 1);
    parallel::forEachChunk(y0, y1, grain, threads, [&](int32_t first, int32_t last) {
        renderRows(field, a, mode, batched, first, last, x0, x1);
    });
}

Rect SharpCanvas::affectedArea(const Rect& cells) const
{
    if (!isLoaded())
        return {};
    const int32_t c0 = std::max(cells.left, 0), c1 = std::min(cells.right, m_fieldWidth) - 1;
    const int32_t r0 = std::max(cells.top, 0), r1 = std::min(cells.bottom, m_fieldHeight) - 1;
    if (c0 > c1 || r0 > r1)
        return {};
    // A display pixel reads the cell its table names and the next one; the
    // tables rise with the pixel.
    auto span = [](const std::vector<int32_t>& cell, int32_t count, int32_t lo, int32_t hi) {
        const auto begin = cell.begin(), end = cell.begin() + count;
        return std::pair{int32_t(std::lower_bound(begin, end, lo - 1) - begin),
                         int32_t(std::upper_bound(begin, end, hi) - begin)};
    };
    const auto [left, right] = span(m_columnCell, m_width - 1, c0, c1);
    const auto [top, bottom] = span(m_rowCell, m_height - 1, r0, r1);
    if (left >= right || top >= bottom)
        return {};
    return Rect{left, top, right, bottom};
}

Rect SharpCanvas::renderSquare(const OffsetCell* field, int32_t cellCount, int32_t x, int32_t y,
                               int32_t radius, unsigned threads)
{
    if (!isLoaded() || !field || int64_t(cellCount) != int64_t(m_fieldWidth) * m_fieldHeight)
        return {};
    // The cells of the working picture's square render, within the field.
    const int64_t r = radius;
    const Rect cells{int32_t(clampTo(int64_t(x) - r, 0, m_fieldWidth)),
                     int32_t(clampTo(int64_t(y) - r - 1, 0, m_fieldHeight)),
                     int32_t(clampTo(int64_t(x) + r, 0, m_fieldWidth)),
                     int32_t(clampTo(int64_t(y) + r - 1, 0, m_fieldHeight))};
    const Rect area = affectedArea(cells);
    if (area.isEmpty())
        return {};
    renderRegion(field, cellCount, 64, RenderMode::Smooth, area, threads);
    return area;
}

} // namespace knetix
