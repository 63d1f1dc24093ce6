#include "files/scan/ScanBmp.h"

#include "container/Dib.h"
#include "files/scan/ScanFrames.h"

#include <algorithm>

namespace knetix {

namespace {

constexpr uint32_t kFileHeaderSize = 14;

void put32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

std::vector<uint8_t> bmpFileFromPackedDib(std::span<const uint8_t> packedDib)
{
    if (packedDib.size() < size_t(kDibHeaderSize))
        return {};
    const DibHeader h = readDibHeader(packedDib.data());
    if (h.width <= 0 || h.height <= 0 || h.width > kMaxScanSide || h.height > kMaxScanSide)
        return {};
    const uint64_t imageSize = uint64_t(h.height) * uint64_t(dibStride24(h.width));
    if (packedDib.size() - size_t(kDibHeaderSize) < imageSize)
        return {};

    const uint32_t offset = kFileHeaderSize + uint32_t(kDibHeaderSize);
    std::vector<uint8_t> file(offset + imageSize);
    file[0] = 'B';
    file[1] = 'M';
    put32(file.data() + 2, uint32_t(imageSize + offset));
    // bytes 6..9: two reserved words, zero
    put32(file.data() + 10, offset);
    std::copy_n(packedDib.begin(), size_t(kDibHeaderSize) + imageSize, file.begin() + kFileHeaderSize);
    return file;
}

} // namespace knetix
