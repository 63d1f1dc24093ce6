#pragma once
// One cell of a displacement field: where, relative to its own position, a
// displayed pixel is taken from in the unwarped picture, in 1/64 pixel.

#include <cstdint>

namespace knetix {

struct OffsetCell {
    int32_t dx = 0; // positive to the right
    int32_t dy = 0; // positive downwards

    constexpr OffsetCell() = default;
    constexpr OffsetCell(int32_t x, int32_t y) : dx(x), dy(y) {}
    friend constexpr bool operator==(const OffsetCell&, const OffsetCell&) = default;
};

static_assert(sizeof(OffsetCell) == 8, "cells are stored byte for byte, 8 bytes each");

// A rectangle in window or picture coordinates; right and bottom are exclusive.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace knetix
