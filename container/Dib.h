#pragma once
// The program's 24-bit picture buffer: a 40-byte bitmap information header
// followed by bottom-up rows of blue, green, red bytes, each row padded to a
// multiple of four bytes.

#include <cstddef>
#include <cstdint>

namespace knetix {

constexpr int32_t kDibHeaderSize = 40;

struct DibHeader {
    int32_t size = kDibHeaderSize;
    int32_t width = 0;
    int32_t height = 0;          // positive: rows stored bottom-up
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;    // uncompressed
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

// Row length of a 24-bit row of the given width: ((width + 1) * 3 / 4) * 4.
constexpr int32_t dibStride24(int32_t width)
{
    return ((width + 1) * 3 / 4) * 4;
}

// The header of a 24-bit bottom-up picture of the given size and resolution.
DibHeader dib24Header(int32_t width, int32_t height, int32_t xPelsPerMeter, int32_t yPelsPerMeter);

// Little-endian encoding of the header at dst (40 bytes) and back.
void writeDibHeader(uint8_t* dst, const DibHeader& header);
DibHeader readDibHeader(const uint8_t* src);

// A 24-bit bottom-up picture in memory, not owned. Stored row k is picture row
// height - 1 - k.
struct Bitmap24View {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    const uint8_t* bits = nullptr;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;

    bool valid() const;
    const uint8_t* storedRow(int32_t k) const { return bits + size_t(k) * size_t(stride); }
};

// Checks a packed DIB (header followed directly by 24-bit rows, no colour table)
// of `length` bytes and describes it; false for anything else or a block too short.
bool parsePackedDib24(const uint8_t* block, size_t length, Bitmap24View& view);

} // namespace knetix
