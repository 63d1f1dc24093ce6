#pragma once
// The canvas shown sharp at a whole-number interface scale f: the picture
// fitted at f times the working picture's size and rendered through the
// working picture's field (w x h cells), the field interpolated exactly as the
// full-size renderer interpolates it for an f w x f h picture. The working
// picture, its field and everything saved from them stay as they are; this is
// only what the canvas shows.
//
// Not thread-safe on its own: whoever owns it renders and paints under one
// lock (the working picture's).

#include "engine/OffsetCell.h"
#include "engine/Render.h"
#include "container/Dib.h"

#include <cstdint>
#include <vector>

namespace knetix {

class WA;

class SharpCanvas {
public:
    static constexpr int32_t kMaxFactor = 4;
    // Longer display sides are refused: byte offsets then stay within 32 bits.
    static constexpr int32_t kMaxSide = 16384;

    // The picture at its own size (a 24-bit container) resized to f w x f h,
    // for a working picture of w x h (at least 2 x 2) and a factor f of
    // 1..kMaxFactor. False, and nothing loaded, for anything else or when the
    // memory cannot be had. The display starts unwarped.
    bool load(const WA& picture, int32_t width, int32_t height, int32_t factor);
    // When the picture file is gone: the unwarped working picture itself, each
    // pixel shown as f x f pixels.
    bool loadEnlarged(const Bitmap24View& working, int32_t factor);
    void clear();

    bool isLoaded() const { return !m_displayed.empty(); }
    int32_t factor() const { return m_factor; }
    // The working picture's size, which the field must have.
    int32_t fieldWidth() const { return m_fieldWidth; }
    int32_t fieldHeight() const { return m_fieldHeight; }
    // The display: f w x f h, 24-bit rows bottom-up, stride() bytes each.
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t stride() const { return m_stride; }
    const uint8_t* bits() const { return isLoaded() ? m_displayed.data() : nullptr; }
    const uint8_t* sourceBits() const { return isLoaded() ? m_source.data() : nullptr; }
    Bitmap24View view() const;

    // Renders the whole display through the field (cellCount must be w h) at
    // Deformation scale 0..64: rows 0 .. H - 2 and columns 0 .. W - 2, the last
    // row and column showing the unwarped picture, as in the full-size
    // renderer. A scale s shows the field exactly as baking s into it would
    // (every component s c / 64, truncated), so a bake changes nothing on
    // screen. Chunks of rows go to up to `threads` threads as they come free;
    // with 0 to the machine's cores from half a million pixels on (a factor 2
    // display renders on one); the result is the same for any number.
    void renderAll(const OffsetCell* field, int32_t cellCount, int32_t scale, RenderMode mode,
                   unsigned threads = 0);
    // The display pixels of `area` (display coordinates, right and bottom
    // exclusive), clipped to what renderAll writes; each exactly as renderAll
    // gives it. Threads as for renderAll.
    void renderRegion(const OffsetCell* field, int32_t cellCount, int32_t scale, RenderMode mode,
                      const Rect& area, unsigned threads = 0);
    // After a stroke point at working-picture point (x, y) with tool radius r:
    // re-renders, smooth at full scale, every display pixel that the cells the
    // stroke point can have changed feed (those of the working picture's square
    // render). Returns that area in display coordinates (empty if none).
    // Threads as for renderAll.
    Rect renderSquare(const OffsetCell* field, int32_t cellCount, int32_t x, int32_t y,
                      int32_t radius, unsigned threads = 0);

    // The display pixels that read any of the given field cells (right and
    // bottom exclusive, clipped to the field), within what renderAll writes.
    Rect affectedArea(const Rect& cells) const;

private:
    bool allocate(int32_t width, int32_t height, int32_t factor);
    void renderRows(const OffsetCell* field, int32_t scale, RenderMode mode, bool batched,
                    int32_t firstRow, int32_t lastRow, int32_t firstColumn, int32_t lastColumn);
    bool batchedFits(const OffsetCell* field, int32_t firstRow, int32_t lastRow,
                     int32_t firstColumn, int32_t lastColumn) const;

    int32_t m_factor = 0;
    int32_t m_fieldWidth = 0;
    int32_t m_fieldHeight = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
    // The field cell left of / above each display column and row, and the
    // weight in 1/64 towards the next one.
    std::vector<int32_t> m_columnCell, m_columnWeight, m_rowCell, m_rowWeight;
    std::vector<uint8_t> m_source; // unwarped, with a few bytes of slack for the kernels
    std::vector<uint8_t> m_displayed;
};

} // namespace knetix
