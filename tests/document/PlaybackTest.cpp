#include "DocumentFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace knetix {
namespace {

using namespace std::chrono_literals;
using test::gridPicture;
using Clock = std::chrono::steady_clock;

// Polls until `done` holds; false only after a generous 30 s.
template <class Done>
bool eventually(Done done)
{
    const auto until = Clock::now() + 30s;
    while (!done()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct PlaybackTest : ::testing::Test {
    Document doc;
    void SetUp() override
    {
        ASSERT_TRUE(doc.loadPicture("grid.bmp", *gridPicture(200, 150)));
        doc.selectTool(ToolKind::Whirl);
        doc.press(170, 170);
        for (int i = 0; i < 5; ++i)
            doc.tick();
        doc.release();
    }

    // What the canvas must show when playback has stopped.
    std::vector<uint8_t> activeKeyShown()
    {
        Document check;
        EXPECT_TRUE(check.loadPicture("grid.bmp", *gridPicture(200, 150)));
        check.picture().setField(doc.keys().activeCells(), doc.keys().cellCount());
        check.picture().fullRender(64, RenderMode::Smooth);
        return check.picture().pictureBlock();
    }
};

// Frame k is never shown before start + k/15 s. A busy machine only makes
// frames later, so this holds anywhere, while a player running ahead fails.
TEST_F(PlaybackTest, PlaysAtTheMoviesRate)
{
    constexpr size_t kFrames = 16;
    std::mutex mutex;
    std::vector<Clock::time_point> shown;
    const auto shownCount = [&] {
        std::lock_guard lock(mutex);
        return shown.size();
    };
    const auto start = Clock::now();
    ASSERT_TRUE(doc.play([&] {
        std::lock_guard lock(mutex);
        shown.push_back(Clock::now());
    }));
    EXPECT_TRUE(doc.playing());
    EXPECT_FALSE(doc.play()); // already playing
    const bool played = eventually([&] { return shownCount() >= kFrames; });
    doc.stopPlayback();
    ASSERT_TRUE(played) << shownCount() << " frames";
    EXPECT_EQ(long(shown.size()), doc.framesPlayed());
    for (size_t k = 0; k < shown.size(); ++k) {
        const auto due = start + std::chrono::duration<double>(double(k) / 15);
        const std::chrono::duration<double, std::milli> early = due - shown[k];
        EXPECT_LT(early.count(), 1.0) << "frame " << k << " came " << early.count() << " ms early";
    }
    EXPECT_FALSE(doc.playing());
    EXPECT_EQ(doc.picture().field(), doc.keys().activeCells());
    EXPECT_EQ(doc.picture().pictureBlock(), activeKeyShown());
}

TEST_F(PlaybackTest, NoPictureNoPlayback)
{
    Document empty;
    EXPECT_FALSE(empty.play());
    EXPECT_FALSE(empty.playing());
    empty.stopPlayback(); // harmless
}

TEST_F(PlaybackTest, StopNeverHangsEvenWithASlowViewer)
{
    // A viewer that takes longer than a frame to take each one; the stop
    // comes while it holds the second. A stop that hung would end in the
    // test's time-out.
    std::atomic<int> entered{0};
    ASSERT_TRUE(doc.play([&] {
        ++entered;
        std::this_thread::sleep_for(100ms);
    }));
    const bool inSecondFrame = eventually([&] { return entered >= 2; });
    doc.stopPlayback();
    ASSERT_TRUE(inSecondFrame);
    EXPECT_FALSE(doc.playing());
    EXPECT_EQ(doc.picture().pictureBlock(), activeKeyShown());
}

// Start and stop over and over with clicks and Key commands in between, as a
// restless user would: every path that changes keys stops playback first.
TEST_F(PlaybackTest, StartStopWithCommandsInBetween)
{
    std::mt19937 rng(7);
    std::atomic<long> painted{0};
    for (int round = 0; round < 200; ++round) {
        doc.setSpeed(int32_t(rng() % 65));
        ASSERT_TRUE(doc.play([&] { ++painted; })) << round;
        if (rng() % 3 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 80));
        switch (rng() % 5) {
        case 0: // a click on the canvas
            doc.press(100 + int32_t(rng() % 100), 150);
            doc.move(110, 160);
            doc.release();
            break;
        case 1: { // a Key command on some cell
            const int32_t r = int32_t(rng() % uint32_t(doc.keys().count() + 1));
            if (doc.openKeyMenu(r)) {
                const KeyCommand c = kKeyMenuOrder[rng() % 7];
                doc.runKeyCommand(c);
            }
            break;
        }
        case 2:
            doc.setDeformation(int32_t(rng() % 65)); // shown after playback stops
            doc.stopPlayback();
            break;
        default:
            doc.stopPlayback();
        }
        ASSERT_FALSE(doc.playing()) << round;
        ASSERT_EQ(doc.picture().field(), doc.keys().activeCells()) << round;
    }
    doc.setDeformation(64);
    EXPECT_EQ(doc.picture().pictureBlock(), activeKeyShown());
    EXPECT_GE(doc.keys().count(), 2);
}

} // namespace
} // namespace knetix
