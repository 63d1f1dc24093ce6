#pragma once
// The picture container that the image library delivers and takes: a
// reference-counted picture with size, pixel type, palette and resolution, and
// its rows in one block. Row access goes through WAPIX.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace knetix {

// Pixel types of the container: 1, 4 and 8 bits per pixel with a palette,
// 16 for 24-bit rows in blue, green, red order.
enum WAType : int32_t {
    WA_TYPE_1BIT = 1,
    WA_TYPE_4BIT = 2,
    WA_TYPE_8BIT_GREY = 4,
    WA_TYPE_8BIT = 8,
    WA_TYPE_24BIT = 16,
};

int32_t waBitsPerPixel(int32_t type);

// Bytes of one row: ((width * bits + 31) / 32) * 4; -1 when the values are
// invalid or the row would not fit the address space.
int64_t waRowBytes(int32_t type, int32_t width);

class WA {
public:
    // Allocates width x height pixels of the given type, all zero. Throws
    // std::bad_alloc when the block cannot be had and std::invalid_argument for
    // a non-positive size or an unknown type.
    WA(int32_t type, int32_t width, int32_t height, const std::vector<uint32_t>& palette = {});

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t type() const { return m_type; }
    int32_t rowBytes() const { return m_rowBytes; }
    const std::vector<uint32_t>& palette() const { return m_palette; }

    // Resolution in dots per inch, horizontal in the low and vertical in the
    // high 16 bits; 0 when the file gives none.
    uint32_t resolution() const { return m_resolution; }
    void setResolution(uint32_t packed) { m_resolution = packed; }
    void setResolution(uint16_t horizontalDpi, uint16_t verticalDpi)
    {
        m_resolution = uint32_t(horizontalDpi) | (uint32_t(verticalDpi) << 16);
    }
    uint16_t horizontalDpi() const { return uint16_t(m_resolution & 0xFFFF); }
    uint16_t verticalDpi() const { return uint16_t(m_resolution >> 16); }
    // Pixels per metre for a bitmap header: 2835 (72 dpi) when no resolution is known.
    int32_t horizontalPixelsPerMetre() const;
    int32_t verticalPixelsPerMetre() const;

    // Row k of the block (row 0 is the first row in memory); null outside 0 .. height - 1.
    uint8_t* row(int32_t k);
    const uint8_t* row(int32_t k) const;

private:
    int32_t m_type;
    int32_t m_width;
    int32_t m_height;
    int32_t m_rowBytes;
    uint32_t m_resolution = 0;
    std::vector<uint32_t> m_palette;
    std::vector<uint8_t> m_bits;
};

// Holders share a container; the last one frees it.
using WAPtr = std::shared_ptr<WA>;

// Dots per inch to pixels per metre, rounded; and back as the writer is told:
// (pixels per metre * 254 + 5000) / 10000.
int32_t dpiToPixelsPerMetre(int32_t dpi);
int32_t pixelsPerMetreToDpi(int32_t pixelsPerMetre);

// Row access to a container; mode 1 fills, mode 0 reads (both give the same rows).
class WAPIX {
public:
    enum Mode : int32_t { Read = 0, Fill = 1 };
    WAPIX(WAPtr picture, int32_t mode);
    uint8_t* GetAccessToRow(int32_t index);
    const WAPtr& picture() const { return m_picture; }
    int32_t mode() const { return m_mode; }

private:
    WAPtr m_picture;
    int32_t m_mode;
};

} // namespace knetix
