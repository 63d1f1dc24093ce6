#pragma once
// Rendering the unwarped working picture through a displacement field.
// Pictures are 24-bit bottom-up rows (picture row y is stored row H - 1 - y).

#include "engine/OffsetCell.h"

#include <cstdint>

namespace knetix {

enum class RenderMode {
    Smooth, // bilinear, for editing, key operations and movies
    Fast,   // nearest pixel, for playback frames
};

struct PictureBuffers {
    const uint8_t* source = nullptr; // unwarped
    uint8_t* displayed = nullptr;    // written
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

// Recomputes the displayed pixels of columns x0..x1 and rows y0..y1 (inclusive,
// picture coordinates, already within the rendered area) through the field at
// Deformation scale a (0..64).
void renderRegion(const PictureBuffers& pictures, const OffsetCell* field, int32_t scale,
                  RenderMode mode, int32_t x0, int32_t x1, int32_t y0, int32_t y1);

// The whole rendered area: rows 0 .. H - 3, columns 0 .. W - 2. The last column
// and the last two rows keep what they show. In chunks of rows on up to
// `threads` threads (0: every core); the result is the same for any count.
void renderAll(const PictureBuffers& pictures, const OffsetCell* field, int32_t scale,
               RenderMode mode, unsigned threads = 0);

// The area a stroke point at picture point (x, y) with tool radius r can have
// changed, rendered smooth at full scale.
void renderSquare(const PictureBuffers& pictures, const OffsetCell* field, int32_t x, int32_t y,
                  int32_t radius);

} // namespace knetix
