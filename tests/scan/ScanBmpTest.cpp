// The BMP file of a scanned picture, byte for byte.

#include "container/Dib.h"
#include "files/scan/ScanBmp.h"

#include <gtest/gtest.h>

#include <numeric>

namespace knetix {
namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A packed DIB whose pixel bytes count up from 1, followed by `extra` bytes
// that are not part of the picture. The header's image size field is left at
// `sizeImage` to show that the file does not depend on it.
std::vector<uint8_t> block(int32_t width, int32_t height, size_t pixelBytes, uint32_t sizeImage, size_t extra = 0)
{
    // Filled in by hand: the sizes may be absurd on purpose.
    DibHeader h;
    h.width = width;
    h.height = height;
    h.sizeImage = sizeImage;
    h.xPelsPerMeter = 3780;
    h.yPelsPerMeter = 3780;
    std::vector<uint8_t> b(40 + pixelBytes + extra, 0xCC);
    writeDibHeader(b.data(), h);
    std::iota(b.begin() + 40, b.begin() + 40 + ptrdiff_t(pixelBytes), uint8_t(1));
    return b;
}

TEST(ScanBmp, FourByTwoPictureGivesTheExactFile)
{
    const std::vector<uint8_t> dib = block(4, 2, 24, 0, 7);
    const std::vector<uint8_t> file = bmpFileFromPackedDib(dib);
    ASSERT_EQ(file.size(), 78u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(le32(file, 2), 78u);
    EXPECT_EQ(le32(file, 6), 0u);  // both reserved words
    EXPECT_EQ(le32(file, 10), 54u);
    // Header unchanged (image size field included), then the 24 pixel bytes.
    EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), dib.begin()));
    EXPECT_EQ(le32(file, 14 + 20), 0u);
    EXPECT_EQ(file[54], 1);
    EXPECT_EQ(file[77], 24);
}

TEST(ScanBmp, ThreePixelsWideRowsAreTwelveBytes)
{
    const std::vector<uint8_t> dib = block(3, 3, 36, 999);
    const std::vector<uint8_t> file = bmpFileFromPackedDib(dib);
    ASSERT_EQ(file.size(), 54u + 36u);
    EXPECT_EQ(le32(file, 2), 90u);
    EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), dib.begin()));

    // One pixel wide: rows of four bytes; five wide: sixteen.
    EXPECT_EQ(bmpFileFromPackedDib(block(1, 2, 8, 0)).size(), 54u + 8u);
    EXPECT_EQ(bmpFileFromPackedDib(block(5, 1, 16, 0)).size(), 54u + 16u);
}

TEST(ScanBmp, ShortOrAbsurdBlocksAreRefused)
{
    EXPECT_TRUE(bmpFileFromPackedDib({}).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(std::vector<uint8_t>(39, 0)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(4, 2, 23, 24)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(3, 3, 35, 36)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(0, 2, 24, 0)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(4, 0, 24, 0)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(4, -2, 24, 0)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(-4, 2, 24, 0)).empty());
    // Sizes whose product would overflow 32 bits must not wrap into "short enough".
    EXPECT_TRUE(bmpFileFromPackedDib(block(0x40000000, 0x40000000, 24, 0)).empty());
    EXPECT_TRUE(bmpFileFromPackedDib(block(30001, 1, 24, 0)).empty());
}

} // namespace
} // namespace knetix
