// The engine's fast paths against the plain formulas in Reference.h: random
// fields of every magnitude, odd and tiny picture sizes, every scale, tool kind
// and stroke position, byte for byte, with each instruction set the machine has.

#include "engine/Blend.h"
#include "engine/CMMask.h"
#include "engine/FullSizeRenderer.h"
#include "engine/Kernels.h"
#include "engine/Render.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/Tools.h"
#include "Fixtures.h"
#include "Reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace knetix {
namespace {

using kernels::Level;
using test::Field;

// Field magnitudes: what tools make, what long editing makes, and anything a
// damaged file can hold.
enum class Range { Small, Medium, Huge };

Field makeField(int32_t w, int32_t h, Range range, uint32_t seed)
{
    Field f(w, h);
    std::mt19937 rng(seed);
    const int32_t limit = range == Range::Small ? 64 * 6 : range == Range::Medium ? 64 * 600 : INT32_MAX;
    std::uniform_int_distribution<int32_t> any(-limit, limit);
    const int32_t extremes[] = {INT32_MIN, INT32_MAX, INT32_MIN + 1, -(1 << 24) - 1, (1 << 24) + 1,
                                1 << 30, -(1 << 19), (1 << 19) - 1, 0, -1};
    for (auto& c : f.cells) {
        c = OffsetCell(any(rng), any(rng));
        if (range == Range::Huge && rng() % 4 == 0)
            c.dx = extremes[rng() % std::size(extremes)];
        if (range == Range::Huge && rng() % 4 == 0)
            c.dy = extremes[rng() % std::size(extremes)];
    }
    return f;
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    std::mt19937 rng(seed);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

class ReferenceTest : public test::PerLevelTest {};

// A working picture's buffers, rendered once by the engine and once by the
// reference from the same starting bytes.
struct RenderPair {
    int32_t W, H, stride;
    std::vector<uint8_t> source, engine, reference;

    RenderPair(int32_t w, int32_t h, uint32_t seed)
        : W(w), H(h), stride(dibStride24(w)), source(randomBytes(size_t(stride) * h, seed)),
          engine(randomBytes(source.size(), seed + 1)), reference(engine)
    {
    }
    PictureBuffers forEngine() { return {source.data(), engine.data(), W, H, stride}; }
    PictureBuffers forReference() { return {source.data(), reference.data(), W, H, stride}; }
};

TEST_P(ReferenceTest, WholeRendersMatchForEverySizeRangeScaleAndThreadCount)
{
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {2, 2}, {2, 3}, {3, 3}, {4, 4}, {5, 7},
                                                 {37, 23}, {101, 3}, {354, 177}, {613, 419}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes)
        for (Range range : {Range::Small, Range::Medium, Range::Huge}) {
            RenderPair pair(w, h, ++seed);
            const std::vector<uint8_t> before = pair.engine;
            const Field field = makeField(w, h, range, ++seed);
            for (int32_t scale : {0, 1, 17, 31, 63, 64, -7, 1000, INT32_MIN})
                for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
                    reference::renderAll(pair.forReference(), field.cells.data(), scale, mode);
                    // From the same bytes each time, so that a chunk left out shows.
                    for (unsigned threads : {1u, 2u, 8u}) {
                        pair.engine = before;
                        renderAll(pair.forEngine(), field.cells.data(), scale, mode, threads);
                        ASSERT_EQ(pair.engine, pair.reference)
                            << w << "x" << h << " range " << int(range) << " scale " << scale
                            << (mode == RenderMode::Smooth ? " smooth" : " fast") << " threads " << threads;
                    }
                }
        }
}

TEST_P(ReferenceTest, RegionsAndSquaresMatchWhereverTheyLie)
{
    std::mt19937 rng(77);
    for (auto [w, h] : {std::pair{61, 47}, {354, 354}, {9, 5}}) {
        RenderPair pair(w, h, uint32_t(w));
        const Field field = makeField(w, h, Range::Medium, uint32_t(h));
        std::uniform_int_distribution<int32_t> coordinate(-100, std::max(w, h) + 100);
        for (int i = 0; i < 200; ++i) {
            const int32_t x0 = coordinate(rng), x1 = coordinate(rng), y0 = coordinate(rng), y1 = coordinate(rng);
            const int32_t scale = int32_t(rng() % 70) - 3;
            const RenderMode mode = i % 2 ? RenderMode::Smooth : RenderMode::Fast;
            renderRegion(pair.forEngine(), field.cells.data(), scale, mode, x0, x1, y0, y1);
            reference::renderRegion(pair.forReference(), field.cells.data(), scale, mode, x0, x1, y0, y1);
            ASSERT_EQ(pair.engine, pair.reference) << "region " << x0 << ".." << x1 << ", " << y0 << ".." << y1;
        }
        const int32_t points[] = {INT32_MIN, -1000, -3, 0, 1, 5, w / 2, w - 2, w, w + 87, INT32_MAX};
        for (int32_t x : points)
            for (int32_t y : points)
                for (int32_t radius : {0, 1, 8, 88, 1024}) {
                    renderSquare(pair.forEngine(), field.cells.data(), x, y, radius);
                    reference::renderSquare(pair.forReference(), field.cells.data(), x, y, radius);
                    ASSERT_EQ(pair.engine, pair.reference) << "square at " << x << "," << y << " r " << radius;
                }
    }
}

TEST_P(ReferenceTest, PicturesBeyondTheBatchedSizeMatchToo)
{
    // Beyond 4096 pixels the plain form renders: there a component just past
    // 2^24 at scale 1 lands inside the picture, and clamping it would not be
    // harmless. The last columns (rows) get such components.
    for (auto [w, h] : {std::pair{4200, 5}, {5, 4200}}) {
        RenderPair pair(w, h, 5);
        Field field = makeField(w, h, Range::Small, 6);
        for (int32_t k = 0; k < 4; ++k) {
            const int32_t far = k % 2 ? (1 << 24) + 1 : -(1 << 24) - 1;
            if (w > h)
                field.at(w - 2 - k, 2) = OffsetCell(far, 0);
            else
                field.at(2, h - 3 - k) = OffsetCell(0, far);
        }
        for (int32_t scale : {1, 2, 64})
            for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
                renderAll(pair.forEngine(), field.cells.data(), scale, mode);
                reference::renderAll(pair.forReference(), field.cells.data(), scale, mode);
                ASSERT_EQ(pair.engine, pair.reference) << w << "x" << h << " scale " << scale;
            }
    }

    // Rows longer than the vector form's 16-bit products allow, in a small
    // picture: the caller's stride, not the width, decides.
    const int32_t W = 40, H = 30, stride = 40000;
    const std::vector<uint8_t> source = randomBytes(size_t(stride) * H, 7);
    std::vector<uint8_t> engine = randomBytes(source.size(), 8), expected = engine;
    const Field field = makeField(W, H, Range::Medium, 9);
    for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
        renderAll({source.data(), engine.data(), W, H, stride}, field.cells.data(), 64, mode);
        reference::renderAll({source.data(), expected.data(), W, H, stride}, field.cells.data(), 64, mode);
        ASSERT_EQ(engine, expected) << "stride " << stride;
    }
}

TEST_P(ReferenceTest, BlendMatchesForEveryPhase)
{
    for (Range range : {Range::Small, Range::Huge}) {
        const Field from = makeField(67, 5, range, 11), to = makeField(67, 5, range, 12);
        for (int32_t phase : {0, 1, 16, 31, 32, 63, 64, 65, -1, 1 << 30, -(1 << 30), INT32_MAX, INT32_MIN}) {
            // Beyond 2^30 the plain sums of huge components leave 64 bits.
            if (range == Range::Huge && (phase == INT32_MAX || phase == INT32_MIN))
                continue;
            for (int32_t count : {0, 1, 7, 335}) {
                std::vector<OffsetCell> engine(335, OffsetCell(9, 9)), expected = engine;
                blendFields(from.cells.data(), to.cells.data(), engine.data(), count, phase);
                reference::blendFields(from.cells.data(), to.cells.data(), expected.data(), count, phase);
                ASSERT_EQ(engine, expected) << "phase " << phase << " count " << count;
            }
        }
    }
}

// A picture at its own size, rendered by the engine with some number of
// threads and row by row by the reference, from the same starting bytes.
void expectFullSizeMatches(int32_t W, int32_t H, const Field& field, unsigned threads, uint32_t seed)
{
    const int32_t stride = dibStride24(W);
    const std::vector<uint8_t> source = randomBytes(size_t(stride) * H, seed);
    std::vector<uint8_t> engine = randomBytes(source.size(), seed + 1), expected = engine;
    renderFullSize(source.data(), engine.data(), W, H, stride, field.cells.data(), field.width,
                   field.height, threads);
    reference::renderFullSizeRows(source.data(), expected.data(), W, H, stride, field.cells.data(),
                                  field.width, field.height, 0, H - 2);
    ASSERT_EQ(engine, expected) << W << "x" << H << " through " << field.width << "x" << field.height
                                << ", " << threads << " threads";
}

TEST_P(ReferenceTest, FullSizeMatchesForEverySizeAndRange)
{
    const std::pair<int32_t, int32_t> pictures[] = {{1, 1}, {2, 2}, {3, 2}, {2, 5}, {7, 1},
                                                    {5, 4}, {97, 61}, {500, 3}, {613, 419}};
    const std::pair<int32_t, int32_t> fields[] = {{1, 1}, {2, 2}, {4, 4}, {37, 23}, {354, 242}};
    uint32_t seed = 100;
    for (auto [W, H] : pictures)
        for (auto [w, h] : fields)
            for (Range range : {Range::Small, Range::Medium, Range::Huge}) {
                seed += 2;
                expectFullSizeMatches(W, H, makeField(w, h, range, seed), 1, seed + 1);
            }
}

TEST_P(ReferenceTest, FullSizeAtTheLimitsOfThe32BitPath)
{
    // Components just inside and just outside 2^19, and offsets scaled up so far
    // that positions come within a whisker of 2^31 (or beyond it, where the
    // plain form takes over).
    for (int32_t v : {(1 << 19) - 1, 1 << 19, 500000, -500000, -(1 << 19) + 1, -(1 << 19)}) {
        Field field(2, 2, OffsetCell(v, -v));
        field.at(1, 1) = OffsetCell(-v, v);
        expectFullSizeMatches(8200, 2, field, 1, 7);
        expectFullSizeMatches(3, 3000, field, 1, 8);
        expectFullSizeMatches(61, 45, field, 1, 9);
    }
    // Offsets scaled by a 32-bit multiplier where that is exact, by doubles
    // beyond: here the first offsets the multiplier would get wrong, in
    // fields as wide as they need to be.
    for (auto [W, w, v] : {std::tuple{19906, 71, 310726}, {18118, 7639, 169454}}) {
        expectFullSizeMatches(W, 3, Field(w, 2, OffsetCell(v, 0)), 1, 10);
        expectFullSizeMatches(W, 3, Field(w, 2, OffsetCell(-v, 0)), 1, 11);
    }
}

TEST_P(ReferenceTest, FullSizeBandsAndThreadsMatch)
{
    const Field field = makeField(354, 242, Range::Medium, 21);
    for (unsigned threads : {2u, 3u, 7u})
        expectFullSizeMatches(613, 419, field, threads, 22);

    // Bands given by hand, also reaching outside the picture.
    const int32_t W = 131, H = 99, stride = dibStride24(W);
    const std::vector<uint8_t> source = randomBytes(size_t(stride) * H, 23);
    std::vector<uint8_t> engine = randomBytes(source.size(), 24), expected = engine;
    for (auto [first, last] : {std::pair{-5, 3}, {10, 10}, {40, 20}, {90, 200}, {INT32_MIN, INT32_MAX}}) {
        renderFullSizeRows(source.data(), engine.data(), W, H, stride, field.cells.data(), 354, 242, first, last);
        reference::renderFullSizeRows(source.data(), expected.data(), W, H, stride, field.cells.data(), 354,
                                      242, first, last);
        ASSERT_EQ(engine, expected) << "rows " << first << ".." << last;
    }

    // A band decides between the 32-bit and the plain form by the field rows it
    // reads: one row of components beyond 2^19 matters to the bands next to it.
    for (int32_t bad = 0; bad < 23; bad += 5) {
        Field mixed = makeField(37, 23, Range::Small, 25);
        for (int32_t x = 0; x < 37; ++x)
            mixed.at(x, bad) = OffsetCell(x % 2 ? 1 << 21 : -(1 << 21), 1 << 21);
        for (int32_t first = 0; first < H - 1; first += 9) {
            const int32_t last = std::min(first + 8, H - 2);
            renderFullSizeRows(source.data(), engine.data(), W, H, stride, mixed.cells.data(), 37, 23, first, last);
            reference::renderFullSizeRows(source.data(), expected.data(), W, H, stride, mixed.cells.data(), 37,
                                          23, first, last);
            ASSERT_EQ(engine, expected) << "row " << bad << " huge, rows " << first << ".." << last;
        }
    }
}

TEST_P(ReferenceTest, FullSizeMatchesForEveryRatioEdgeAndThreadCount)
{
    // Pictures exactly 2 and 3 times the field (every scaled offset an exact
    // quotient), just above and below it (neighbouring columns in different
    // field cells, which the vector form gathers), every row padding, and
    // fields that pull the top row's last pixels from the picture's top right
    // corner, where the block ends.
    const int32_t w = 37, h = 23;
    const std::pair<int32_t, int32_t> pictures[] = {{2 * w, 2 * h}, {3 * w, 3 * h}, {w + 1, h + 2},
                                                    {w - 3, h - 4}, {8 * w + 1, 3 * h}, {64, 40},
                                                    {65, 41}, {66, 42}, {67, 43}};
    uint32_t seed = 700;
    for (auto [W, H] : pictures) {
        for (Range range : {Range::Small, Range::Medium})
            for (unsigned threads : {1u, 2u, 8u}) {
                seed += 2;
                expectFullSizeMatches(W, H, makeField(w, h, range, seed), threads, seed + 1);
            }
        Field corner(w, h, OffsetCell(64 * 4, -64 * 4));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                corner.at(x, y) = OffsetCell(64 * 4 + x, -64 * 4 - 3 * y); // right and up
        for (unsigned threads : {1u, 2u, 8u})
            expectFullSizeMatches(W, H, corner, threads, ++seed);
    }
}

TEST_P(ReferenceTest, RendererStartsFromTheUnwarpedPictureEachTime)
{
    // Each render must replace every byte of the previous one: the rendered
    // rows, the last column and row, which show the unwarped picture, and the
    // row padding.
    for (auto [W, H] : {std::pair{1, 1}, {3, 2}, {5, 4}, {130, 1}, {613, 419}}) {
        auto picture = test::randomPicture(W, H, uint32_t(W + H));
        FullSizeRenderer renderer;
        ASSERT_TRUE(renderer.load(*picture));
        const Field fields[] = {makeField(354, 242, Range::Medium, 31), makeField(2, 3, Range::Small, 32),
                                Field(1, 1), makeField(37, 23, Range::Huge, 33)};
        for (unsigned threads : {1u, 2u, 3u})
            for (const Field& field : fields) {
                renderer.render(field.cells.data(), field.width, field.height, threads);
                std::vector<uint8_t> expected(renderer.output().begin(),
                                              renderer.output().begin() + kDibHeaderSize);
                expected.insert(expected.end(), renderer.source().begin(), renderer.source().end());
                reference::renderFullSizeRows(renderer.source().data(), expected.data() + kDibHeaderSize, W, H,
                                              renderer.stride(), field.cells.data(), field.width, field.height,
                                              0, H - 2);
                ASSERT_EQ(renderer.output(), expected) << W << "x" << H << " through " << field.width << "x"
                                                       << field.height << ", " << threads << " threads";
            }
        renderer.render(nullptr, 4, 4);
        ASSERT_TRUE(std::equal(renderer.source().begin(), renderer.source().end(),
                               renderer.output().begin() + kDibHeaderSize));
    }
}

// Two copies of a field and of a tool, one stroked by the engine and one by the
// reference, point after point.
struct StrokePair {
    Field engineField, referenceField;
    std::unique_ptr<CMTool> engineTool, referenceTool;
    StrokePatch enginePatch, referencePatch;

    StrokePair(const Field& field, ToolKind kind, int32_t radius, int32_t value)
        : engineField(field), referenceField(field), engineTool(createTool(kind, radius)),
          referenceTool(createTool(kind, radius))
    {
        engineTool->setValue(value);
        referenceTool->setValue(value);
        // The engine's patch starts with leftovers, as one read from a project
        // does: none of them may survive a stroke, the patch being saved.
        const int32_t r = engineTool->radius(), count = (2 * r + 1) * (2 * r + 1);
        auto cells = allocateCells(count);
        for (int32_t i = 0; i < count; ++i)
            cells[i] = OffsetCell(int32_t(uint32_t(i) * 2654435761u), ~i);
        enginePatch.assign(r, std::move(cells), count);
    }
    void stroke(const Rect& picture, int32_t X, int32_t Y)
    {
        applyStroke(engineField.data(), engineField.count(), picture, *engineTool, enginePatch, X, Y);
        reference::applyStroke(referenceField.data(), referenceField.count(), picture, *referenceTool,
                               referencePatch, X, Y);
    }
    bool samePatches() const
    {
        return enginePatch.count() == referencePatch.count() &&
               std::equal(enginePatch.cells(), enginePatch.cells() + enginePatch.count(), referencePatch.cells());
    }
};

std::string describe(ToolKind kind, int32_t radius, int32_t value, int32_t X, int32_t Y)
{
    return std::string(toolName(kind)) + " r " + std::to_string(radius) + " value " +
           std::to_string(value) + " at " + std::to_string(X) + "," + std::to_string(Y);
}

TEST_P(ReferenceTest, StrokesMatchForEveryToolValueAndPosition)
{
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {2, 2}, {3, 3}, {5, 4}, {41, 30}, {354, 265}};
    uint32_t seed = 300;
    for (auto [w, h] : sizes)
        for (Range range : {Range::Small, Range::Medium, Range::Huge}) {
            const Field start = makeField(w, h, range, ++seed);
            const Rect picture{7, -3, 7 + w, -3 + h}; // client coordinates are offset
            // Inside, on and next to every border, and far away; then a drag.
            std::vector<std::pair<int32_t, int32_t>> points = {
                {7 + w / 2, -3 + h / 2}, {7, -3}, {8, -2}, {6 + w, -4 + h}, {5 + w, -5 + h},
                {7 + w, h / 2}, {w / 2, -3 + h}, {-30, -30}, {INT32_MIN, INT32_MAX}, {INT32_MAX, 0}};
            std::mt19937 rng(seed);
            for (int i = 0; i < 6; ++i)
                points.emplace_back(int32_t(rng() % uint32_t(w + 40)) - 13, int32_t(rng() % uint32_t(h + 40)) - 23);
            const int32_t radius = std::max(1, std::min(w, h) / 4);
            for (ToolKind kind : kToolKindsByNameOrder)
                for (int32_t value : {0, 31, 64}) {
                    StrokePair pair(start, kind, w > 100 ? 88 : radius, value);
                    for (auto [X, Y] : points) {
                        pair.stroke(picture, X, Y);
                        ASSERT_EQ(pair.engineField.cells, pair.referenceField.cells)
                            << describe(kind, pair.engineTool->radius(), value, X, Y);
                        ASSERT_TRUE(pair.samePatches()) << describe(kind, pair.engineTool->radius(), value, X, Y);
                    }
                    ASSERT_EQ(pair.engineTool->record(), pair.referenceTool->record());
                }
        }
}

TEST_P(ReferenceTest, StrokesMatchForEveryRadius)
{
    // The falloff and the grouping of a row's points into eights depend on
    // the radius: odd and even ones, powers of two and the largest. At the
    // last cell, radii 14 and 30 end a row's last group of eight there.
    const Field start = makeField(301, 211, Range::Medium, 600);
    const Rect picture{0, 0, 301, 211};
    for (int32_t radius : {1, 2, 3, 4, 5, 7, 8, 9, 14, 15, 16, 17, 30, 31, 33, 64, 88, 127, 177, 255, 1024})
        for (ToolKind kind : kToolKindsByNameOrder) {
            StrokePair pair(start, kind, radius, 64);
            for (auto [X, Y] : {std::pair{150, 100}, {153, 107}, {3, 208}, {299, 2}, {300, 210}}) {
                pair.stroke(picture, X, Y);
                ASSERT_TRUE(pair.samePatches()) << describe(kind, radius, 64, X, Y);
            }
            ASSERT_EQ(pair.engineField.cells, pair.referenceField.cells) << describe(kind, radius, 64, 0, 0);
        }
}

TEST_P(ReferenceTest, StrokesMatchAtTheLimitsOfThe32BitPaths)
{
    // Fields of one value just inside and just outside the components that the
    // resampling (2^19) and Smooth (2^23) take in 32 bits, and mixed: one too
    // large lets the sums wrap.
    const int32_t values[] = {(1 << 19) - 1, 1 << 19, -(1 << 19), (1 << 23) - 1, 1 << 23, -(1 << 23) - 1, 1 << 24};
    std::mt19937 rng(700);
    for (int mixed = 0; mixed < 2; ++mixed)
        for (int32_t v : values) {
            Field start(61, 47, OffsetCell(v, -v));
            if (mixed)
                for (auto& c : start.cells)
                    c = OffsetCell(values[rng() % std::size(values)], -values[rng() % std::size(values)]);
            for (ToolKind kind : kToolKindsByNameOrder) {
                StrokePair pair(start, kind, 20, 64);
                for (auto [X, Y] : {std::pair{30, 23}, {34, 20}, {3, 44}, {58, 2}}) {
                    pair.stroke(Rect{0, 0, 61, 47}, X, Y);
                    ASSERT_EQ(pair.engineField.cells, pair.referenceField.cells)
                        << describe(kind, 20, 64, X, Y) << " on " << v << (mixed ? " and others" : "");
                }
            }
        }
}

TEST_P(ReferenceTest, ToolsMatchFromAnyStateAndSquare)
{
    // apply() on its own, with tool states as a project file may restore them:
    // a centre far from the square, huge movement, every direction.
    const Field field = makeField(60, 50, Range::Medium, 400);
    const Field huge = makeField(60, 50, Range::Huge, 401);
    std::mt19937 rng(402);
    for (ToolKind kind : kToolKindsByNameOrder)
        for (int i = 0; i < 40; ++i) {
            auto engineTool = createTool(kind, int32_t(rng() % 20));
            ToolRecord record = engineTool->record();
            record.value = int32_t(rng() % 65);
            record.pictureWidth = 60;
            record.pictureHeight = 50;
            // Some centres so far away that the squared distance wraps 32 bits.
            const int32_t x = int32_t(rng() % 80) - 10, y = int32_t(rng() % 70) - 10;
            record.lastX = i % 4 == 0 ? -CMTool::kMaxCoordinate : i % 4 == 1 ? x + 65536 : int32_t(rng() % 90) - 15;
            record.lastY = i % 5 == 0 ? CMTool::kMaxCoordinate : i % 5 == 1 ? y - 65536 : int32_t(rng() % 80) - 15;
            record.angle = double(rng() % 628) / 100.0;
            record.directionSine = int32_t(rng() % 129) - 64;
            record.directionCosine = int32_t(rng() % 129) - 64;
            engineTool->restore(record);
            if (i % 3 != 0) // else the restored centre stays, however far
                engineTool->recordPoint(int32_t(rng() % 200) - 70, int32_t(rng() % 200) - 70, 60, 50);
            const int32_t r = engineTool->radius();
            const Rect square{x - r, y - r, x + r, y + r};
            for (const Field* f : {&field, &huge}) {
                StrokePatch engine(r), expected(r);
                engineTool->apply(f->cells.data(), engine.cells(), Rect{0, 0, 60, 50}, square, x, y);
                reference::applyTool(kind, *engineTool, f->cells.data(), expected.cells(), square);
                ASSERT_TRUE(std::equal(engine.cells(), engine.cells() + engine.count(), expected.cells()))
                    << describe(kind, r, record.value, x, y) << " centre " << engineTool->lastX() << ","
                    << engineTool->lastY();
            }
        }

    // Directions a damaged file may hold, before any movement: the range
    // checks of the eight-wide paths must send them the plain way.
    for (ToolKind kind : kToolKindsByNameOrder)
        for (int32_t direction : {INT32_MIN, INT32_MAX, 65, -(1 << 20)}) {
            auto engineTool = createTool(kind, 40);
            ToolRecord record = engineTool->record();
            record.pictureWidth = 60;
            record.pictureHeight = 50;
            record.lastX = 30;
            record.lastY = 25;
            record.directionSine = direction;
            record.directionCosine = direction / -2;
            engineTool->restore(record);
            const Rect square{-10, -15, 70, 65};
            StrokePatch engine(40), expected(40);
            engineTool->apply(field.cells.data(), engine.cells(), Rect{0, 0, 60, 50}, square, 30, 25);
            reference::applyTool(kind, *engineTool, field.cells.data(), expected.cells(), square);
            ASSERT_TRUE(std::equal(engine.cells(), engine.cells() + engine.count(), expected.cells()))
                << describe(kind, 40, 64, 30, 25) << " direction " << direction;
        }
}

TEST_P(ReferenceTest, PatchFillMatchesForAnyValues)
{
    std::mt19937 rng(500);
    for (int32_t r : {0, 1, 2, 7, 88})
        for (Range range : {Range::Small, Range::Huge}) {
            StrokePatch engine(r), expected(r);
            const Field values = makeField(engine.side(), engine.side(), range, rng());
            std::copy(values.cells.begin(), values.cells.end(), engine.cells());
            std::copy(values.cells.begin(), values.cells.end(), expected.cells());
            fillStrokePatch(engine);
            reference::fillStrokePatch(expected);
            ASSERT_TRUE(std::equal(engine.cells(), engine.cells() + engine.count(), expected.cells())) << "r " << r;
        }
}

INSTANTIATE_TEST_SUITE_P(Levels, ReferenceTest, testing::Values(Level::Portable, Level::Avx2), test::levelName);

} // namespace
} // namespace knetix
