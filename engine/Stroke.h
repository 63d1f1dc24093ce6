#pragma once
// Field operations that are not tool-specific: the stroke patch a tool writes
// into, applying one stroke point to a field, and baking a Deformation scale.

#include "engine/CMTool.h"
#include "engine/OffsetCell.h"

#include <cstdint>
#include <memory>

namespace knetix {

// (2r + 1) x (2r + 1) scratch cells for one stroke point, row-major.
class StrokePatch {
public:
    StrokePatch() = default;
    explicit StrokePatch(int32_t radius) { resize(radius); }

    // Reallocates for a radius, all cells (0, 0). If the memory cannot be had the
    // patch has no cells while the count says what was asked for.
    void resize(int32_t radius);
    // Takes over stored cells (a project's patch); count must be (2r + 1)^2, or
    // 0 without cells.
    bool assign(int32_t radius, std::unique_ptr<OffsetCell[]> cells, int32_t count);
    void clear();

    int32_t radius() const { return m_radius; }
    int32_t side() const { return 2 * m_radius + 1; }
    int32_t count() const { return m_count; }
    OffsetCell* cells() { return m_cells.get(); }
    const OffsetCell* cells() const { return m_cells.get(); }
    OffsetCell& at(int32_t column, int32_t row) { return m_cells[int64_t(row) * side() + column]; }

private:
    int32_t m_radius = 0;
    int32_t m_count = 0;
    std::unique_ptr<OffsetCell[]> m_cells;
};

// Applies one stroke point at client point (X, Y): the tool records the point,
// computes every second point of its square into the patch, the gaps are filled
// by averaging and the patch is written back into the field. The field has
// picture.width() x picture.height() cells (fieldCount must say so); otherwise,
// or without cells, only the point is recorded. The patch is resized to the
// tool's radius if it does not match.
void applyStroke(OffsetCell* field, int32_t fieldCount, const Rect& picture, CMTool& tool,
                 StrokePatch& patch, int32_t X, int32_t Y);

// The fill and write-back steps on their own (after the tool has computed the
// patch for a stroke point at picture point (x, y)).
void fillStrokePatch(StrokePatch& patch);
void writeBackStrokePatch(const StrokePatch& patch, OffsetCell* field, int32_t width,
                          int32_t height, int32_t x, int32_t y);

// Bakes a Deformation scale s (0..64) into the field: every component becomes
// (s * component) / 64, truncated toward zero.
void scaleField(OffsetCell* field, int32_t count, int32_t scale);

} // namespace knetix
