#pragma once
// Shared by the engine tests: fields and pictures made in code, and the
// fixture that runs a test once per instruction set.

#include "engine/Kernels.h"
#include "engine/OffsetCell.h"
#include "container/Dib.h"
#include "container/WA.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace knetix::test {

struct Field {
    int32_t width, height;
    std::vector<OffsetCell> cells;

    Field(int32_t w, int32_t h, OffsetCell value = {}) : width(w), height(h), cells(size_t(w) * h, value) {}
    OffsetCell& at(int32_t x, int32_t y) { return cells[size_t(y) * width + x]; }
    const OffsetCell& at(int32_t x, int32_t y) const { return cells[size_t(y) * width + x]; }
    OffsetCell* data() { return cells.data(); }
    int32_t count() const { return int32_t(cells.size()); }
};

inline Field randomField(int32_t w, int32_t h, int32_t range, uint32_t seed)
{
    Field f(w, h);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> d(-range, range);
    for (auto& c : f.cells)
        c = OffsetCell(d(rng), d(rng));
    return f;
}

// A 24-bit container with pseudo-random pixels.
inline WAPtr randomPicture(int32_t w, int32_t h, uint32_t seed)
{
    auto picture = std::make_shared<WA>(WA_TYPE_24BIT, w, h);
    std::mt19937 rng(seed);
    for (int32_t k = 0; k < h; ++k) {
        uint8_t* row = picture->row(k);
        for (int32_t i = 0; i < w * 3; ++i)
            row[i] = uint8_t(rng());
    }
    return picture;
}

// Pixel (x, y) of a bottom-up 24-bit buffer, y counted from the top.
inline const uint8_t* pixel(const uint8_t* bits, int32_t stride, int32_t height, int32_t x, int32_t y)
{
    return bits + size_t(height - 1 - y) * stride + 3 * size_t(x);
}

// Runs each test once per instruction set of the engine's loops (the
// parameter); the one the machine lacks is skipped.
class PerLevelTest : public testing::TestWithParam<kernels::Level> {
protected:
    void SetUp() override
    {
        if (GetParam() == kernels::Level::Avx2 && kernels::bestLevel() != kernels::Level::Avx2)
            GTEST_SKIP() << "no AVX2 on this machine";
        m_previous = kernels::setLevel(GetParam());
    }
    void TearDown() override { kernels::setLevel(m_previous); }

private:
    kernels::Level m_previous = kernels::Level::Portable;
};

inline std::string levelName(const testing::TestParamInfo<kernels::Level>& info)
{
    return info.param == kernels::Level::Avx2 ? "Avx2" : "Portable";
}

} // namespace knetix::test
