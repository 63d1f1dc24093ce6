#include "files/movie/GifPalette.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace knetix {
namespace {

// The cached, pruned search finds what comparing every entry finds (the
// lowest index among equally near ones), for colours asked twice as well.
TEST(GifPaletteTest, NearestEntryIsTheOneAFullSearchFinds)
{
    std::mt19937 rng(7);
    for (int palettes = 0; palettes < 4; ++palettes) {
        std::vector<PaletteColour> palette(size_t(1 + rng() % 256));
        for (auto& c : palette)
            c = {uint8_t(rng() % 8 * 36), uint8_t(rng()), uint8_t(rng() % 4 * 85)}; // ties on purpose
        PaletteMapper mapper(palette);
        for (int i = 0; i < 20000; ++i) {
            const int r = int(rng() % 256), g = int(rng() % 256), b = int(rng() % 256);
            int best = 0, bestDistance = 1 << 30;
            for (size_t k = 0; k < palette.size(); ++k) {
                const int dr = palette[k].r - r, dg = palette[k].g - g, db = palette[k].b - b;
                if (dr * dr + dg * dg + db * db < bestDistance) {
                    bestDistance = dr * dr + dg * dg + db * db;
                    best = int(k);
                }
            }
            ASSERT_EQ(mapper.nearest(r, g, b), best) << r << " " << g << " " << b;
            ASSERT_EQ(mapper.nearest(r, g, b), best);
        }
    }
}

// A flat colour between two entries comes out as a mix of both whose
// average is that colour (but for what runs off the edges); a colour of the
// palette comes out unchanged.
TEST(GifPaletteTest, DitheringKeepsTheAverageColour)
{
    struct Case {
        PaletteColour colour;
        std::vector<PaletteColour> palette;
        std::vector<double> shares; // of each entry
    };
    const Case cases[] = {
        {{64, 64, 64}, {{0, 0, 0}, {255, 255, 255}}, {0.75, 0.25}},
        {{200, 40, 10}, {{0, 0, 0}, {255, 255, 255}, {200, 40, 10}}, {0, 0, 1}},
    };
    const int32_t W = 256, H = 64;
    for (const Case& c : cases) {
        PaletteMapper mapper(c.palette);
        FrameDitherer ditherer(W);
        std::vector<uint8_t> row;
        for (int32_t x = 0; x < W; ++x)
            row.insert(row.end(), {c.colour.b, c.colour.g, c.colour.r});
        std::vector<uint8_t> indices(static_cast<size_t>(W));
        double sum[3] = {0, 0, 0};
        std::vector<int> used(c.palette.size(), 0);
        ditherer.startFrame();
        for (int32_t y = 0; y < H; ++y) {
            ditherer.ditherRow(row.data(), mapper, indices.data());
            for (uint8_t i : indices) {
                ++used[i];
                sum[0] += c.palette[i].r;
                sum[1] += c.palette[i].g;
                sum[2] += c.palette[i].b;
            }
        }
        EXPECT_NEAR(sum[0] / (W * H), c.colour.r, 1.0);
        EXPECT_NEAR(sum[1] / (W * H), c.colour.g, 1.0);
        EXPECT_NEAR(sum[2] / (W * H), c.colour.b, 1.0);
        for (size_t i = 0; i < used.size(); ++i)
            EXPECT_NEAR(double(used[i]) / (W * H), c.shares[i], 0.01) << i;
    }
}

} // namespace
} // namespace knetix
