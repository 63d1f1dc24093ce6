#pragma once
// The seven tool kinds. Six resample the field at an offset that depends on the
// kind; the Iron (Smooth) averages neighbours instead.

#include "engine/CMTool.h"

namespace knetix {

#define KNETIX_TOOL_CLASS(Name, Kind, Repeats)                                                   \
    class Name : public CMTool {                                                                 \
    public:                                                                                      \
        static constexpr const char* kClassName = #Name;                                         \
        using CMTool::CMTool;                                                                    \
        const char* className() const override { return kClassName; }                           \
        std::optional<ToolKind> kind() const override { return ToolKind::Kind; }                \
        bool repeatsWhileHeld() const override { return Repeats; }                              \
        void apply(const OffsetCell* field, OffsetCell* patch, const Rect& picture,              \
                   const Rect& square, int32_t x, int32_t y) const override;                    \
    };

KNETIX_TOOL_CLASS(CMTool_ZoomIn, ZoomIn, true)   // Magnifier
KNETIX_TOOL_CLASS(CMTool_ZoomOut, ZoomOut, true) // Deflator
KNETIX_TOOL_CLASS(CMTool_Zoom, Zoom, false)      // Hammer
KNETIX_TOOL_CLASS(CMTool_Move, Move, false)      // Hook
KNETIX_TOOL_CLASS(CMTool_Undo, Undo, true)       // Brush
KNETIX_TOOL_CLASS(CMTool_Smooth, Smooth, true)   // Iron
KNETIX_TOOL_CLASS(CMTool_Whirl, Whirl, true)     // Drill

#undef KNETIX_TOOL_CLASS

// The new field value at (x, y) when the field is read at an offset (ox, oy) in
// 1/64 pixel: the old field at (x, y) + o, plus o. Reads stay inside the field;
// near its border the bilinear weights extrapolate.
OffsetCell resampleField(const OffsetCell* field, int32_t width, int32_t height, int32_t x,
                         int32_t y, int32_t ox, int32_t oy);

} // namespace knetix
