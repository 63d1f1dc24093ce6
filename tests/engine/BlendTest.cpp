// Playback stepping over a list of keys and the blend of two fields.

#include "engine/Blend.h"

#include <gtest/gtest.h>

#include <vector>

namespace knetix {
namespace {

std::vector<std::unique_ptr<CMMask>> constantKeys(std::initializer_list<int32_t> values)
{
    std::vector<std::unique_ptr<CMMask>> keys;
    for (int32_t v : values) {
        auto key = std::make_unique<CMMask>(3, 2);
        for (int32_t i = 0; i < key->cellCount(); ++i)
            key->cells()[i] = OffsetCell(v, -v);
        keys.push_back(std::move(key));
    }
    return keys;
}

struct Frame {
    int32_t phase;
    int32_t dx;
};

std::vector<Frame> play(std::span<const std::unique_ptr<CMMask>> keys, int32_t speed, int frames)
{
    CMMask blend(3, 2);
    PlaybackState state;
    playbackBegin(state, 10);
    EXPECT_EQ(state.playParameter, 10);
    std::vector<Frame> out;
    for (int i = 0; i < frames; ++i) {
        const int32_t phase = state.phase;
        const OffsetCell* cells = playbackStep(keys, blend, state, speed);
        EXPECT_EQ(cells, blend.cells());
        out.push_back({phase, cells ? cells[5].dx : 0});
    }
    return out;
}

TEST(BlendTest, TruncatesTowardZero)
{
    const OffsetCell from[2] = {{-3, 7}, {100, -100}};
    const OffsetCell to[2] = {{0, 0}, {0, 27}};
    OffsetCell out[2];
    blendFields(from, to, out, 2, 32);
    EXPECT_EQ(out[0], OffsetCell(-1, 3));
    EXPECT_EQ(out[1], OffsetCell(50, -36)); // (27 * 32 - 100 * 32) / 64 = -36.5
    blendFields(from, to, out, 2, 0);
    EXPECT_EQ(out[0], from[0]);
    blendFields(from, to, out, 2, 64);
    EXPECT_EQ(out[1], to[1]);
}

TEST(BlendTest, TwoKeysAtFullSpeedTakeFourFramesEachWay)
{
    const auto keys = constantKeys({0, 64});
    const auto frames = play(keys, 64, 10);
    const int32_t phases[] = {0, 16, 32, 48, 64, 16, 32, 48, 64, 16};
    const int32_t dx[] = {0, 16, 32, 48, 64, 48, 32, 16, 0, 16};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(frames[size_t(i)].phase, phases[i]) << "frame " << i;
        EXPECT_EQ(frames[size_t(i)].dx, dx[i]) << "frame " << i;
    }
}

TEST(BlendTest, RemainderCarriesOverIntoTheNextPair)
{
    const auto keys = constantKeys({0, 640, 1280});
    const auto frames = play(keys, 20, 16); // step 5
    EXPECT_EQ(frames[12].phase, 60);
    EXPECT_EQ(frames[12].dx, 600);
    EXPECT_EQ(frames[13].phase, 1); // 65 - 64, from key 1 to key 2
    EXPECT_EQ(frames[13].dx, 650);
    EXPECT_EQ(playbackStepSize(0), 1);
    EXPECT_EQ(playbackStepSize(7), 1);
    EXPECT_EQ(playbackStepSize(8), 2);
    EXPECT_EQ(playbackStepSize(64), 16);
    const auto slow = play(keys, 0, 66);
    EXPECT_EQ(slow[64].phase, 64);
    EXPECT_EQ(slow[65].phase, 1);
    EXPECT_EQ(slow[65].dx, 650);
}

TEST(BlendTest, LastKeyLoopsToTheFirstAndOneKeyBlendsWithItself)
{
    const auto three = constantKeys({0, 64, 128});
    const auto frames = play(three, 64, 14);
    EXPECT_EQ(frames[8].dx, 128);  // key 2 reached
    EXPECT_EQ(frames[9].dx, 96);   // on towards key 0
    EXPECT_EQ(frames[12].dx, 0);   // key 0 again

    const auto one = constantKeys({77});
    for (const Frame& f : play(one, 30, 20))
        EXPECT_EQ(f.dx, 77);
}

TEST(BlendTest, OnePassCountsTheFramesAnExportWrites)
{
    // The counts the movie tests read back with ffprobe.
    EXPECT_EQ(onePassFrames(2, 64), 9);
    EXPECT_EQ(onePassFrames(3, 64), 13);
    EXPECT_EQ(onePassFrames(3, 16), 49);
    // Speed 0 still moves one 64th a frame; a single key is back at the
    // first key after one frame.
    EXPECT_EQ(onePassFrames(2, 0), 65 + 64);
    EXPECT_EQ(onePassFrames(1, 64), 1);
    EXPECT_EQ(onePassFrames(0, 64), 0);
}

TEST(BlendTest, MissingOrMismatchedKeysGiveNoFrame)
{
    CMMask blend(3, 2);
    PlaybackState state;
    EXPECT_EQ(playbackStep({}, blend, state, 64), nullptr);

    auto keys = constantKeys({0, 64});
    keys[1] = std::make_unique<CMMask>(2, 2);
    EXPECT_EQ(playbackStep(keys, blend, state, 64), nullptr);
    EXPECT_EQ(state, PlaybackState{});

    state.currentKey = 5; // a damaged state names a key that is not there
    EXPECT_EQ(playbackStep(keys, blend, state, 64), nullptr);
}

} // namespace
} // namespace knetix
