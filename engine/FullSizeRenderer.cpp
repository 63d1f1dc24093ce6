#include "engine/FullSizeRenderer.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"
#include "container/WA.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <thread>

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
// with a double division: DX * W is below 2^52, so the quotient, rounded to
// nearest and then truncated, is the truncated integer quotient.
constexpr int64_t kComponentLimit = (int64_t(1) << 19) - 1;

struct Plan {
    bool batched = false;
    std::vector<int32_t> column; // field column of picture column j
    std::vector<int32_t> weight; // its weight in 1/64 towards the next field column
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
    if (m > kComponentLimit || 64 * (int64_t(W) - 2) + m * W / w > INT32_MAX ||
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
    plan.batched = true;
    return plan;
}

// Per row: the field rows around it blended vertically once (vx, vy), then
// batches of pixels: positions (written to vectorise), pixels, out.
template <Level L>
__attribute__((always_inline)) inline void renderRowsBatched(const uint8_t* source, uint8_t* output,
                                                             int32_t W, int32_t H, int32_t stride,
                                                             const OffsetCell* field, int32_t w,
                                                             int32_t h, int32_t firstRow,
                                                             int32_t lastRow, const Plan& plan,
                                                             int32_t* vx, int32_t* vy)
{
    const double pw = W, ph = H, fw = w, fh = h;
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
                const int32_t X = 64 * (js + k) + int32_t(double(DX) * pw / fw);
                const int32_t Y = 64 * i + int32_t(double(DY) * ph / fh);
                const int32_t sx = X >> 6, sy = Y >> 6;
                const bool inside = (X >= 0) & (Y >= 0) & (sx <= W - 2) & (sy <= H - 2);
                const int32_t px = inside ? sx : clamp32(sx, 1, W - 2);
                const int32_t py = inside ? sy : clamp32(sy, 1, H - 2);
                offset[k] = (H - 1 - py) * stride + 3 * px;
                rx[k] = inside ? X & 63 : 0;
                ry[k] = inside ? Y & 63 : 0;
            }
#if KNETIX_HAVE_AVX2
            if constexpr (L == Level::Avx2)
                kernels::mixPixelsAvx2(source, stride, offset, rx, ry, n, pixels);
            else
#endif
                kernels::mixPixelsPortable(source, stride, offset, rx, ry, n, pixels);
            std::memcpy(out + 3 * int64_t(js), pixels, size_t(3 * n));
        }
    }
}

void renderRowsPortable(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                        int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                        int32_t firstRow, int32_t lastRow, const Plan& plan, int32_t* vx, int32_t* vy)
{
    renderRowsBatched<Level::Portable>(source, output, W, H, stride, field, w, h, firstRow, lastRow,
                                       plan, vx, vy);
}

#if KNETIX_HAVE_AVX2
KNETIX_AVX2 void renderRowsAvx2(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                                int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                                int32_t firstRow, int32_t lastRow, const Plan& plan, int32_t* vx,
                                int32_t* vy)
{
    renderRowsBatched<Level::Avx2>(source, output, W, H, stride, field, w, h, firstRow, lastRow,
                                   plan, vx, vy);
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
    std::vector<int32_t> blended;
    if (plan.batched) {
        try {
            blended.resize(2 * size_t(w));
        } catch (const std::bad_alloc&) {
        }
    }
    if (blended.empty()) {
        renderRowsWide(source, output, W, H, stride, field, w, h, firstRow, lastRow);
        return;
    }
    int32_t* vx = blended.data();
    int32_t* vy = vx + w;
#if KNETIX_HAVE_AVX2
    if (kernels::level() == Level::Avx2) {
        renderRowsAvx2(source, output, W, H, stride, field, w, h, firstRow, lastRow, plan, vx, vy);
        return;
    }
#endif
    renderRowsPortable(source, output, W, H, stride, field, w, h, firstRow, lastRow, plan, vx, vy);
}

// Splits rows 0 .. H - 2 into bands, one per thread. False if nothing can be
// rendered.
bool renderBands(const uint8_t* source, uint8_t* output, int32_t W, int32_t H, int32_t stride,
                 const OffsetCell* field, int32_t w, int32_t h, unsigned threads)
{
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    const int32_t rows = H - 1; // rows 0 .. H - 2
    if (rows <= 0 || !renderable(source, output, W, H, field, w, h))
        return false;
    // One plan for all bands: the column tables and the range check depend only
    // on the sizes and the field.
    const Plan plan = makePlan(W, H, stride, field, w, h, 0, H - 2);
    threads = std::min<unsigned>(threads, unsigned(std::max(1, rows / 64)));
    if (threads <= 1) {
        renderRowsWithPlan(source, output, W, H, stride, field, w, h, 0, H - 2, plan);
        return true;
    }
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    auto band = [&](unsigned t) {
        const int32_t first = int32_t(int64_t(rows) * t / threads);
        const int32_t last = int32_t(int64_t(rows) * (t + 1) / threads) - 1;
        renderRowsWithPlan(source, output, W, H, stride, field, w, h, first, last, plan);
    };
    for (unsigned t = 1; t < threads; ++t)
        workers.emplace_back(band, t);
    band(0);
    for (auto& worker : workers)
        worker.join();
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
