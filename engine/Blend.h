#pragma once
// Playback arithmetic: blending the fields of two neighbouring keys, and the
// step that advances the blend from key to key, looping to the first.

#include "engine/CMMask.h"

#include <cstdint>
#include <memory>
#include <span>

namespace knetix {

// Each pair of keys is crossed in 64ths; a frame advances 16 * speed / 64 of them.
constexpr int32_t kStepFactor = 16;

struct PlaybackState {
    int32_t phase = 0;      // 0..64 between the current and the next key
    int32_t currentKey = 0; // where the blend starts
    int32_t nextKey = 1;    // where it goes
    int32_t playParameter = 0;
    friend bool operator==(const PlaybackState&, const PlaybackState&) = default;
};

// out = (to * phase + from * (64 - phase)) / 64 per component, truncated.
void blendFields(const OffsetCell* from, const OffsetCell* to, OffsetCell* out, int32_t count,
                 int32_t phase);

// Step size for a Speed value: 16 * speed / 64, at least 1.
int32_t playbackStepSize(int32_t speed);

// Resets the stepping to the start of the first pair of keys.
void playbackBegin(PlaybackState& state, int32_t playParameter);

// One frame: blends the current key towards the next one at the current phase
// into the blend mask's cells, then advances the phase, carrying over into the
// next pair (the last key goes on to key 0). Returns the blend cells, or null
// when there are no keys or the masks' fields do not fit together (then the
// state is left as it was).
OffsetCell* playbackStep(std::span<const std::unique_ptr<CMMask>> keys, CMMask& blend,
                         PlaybackState& state, int32_t speed);

// Moves the phase on by one step, carrying over into the pair that starts at
// the next key.
void advancePhase(PlaybackState& state, int32_t speed);

// Frames of one pass from the first key through every key back to it, as a
// movie export writes them.
int64_t onePassFrames(int32_t keyCount, int32_t speed);

} // namespace knetix
