#pragma once
// Applies the field of the canvas-sized working picture to the picture at its
// own size, for saving pictures and movie frames.

#include "engine/OffsetCell.h"
#include "container/Dib.h"

#include <cstdint>
#include <vector>

namespace knetix {

class WA;

// Renders rows firstRow .. lastRow (inclusive, picture rows counted from the
// top, within 0 .. H - 2) of a W x H picture through a w x h field. Source and
// output are 24-bit bottom-up rows of the same stride. Columns 0 .. W - 2 are
// written; the last column is left alone.
void renderFullSizeRows(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                        int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                        int32_t firstRow, int32_t lastRow);

// The whole picture, in chunks of rows taken by up to `threads` threads (0:
// the machine's cores) as they come free. The output is the same for any
// number of threads.
void renderFullSize(const uint8_t* source, uint8_t* output, int32_t W, int32_t H, int32_t stride,
                    const OffsetCell* field, int32_t w, int32_t h, unsigned threads = 0);

class FullSizeRenderer {
public:
    // Takes the picture as read at its own size (a 24-bit container) and makes
    // the output block: the header with the container's resolution, and the
    // rows, unwarped. False (and empty) if the container is not 24-bit or the
    // memory cannot be had.
    bool load(const WA& picture);

    // Renders the field (fieldWidth x fieldHeight cells, the canvas picture's
    // size) onto the output, starting from the unwarped picture each time.
    void render(const OffsetCell* field, int32_t fieldWidth, int32_t fieldHeight,
                unsigned threads = 0);

    bool isLoaded() const { return !m_output.empty(); }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t stride() const { return m_stride; }
    const std::vector<uint8_t>& source() const { return m_source; }
    // Header and rows in one block.
    const std::vector<uint8_t>& output() const { return m_output; }
    Bitmap24View outputView() const;

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_stride = 0;
    int32_t m_xPelsPerMeter = 0;
    int32_t m_yPelsPerMeter = 0;
    std::vector<uint8_t> m_source;
    std::vector<uint8_t> m_output;
};

} // namespace knetix
