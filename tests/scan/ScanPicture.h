#pragma once
// A scanned picture read back for the scan tests.

#include "container/Dib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace knetix::test {

using Rgb = std::array<uint8_t, 3>;

// Reads the buffer back on its own terms: rows padded to four bytes, bottom-up, B G R.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> dib;

    explicit Picture(std::vector<uint8_t> block) : dib(std::move(block))
    {
        Bitmap24View view;
        EXPECT_TRUE(parsePackedDib24(dib.data(), dib.size(), view));
        const DibHeader h = readDibHeader(dib.data());
        EXPECT_EQ(h.size, 40);
        EXPECT_EQ(h.planes, 1);
        EXPECT_EQ(h.bitCount, 24);
        EXPECT_EQ(h.compression, 0u);
        EXPECT_EQ(h.clrUsed, 0u);
        EXPECT_GT(h.height, 0);
        width = h.width;
        height = h.height;
        EXPECT_EQ(h.sizeImage, uint32_t(stride() * height));
        EXPECT_EQ(dib.size(), size_t(40 + stride() * height));
    }
    int32_t stride() const { return (width * 3 + 3) / 4 * 4; }
    Rgb at(int32_t x, int32_t y) const
    {
        const uint8_t* p = dib.data() + 40 + (height - 1 - y) * stride() + x * 3;
        return {p[2], p[1], p[0]};
    }
    // Every pixel's blue, green and red equal to v.
    bool all(uint8_t v) const
    {
        for (int32_t k = 0; k < height; ++k)
            for (int32_t i = 0; i < width * 3; ++i)
                if (dib[size_t(40 + k * stride() + i)] != v)
                    return false;
        return true;
    }
};

} // namespace knetix::test
