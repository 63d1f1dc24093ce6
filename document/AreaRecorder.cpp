#include "document/AreaRecorder.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace knetix {

void AreaChange::restore(const Grid& grid, bool toAfter) const
{
    if (empty() || !grid.valid())
        return;
    const std::vector<uint8_t>& side = toAfter ? after : before;
    const size_t rowBytes = size_t(rect.width()) * size_t(grid.elementBytes);
    const uint8_t* from = side.data();
    for (int32_t y = rect.top; y < rect.bottom; ++y, from += rowBytes)
        std::memcpy(grid.at(rect.left, y), from, rowBytes);
}

AreaRecorder::AreaRecorder(const Grid& grid) : m_grid(grid)
{
    if (!m_grid.valid())
        return;
    m_tilesX = (m_grid.width + kTile - 1) / kTile;
    m_tilesY = (m_grid.height + kTile - 1) / kTile;
    m_tiles.resize(size_t(m_tilesX) * size_t(m_tilesY));
}

Rect AreaRecorder::tileRect(int32_t tx, int32_t ty) const
{
    const int32_t left = tx * kTile, top = ty * kTile;
    return {left, top, std::min(left + kTile, m_grid.width), std::min(top + kTile, m_grid.height)};
}

void AreaRecorder::keepTile(int32_t tx, int32_t ty)
{
    auto& tile = m_tiles[size_t(ty) * size_t(m_tilesX) + size_t(tx)];
    if (tile)
        return;
    const Rect r = tileRect(tx, ty);
    const size_t rowBytes = size_t(r.width()) * size_t(m_grid.elementBytes);
    tile = std::make_unique<uint8_t[]>(rowBytes * size_t(r.height()));
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(tile.get() + size_t(y - r.top) * rowBytes, m_grid.at(r.left, y), rowBytes);
}

void AreaRecorder::keep(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    if (m_tiles.empty())
        return;
    left = std::max<int64_t>(left, 0);
    top = std::max<int64_t>(top, 0);
    right = std::min<int64_t>(right, m_grid.width);
    bottom = std::min<int64_t>(bottom, m_grid.height);
    if (left >= right || top >= bottom)
        return;
    for (int64_t ty = top / kTile; ty <= (bottom - 1) / kTile; ++ty)
        for (int64_t tx = left / kTile; tx <= (right - 1) / kTile; ++tx)
            keepTile(int32_t(tx), int32_t(ty));
}

AreaChange AreaRecorder::finish() const
{
    AreaChange change;
    const int32_t e = m_grid.elementBytes;
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1; // inclusive bounds of what differs
    for (int32_t ty = 0; ty < m_tilesY; ++ty) {
        for (int32_t tx = 0; tx < m_tilesX; ++tx) {
            const uint8_t* kept = m_tiles[size_t(ty) * size_t(m_tilesX) + size_t(tx)].get();
            if (!kept)
                continue;
            const Rect r = tileRect(tx, ty);
            const size_t rowBytes = size_t(r.width()) * size_t(e);
            for (int32_t y = r.top; y < r.bottom; ++y) {
                const uint8_t* was = kept + size_t(y - r.top) * rowBytes;
                const uint8_t* now = m_grid.at(r.left, y);
                if (std::memcmp(was, now, rowBytes) == 0)
                    continue;
                int32_t first = 0, last = r.width() - 1;
                while (std::memcmp(was + size_t(first) * e, now + size_t(first) * e, size_t(e)) == 0)
                    ++first;
                while (std::memcmp(was + size_t(last) * e, now + size_t(last) * e, size_t(e)) == 0)
                    --last;
                x0 = std::min(x0, r.left + first);
                x1 = std::max(x1, r.left + last);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0)
        return change;
    change.rect = {x0, y0, x1 + 1, y1 + 1};
    const size_t rowBytes = size_t(change.rect.width()) * size_t(e);
    change.before.resize(rowBytes * size_t(change.rect.height()));
    change.after.resize(change.before.size());
    uint8_t* before = change.before.data();
    uint8_t* after = change.after.data();
    for (int32_t y = y0; y <= y1; ++y, before += rowBytes, after += rowBytes) {
        std::memcpy(after, m_grid.at(x0, y), rowBytes);
        // Cells of tiles never kept did not change: their "before" is now.
        for (int32_t x = x0; x <= x1;) {
            const int32_t tx = x / kTile, ty = y / kTile;
            const int32_t end = std::min(x1 + 1, (tx + 1) * kTile);
            const uint8_t* kept = m_tiles[size_t(ty) * size_t(m_tilesX) + size_t(tx)].get();
            const size_t bytes = size_t(end - x) * size_t(e);
            uint8_t* out = before + size_t(x - x0) * size_t(e);
            if (kept) {
                const Rect r = tileRect(tx, ty);
                std::memcpy(out, kept + size_t(y - r.top) * size_t(r.width()) * size_t(e) + size_t(x - r.left) * size_t(e),
                            bytes);
            } else {
                std::memcpy(out, m_grid.at(x, y), bytes);
            }
            x = end;
        }
    }
    return change;
}

} // namespace knetix
