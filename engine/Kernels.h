#pragma once
// The engine's hot loops come in a portable form and, on x86-64, an AVX2 form
// picked at run time; both give the same bytes, and the tests switch between
// them to show it. Here: the choice, and the innermost pixel loops of the
// renderers. Internal to the engine.

#include <cstdint>

#if defined(__GNUC__) && defined(__x86_64__)
#define KNETIX_HAVE_AVX2 1
#define KNETIX_AVX2 __attribute__((target("avx2")))
#else
#define KNETIX_HAVE_AVX2 0
#endif

namespace knetix::kernels {

enum class Level { Portable, Avx2 };

// What this processor can run.
Level bestLevel();
// What the renderers use: the best level unless a test chose otherwise.
Level level();
// Chooses the level (never above bestLevel()); returns the one in use before.
// Not to be called while something renders.
Level setLevel(Level level);

// clampTo in 32 bits, for loops that are to vectorise: the upper bound wins.
inline int32_t clamp32(int32_t v, int32_t lo, int32_t hi)
{
    v = v < lo ? lo : v;
    return v > hi ? hi : v;
}

// Source pixels are addressed by their byte offset from the start of the
// bottom-up source block. A mixed pixel blends the pixel at `offset`, its right
// neighbour and the two in the picture row below (stride bytes earlier) with
// weights (64 - fx)(64 - fy), fx (64 - fy), (64 - fx) fy and fx fy, divided by
// 4096. With fx = fy = 0 it is a plain copy.

constexpr int32_t kBatch = 64;
// Bytes of scratch past 3 * count that the AVX2 forms may scribble on.
constexpr int32_t kOutSlack = 8;

inline void mixPixelsPortable(const uint8_t* base, int64_t stride, const int32_t* offset,
                              const int32_t* fx, const int32_t* fy, int32_t count, uint8_t* out)
{
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p00 = base + offset[i];
        const uint8_t* p01 = p00 - stride;
        const int32_t gx = 64 - fx[i], gy = 64 - fy[i];
        const int32_t w00 = gx * gy, w10 = fx[i] * gy, w01 = gx * fy[i], w11 = fx[i] * fy[i];
        const int32_t v0 = w00 * p00[0] + w10 * p00[3] + w01 * p01[0] + w11 * p01[3];
        const int32_t v1 = w00 * p00[1] + w10 * p00[4] + w01 * p01[1] + w11 * p01[4];
        const int32_t v2 = w00 * p00[2] + w10 * p00[5] + w01 * p01[2] + w11 * p01[5];
        out[3 * i] = uint8_t(v0 >> 12);
        out[3 * i + 1] = uint8_t(v1 >> 12);
        out[3 * i + 2] = uint8_t(v2 >> 12);
    }
}

inline void copyPixelsPortable(const uint8_t* base, const int32_t* offset, int32_t count,
                               uint8_t* out)
{
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* s = base + offset[i];
        out[3 * i] = s[0];
        out[3 * i + 1] = s[1];
        out[3 * i + 2] = s[2];
    }
}

#if KNETIX_HAVE_AVX2
// count pixels each; out needs 3 * count + kOutSlack bytes.
KNETIX_AVX2 void copyPixelsAvx2(const uint8_t* base, const int32_t* offset, int32_t count,
                                uint8_t* out);
// mixPixelsPortable eight bytes at a pixel and at the pixel below at a time:
// for sources with two readable bytes after the right neighbour of every
// pixel named, the block's last pixel included.
KNETIX_AVX2 void mixPixelsPaddedAvx2(const uint8_t* base, int64_t stride, const int32_t* offset,
                                     const int32_t* fx, const int32_t* fy, int32_t count,
                                     uint8_t* out);
#endif

} // namespace knetix::kernels
