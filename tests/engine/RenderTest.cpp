// Fitting a picture into the canvas and rendering it through a field.

#include "engine/Stroke.h"
#include "engine/Tools.h"
#include "engine/WorkingPicture.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace knetix {
namespace {

using test::Field;
using test::pixel;

struct Loaded {
    WorkingPicture picture;
    Field field;

    explicit Loaded(int32_t w, int32_t h, uint32_t seed = 7)
        : picture(w, h), field(w, h)
    {
        // A picture of the window's exact shape fills it.
        EXPECT_EQ(picture.loadFromContainer("p.bmp", *test::randomPicture(w, h, seed)), LoadResult::Ok);
        EXPECT_EQ(picture.pictureRect(), (Rect{0, 0, w, h}));
        picture.setField(field.data(), field.count());
    }
    const uint8_t* src(int32_t x, int32_t y) const
    {
        return pixel(picture.sourceBits().data(), picture.stride(), picture.height(), x, y);
    }
    const uint8_t* shown(int32_t x, int32_t y) const
    {
        return pixel(picture.displayedBits(), picture.stride(), picture.height(), x, y);
    }
};

bool samePixel(const uint8_t* a, const uint8_t* b)
{
    return std::memcmp(a, b, 3) == 0;
}

TEST(FittingTest, WidePictureIsCentredVertically)
{
    WorkingPicture wp;
    ASSERT_EQ(wp.loadFromContainer("/pics/wide.jpg", *test::randomPicture(708, 354, 1)), LoadResult::Ok);
    EXPECT_EQ(wp.pictureRect(), (Rect{0, 88, 354, 265}));
    EXPECT_EQ(wp.width(), 354);
    EXPECT_EQ(wp.height(), 177);
    EXPECT_EQ(wp.stride(), 1064);
    EXPECT_EQ(wp.picturePath(), "/pics/wide.jpg");

    const DibHeader h = readDibHeader(wp.pictureBlock().data());
    EXPECT_EQ(h.size, 40);
    EXPECT_EQ(h.width, 354);
    EXPECT_EQ(h.height, 177);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.sizeImage, 1064u * 177u);
    EXPECT_EQ(h.xPelsPerMeter, 2835);
    EXPECT_EQ(h.yPelsPerMeter, 2835);
    EXPECT_EQ(wp.pictureBlock().size(), 40u + 1064u * 177u);
    // The identity shows the picture unchanged.
    EXPECT_EQ(std::memcmp(wp.displayedBits(), wp.sourceBits().data(), wp.sourceBits().size()), 0);
}

TEST(FittingTest, TallAndSmallPicturesAreScaledWithNearestPixels)
{
    WorkingPicture wp;
    auto tall = test::randomPicture(100, 300, 2);
    ASSERT_EQ(wp.loadFromContainer("t", *tall), LoadResult::Ok);
    EXPECT_EQ(wp.pictureRect(), (Rect{118, 0, 236, 354})); // fw = 100 * 354 / 300 = 118

    // A 3 x 2 picture is enlarged: 354 x 236, stored row i from source row i * 2 / 236.
    auto small = test::randomPicture(3, 2, 3);
    ASSERT_EQ(wp.loadFromContainer("s", *small), LoadResult::Ok);
    ASSERT_EQ(wp.pictureRect(), (Rect{0, 59, 354, 295}));
    for (int32_t i : {0, 117, 118, 235})
        for (int32_t j : {0, 117, 118, 235, 236, 353}) {
            const uint8_t* want = small->row(i * 2 / 236) + 3 * (j * 3 / 354);
            const uint8_t* got = wp.sourceBits().data() + size_t(i) * wp.stride() + 3 * j;
            EXPECT_TRUE(samePixel(want, got)) << i << "," << j;
        }
}

TEST(FittingTest, TooThinPicturesAndBadInputChangeNothing)
{
    WorkingPicture wp;
    ASSERT_EQ(wp.loadFromContainer("keep", *test::randomPicture(50, 40, 4)), LoadResult::Ok);
    const auto block = wp.pictureBlock();
    const Rect rect = wp.pictureRect();

    EXPECT_EQ(wp.loadFromContainer("line", *test::randomPicture(1000, 1, 5)), LoadResult::TooSmall);
    EXPECT_EQ(wp.loadFromContainer("line", *test::randomPicture(100, 1, 5)), LoadResult::TooSmall); // 354 x 3
    WA grey(WA_TYPE_8BIT, 10, 10);
    EXPECT_EQ(wp.loadFromContainer("grey", grey), LoadResult::Invalid);
    const uint8_t junk[10] = {};
    EXPECT_EQ(wp.loadFromPackedDib("dib", junk, sizeof junk), LoadResult::Invalid);

    EXPECT_EQ(wp.pictureBlock(), block);
    EXPECT_EQ(wp.pictureRect(), rect);
    EXPECT_EQ(wp.picturePath(), "keep");
}

TEST(FittingTest, PackedDibRowsAndZeroResolution)
{
    // 5 x 3 packed DIB: rows of 16 bytes, the padding must be skipped.
    const int32_t w = 5, h = 3, rowBytes = 16;
    std::vector<uint8_t> dib(40 + rowBytes * h, 0xEE);
    DibHeader header;
    header.width = w;
    header.height = h;
    header.sizeImage = rowBytes * h;
    header.xPelsPerMeter = 3780;
    writeDibHeader(dib.data(), header);
    for (int32_t k = 0; k < h; ++k)
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                dib[40 + k * rowBytes + 3 * x + c] = uint8_t(10 * k + x + 100 * c);

    WorkingPicture wp;
    ASSERT_EQ(wp.loadFromPackedDib("scan", dib.data(), dib.size()), LoadResult::Ok);
    ASSERT_EQ(wp.pictureRect(), (Rect{0, 71, 354, 283})); // fh = 3 * 354 / 5 = 212
    EXPECT_EQ(readDibHeader(wp.pictureBlock().data()).xPelsPerMeter, 0);
    const uint8_t* last = wp.sourceBits().data() + size_t(211) * wp.stride() + 3 * 353;
    EXPECT_EQ(last[0], 10 * 2 + 4);
    EXPECT_EQ(last[2], 200 + 10 * 2 + 4);

    dib.pop_back(); // one byte short of what the header announces
    EXPECT_EQ(wp.loadFromPackedDib("scan", dib.data(), dib.size()), LoadResult::Invalid);
}

TEST(RenderTest, IdentityRepeatsColumnAndRowOneAndKeepsTheEdges)
{
    for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
        Loaded l(37, 23);
        // Any field at scale 0 renders as the identity does.
        Field wild = test::randomField(37, 23, 5000, 9);
        l.picture.setField(wild.data(), wild.count());
        l.picture.fullRender(0, mode);
        for (int32_t y = 0; y < 23; ++y)
            for (int32_t x = 0; x < 37; ++x) {
                const bool recomputed = x <= 35 && y <= 20;
                const uint8_t* want = recomputed ? l.src(std::max(x, 1), std::max(y, 1)) : l.src(x, y);
                ASSERT_TRUE(samePixel(l.shown(x, y), want)) << x << "," << y;
            }
        l.picture.setField(l.field.data(), l.field.count());
        std::vector<uint8_t> before = l.picture.pictureBlock();
        l.picture.fullRender(64, mode);
        EXPECT_EQ(l.picture.pictureBlock(), before);
    }
}

TEST(RenderTest, FieldsPointingOutsideClampToOnePixelFromTheBorder)
{
    Loaded l(30, 20);
    for (auto& c : l.field.cells)
        c = OffsetCell(-64 * 30 * 2, 0);
    l.picture.fullRender(64, RenderMode::Smooth);
    for (int32_t y = 0; y <= 17; ++y)
        for (int32_t x = 0; x <= 28; ++x)
            ASSERT_TRUE(samePixel(l.shown(x, y), l.src(1, std::clamp(y, 1, 18)))) << x << "," << y;
}

TEST(RenderTest, SmoothHalfPixelIsTheRoundedDownMean)
{
    Loaded l(30, 20);
    l.field.at(7, 9) = OffsetCell(32, 0);
    l.picture.fullRender(64, RenderMode::Smooth);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(l.shown(7, 9)[c], (l.src(7, 9)[c] + l.src(8, 9)[c]) / 2);
    // At half scale the same cell moves a quarter pixel: weights 3072 and 1024.
    l.picture.fullRender(32, RenderMode::Smooth);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(l.shown(7, 9)[c], (3072 * l.src(7, 9)[c] + 1024 * l.src(8, 9)[c]) / 4096);
    // Vertically the second row is the picture row below.
    l.field.at(7, 9) = OffsetCell(0, 16);
    l.picture.fullRender(64, RenderMode::Smooth);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(l.shown(7, 9)[c], (3072 * l.src(7, 9)[c] + 1024 * l.src(7, 10)[c]) / 4096);
}

TEST(RenderTest, FastModeRoundsHalfUpTruncatingTowardZero)
{
    Loaded l(30, 20);
    l.field.at(5, 5) = OffsetCell(31, 0);
    l.field.at(6, 5) = OffsetCell(32, 0);
    l.field.at(7, 5) = OffsetCell(-33, 0);
    l.field.at(8, 5) = OffsetCell(-96, 0); // (-6144 + 2048) / 4096 = -1
    l.picture.fullRender(64, RenderMode::Fast);
    EXPECT_TRUE(samePixel(l.shown(5, 5), l.src(5, 5)));
    EXPECT_TRUE(samePixel(l.shown(6, 5), l.src(7, 5)));
    EXPECT_TRUE(samePixel(l.shown(7, 5), l.src(7, 5)));
    EXPECT_TRUE(samePixel(l.shown(8, 5), l.src(7, 5)));
}

TEST(RenderTest, SquareRenderMatchesAFullRenderAfterEveryStroke)
{
    Loaded l(120, 90);
    CMTool_Whirl tool(15);
    StrokePatch patch(15);
    WorkingPicture& wp = l.picture;
    wp.fullRender(64, RenderMode::Smooth); // column 0 and row 0 take their clamped look
    int notified = 0;
    wp.setRenderListener([&](const Rect&) { ++notified; });
    for (auto [X, Y] : {std::pair{60, 45}, {64, 47}, {3, 88}, {118, 2}, {119, 89}, {-5, 40}}) {
        applyStroke(l.field.data(), l.field.count(), wp.pictureRect(), tool, patch, X, Y);
        wp.squareRender(X, Y, tool.radius());
        const std::vector<uint8_t> square = wp.pictureBlock();
        wp.fullRender(64, RenderMode::Smooth);
        ASSERT_EQ(wp.pictureBlock(), square) << "stroke at " << X << "," << Y;
    }
    EXPECT_EQ(notified, 12);
    wp.setNotify(false);
    wp.fullRender(64, RenderMode::Smooth);
    EXPECT_EQ(notified, 12);
}

TEST(RenderTest, ThumbnailIsThePictureStretchedInto32Bits)
{
    Loaded l(40, 20);
    ThumbnailBitmap thumb;
    l.picture.drawThumbnail(thumb, 20, 10);
    EXPECT_EQ(thumb.width, 20);
    EXPECT_EQ(thumb.height, 10);
    EXPECT_EQ(thumb.bytesPerRow, 80);
    EXPECT_EQ(thumb.bitsPerPixel, 32);
    ASSERT_EQ(thumb.bits.size(), 800u);
    // Top-left thumbnail pixel: the mean of the top-left 2 x 2 picture pixels.
    for (int c = 0; c < 3; ++c) {
        const int sum = l.shown(0, 0)[c] + l.shown(1, 0)[c] + l.shown(0, 1)[c] + l.shown(1, 1)[c];
        EXPECT_EQ(thumb.bits[c], sum / 4);
    }
    WorkingPicture none;
    none.drawThumbnail(thumb, 5, 4);
    EXPECT_EQ(thumb.bits, std::vector<uint8_t>(80, 0));
}

} // namespace
} // namespace knetix
