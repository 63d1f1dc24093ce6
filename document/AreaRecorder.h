#pragma once
// Keeping what a rectangle of a field or a picture held before a change, and
// working out afterwards the smallest rectangle that did change. A stroke
// touches a few squares of a large field; only those are kept while it runs,
// in tiles, and only the changed rectangle is stored for undo.

#include "engine/OffsetCell.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace knetix {

// A two-dimensional array of equal elements in memory. Rows may run upwards
// (a bottom-up picture): rowStep is then negative.
struct Grid {
    uint8_t* origin = nullptr; // element (0, 0)
    int64_t rowStep = 0;       // bytes from row y to row y + 1
    int32_t width = 0;
    int32_t height = 0;
    int32_t elementBytes = 0;

    uint8_t* at(int64_t x, int64_t y) const { return origin + y * rowStep + x * elementBytes; }
    bool valid() const { return origin && width > 0 && height > 0 && elementBytes > 0; }
};

// What a rectangle of a grid held before and after a change; rows top first.
struct AreaChange {
    Rect rect; // empty when nothing changed
    std::vector<uint8_t> before;
    std::vector<uint8_t> after;

    bool empty() const { return rect.isEmpty(); }
    size_t bytes() const { return before.capacity() + after.capacity(); }
    // Writes one side back into the grid (which must have the size it was
    // recorded from).
    void restore(const Grid& grid, bool toAfter) const;
};

class AreaRecorder {
public:
    static constexpr int32_t kTile = 32;

    AreaRecorder() = default;
    explicit AreaRecorder(const Grid& grid);

    const Grid& grid() const { return m_grid; }
    // Keeps the area [left, right) x [top, bottom), clipped to the grid, as it
    // is now; parts kept before are left as they were first kept.
    void keep(int64_t left, int64_t top, int64_t right, int64_t bottom);
    // The smallest rectangle in which the grid now differs from what was kept,
    // with both versions.
    AreaChange finish() const;

private:
    void keepTile(int32_t tx, int32_t ty);
    Rect tileRect(int32_t tx, int32_t ty) const;

    Grid m_grid;
    int32_t m_tilesX = 0;
    int32_t m_tilesY = 0;
    std::vector<std::unique_ptr<uint8_t[]>> m_tiles; // by tile index; null until kept
};

} // namespace knetix
