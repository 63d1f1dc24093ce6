// The seven tools on a curved field, every expected cell worked out by hand
// from the tool arithmetic, so that a wrong formula, a wrong truncation or a
// wrong order of operations shows as a wrong number.
//
// Field: 16 x 12 cells, F(x, y) = (6x^2 - 40y, 5y^2 - 30x - 40). It curves in
// both directions, so a bilinear read between cells is not the exact value and
// reading from the wrong cells changes the result. A read at
// (a + fx/64, b + fy/64) weights the four cells from (a, b); per component
//   sum.dx / 4096 = (6 X2 - 40 Y1) / 64,   sum.dy / 4096 = (5 Y2 - 30 X1 - 2560) / 64,
// truncated toward zero, with X1 = 64a + fx, X2 = 64a^2 + fx (2a + 1) (the
// weights applied to x and x^2), and Y1, Y2 likewise from b and fy. The new
// cell is o + sum / 4096.
//
// Falloff, e = d^2 * 64 / r^2 and g = (e - 64)^2 / 64:
//   r 4: d^2 = 0, 4, 8, 16, 20 -> e = 0, 16, 32, 64, 80 -> g = 64, 36, 16, 0, 0
//   r 5: d^2 = 2, 10, 18, 26   -> e = 5, 25, 46, 66     -> g = 54, 23, 5, 0
// Movement: at rest sn 0, cs 64, D 2. Moving by (2, -3): angle atan2(2, -3),
// sn = trunc(64 * 0.5547) = 35, cs = trunc(64 * -0.8321) = -53,
// D = trunc(3.606) = 3 (rounding would give sn 36, D 4). Moving by (6, -8):
// sn = trunc(38.4) = 38, cs = trunc(-51.2) = -51, D = 10.

#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/Tools.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <span>
#include <utility>

namespace knetix {
namespace {

using test::Field;

constexpr int32_t kW = 16;
constexpr int32_t kH = 12;

struct Point {
    int32_t x, y;
};

struct Case {
    int32_t radius;
    int32_t value;
    Point move;   // the mouse movement that led to the centre; (0, 0) at rest
    Point centre; // the stroke point
    Point at;     // the visited picture point whose patch cell is checked
    OffsetCell expected;
};

const Field& curvedField()
{
    static const Field field = [] {
        Field f(kW, kH);
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x)
                f.at(x, y) = OffsetCell(6 * x * x - 40 * y, 5 * y * y - 30 * x - 40);
        return f;
    }();
    return field;
}

void expectValues(ToolKind kind, std::span<const Case> cases)
{
    for (const Case& c : cases) {
        auto tool = createTool(kind, c.radius);
        tool->setValue(c.value);
        const int32_t cx = c.centre.x, cy = c.centre.y, r = c.radius;
        tool->recordPoint(cx - c.move.x, cy - c.move.y, kW, kH);
        tool->recordPoint(cx, cy, kW, kH);
        StrokePatch patch(r);
        tool->apply(curvedField().cells.data(), patch.cells(), Rect{0, 0, kW, kH},
                    Rect{cx - r, cy - r, cx + r, cy + r}, cx, cy);
        const OffsetCell got = patch.at(c.at.x - cx + r, c.at.y - cy + r);
        EXPECT_EQ(std::pair(got.dx, got.dy), std::pair(c.expected.dx, c.expected.dy))
            << toolName(kind) << " r " << r << " value " << c.value << " moved (" << c.move.x << ", "
            << c.move.y << ") to (" << cx << ", " << cy << "), point (" << c.at.x << ", " << c.at.y << ")";
    }
}

TEST(ToolValuesTest, Move)
{
    const Case cases[] = {
        // At rest, g 64: w = 2*64 = 128, o = (0, -(64*128*64/4096)) = (0, -128); reads
        // exactly F(8, 4) = (224, -200).
        {4, 64, {0, 0}, {8, 6}, {8, 6}, {0 + 224, -128 - 200}},
        // g 64: w = 3*64 = 192, o = (-(35*192*64/4096), -(-53*192*64/4096)) = (-105, 159);
        // a = (6, 8), f = (23, 31): dx = -105 + (6*2603 - 40*543)/64 = -105 - 95,
        // dy = 159 + (5*4623 - 30*407 - 2560)/64 = 159 + 130.
        {4, 64, {2, -3}, {8, 6}, {8, 6}, {-200, 289}},
        // V 40, g 36: w = 108, ox = -(151200/4096) = -36, oy = -(-228960/4096) = -(-55) = 55
        // (35*(108*40/4096) would give -35, flooring -55.9 would give 56); a = (9, 6), f = (28, 55):
        // dx = -36 + (6*5716 - 40*439)/64 = -36 + 261, dy = 55 + (5*3019 - 30*604 - 2560)/64 = 55 - 87.
        {4, 40, {2, -3}, {8, 6}, {10, 6}, {225, -32}},
        // Just inside, g 16: w = 48, o = (-(107520/4096), -(-162816/4096)) = (-26, 39);
        // a = (5, 4), f = (38, 39): dx = -26 + (6*2018 - 40*295)/64 = -26 + 4,
        // dy = 39 + (5*1375 - 30*358 - 2560)/64 = 39 - 100.
        {4, 64, {2, -3}, {8, 6}, {6, 4}, {-22, -61}},
        // On the circle (d^2 16) and outside it (d^2 20): g 0, the old cell.
        {4, 64, {2, -3}, {8, 6}, {4, 6}, {-144, 20}},
        {4, 64, {2, -3}, {8, 6}, {4, 4}, {-64, -80}},
        // V 0: o = (0, 0), the old cell.
        {4, 0, {2, -3}, {8, 6}, {8, 6}, {144, -100}},
        // Near the left border: o = (-105, 159) at x = 2; ix = floor(-105/64) = -2 is clamped
        // to 1 - 2 = -1, fx = -105 + 64 = -41 (extrapolating from columns 1 and 2);
        // a = (1, 8), f = (-41, 31): dx = -105 + (6*-59 - 40*543)/64 = -105 - 344,
        // dy = 159 + (5*4623 - 30*23 - 2560)/64 = 159 + 310.
        {4, 64, {2, -3}, {2, 6}, {2, 6}, {-449, 469}},
        // x = W - 1 lies outside the Hook's range: the patch cell stays (0, 0).
        {4, 64, {0, 0}, {15, 6}, {15, 6}, {0, 0}},
    };
    expectValues(ToolKind::Move, cases);
}

TEST(ToolValuesTest, ZoomIn)
{
    const Case cases[] = {
        // The centre: dx = dy = 0 gives o = (0, 0), the old cell.
        {4, 64, {0, 0}, {8, 6}, {8, 6}, {144, -100}},
        // At rest, g 36: k = 64*2*36 = 4608, o = (-(9216/4096), 0) = (-2, 0); a = (9, 6),
        // f = (62, 0): dx = -2 + (6*6362 - 40*384)/64 = -2 + 356, dy = (5*2304 - 30*638 - 2560)/64 = -159.
        {4, 64, {0, 0}, {8, 6}, {10, 6}, {354, -159}},
        // Moving, D 3: k = 6912, ox = -(-13824/4096) = -(-3) = 3 (not 4); a = (6, 6), f = (3, 0):
        // dx = 3 + (6*2343 - 40*384)/64 = 3 - 20, dy = (5*2304 - 30*387 - 2560)/64 = -41.
        {4, 64, {2, -3}, {8, 6}, {6, 6}, {-17, -41}},
        // V 40, D 10, g 16: k = 40*10*16 = 6400, o = (-(-12800/4096), -(12800/4096)) = (3, -3);
        // a = (6, 7), f = (3, 61): dx = 3 + (6*2343 - 40*509)/64 = 3 - 98,
        // dy = -3 + (5*4051 - 30*387 - 2560)/64 = -3 + 95.
        {4, 40, {6, -8}, {8, 6}, {6, 8}, {-95, 92}},
        // Just inside, D 3, g 16: k = 3072, o = (1, 1) (-6144/4096 = -1); a = (6, 4), f = (1, 1):
        // dx = 1 + (6*2317 - 40*257)/64 = 1 + 56, dy = 1 + (5*1033 - 30*385 - 2560)/64 = 1 - 139.
        {4, 64, {2, -3}, {8, 6}, {6, 4}, {57, -138}},
        // Outside: g 0. V 0: k 0. Both keep the old cell.
        {4, 64, {2, -3}, {8, 6}, {4, 4}, {-64, -80}},
        {4, 0, {2, -3}, {8, 6}, {6, 6}, {-24, -40}},
        // Row 0, g 36: o = (0, -(4608*-2/4096)) = (0, 2); iy = 0 is clamped to 1, fy = 2 - 64 = -62,
        // so rows 1 and 2 are extrapolated: Y1 = 2, Y2 = 64 - 62*3 = -122;
        // dx = (6*4096 - 40*2)/64 = 382, dy = 2 + (5*-122 - 30*512 - 2560)/64 = 2 - 289.
        {4, 64, {0, 0}, {8, 2}, {8, 0}, {382, -287}},
        // Row 0 outside the circle: o = (0, 0), but the clamp still reads rows 1 and 2 with
        // weights 128 and -64: dy = 2*F(4, 1).dy - F(4, 2).dy = 2*-155 + 140 = -170 (the cell
        // holds -160); dx is linear in y and stays 96.
        {4, 64, {0, 0}, {8, 2}, {4, 0}, {96, -170}},
        // x = W - 1 is computed (unlike the Hook): ix = 0 is clamped to W - x - 2 = -1, fx = 64,
        // so column 15 is read with full weight: the old cell.
        {4, 64, {0, 0}, {15, 6}, {15, 6}, {1110, -310}},
    };
    expectValues(ToolKind::ZoomIn, cases);
}

TEST(ToolValuesTest, ZoomOut)
{
    const Case cases[] = {
        // At rest, g 36: k = 4608, o = (0, -9216/4096) = (0, -2); a = (8, 3), f = (0, 62):
        // dx = (6*4096 - 40*254)/64 = 225, dy = -2 + (5*1010 - 30*512 - 2560)/64 = -2 - 201.
        {4, 64, {0, 0}, {8, 6}, {8, 4}, {225, -203}},
        // Moving, D 3, g 16: k = 3072, o = (-6144/4096, -6144/4096) = (-1, -1); a = (5, 3),
        // f = (63, 63): dx = -1 + (6*2293 - 40*255)/64 = -1 + 55,
        // dy = -1 + (5*1017 - 30*383 - 2560)/64 = -1 - 140.
        {4, 64, {2, -3}, {8, 6}, {6, 4}, {54, -141}},
        // V 40, g 36: k = 40*3*36 = 4320, o = (8640/4096, 0) = (2, 0); a = (10, 6), f = (2, 0):
        // dx = 2 + (6*6442 - 40*384)/64 = 2 + 363, dy = (5*2304 - 30*642 - 2560)/64 = -160.
        {4, 40, {2, -3}, {8, 6}, {10, 6}, {365, -160}},
        // On the circle, and V 0: the old cell.
        {4, 64, {2, -3}, {8, 6}, {4, 6}, {-144, 20}},
        {4, 0, {2, -3}, {8, 6}, {10, 6}, {360, -160}},
    };
    expectValues(ToolKind::ZoomOut, cases);
}

TEST(ToolValuesTest, Undo)
{
    const Case cases[] = {
        // g 64: k = 64*64/8 = 512, o = (-(512*144/4096), -(512*-100/4096)) = (-18, 12);
        // a = (7, 6), f = (46, 12): dx = -18 + (6*3826 - 40*396)/64 = -18 + 111,
        // dy = 12 + (5*2460 - 30*494 - 2560)/64 = 12 - 79.
        {4, 64, {0, 0}, {8, 6}, {8, 6}, {93, -67}},
        // The movement does not matter.
        {4, 64, {2, -3}, {8, 6}, {8, 6}, {93, -67}},
        // V 43, g 36: k = 43*36/8 = 193 (truncated before it scales the cell: 1548*360/32768
        // would give 17), o = (-(193*360/4096), -(193*-160/4096)) = (-16, 7); a = (9, 6),
        // f = (48, 7): dx = -16 + (6*6096 - 40*391)/64 = -16 + 327,
        // dy = 7 + (5*2395 - 30*624 - 2560)/64 = 7 - 145.
        {4, 43, {0, 0}, {8, 6}, {10, 6}, {311, -138}},
        // Just inside, g 16: k = 128, o = (-(7168/4096), -(-17920/4096)) = (-1, 4); a = (5, 4),
        // f = (63, 4): dx = -1 + (6*2293 - 40*260)/64 = -1 + 52,
        // dy = 4 + (5*1060 - 30*383 - 2560)/64 = 4 - 136.
        {4, 64, {0, 0}, {8, 6}, {6, 4}, {51, -132}},
        // Outside, and V 0: the old cell.
        {4, 64, {0, 0}, {8, 6}, {4, 4}, {-64, -80}},
        {4, 0, {0, 0}, {8, 6}, {8, 6}, {144, -100}},
        // r 5, d^2 10: e = 640/25 = 25 (not 10/25*64 = 0), g = 39^2/64 = 23; k = 64*23/8 = 184,
        // o = (-(184*-50/4096), -(184*-65/4096)) = (2, 2); a = (5, 5), f = (2, 2):
        // dx = 2 + (6*1622 - 40*322)/64 = 2 - 49, dy = 2 + (5*1622 - 30*322 - 2560)/64 = 2 - 64.
        {5, 64, {0, 0}, {8, 6}, {5, 5}, {-47, -62}},
    };
    expectValues(ToolKind::Undo, cases);
}

// Whirl offsets: ox = trunc((Cw dx + Sw dy + 32)/64 - hx), oy = trunc((Cw dy - Sw dx + 32)/64 - hy)
// with theta = g (V - 32)/1024 in floating point, Cw = 64 cos theta, Sw = 64 sin theta and
// h = (2d)/4 truncated. Radius 5 visits odd distances, where that truncation shows.
TEST(ToolValuesTest, Whirl)
{
    const Case cases[] = {
        // d (1, 1), g 54: theta = 1.6875, Cw = -7.452, Sw = 63.565, h = (0, 0);
        // o = (trunc(1.377), trunc(-0.610)) = (1, 0); a = (9, 7), f = (1, 0):
        // dx = 1 + (6*5203 - 40*448)/64 = 1 + 207, dy = (5*3136 - 30*577 - 2560)/64 = -65.
        {5, 64, {0, 0}, {8, 6}, {9, 7}, {208, -65}},
        // d (-3, 1), g 23: theta = 0.71875, Cw = 48.168, Sw = 42.140, h = (-6/4, 2/4) = (-1, 0);
        // ox = trunc(-1.099 + 1) = 0 (floor would give -1), oy = trunc(3.228) = 3; a = (5, 7),
        // f = (0, 3): dx = (6*1600 - 40*451)/64 = -131, dy = 3 + (5*3181 - 30*320 - 2560)/64 = 3 + 58.
        {5, 64, {0, 0}, {8, 6}, {5, 7}, {-131, 61}},
        // Just inside, d (3, 3), g 5: theta = 0.15625, Cw = 63.220, Sw = 9.959, h = (1, 1);
        // o = (trunc(3.930 - 1), trunc(2.997 - 1)) = (2, 1); a = (11, 9), f = (2, 1):
        // dx = 2 + (6*7790 - 40*577)/64 = 2 + 369, dy = 1 + (5*5203 - 30*706 - 2560)/64 = 1 + 35.
        {5, 64, {0, 0}, {8, 6}, {11, 9}, {371, 36}},
        // Just outside, d (-5, -1), d^2 26: g 0, the old cell.
        {5, 64, {0, 0}, {8, 6}, {3, 5}, {-146, -5}},
        // V 32, theta 0: ox = trunc((-192 + 32)/64 - (-6/4)) = trunc(-2.5 + 1) = -1 (with h
        // floored to -2 it would be 0), oy = trunc(-0.5) = 0; a = (4, 5), f = (63, 0):
        // dx = -1 + (6*1591 - 40*320)/64 = -1 - 50, dy = (5*1600 - 30*319 - 2560)/64 = -64.
        {5, 32, {0, 0}, {8, 6}, {5, 5}, {-51, -64}},
        // V 0 turns the other way: d (1, -1), theta = -1.6875, Cw = -7.452, Sw = -63.565;
        // o = (trunc((-7.452 + 63.565 + 32)/64), trunc((7.452 + 63.565 + 32)/64)) = (1, 1);
        // a = (9, 5), f = (1, 1): dx = 1 + (6*5203 - 40*321)/64 = 1 + 287,
        // dy = 1 + (5*1611 - 30*577 - 2560)/64 = 1 - 184.
        {5, 0, {0, 0}, {8, 6}, {9, 5}, {288, -183}},
        // V 48, d (-1, 3), g 23: theta = 0.359375, Cw = 59.911, Sw = 22.508, h = (0, 1);
        // o = (trunc(0.619), trunc(3.660 - 1)) = (0, 2); a = (7, 9), f = (0, 2):
        // dx = (6*3136 - 40*578)/64 = -67, dy = 2 + (5*5222 - 30*448 - 2560)/64 = 2 + 157.
        {5, 48, {0, 0}, {8, 6}, {7, 9}, {-67, 159}},
        // r 4, the centre: o = (trunc(32/64), trunc(32/64)) = (0, 0), the old cell.
        {4, 64, {0, 0}, {8, 6}, {8, 6}, {144, -100}},
        // r 4, d (2, 0), g 36: theta = 1.125 (not 1), Cw = 27.595, Sw = 57.745, h = (1, 0);
        // o = (trunc(1.362 - 1), trunc(-1.305)) = (0, -1); a = (10, 5), f = (0, 63):
        // dx = (6*6400 - 40*383)/64 = 360, dy = -1 + (5*2293 - 30*640 - 2560)/64 = -1 - 160.
        {4, 64, {0, 0}, {8, 6}, {10, 6}, {360, -161}},
        // r 4, V 0, d (-2, 0): theta = -1.125, h = (-1, 0); ox = trunc(-0.362 + 1) = 0 (truncating
        // before subtracting h would give 1), oy = trunc(-1.305) = -1; a = (6, 5), f = (0, 63):
        // dx = (6*2304 - 40*383)/64 = -23, dy = -1 + (5*2293 - 30*384 - 2560)/64 = -1 - 40.
        {4, 0, {0, 0}, {8, 6}, {6, 6}, {-23, -41}},
    };
    expectValues(ToolKind::Whirl, cases);
}

// Hammer offsets: ox = (trunc(dx - (Cz dx + Sz dy + 32)/64) + 2 (cs w V / 4096)) / 3 and
// oy = (trunc(dy - (Cz dy - Sz dx + 32)/64) - 2 (sn w V / 4096)) / 3, with Cz = 64 cos 1 = 34.579,
// Sz = 64 sin 1 = 53.854 and w = (D g)/2.
TEST(ToolValuesTest, Zoom)
{
    const Case cases[] = {
        // At rest, the centre: w = 64, first terms trunc(-0.5) = 0, cs*w*V/4096 = 64;
        // o = (128/3, 0) = (42, 0); a = (8, 6), f = (42, 0):
        // dx = 42 + (6*4810 - 40*384)/64 = 42 + 210, dy = (5*2304 - 30*554 - 2560)/64 = -119.
        {4, 64, {0, 0}, {8, 6}, {8, 6}, {252, -119}},
        // At rest, d (1, 1), g 54: w = 54; first terms trunc(-0.882) = 0, trunc(0.801) = 0;
        // o = (2*54/3, 0) = (36, 0); a = (9, 7), f = (36, 0):
        // dx = 36 + (6*5868 - 40*448)/64 = 36 + 270, dy = (5*3136 - 30*612 - 2560)/64 = -81.
        {5, 64, {0, 0}, {8, 6}, {9, 7}, {306, -81}},
        // Moving, d (-1, -1), g 54: w = 3*54/2 = 81; first terms trunc(-0.118) = 0,
        // trunc(-1.801) = -1; -53*81*64/4096 = -67, 35*81*64/4096 = 44;
        // o = ((0 - 134)/3, (-1 - 88)/3) = (-44, -29); a = (6, 4), f = (20, 35):
        // dx = -44 + (6*2564 - 40*291)/64 = -44 + 58, dy = -29 + (5*1339 - 30*404 - 2560)/64 = -29 - 124.
        {5, 64, {2, -3}, {8, 6}, {7, 5}, {14, -153}},
        // V 40, d (-3, 1), g 23: w = 69/2 = 34; first terms trunc(-2.721) = -2, trunc(-2.565) = -2;
        // -53*34*40/4096 = -17, 35*34*40/4096 = 11; o = ((-2 - 34)/3, (-2 - 22)/3) = (-12, -8);
        // a = (4, 6), f = (52, 56): dx = -12 + (6*1492 - 40*440)/64 = -12 - 135,
        // dy = -8 + (5*3032 - 30*308 - 2560)/64 = -8 + 52.
        {5, 40, {2, -3}, {8, 6}, {5, 7}, {-147, 44}},
        // Just inside, d (3, 3), g 5: w = 15/2 = 7; first terms trunc(-1.645) = -1,
        // trunc(3.404) = 3; -53*7*64/4096 = -5, 35*7*64/4096 = 3; o = ((-1 - 10)/3, (3 - 6)/3)
        // = (-3, -1); a = (10, 8), f = (61, 63): dx = -3 + (6*7681 - 40*575)/64 = -3 + 360,
        // dy = -1 + (5*5167 - 30*701 - 2560)/64 = -1 + 35.
        {5, 64, {2, -3}, {8, 6}, {11, 9}, {357, 34}},
        // V 0 leaves the first terms: d (-3, -3), trunc(0.645) = 0, trunc(-4.404) = -4;
        // o = (0, -4/3) = (0, -1); a = (5, 2), f = (0, 63): dx = (6*1600 - 40*191)/64 = 30,
        // dy = -1 + (5*571 - 30*320 - 2560)/64 = -1 - 145.
        {5, 0, {2, -3}, {8, 6}, {5, 3}, {30, -146}},
        // Just outside, d^2 26: g 0, the old cell.
        {5, 64, {2, -3}, {8, 6}, {3, 5}, {-146, -5}},
    };
    expectValues(ToolKind::Zoom, cases);
}

// Iron: f = V g / 64; cell = (f (F(x, y - 1) + F(x, y - 3) + F(x - 1, y) + F(x + 1, y))
// + 4 (64 - f) F(x, y)) / 256, away from the border.
TEST(ToolValuesTest, Smooth)
{
    const Case cases[] = {
        // f 64: F(8, 5) + F(8, 3) + F(7, 6) + F(9, 6) = (184 + 264 + 54 + 246, -155 - 235 - 70 - 130)
        // = (748, -590); (64*748/256, 64*-590/256) = (187, -147).
        {4, 64, {0, 0}, {8, 6}, {8, 6}, {187, -147}},
        // f 36: the four sum to (400 + 480 + 246 + 486, -215 - 295 - 130 - 190) = (1612, -830);
        // dx = (36*1612 + 112*360)/256 = 384, dy = (36*-830 + 112*-160)/256 = -186.
        {4, 64, {0, 0}, {8, 6}, {10, 6}, {384, -186}},
        // V 40, g 16: f = 10; F(6, 3) + F(6, 1) + F(5, 4) + F(7, 4) = (396, -670);
        // dx = (10*396 + 216*56)/256 = 62, dy = (10*-670 + 216*-140)/256 = -144.
        {4, 40, {0, 0}, {8, 6}, {6, 4}, {62, -144}},
        // Outside (g 0), and V 0: f 0, the old cell.
        {4, 64, {0, 0}, {8, 6}, {4, 4}, {-64, -80}},
        {4, 0, {0, 0}, {8, 6}, {8, 8}, {64, 40}},
        // y = 2 < 3 and x = 14 > W - 4 are copied although g is 36 and 64 there.
        {4, 64, {0, 0}, {8, 4}, {8, 2}, {304, -260}},
        {4, 64, {0, 0}, {14, 6}, {14, 6}, {936, -280}},
        // x = 12 = W - 4 is still averaged, f 36: F(12, 5) + F(12, 3) + F(11, 6) + F(13, 6)
        // = (2668, -1070); dx = (36*2668 + 112*624)/256 = 648, dy = (36*-1070 + 112*-220)/256 = -246.
        {4, 64, {0, 0}, {14, 6}, {12, 6}, {648, -246}},
    };
    expectValues(ToolKind::Smooth, cases);
}

} // namespace
} // namespace knetix
