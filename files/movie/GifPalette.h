#pragma once
// The one palette of an animated GIF movie and the dithering of frames to it.
// The colours of every frame are counted as the frames arrive; when the movie
// is complete the counts are cut into at most 256 boxes (each cut where it
// leaves the least squared error), the boxes' means are refined by a few
// rounds of k-means, and each frame is then dithered to that palette.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace knetix {

struct PaletteColour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const PaletteColour&) const = default;
};

class ColourHistogram {
public:
    ColourHistogram();

    // One row of blue, green, red bytes.
    void addRow(const uint8_t* bgr, int32_t width);
    uint64_t pixels() const { return m_pixels; }

    // At most `maxColours` colours standing for everything counted; a movie
    // of that many colours or fewer (up to the bins' resolution) gets exactly
    // its own colours. Empty when nothing was counted.
    std::vector<PaletteColour> makePalette(int32_t maxColours = 256) const;

private:
    // 6 bits a channel: fine enough that the bins' means are real colours of
    // the movie, small enough (8 MiB) to stay the same for any frame size.
    static constexpr int kBits = 6;
    struct Bin {
        uint64_t count = 0, r = 0, g = 0, b = 0;
    };
    std::vector<Bin> m_bins;
    uint64_t m_pixels = 0;
};

// The palette entry nearest to a colour (squared distance in RGB), exactly;
// answers are remembered for every colour asked once.
class PaletteMapper {
public:
    explicit PaletteMapper(const std::vector<PaletteColour>& palette);
    PaletteMapper(const PaletteMapper&) = delete;
    PaletteMapper& operator=(const PaletteMapper&) = delete;

    uint8_t nearest(int r, int g, int b)
    {
        const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        uint64_t& word = m_known[key >> 6];
        const uint64_t bit = uint64_t(1) << (key & 63);
        if (!(word & bit)) {
            m_cache[key] = search(r, g, b);
            word |= bit;
        }
        return m_cache[key];
    }
    const std::vector<PaletteColour>& palette() const { return m_palette; }

private:
    uint8_t search(int r, int g, int b) const;

    std::vector<PaletteColour> m_palette;
    // The entries ordered by green, so that a search can stop early.
    struct Entry {
        int r, g, b;
        uint8_t index;
    };
    std::vector<Entry> m_byGreen;
    std::unique_ptr<uint8_t[]> m_cache; // 2^24 answers, valid where m_known says so
    std::vector<uint64_t> m_known;
};

// Floyd-Steinberg error diffusion in serpentine order, row by row from the top.
class FrameDitherer {
public:
    explicit FrameDitherer(int32_t width);
    // Call before the top row of each frame.
    void startFrame();
    // The next row (blue, green, red bytes) as palette indices.
    void ditherRow(const uint8_t* bgr, PaletteMapper& mapper, uint8_t* indices);

private:
    int32_t m_width;
    bool m_leftToRight = true;
    // The error carried into this row and the next, in 1/16 steps, per
    // channel, with a guard pixel at either end.
    std::vector<int32_t> m_thisRow, m_nextRow;
};

} // namespace knetix
