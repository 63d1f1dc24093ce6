#include "engine/Stroke.h"

#include "engine/CMMask.h"
#include "engine/FixedPoint.h"
#include "engine/Kernels.h"
#include "engine/KernelsAvx2.h"

#include <algorithm>
#include <cstring>

namespace knetix {

void StrokePatch::resize(int32_t radius)
{
    m_radius = int32_t(clampTo(radius, 0, CMTool::kMaxRadius));
    m_count = side() * side();
    m_cells = allocateCells(m_count);
}

bool StrokePatch::assign(int32_t radius, std::unique_ptr<OffsetCell[]> cells, int32_t count)
{
    if (radius < 0 || radius > CMTool::kMaxRadius)
        return false;
    // A radius without cells: a canvas that was given a tool whose patch was
    // never made.
    if (count == 0 && !cells) {
        m_radius = radius;
        m_count = 0;
        m_cells.reset();
        return true;
    }
    if (!cells || int64_t(count) != int64_t(2 * radius + 1) * (2 * radius + 1))
        return false;
    m_radius = radius;
    m_count = count;
    m_cells = std::move(cells);
    return true;
}

void StrokePatch::clear()
{
    if (m_cells)
        std::fill_n(m_cells.get(), m_count, OffsetCell());
}

namespace {

// The cells of a patch for a stroke point at picture point (x, y) that go back
// into the field. Patch columns 2r - 1 and 2r and rows from 2r - 2 on hold
// halved or empty values and are never written.
struct WriteBackRange {
    OffsetCell* field;
    int64_t width, side, r, x, y;
    int64_t c0, c1, r0, r1;

    WriteBackRange(OffsetCell* f, int32_t w, int32_t h, int32_t radius, int32_t px, int32_t py)
        : field(f), width(w), side(2 * int64_t(radius) + 1), r(radius), x(px), y(py),
          c0(std::max<int64_t>(0, x - r)), c1(std::min<int64_t>(x + r - 2, int64_t(w) - 3)),
          r0(std::max<int64_t>(0, y - r)), r1(std::min<int64_t>(y + r - 3, int64_t(h) - 2))
    {
    }
    bool empty() const { return c0 > c1 || r0 > r1; }
    // Patch row j, if it goes back at all.
    void copyRow(const OffsetCell* cells, int64_t j) const
    {
        const int64_t row = j - r + y;
        if (row < r0 || row > r1 || c0 > c1)
            return;
        const OffsetCell* src = cells + j * side + (c0 - x + r);
        std::memcpy(field + row * width + c0, src, size_t(c1 - c0 + 1) * sizeof(OffsetCell));
    }
};

// The sums of two components are taken in 64 bits, which the compiler
// vectorises.
__attribute__((always_inline)) inline void fillCells(OffsetCell* cells, int32_t r)
{
    const int64_t side = 2 * int64_t(r) + 1;
    // Odd columns of the even rows: mean of the left and right neighbour.
    for (int64_t j = 0; j <= 2 * r; j += 2) {
        OffsetCell* row = cells + j * side;
        for (int64_t i = 1; i <= 2 * r - 1; i += 2)
            row[i] = OffsetCell(int32_t((int64_t(row[i - 1].dx) + row[i + 1].dx) / 2),
                                int32_t((int64_t(row[i - 1].dy) + row[i + 1].dy) / 2));
    }
    // Odd rows: mean of the cells below and above.
    for (int64_t j = 1; j <= 2 * r - 1; j += 2) {
        const OffsetCell* above = cells + (j - 1) * side;
        const OffsetCell* below = cells + (j + 1) * side;
        OffsetCell* row = cells + j * side;
        for (int64_t i = 0; i < side; ++i)
            row[i] = OffsetCell(int32_t((int64_t(below[i].dx) + above[i].dx) / 2),
                                int32_t((int64_t(below[i].dy) + above[i].dy) / 2));
    }
}

void fillCellsPortable(OffsetCell* cells, int32_t r)
{
    fillCells(cells, r);
}

#if KNETIX_HAVE_AVX2
// (a + b) / 2 truncated toward zero, in 32 bits without overflow: the floor of
// the mean is (a & b) + ((a ^ b) >> 1); a negative odd sum truncates one
// higher.
KNETIX_AVX2_INLINE __m256i halfSum(__m256i a, __m256i b)
{
    const __m256i odd = _mm256_xor_si256(a, b);
    const __m256i floor = _mm256_add_epi32(_mm256_and_si256(a, b), _mm256_srai_epi32(odd, 1));
    // floor >> 31 is 1 or 0, so only bit 0 of odd survives.
    const __m256i up = _mm256_and_si256(odd, _mm256_srli_epi32(floor, 31));
    return _mm256_add_epi32(floor, up);
}

// The odd columns of an even row. Four at a time: the even cells i - 1,
// i + 1, ..., i + 7 taken from two pairs of loads, as (i - 1, i + 3 | i + 1,
// i + 5) and (i + 1, i + 5 | i + 3, i + 7), give the means for cells i,
// i + 4 | i + 2, i + 6, which go back between the even cells they came from.
KNETIX_AVX2_INLINE void fillEvenRowAvx2(OffsetCell* row, int32_t r)
{
    int64_t i = 1;
    // The second pair reaches cell i + 8, which must lie in the row.
    for (; i + 8 <= 2 * r; i += 8) {
        __m256i* at = reinterpret_cast<__m256i*>(row + i - 1);
        const __m256i* next = reinterpret_cast<const __m256i*>(row + i + 1);
        const __m256i left = _mm256_unpacklo_epi64(_mm256_loadu_si256(at), _mm256_loadu_si256(at + 1));
        const __m256i right = _mm256_unpacklo_epi64(_mm256_loadu_si256(next), _mm256_loadu_si256(next + 1));
        const __m256i means = halfSum(left, right);
        _mm256_storeu_si256(at, _mm256_unpacklo_epi64(left, means));
        _mm256_storeu_si256(at + 1, _mm256_unpackhi_epi64(left, means));
    }
    // Then two at a time: the means of cells (i - 1, i + 1) and (i + 1, i + 3)
    // go into cells i and i + 2; b reaches cell i + 4.
    for (; i + 4 <= 2 * r; i += 4) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i - 1));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i + 1));
        const __m256i means = _mm256_permute4x64_epi64(halfSum(a, b), 0xA0); // 0 0 2 2
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i - 1), _mm256_blend_epi32(a, means, 0xCC));
    }
    for (; i <= 2 * r - 1; i += 2)
        row[i] = OffsetCell(int32_t((int64_t(row[i - 1].dx) + row[i + 1].dx) / 2),
                            int32_t((int64_t(row[i - 1].dy) + row[i + 1].dy) / 2));
}

// An odd row: the means of the rows above and below, both components alike.
KNETIX_AVX2_INLINE void fillOddRowAvx2(const OffsetCell* aboveCells, const OffsetCell* belowCells,
                                       OffsetCell* rowCells, int64_t side)
{
    const int32_t* above = &aboveCells->dx;
    const int32_t* below = &belowCells->dx;
    int32_t* row = &rowCells->dx;
    const int64_t n = 2 * side;
    int64_t k = 0;
    for (; k + 8 <= n; k += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + k),
                            halfSum(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(above + k)),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + k))));
    for (; k < n; ++k)
        row[k] = int32_t((int64_t(above[k]) + below[k]) / 2);
}

KNETIX_AVX2 void fillCellsAvx2(OffsetCell* cells, int32_t r)
{
    const int64_t side = 2 * int64_t(r) + 1;
    for (int64_t j = 0; j <= 2 * r; j += 2)
        fillEvenRowAvx2(cells + j * side, r);
    for (int64_t j = 1; j <= 2 * r - 1; j += 2)
        fillOddRowAvx2(cells + (j - 1) * side, cells + (j + 1) * side, cells + j * side, side);
}

// fillCellsAvx2 and the write-back in one pass down the patch: each row is
// filled and copied out while it is in the first-level cache. Rows depend
// only on the two even rows around them, and the field is not read here, so
// the bytes written are the same as in two passes.
KNETIX_AVX2 void fillAndWriteBackAvx2(OffsetCell* cells, int32_t r, const WriteBackRange& range)
{
    const int64_t side = 2 * int64_t(r) + 1;
    fillEvenRowAvx2(cells, r);
    range.copyRow(cells, 0);
    for (int64_t j = 2; j <= 2 * r; j += 2) {
        fillEvenRowAvx2(cells + j * side, r);
        fillOddRowAvx2(cells + (j - 2) * side, cells + j * side, cells + (j - 1) * side, side);
        range.copyRow(cells, j - 1);
        range.copyRow(cells, j);
    }
}
#endif

} // namespace

void fillStrokePatch(StrokePatch& patch)
{
    if (!patch.cells())
        return;
#if KNETIX_HAVE_AVX2
    if (kernels::level() == kernels::Level::Avx2) {
        fillCellsAvx2(patch.cells(), patch.radius());
        return;
    }
#endif
    fillCellsPortable(patch.cells(), patch.radius());
}

void writeBackStrokePatch(const StrokePatch& patch, OffsetCell* field, int32_t width,
                          int32_t height, int32_t x, int32_t y)
{
    if (!patch.cells() || !field)
        return;
    const WriteBackRange range(field, width, height, patch.radius(), x, y);
    if (range.empty())
        return;
    for (int64_t row = range.r0; row <= range.r1; ++row)
        range.copyRow(patch.cells(), row - y + range.r);
}

void applyStroke(OffsetCell* field, int32_t fieldCount, const Rect& picture, CMTool& tool,
                 StrokePatch& patch, int32_t X, int32_t Y)
{
    const int32_t W = picture.width();
    const int32_t H = picture.height();
    const int32_t x = int32_t(clampTo(int64_t(X) - picture.left, -CMTool::kMaxCoordinate,
                                      CMTool::kMaxCoordinate));
    const int32_t y = int32_t(clampTo(int64_t(Y) - picture.top, -CMTool::kMaxCoordinate,
                                      CMTool::kMaxCoordinate));
    const int32_t r = tool.radius();
    const Rect square{x - r, y - r, x + r, y + r};

    tool.recordPoint(x, y, W, H);
    if (!field || W <= 0 || H <= 0 || int64_t(fieldCount) != int64_t(W) * H)
        return;
    // The patch follows the tool's radius. A radius-0 tool visits no point,
    // so a patch the canvas never made for it stays unmade (and its stored
    // count 0); a larger radius without cells gets them now.
    if (patch.radius() != r || (!patch.cells() && r > 0))
        patch.resize(r);
    if (!patch.cells())
        return;
    // The tools write only every second cell of every second row, and the fill
    // overwrites the rest: only the even rows need clearing.
    const int64_t side = patch.side();
    for (int64_t j = 0; j < side; j += 2)
        std::fill_n(patch.cells() + j * side, side, OffsetCell());
    tool.apply(field, patch.cells(), picture, square, x, y);
#if KNETIX_HAVE_AVX2
    if (kernels::level() == kernels::Level::Avx2) {
        fillAndWriteBackAvx2(patch.cells(), patch.radius(), WriteBackRange(field, W, H, r, x, y));
        return;
    }
#endif
    fillStrokePatch(patch);
    writeBackStrokePatch(patch, field, W, H, x, y);
}

void scaleField(OffsetCell* field, int32_t count, int32_t scale)
{
    if (!field)
        return;
    for (int32_t i = 0; i < count; ++i) {
        field[i].dx = saturate32(int64_t(scale) * field[i].dx / 64);
        field[i].dy = saturate32(int64_t(scale) * field[i].dy / 64);
    }
}

} // namespace knetix
