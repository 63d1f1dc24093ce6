#include "engine/CMMask.h"

#include <algorithm>
#include <limits>
#include <new>

namespace knetix {

std::unique_ptr<OffsetCell[]> allocateCells(int64_t count)
{
    if (count <= 0 || count > std::numeric_limits<int32_t>::max())
        return nullptr;
    return std::unique_ptr<OffsetCell[]>(new (std::nothrow) OffsetCell[size_t(count)]());
}

CMMask::CMMask(int32_t width, int32_t height)
{
    const int64_t count = (width > 0 && height > 0) ? int64_t(width) * height : 0;
    m_count = count <= std::numeric_limits<int32_t>::max() ? int32_t(count) : 0;
    m_cells = allocateCells(m_count);
}

CMMask::CMMask(const CMMask& other) : m_count(other.m_count), m_thumbnail(other.m_thumbnail)
{
    if (other.m_cells) {
        m_cells = allocateCells(m_count);
        if (m_cells)
            std::copy_n(other.m_cells.get(), m_count, m_cells.get());
    }
}

void CMMask::replaceCells(std::unique_ptr<OffsetCell[]> cells, int32_t count)
{
    m_count = std::max(count, 0);
    m_cells = m_count ? std::move(cells) : nullptr;
}

} // namespace knetix
