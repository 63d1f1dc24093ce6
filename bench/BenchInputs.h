#pragma once
// Pictures and fields made in code for the benchmarks.

#include "engine/OffsetCell.h"
#include "container/WA.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace knetix {

// Every byte random: the worst case for any compressor.
inline WAPtr noisePicture(int32_t w, int32_t h)
{
    auto picture = std::make_shared<WA>(WA_TYPE_24BIT, w, h);
    std::mt19937 rng(1);
    for (int32_t k = 0; k < h; ++k)
        for (int32_t i = 0; i < w * 3; ++i)
            picture->row(k)[i] = uint8_t(rng());
    return picture;
}

// Smooth shading with edges and a little grain, closer to a photograph.
inline WAPtr photoLikePicture(int32_t w, int32_t h)
{
    auto picture = std::make_shared<WA>(WA_TYPE_24BIT, w, h);
    std::mt19937 rng(2);
    for (int32_t k = 0; k < h; ++k) {
        uint8_t* row = picture->row(k);
        for (int32_t x = 0; x < w; ++x) {
            const double shade = 0.5 + 0.5 * std::sin(x * 0.004) * std::cos(k * 0.003);
            const bool edge = (x / 97 + k / 61) % 5 == 0;
            const int grain = int(rng() % 9) - 4;
            row[3 * x + 0] = uint8_t(std::clamp(int(200 * shade) + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(int(edge ? 40 : 160 * shade + 60) + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(int(255 - 180 * shade) + grain, 0, 255));
        }
    }
    return picture;
}

inline std::vector<OffsetCell> wavyField(int32_t w, int32_t h, int32_t amplitude)
{
    std::vector<OffsetCell> cells(size_t(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            cells[size_t(y) * w + x] =
                OffsetCell(((x * 7 + y * 3) % 64 - 32) * amplitude / 32, ((x * 5 - y * 11) % 64 - 32) * amplitude / 32);
    return cells;
}

// Keeps one core busy while it lives, as another program on the desktop
// would: a thread that only spins.
class BusyCore {
public:
    BusyCore()
        : m_thread([this] {
              uint64_t n = 0;
              while (!m_stop.load(std::memory_order_relaxed))
                  n = n * 6364136223846793005u + 1442695040888963407u;
              m_sink.store(n, std::memory_order_relaxed);
          })
    {
    }
    ~BusyCore()
    {
        m_stop.store(true, std::memory_order_relaxed);
        m_thread.join();
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_sink{0};
    std::thread m_thread;
};

} // namespace knetix
