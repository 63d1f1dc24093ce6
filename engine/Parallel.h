#pragma once
// Parallel loops over rows for the renderers. A range is cut into chunks of a
// few rows and whichever thread is free takes the next chunk, so a core that
// another program keeps busy holds up one small chunk instead of half the
// picture. The threads are started once and live as long as the program.
//
// Built on oneTBB; without it (the ThreadSanitizer build, whose tool cannot
// see the library's own synchronisation) on a small pool of our own with the
// same behaviour. Internal to the engine.

#include <cstdint>
#include <type_traits>

namespace knetix::parallel {

// What a loop with `threads` = 0 uses: the machine's cores.
unsigned defaultThreads();

// Which implementation runs the loops ("oneTBB" or "own pool").
const char* backendName();

// Rows per chunk for rows of `rowLength` pixels: about `pixelsPerChunk`
// pixels, so that taking a chunk costs next to nothing and a thread held up
// elsewhere delays little; at least 1 row and at most 64.
inline int32_t rowsPerChunk(int64_t pixelsPerChunk, int64_t rowLength)
{
    if (rowLength < 1)
        return 1;
    const int64_t rows = pixelsPerChunk / rowLength;
    return int32_t(rows < 1 ? 1 : rows > 64 ? 64 : rows);
}

using ChunkFunction = void (*)(void* context, int32_t first, int32_t last);

// Calls f(context, a, b) for the chunks [a, b] (inclusive) that cut first ..
// last into runs of `grain` rows (the last one shorter), at most `threads`
// at a time (0: defaultThreads()); with one thread, or one chunk, all of it
// on the calling thread in one call. Returns when every chunk is done. f must
// not throw.
void forEachChunk(int32_t first, int32_t last, int32_t grain, unsigned threads, ChunkFunction f,
                  void* context);

template <class Body>
void forEachChunk(int32_t first, int32_t last, int32_t grain, unsigned threads, Body&& body)
{
    using B = std::remove_reference_t<Body>;
    forEachChunk(
        first, last, grain, threads,
        [](void* context, int32_t a, int32_t b) { (*static_cast<B*>(context))(a, b); },
        const_cast<void*>(static_cast<const void*>(&body)));
}

} // namespace knetix::parallel
