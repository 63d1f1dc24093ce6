#pragma once
// A scanned picture as a BMP file.

#include <cstdint>
#include <span>
#include <vector>

namespace knetix {

// The bytes of the BMP file for a scanned picture's packed DIB: the 14-byte
// file header ("BM", file size, pixel offset 54), the 40-byte information
// header unchanged, and the rows that follow it. The image size is taken from
// width and height (rows padded to four bytes), not from the header's own
// image size field. Empty for a block too short for its header's size or with
// a size that is not positive or beyond any scan.
std::vector<uint8_t> bmpFileFromPackedDib(std::span<const uint8_t> packedDib);

} // namespace knetix
