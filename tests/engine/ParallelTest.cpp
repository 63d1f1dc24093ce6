// The engine's parallel loops: every row exactly once, in the chunks asked
// for, however many threads take part, also when loops run inside loops or
// from several threads at once.

#include "engine/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace knetix {
namespace {

// Counts how often each row of first .. last is visited and checks each chunk
// against the grain.
struct Visits {
    int32_t first, last, grain;
    std::vector<std::atomic<int32_t>> count;
    std::atomic<int32_t> badChunks{0}, calls{0};

    Visits(int32_t f, int32_t l, int32_t g) : first(f), last(l), grain(g), count(size_t(l - f + 1)) {}
    void operator()(int32_t a, int32_t b)
    {
        ++calls;
        // A chunk starts on the grain and holds grain rows, the last one fewer.
        if (a < first || b > last || a > b || (a - first) % grain != 0 ||
            (b - a + 1 != grain && b != last))
            ++badChunks;
        for (int32_t r = a; r <= b; ++r)
            ++count[size_t(r - first)];
    }
    bool eachOnce() const
    {
        for (const auto& c : count)
            if (c.load() != 1)
                return false;
        return true;
    }
};

TEST(ParallelTest, EveryRowOnceInChunksOfTheGrainForAnyThreadCount)
{
    for (unsigned threads : {0u, 1u, 2u, 3u, 8u})
        for (auto [first, last, grain] : {std::tuple{0, 0, 16}, {0, 2998, 16}, {-7, 93, 10}, {5, 9, 1},
                                          {3, 100, 1000}, {0, 63, 64}, {0, 64, 64}}) {
            Visits visits(first, last, grain);
            parallel::forEachChunk(first, last, grain, threads, visits);
            EXPECT_TRUE(visits.eachOnce()) << first << ".." << last << " by " << grain << ", " << threads;
            if (threads == 1 || last - first < grain)
                EXPECT_EQ(visits.calls.load(), 1) << "one call on the calling thread";
            else
                EXPECT_EQ(visits.badChunks.load(), 0) << first << ".." << last << " by " << grain;
        }
}

TEST(ParallelTest, EmptyRangesAndOddGrainsDoNothingWrong)
{
    int32_t calls = 0;
    parallel::forEachChunk(5, 4, 16, 2, [&](int32_t, int32_t) { ++calls; });
    EXPECT_EQ(calls, 0);
    Visits visits(0, 40, 1);
    parallel::forEachChunk(0, 40, 0, 2, visits); // a grain below 1 counts as 1
    EXPECT_TRUE(visits.eachOnce());
    EXPECT_EQ(visits.badChunks.load(), 0);
    EXPECT_GE(parallel::defaultThreads(), 1u);
}

TEST(ParallelTest, LoopsInsideLoopsAndFromSeveralThreadsAtOnce)
{
    // Each outer chunk runs an inner loop of its own; two threads run such
    // loops at the same time. Nothing may wait for itself, nothing be lost.
    auto nested = [] {
        std::vector<std::atomic<int32_t>> cells(64 * 50);
        parallel::forEachChunk(0, 63, 4, 0, [&](int32_t a, int32_t b) {
            for (int32_t row = a; row <= b; ++row)
                parallel::forEachChunk(0, 49, 7, 2, [&](int32_t c, int32_t d) {
                    for (int32_t col = c; col <= d; ++col)
                        ++cells[size_t(row * 50 + col)];
                });
        });
        for (const auto& c : cells)
            if (c.load() != 1)
                return false;
        return true;
    };
    for (int round = 0; round < 20; ++round) {
        bool other = false;
        std::thread t([&] { other = nested(); });
        const bool here = nested();
        t.join();
        ASSERT_TRUE(here && other) << "round " << round;
    }
}

} // namespace
} // namespace knetix
