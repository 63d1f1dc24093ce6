#include "AppFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace knetix {
namespace {

using namespace std::chrono_literals;
using test::gridPicture;

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

TEST_F(PlaybackTest, PlaysAtTheMoviesRate)
{
    std::atomic<int> shown{0};
    ASSERT_TRUE(doc.play([&] { ++shown; }));
    EXPECT_TRUE(doc.playing());
    EXPECT_FALSE(doc.play()); // already playing
    std::this_thread::sleep_for(1s);
    doc.stopPlayback();
    const long frames = doc.framesPlayed();
    EXPECT_GE(frames, 6); // 15 a second, with room for a busy machine
    EXPECT_LE(frames, 16);
    EXPECT_EQ(shown.load(), frames);
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
    // A viewer that takes longer than a frame to take each one.
    ASSERT_TRUE(doc.play([] { std::this_thread::sleep_for(100ms); }));
    std::this_thread::sleep_for(150ms);
    const auto before = std::chrono::steady_clock::now();
    doc.stopPlayback();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
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
