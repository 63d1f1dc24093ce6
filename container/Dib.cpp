#include "Dib.h"

#include <cstring>

namespace knetix {

namespace {

void put32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

uint32_t get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t get16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

DibHeader dib24Header(int32_t width, int32_t height, int32_t xPelsPerMeter, int32_t yPelsPerMeter)
{
    DibHeader h;
    h.width = width;
    h.height = height;
    h.sizeImage = uint32_t(uint64_t(dibStride24(width)) * uint64_t(height));
    h.xPelsPerMeter = xPelsPerMeter;
    h.yPelsPerMeter = yPelsPerMeter;
    return h;
}

void writeDibHeader(uint8_t* dst, const DibHeader& h)
{
    put32(dst + 0, uint32_t(h.size));
    put32(dst + 4, uint32_t(h.width));
    put32(dst + 8, uint32_t(h.height));
    put16(dst + 12, h.planes);
    put16(dst + 14, h.bitCount);
    put32(dst + 16, h.compression);
    put32(dst + 20, h.sizeImage);
    put32(dst + 24, uint32_t(h.xPelsPerMeter));
    put32(dst + 28, uint32_t(h.yPelsPerMeter));
    put32(dst + 32, h.clrUsed);
    put32(dst + 36, h.clrImportant);
}

DibHeader readDibHeader(const uint8_t* src)
{
    DibHeader h;
    h.size = int32_t(get32(src + 0));
    h.width = int32_t(get32(src + 4));
    h.height = int32_t(get32(src + 8));
    h.planes = get16(src + 12);
    h.bitCount = get16(src + 14);
    h.compression = get32(src + 16);
    h.sizeImage = get32(src + 20);
    h.xPelsPerMeter = int32_t(get32(src + 24));
    h.yPelsPerMeter = int32_t(get32(src + 28));
    h.clrUsed = get32(src + 32);
    h.clrImportant = get32(src + 36);
    return h;
}

bool Bitmap24View::valid() const
{
    return bits && width > 0 && height > 0 && int64_t(stride) >= int64_t(width) * 3;
}

bool parsePackedDib24(const uint8_t* block, size_t length, Bitmap24View& view)
{
    if (!block || length < size_t(kDibHeaderSize))
        return false;
    const DibHeader h = readDibHeader(block);
    if (h.size != kDibHeaderSize || h.bitCount != 24 || h.compression != 0 || h.clrUsed != 0)
        return false;
    if (h.width <= 0 || h.height <= 0 || h.width > (1 << 28) / 3)
        return false;
    const int64_t stride = (int64_t(h.width) * 3 + 3) / 4 * 4;
    const uint64_t need = uint64_t(stride) * uint64_t(h.height);
    if (need > length - size_t(kDibHeaderSize))
        return false;
    view.width = h.width;
    view.height = h.height;
    view.stride = int32_t(stride);
    view.bits = block + kDibHeaderSize;
    view.xPelsPerMeter = h.xPelsPerMeter;
    view.yPelsPerMeter = h.yPelsPerMeter;
    return true;
}

} // namespace knetix
