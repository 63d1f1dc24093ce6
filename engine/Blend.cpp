#include "engine/Blend.h"

#include "engine/FixedPoint.h"
#include "engine/Kernels.h"

namespace knetix {

namespace {

// (to * p + from * q) / 64 with p + q = 64, in doubles, which the compiler
// vectorises even without AVX2: the products and their sum are integers below
// 2^38, exact in a double, the division by 64 is exact too, and the conversion
// truncates toward zero like the integer division.
__attribute__((always_inline)) inline void blendInRange(const OffsetCell* from, const OffsetCell* to,
                                                        OffsetCell* out, int32_t count, int32_t phase)
{
    const double p = phase, q = 64 - phase;
    for (int32_t i = 0; i < count; ++i) {
        out[i].dx = int32_t((to[i].dx * p + from[i].dx * q) / 64.0);
        out[i].dy = int32_t((to[i].dy * p + from[i].dy * q) / 64.0);
    }
}

void blendInRangePortable(const OffsetCell* from, const OffsetCell* to, OffsetCell* out,
                          int32_t count, int32_t phase)
{
    blendInRange(from, to, out, count, phase);
}

#if KNETIX_HAVE_AVX2
KNETIX_AVX2 void blendInRangeAvx2(const OffsetCell* from, const OffsetCell* to, OffsetCell* out,
                                  int32_t count, int32_t phase)
{
    blendInRange(from, to, out, count, phase);
}
#endif

} // namespace

void blendFields(const OffsetCell* from, const OffsetCell* to, OffsetCell* out, int32_t count,
                 int32_t phase)
{
    if (!from || !to || !out)
        return;
    if (phase >= 0 && phase <= 64) {
#if KNETIX_HAVE_AVX2
        if (kernels::level() == kernels::Level::Avx2) {
            blendInRangeAvx2(from, to, out, count, phase);
            return;
        }
#endif
        blendInRangePortable(from, to, out, count, phase);
        return;
    }
    // A phase outside its range (only from a damaged state) must not overflow.
    for (int32_t i = 0; i < count; ++i) {
        const int128_t p = phase, q = 64 - int128_t(phase);
        const int128_t dx = (to[i].dx * p + from[i].dx * q) / 64;
        const int128_t dy = (to[i].dy * p + from[i].dy * q) / 64;
        out[i] = OffsetCell(saturate32(dx), saturate32(dy));
    }
}

int32_t playbackStepSize(int32_t speed)
{
    const int32_t step = kStepFactor * int32_t(clampTo(speed, 0, 64)) / 64;
    return step < 1 ? 1 : step;
}

void playbackBegin(PlaybackState& state, int32_t playParameter)
{
    state.phase = 0;
    state.currentKey = 0;
    state.nextKey = 1;
    state.playParameter = playParameter;
}

OffsetCell* playbackStep(std::span<const std::unique_ptr<CMMask>> keys, CMMask& blend,
                         PlaybackState& state, int32_t speed)
{
    const int64_t n = int64_t(keys.size());
    if (n == 0 || state.currentKey < 0 || state.currentKey >= n)
        return nullptr;
    const CMMask* from = keys[size_t(state.currentKey)].get();
    const int32_t nextKey = state.currentKey < n - 1 ? state.currentKey + 1 : 0;
    const CMMask* to = keys[size_t(nextKey)].get();
    if (!from || !to || !from->cells() || !to->cells() || !blend.cells() ||
        from->cellCount() != blend.cellCount() || to->cellCount() != blend.cellCount())
        return nullptr;

    state.nextKey = nextKey;
    state.phase = int32_t(clampTo(state.phase, 0, 64));
    blendFields(from->cells(), to->cells(), blend.cells(), blend.cellCount(), state.phase);
    advancePhase(state, speed);
    return blend.cells();
}

void advancePhase(PlaybackState& state, int32_t speed)
{
    state.phase += playbackStepSize(speed);
    if (state.phase > 64) {
        state.phase -= 64;
        state.currentKey = state.nextKey;
    }
}

int64_t onePassFrames(int32_t keyCount, int32_t speed)
{
    if (keyCount <= 0)
        return 0;
    PlaybackState state;
    playbackBegin(state, 0);
    for (int64_t frames = 1;; ++frames) {
        state.nextKey = state.currentKey < keyCount - 1 ? state.currentKey + 1 : 0;
        advancePhase(state, speed);
        if (state.currentKey == 0 && state.nextKey == 0)
            return frames;
    }
}

} // namespace knetix
