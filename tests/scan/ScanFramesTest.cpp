// Scanner frames to the 24-bit buffer: every format and depth, three-pass
// scans in any order, short and unknown heights, and input that must be
// refused without reading past the data.

#include "container/Dib.h"
#include "files/scan/ScanFrames.h"
#include "tests/scan/ScanAssert.h"
#include "tests/scan/ScanPicture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

namespace knetix {
namespace {

using test::Picture;
using test::Rgb;

ScanFrame frame(ScanFrameFormat format, int32_t width, int32_t lines, int32_t depth, int32_t bytesPerLine,
                std::vector<uint8_t> data, bool last = true)
{
    return {{format, last, bytesPerLine, width, lines, depth}, std::move(data)};
}

std::vector<uint8_t> convert(const std::vector<ScanFrame>& frames)
{
    std::vector<uint8_t> dib;
    EXPECT_TRUE(test::succeeded(packedDibFromScanFrames(frames, dib)));
    return dib;
}

// Why the frames make no picture.
ScanProblem refusal(const std::vector<ScanFrame>& frames)
{
    std::vector<uint8_t> dib = {1, 2, 3};
    const ScanStatus status = packedDibFromScanFrames(frames, dib);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(dib.empty());
    return status.problem;
}

TEST(ScanFrames, ColourFrameBecomesBottomUpBgrWithPaddedRows)
{
    // 2 x 2, lines padded to 8 bytes by the scanner.
    const std::vector<uint8_t> data = {10, 20, 30, 40, 50, 60, 0xEE, 0xEE,
                                       70, 80, 90, 100, 110, 120, 0xEE, 0xEE};
    const Picture p(convert({frame(ScanFrameFormat::Rgb, 2, 2, 8, 8, data)}));
    ASSERT_EQ(p.width, 2);
    ASSERT_EQ(p.height, 2);
    EXPECT_EQ(p.at(0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(p.at(1, 0), (Rgb{40, 50, 60}));
    EXPECT_EQ(p.at(0, 1), (Rgb{70, 80, 90}));
    EXPECT_EQ(p.at(1, 1), (Rgb{100, 110, 120}));
    // The top line is stored last; row padding is zero, not the scanner's filler.
    const uint8_t* lastRow = p.dib.data() + 40 + 8;
    EXPECT_EQ(lastRow[0], 30);
    EXPECT_EQ(lastRow[6], 0);
    EXPECT_EQ(lastRow[7], 0);
}

TEST(ScanFrames, GreyAndSixteenBitSamples)
{
    const Picture grey(convert({frame(ScanFrameFormat::Gray, 3, 1, 8, 3, {0, 128, 255})}));
    EXPECT_EQ(grey.at(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(grey.at(1, 0), (Rgb{128, 128, 128}));
    EXPECT_EQ(grey.at(2, 0), (Rgb{255, 255, 255}));

    // Sixteen-bit samples in this machine's byte order; the high byte counts.
    const uint16_t samples[2] = {0x12AB, 0xFF01};
    std::vector<uint8_t> data(4);
    std::memcpy(data.data(), samples, 4);
    const Picture deep(convert({frame(ScanFrameFormat::Gray, 2, 1, 16, 4, data)}));
    EXPECT_EQ(deep.at(0, 0), (Rgb{0x12, 0x12, 0x12}));
    EXPECT_EQ(deep.at(1, 0), (Rgb{0xFF, 0xFF, 0xFF}));

    const uint16_t colour[3] = {0x0100, 0x8000, 0xFFFF};
    std::vector<uint8_t> rgb(6);
    std::memcpy(rgb.data(), colour, 6);
    const Picture deepColour(convert({frame(ScanFrameFormat::Rgb, 1, 1, 16, 6, rgb)}));
    EXPECT_EQ(deepColour.at(0, 0), (Rgb{0x01, 0x80, 0xFF}));
}

TEST(ScanFrames, LineArtSetBitIsBlackAndPaddingBitsAreIgnored)
{
    // 10 pixels: 1011001110, then six padding bits all set; a second line all clear.
    const std::vector<uint8_t> data = {0b10110011, 0b10111111, 0x00, 0x00};
    const Picture p(convert({frame(ScanFrameFormat::Gray, 10, 2, 1, 2, data)}));
    ASSERT_EQ(p.width, 10);
    const char* expected = "1011001110";
    for (int32_t x = 0; x < 10; ++x) {
        const uint8_t v = expected[x] == '1' ? 0 : 255;
        EXPECT_EQ(p.at(x, 0), (Rgb{v, v, v})) << "pixel " << x;
        EXPECT_EQ(p.at(x, 1), (Rgb{255, 255, 255}));
    }
    // One bit per sample in colour means full intensity, not black.
    const Picture colour(convert({frame(ScanFrameFormat::Rgb, 2, 1, 1, 1, {0b10001100})}));
    EXPECT_EQ(colour.at(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(colour.at(1, 0), (Rgb{0, 255, 255}));
}

TEST(ScanFrames, ThreePassInAnyOrderEqualsOneColourFrame)
{
    const int32_t w = 5, h = 3;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> plane[3];
    for (int32_t i = 0; i < w * h; ++i)
        for (int c = 0; c < 3; ++c) {
            rgb.push_back(uint8_t(i * 7 + c * 50));
            plane[c].push_back(uint8_t(i * 7 + c * 50));
        }
    const std::vector<uint8_t> single = convert({frame(ScanFrameFormat::Rgb, w, h, 8, w * 3, rgb)});

    const ScanFrame red = frame(ScanFrameFormat::Red, w, h, 8, w, plane[0], false);
    const ScanFrame green = frame(ScanFrameFormat::Green, w, h, 8, w, plane[1], false);
    ScanFrame blue = frame(ScanFrameFormat::Blue, w, h, 8, w, plane[2], true);
    EXPECT_EQ(convert({red, green, blue}), single);
    blue.parameters.lastFrame = false;
    ScanFrame lastRed = red;
    lastRed.parameters.lastFrame = true;
    EXPECT_EQ(convert({blue, green, lastRed}), single);
}

TEST(ScanFrames, OddWidthRowsArePaddedToFourBytes)
{
    const std::vector<uint8_t> data(3 * 3 * 2, 200);
    const Picture p(convert({frame(ScanFrameFormat::Rgb, 3, 2, 8, 9, data)}));
    EXPECT_EQ(p.stride(), 12);
    EXPECT_EQ(p.dib.size(), 40u + 24u);
    for (int row = 0; row < 2; ++row)
        for (int i = 9; i < 12; ++i)
            EXPECT_EQ(p.dib[size_t(40 + row * 12 + i)], 0);
}

TEST(ScanFrames, UnknownAndShortHeightsTakeTheWholeLinesThatArrived)
{
    // Height unknown: two and a half lines arrived.
    std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Picture unknown(convert({frame(ScanFrameFormat::Gray, 4, -1, 8, 4, data)}));
    EXPECT_EQ(unknown.height, 2);
    EXPECT_EQ(unknown.at(0, 1), (Rgb{5, 5, 5}));

    // Four lines announced, two and a half delivered.
    Picture shortFrame(convert({frame(ScanFrameFormat::Gray, 4, 4, 8, 4, data)}));
    EXPECT_EQ(shortFrame.height, 2);

    // More than announced: the extra bytes are not a line.
    data.resize(16, 99);
    Picture longFrame(convert({frame(ScanFrameFormat::Gray, 4, 2, 8, 4, data)}));
    EXPECT_EQ(longFrame.height, 2);

    // Three-pass with one frame cut short: the common part.
    const ScanFrame red = frame(ScanFrameFormat::Red, 2, 3, 8, 2, std::vector<uint8_t>(6, 1), false);
    const ScanFrame green = frame(ScanFrameFormat::Green, 2, 3, 8, 2, std::vector<uint8_t>(4, 2), false);
    const ScanFrame blue = frame(ScanFrameFormat::Blue, 2, 3, 8, 2, std::vector<uint8_t>(6, 3));
    EXPECT_EQ(Picture(convert({red, green, blue})).height, 2);

    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 3, 8, 4, {1, 2, 3})}), ScanProblem::NoWholeLine);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, -1, 8, 4, {})}), ScanProblem::NoWholeLine);
}

TEST(ScanFrames, BadParametersAndFrameSetsAreRefused)
{
    const std::vector<uint8_t> data(64, 0);
    EXPECT_EQ(refusal({}), ScanProblem::NoFrames);
    // Line length too short (or absurdly long) for the width at that depth.
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Rgb, 4, 1, 8, 11, data)}), ScanProblem::BadLineLength);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 1, 16, 7, data)}), ScanProblem::BadLineLength);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 9, 1, 1, 1, data)}), ScanProblem::BadLineLength);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 1, 8, -4, data)}), ScanProblem::BadLineLength);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 1, 8, 1 << 30, data)}), ScanProblem::BadLineLength);
    // Depths, formats and sizes we cannot read.
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 1, 4, 2, data)}), ScanProblem::UnknownDepth);
    EXPECT_EQ(refusal({frame(ScanFrameFormat(11), 4, 1, 8, 4, data)}), ScanProblem::UnknownFormat);
    EXPECT_EQ(refusal({frame(ScanFrameFormat(-1), 4, 1, 8, 4, data)}), ScanProblem::UnknownFormat);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 0, 1, 8, 4, data)}), ScanProblem::NoSize);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 0, 8, 4, data)}), ScanProblem::NoSize);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, -2, 8, 4, data)}), ScanProblem::NoSize);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 30001, 1, 8, 30001, data)}), ScanProblem::TooLarge);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Gray, 4, 30001, 8, 4, data)}), ScanProblem::TooLarge);

    // Three-pass frames must agree and each colour come once.
    const auto part = [&](ScanFrameFormat f, int32_t w = 4, int32_t lines = 2, int32_t depth = 8) {
        return frame(f, w, lines, depth, depth == 16 ? w * 2 : w, data);
    };
    const ScanFrame r = part(ScanFrameFormat::Red), g = part(ScanFrameFormat::Green), b = part(ScanFrameFormat::Blue);
    EXPECT_EQ(refusal({r, g, part(ScanFrameFormat::Blue, 5)}), ScanProblem::PassSizesDiffer);
    EXPECT_EQ(refusal({r, g, part(ScanFrameFormat::Blue, 4, 3)}), ScanProblem::PassSizesDiffer);
    EXPECT_EQ(refusal({r, g, part(ScanFrameFormat::Blue, 4, 2, 16)}), ScanProblem::PassSizesDiffer);
    EXPECT_EQ(refusal({r, g, r}), ScanProblem::MismatchedPasses);
    EXPECT_EQ(refusal({r, g}), ScanProblem::MissingPasses);
    EXPECT_EQ(refusal({r, g, b, b}), ScanProblem::MismatchedPasses);
    EXPECT_EQ(refusal({r, g, part(ScanFrameFormat::Gray)}), ScanProblem::MismatchedPasses);
    EXPECT_EQ(refusal({part(ScanFrameFormat::Gray), part(ScanFrameFormat::Gray)}), ScanProblem::TooManyFrames);
    EXPECT_EQ(refusal({frame(ScanFrameFormat::Rgb, 1, 2, 8, 3, data), r}), ScanProblem::TooManyFrames);
}

TEST(ScanFrames, RandomInputNeverReadsPastTheData)
{
    std::mt19937 random(20240611);
    auto pick = [&random](std::initializer_list<int32_t> values) {
        return *(values.begin() + std::uniform_int_distribution<size_t>(0, values.size() - 1)(random));
    };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<ScanFrame> frames(size_t(pick({1, 1, 2, 3, 3, 4})));
        for (ScanFrame& f : frames) {
            ScanFrameParameters& p = f.parameters;
            p.format = ScanFrameFormat(pick({-1, 0, 1, 2, 3, 4, 9}));
            p.depth = pick({0, 1, 8, 8, 16, 24});
            p.pixelsPerLine = pick({-5, 0, 1, 3, 7, 33});
            p.lines = pick({-7, -1, 0, 1, 2, 5, 40000});
            p.bytesPerLine = pick({-1, 0, 1, 3, 4, 12, 99, 200});
            p.lastFrame = random() % 2;
            f.data.resize(std::uniform_int_distribution<size_t>(0, 400)(random));
            for (uint8_t& byte : f.data)
                byte = uint8_t(random());
        }
        std::vector<uint8_t> dib;
        const ScanStatus status = packedDibFromScanFrames(frames, dib);
        if (status.ok()) {
            ++accepted;
            Bitmap24View view;
            ASSERT_TRUE(parsePackedDib24(dib.data(), dib.size(), view));
            ASSERT_EQ(view.width, frames[0].parameters.pixelsPerLine);
        } else {
            ASSERT_TRUE(dib.empty());
        }
    }
    EXPECT_GT(accepted, 0); // the generator also makes valid frames
}

} // namespace
} // namespace knetix
