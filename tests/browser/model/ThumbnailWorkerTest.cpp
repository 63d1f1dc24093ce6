// The thumbnail thread: order of results, clearing, and stopping mid-queue.
// Also run under ThreadSanitizer.

#include "browser/model/ThumbnailWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace knetix {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> paths(int n)
{
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        out.push_back("/p/" + std::to_string(i));
    return out;
}

std::vector<ThumbnailWorker::Result> collect(ThumbnailWorker& worker, size_t want)
{
    std::vector<ThumbnailWorker::Result> all;
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (all.size() < want && std::chrono::steady_clock::now() < until) {
        for (auto& r : worker.takeResults())
            all.push_back(std::move(r));
        std::this_thread::sleep_for(1ms);
    }
    return all;
}

TEST(ThumbnailWorker, DeliversEveryPathInQueueOrder)
{
    ThumbnailWorker worker([](const std::string& p) {
        CPaletteItem item;
        item.m_width = int32_t(p.size());
        return item;
    });
    worker.add(paths(30));
    worker.add({"/q/last"});
    const auto results = collect(worker, 31);
    ASSERT_EQ(results.size(), 31u);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(results[size_t(i)].first, "/p/" + std::to_string(i));
    EXPECT_EQ(results[30].second.m_width, 7);
    EXPECT_FALSE(worker.busy());
}

TEST(ThumbnailWorker, ClearAndDestructionStopAfterTheItemInHand)
{
    // The first thumbnail is held until the queue has been cleared, so that
    // the clear certainly comes while one is in hand.
    std::mutex mutex;
    std::condition_variable changed;
    bool inHand = false, cleared = false;
    std::atomic<int> made{0};
    {
        ThumbnailWorker worker([&](const std::string&) {
            ++made;
            std::unique_lock lock(mutex);
            inHand = true;
            changed.notify_all();
            changed.wait(lock, [&] { return cleared; });
            lock.unlock();
            std::this_thread::sleep_for(5ms);
            return CPaletteItem{};
        });
        worker.add(paths(1000));
        std::unique_lock lock(mutex);
        const bool began = changed.wait_for(lock, 30s, [&] { return inHand; });
        worker.clear();
        cleared = true;
        lock.unlock();
        changed.notify_all();
        ASSERT_TRUE(began);
        const auto until = std::chrono::steady_clock::now() + 30s;
        while (worker.busy() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        EXPECT_FALSE(worker.busy());
        EXPECT_EQ(made.load(), 1); // only the one in hand
        worker.add(paths(1000));
    } // joins without making the rest
    EXPECT_LT(made.load(), 1001);
}

} // namespace
} // namespace knetix
