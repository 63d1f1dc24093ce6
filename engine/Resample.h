#pragma once
// Resizing a 24-bit picture to another size for display. Each direction is
// resized on its own: where it shrinks, a destination pixel is the mean of the
// source pixels it covers, each by the share of it that it covers (no detail
// is skipped, so fine patterns do not turn into moiré); where it grows, a
// destination pixel is interpolated linearly between the two source pixels
// whose centres are nearest to its own (no blocks, no overshoot). A direction
// that keeps its size is copied unchanged.

#include <cstdint>

namespace knetix {

// Rows are stored one after another `stride` bytes apart, in the same order
// in source and destination (top-down or bottom-up alike). Sizes must be
// positive; false (and nothing written) if the scratch memory cannot be had.
bool resample24(const uint8_t* source, int64_t sourceStride, int32_t sourceWidth,
                int32_t sourceHeight, uint8_t* destination, int64_t destinationStride,
                int32_t destinationWidth, int32_t destinationHeight);

} // namespace knetix
