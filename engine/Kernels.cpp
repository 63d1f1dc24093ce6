#include "engine/Kernels.h"

#include "engine/KernelsAvx2.h"

#include <atomic>

namespace knetix::kernels {

namespace {

Level detect()
{
#if KNETIX_HAVE_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return Level::Avx2;
#endif
    return Level::Portable;
}

std::atomic<Level>& current()
{
    static std::atomic<Level> level{bestLevel()};
    return level;
}

} // namespace

Level bestLevel()
{
    static const Level best = detect();
    return best;
}

Level level()
{
    return current().load(std::memory_order_relaxed);
}

Level setLevel(Level wanted)
{
    if (wanted == Level::Avx2 && bestLevel() != Level::Avx2)
        wanted = Level::Portable;
    return current().exchange(wanted, std::memory_order_relaxed);
}

#if KNETIX_HAVE_AVX2

KNETIX_AVX2 void mixPixelsPaddedAvx2(const uint8_t* base, int64_t stride, const int32_t* offset,
                                     const int32_t* fx, const int32_t* fy, int32_t count,
                                     uint8_t* out)
{
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fx + i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fy + i));
        avx2::storePixels8(avx2::mix8Padded(base, stride, offset + i, x, y), out + 3 * i);
    }
    mixPixelsPortable(base, stride, offset + i, fx + i, fy + i, count - i, out + 3 * i);
}

// Reads four bytes at every offset: the pixel and the first byte of its right
// neighbour, which every caller's pixel has.
KNETIX_AVX2 void copyPixelsAvx2(const uint8_t* base, const int32_t* offset, int32_t count,
                                uint8_t* out)
{
    int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        avx2::storePixels8(avx2::load8(base, offset + i, 0), out + 3 * i);
    copyPixelsPortable(base, offset + i, count - i, out + 3 * i);
}

#endif

} // namespace knetix::kernels
