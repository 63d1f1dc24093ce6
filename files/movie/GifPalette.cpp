#include "files/movie/GifPalette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace knetix {

namespace {

struct Point {
    double c[3]; // r, g, b: the mean of one bin
    double weight;
};

struct Sums {
    double w = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    void add(const Point& p)
    {
        w += p.weight;
        for (int k = 0; k < 3; ++k) {
            s[k] += p.weight * p.c[k];
            q[k] += p.weight * p.c[k] * p.c[k];
        }
    }
    double error(int k) const { return w > 0 ? q[k] - s[k] * s[k] / w : 0.0; }
    double error() const { return error(0) + error(1) + error(2); }
};

Sums difference(const Sums& all, const Sums& part)
{
    Sums d;
    d.w = all.w - part.w;
    for (int k = 0; k < 3; ++k) {
        d.s[k] = all.s[k] - part.s[k];
        d.q[k] = all.q[k] - part.q[k];
    }
    return d;
}

struct Box {
    size_t begin, end;
    Sums sums;
};

Sums sumsOf(const std::vector<Point>& points, size_t begin, size_t end)
{
    Sums s;
    for (size_t i = begin; i < end; ++i)
        s.add(points[i]);
    return s;
}

// Splits the box along its widest channel where the two halves leave the
// least squared error; the points of the box are reordered.
std::pair<Box, Box> split(std::vector<Point>& points, const Box& box)
{
    int channel = 0;
    for (int k = 1; k < 3; ++k)
        if (box.sums.error(k) > box.sums.error(channel))
            channel = k;
    std::sort(points.begin() + std::ptrdiff_t(box.begin), points.begin() + std::ptrdiff_t(box.end),
              [channel](const Point& a, const Point& b) { return a.c[channel] < b.c[channel]; });
    Sums left;
    double best = std::numeric_limits<double>::max();
    size_t cut = box.begin + 1;
    Sums bestLeft;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
        left.add(points[i]);
        const double e = left.error() + difference(box.sums, left).error();
        if (e < best) {
            best = e;
            cut = i + 1;
            bestLeft = left;
        }
    }
    return {Box{box.begin, cut, bestLeft}, Box{cut, box.end, difference(box.sums, bestLeft)}};
}

double distance2(const double* a, const double* b)
{
    const double dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return dr * dr + dg * dg + db * db;
}

} // namespace

ColourHistogram::ColourHistogram() : m_bins(size_t(1) << (3 * kBits)) {}

void ColourHistogram::addRow(const uint8_t* bgr, int32_t width)
{
    constexpr int shift = 8 - kBits;
    for (int32_t x = 0; x < width; ++x, bgr += 3) {
        const uint32_t b = bgr[0], g = bgr[1], r = bgr[2];
        Bin& bin = m_bins[(r >> shift) << (2 * kBits) | (g >> shift) << kBits | (b >> shift)];
        ++bin.count;
        bin.r += r;
        bin.g += g;
        bin.b += b;
    }
    m_pixels += uint64_t(std::max(width, 0));
}

std::vector<PaletteColour> ColourHistogram::makePalette(int32_t maxColours) const
{
    std::vector<Point> points;
    for (const Bin& bin : m_bins)
        if (bin.count) {
            const double n = double(bin.count);
            points.push_back({{double(bin.r) / n, double(bin.g) / n, double(bin.b) / n}, n});
        }
    if (points.empty() || maxColours <= 0)
        return {};

    // Median cut, always cutting the box with the largest error.
    std::vector<Box> boxes{Box{0, points.size(), sumsOf(points, 0, points.size())}};
    while (boxes.size() < size_t(maxColours)) {
        size_t worst = boxes.size();
        double worstError = 0;
        for (size_t i = 0; i < boxes.size(); ++i)
            if (boxes[i].end - boxes[i].begin >= 2 && boxes[i].sums.error() > worstError) {
                worst = i;
                worstError = boxes[i].sums.error();
            }
        if (worst == boxes.size())
            break; // every box is a single colour
        auto [a, b] = split(points, boxes[worst]);
        boxes[worst] = a;
        boxes.push_back(b);
    }

    std::vector<std::array<double, 3>> centres;
    for (const Box& box : boxes)
        centres.push_back({box.sums.s[0] / box.sums.w, box.sums.s[1] / box.sums.w, box.sums.s[2] / box.sums.w});

    // A few rounds of k-means move the boxes' means to where the colours are.
    constexpr int kRounds = 4;
    std::vector<Sums> members(centres.size());
    for (int round = 0; round < kRounds && centres.size() > 1 && points.size() > centres.size(); ++round) {
        std::fill(members.begin(), members.end(), Sums{});
        for (const Point& p : points) {
            size_t best = 0;
            double bestDistance = std::numeric_limits<double>::max();
            for (size_t i = 0; i < centres.size(); ++i) {
                const double d = distance2(p.c, centres[i].data());
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            members[best].add(p);
        }
        for (size_t i = 0; i < centres.size(); ++i)
            if (members[i].w > 0)
                for (int k = 0; k < 3; ++k)
                    centres[i][size_t(k)] = members[i].s[k] / members[i].w;
    }

    std::vector<PaletteColour> palette;
    for (const auto& c : centres) {
        const auto channel = [](double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
        palette.push_back({channel(c[0]), channel(c[1]), channel(c[2])});
    }
    return palette;
}

PaletteMapper::PaletteMapper(const std::vector<PaletteColour>& palette)
    : m_palette(palette), m_cache(new uint8_t[size_t(1) << 24]), m_known((size_t(1) << 24) / 64, 0)
{
    for (size_t i = 0; i < palette.size() && i < 256; ++i)
        m_byGreen.push_back({palette[i].r, palette[i].g, palette[i].b, uint8_t(i)});
    std::sort(m_byGreen.begin(), m_byGreen.end(), [](const Entry& a, const Entry& b) { return a.g < b.g; });
}

uint8_t PaletteMapper::search(int r, int g, int b) const
{
    if (m_byGreen.empty())
        return 0;
    const auto start = std::lower_bound(m_byGreen.begin(), m_byGreen.end(), g,
                                        [](const Entry& e, int value) { return e.g < value; });
    int best = std::numeric_limits<int>::max();
    uint8_t bestIndex = 0;
    auto consider = [&](const Entry& e) {
        const int dr = e.r - r, dg = e.g - g, db = e.b - b;
        const int d = dr * dr + dg * dg + db * db;
        // Ties go to the lower index, whichever side found them.
        if (d < best || (d == best && e.index < bestIndex)) {
            best = d;
            bestIndex = e.index;
        }
    };
    // Outwards from the green value, each side until green alone is too far.
    auto up = start;
    auto down = start;
    bool goUp = true, goDown = true;
    while (goUp || goDown) {
        if (goUp) {
            if (up == m_byGreen.end() || (up->g - g) * (up->g - g) > best)
                goUp = false;
            else
                consider(*up++);
        }
        if (goDown) {
            if (down == m_byGreen.begin() || ((down - 1)->g - g) * ((down - 1)->g - g) > best)
                goDown = false;
            else
                consider(*--down);
        }
    }
    return bestIndex;
}

FrameDitherer::FrameDitherer(int32_t width)
    : m_width(width), m_thisRow(size_t(width + 2) * 3, 0), m_nextRow(size_t(width + 2) * 3, 0)
{
}

void FrameDitherer::startFrame()
{
    std::fill(m_thisRow.begin(), m_thisRow.end(), 0);
    std::fill(m_nextRow.begin(), m_nextRow.end(), 0);
    m_leftToRight = true;
}

void FrameDitherer::ditherRow(const uint8_t* bgr, PaletteMapper& mapper, uint8_t* indices)
{
    const std::vector<PaletteColour>& palette = mapper.palette();
    std::fill(m_nextRow.begin(), m_nextRow.end(), 0);
    const int32_t step = m_leftToRight ? 1 : -1;
    int32_t x = m_leftToRight ? 0 : m_width - 1;
    for (int32_t n = 0; n < m_width; ++n, x += step) {
        // Slot x + 1: the guard pixels sit at 0 and width + 1.
        int32_t* here = &m_thisRow[size_t(x + 1) * 3];
        int32_t* ahead = here + 3 * step;
        int32_t* below = &m_nextRow[size_t(x + 1) * 3];
        const uint8_t* p = bgr + size_t(x) * 3;
        const int want[3] = {
            std::clamp(p[2] + ((here[0] + 8) >> 4), 0, 255),
            std::clamp(p[1] + ((here[1] + 8) >> 4), 0, 255),
            std::clamp(p[0] + ((here[2] + 8) >> 4), 0, 255),
        };
        const uint8_t index = mapper.nearest(want[0], want[1], want[2]);
        indices[x] = index;
        const PaletteColour& got = palette[index];
        const int error[3] = {want[0] - got.r, want[1] - got.g, want[2] - got.b};
        for (int k = 0; k < 3; ++k) {
            ahead[k] += error[k] * 7;
            below[k - 3 * step] += error[k] * 3;
            below[k] += error[k] * 5;
            below[k + 3 * step] += error[k];
        }
    }
    std::swap(m_thisRow, m_nextRow);
    m_leftToRight = !m_leftToRight;
}

} // namespace knetix
