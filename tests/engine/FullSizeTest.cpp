// The full-size renderer: the canvas-sized field applied to the picture at its
// own size.

#include "engine/FullSizeRenderer.h"
#include "engine/WorkingPicture.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace knetix {
namespace {

using test::Field;
using test::pixel;

TEST(FullSizeTest, IdentityFieldGivesThePictureBack)
{
    auto picture = test::randomPicture(301, 157, 11);
    picture->setResolution(300, 150);
    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*picture));
    Field identity(177, 92);
    renderer.render(identity.data(), identity.width, identity.height);

    const DibHeader h = readDibHeader(renderer.output().data());
    EXPECT_EQ(h.width, 301);
    EXPECT_EQ(h.height, 157);
    EXPECT_EQ(h.sizeImage, uint32_t(dibStride24(301) * 157));
    EXPECT_EQ(h.xPelsPerMeter, 11811);
    EXPECT_EQ(h.yPelsPerMeter, 5906);
    const Bitmap24View out = renderer.outputView();
    for (int32_t k = 0; k < 157; ++k)
        ASSERT_EQ(std::memcmp(out.storedRow(k), picture->row(k), 301 * 3), 0) << "row " << k;
}

TEST(FullSizeTest, HalfCellOffsetOnADoubleSizePictureShiftsByOnePixel)
{
    auto picture = test::randomPicture(80, 60, 12);
    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*picture));
    Field field(40, 30, OffsetCell(32, 0)); // half a field pixel = one picture pixel
    renderer.render(field.data(), 40, 30);
    const uint8_t* src = renderer.source().data();
    const uint8_t* out = renderer.output().data() + kDibHeaderSize;
    const int32_t s = renderer.stride();
    for (int32_t i = 0; i < 60; ++i)
        for (int32_t j = 0; j < 80; ++j) {
            int32_t sx = j, sy = i; // last row and column stay unwarped
            if (i <= 58 && j <= 77) {
                sx = j + 1;
            } else if (i <= 58 && j == 78) { // beyond W - 2: the clamp of both coordinates
                sx = 78;
                sy = std::clamp(i, 1, 58);
            }
            ASSERT_EQ(std::memcmp(pixel(out, s, 60, j, i), pixel(src, s, 60, sx, sy), 3), 0)
                << j << "," << i;
        }
}

TEST(FullSizeTest, NegativePositionsCopyTheClampedPixel)
{
    auto picture = test::randomPicture(50, 50, 13);
    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*picture));
    Field field(50, 50, OffsetCell(-1, -1)); // X = 64 j - 1: negative in column 0
    renderer.render(field.data(), 50, 50);
    const uint8_t* src = renderer.source().data();
    const uint8_t* out = renderer.output().data() + kDibHeaderSize;
    const int32_t s = renderer.stride();
    // Column 0 and row 0: X or Y negative, clamp(0, 1, W - 2) = 1.
    EXPECT_EQ(std::memcmp(pixel(out, s, 50, 0, 0), pixel(src, s, 50, 1, 1), 3), 0);
    EXPECT_EQ(std::memcmp(pixel(out, s, 50, 0, 10), pixel(src, s, 50, 1, 9), 3), 0); // Y = 639
    // Inside: X = 64 j - 1 gives pixel j - 1 with rx = 63.
    const uint8_t* p = pixel(src, s, 50, 9, 9);
    const uint8_t* below = pixel(src, s, 50, 9, 10);
    for (int c = 0; c < 3; ++c) {
        const int want = (1 * 1 * p[c] + 1 * 63 * p[3 + c] + 63 * 1 * below[c] + 63 * 63 * below[3 + c]) / 4096;
        EXPECT_EQ(pixel(out, s, 50, 10, 10)[c], want);
    }
}

TEST(FullSizeTest, ThreadsDoNotChangeTheResult)
{
    auto picture = test::randomPicture(613, 419, 14);
    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*picture));
    const Field field = test::randomField(354, 242, 64 * 40, 15);
    renderer.render(field.cells.data(), 354, 242, 1);
    const std::vector<uint8_t> one = renderer.output();
    for (unsigned threads : {2u, 3u, 8u}) {
        renderer.render(field.cells.data(), 354, 242, threads);
        ASSERT_EQ(renderer.output(), one) << threads << " threads";
    }
}

TEST(FullSizeTest, RefusesWhatItCannotRender)
{
    FullSizeRenderer renderer;
    EXPECT_FALSE(renderer.load(WA(WA_TYPE_8BIT, 10, 10)));
    EXPECT_FALSE(renderer.isLoaded());
    renderer.render(nullptr, 0, 0); // nothing loaded: nothing happens
    EXPECT_FALSE(renderer.outputView().valid());
}

} // namespace
} // namespace knetix
