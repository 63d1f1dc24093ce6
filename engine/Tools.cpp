#include "engine/Tools.h"

#include "engine/FixedPoint.h"

#include <cmath>

namespace knetix {

OffsetCell resampleField(const OffsetCell* F, int32_t W, int32_t H, int32_t x, int32_t y,
                         int32_t ox, int32_t oy)
{
    const int64_t ix = clampTo(floorDiv(ox, 64), 1 - int64_t(x), int64_t(W) - x - 2);
    const int64_t iy = clampTo(floorDiv(oy, 64), 1 - int64_t(y), int64_t(H) - y - 2);
    const int64_t fx = ox - 64 * ix;
    const int64_t fy = oy - 64 * iy;
    const OffsetCell* a = F + (int64_t(y) + iy) * W + (int64_t(x) + ix);
    const OffsetCell& c00 = a[0];
    const OffsetCell& c10 = a[1];
    const OffsetCell& c01 = a[W];
    const OffsetCell& c11 = a[W + 1];

    if (fx >= 0 && fx < 64 && fy >= 0 && fy < 64) {
        // The usual case: weights of at most 4096 keep the sums inside 64 bits.
        const int64_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
        const int64_t w01 = (64 - fx) * fy, w11 = fx * fy;
        const int64_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
        const int64_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
        return {saturate32(ox + sdx / 4096), saturate32(oy + sdy / 4096)};
    }
    // Clamped at the border: the extrapolating weights can grow with the offset.
    const int128_t gx = fx, gy = fy;
    const int128_t w00 = (64 - gx) * (64 - gy), w10 = gx * (64 - gy);
    const int128_t w01 = (64 - gx) * gy, w11 = gx * gy;
    const int128_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
    const int128_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
    return {saturate32(int128_t(ox) + sdx / 4096), saturate32(int128_t(oy) + sdy / 4096)};
}

namespace {

// Visits every second point of every second row of the tool square that passes
// the kind's range test and stores what cellAt computes into the patch.
template <class CellAt>
void visitSquare(const CMTool& tool, OffsetCell* patch, const Rect& square, bool moveRange,
                 CellAt cellAt)
{
    const int64_t W = tool.pictureWidth();
    const int64_t H = tool.pictureHeight();
    const int64_t r = tool.radius();
    // Two rows and two columns are the least the bilinear reads need; and a
    // square of another size than the patch would write outside it.
    if (W < 2 || H < 2 || int64_t(square.right) - square.left != 2 * r ||
        int64_t(square.bottom) - square.top != 2 * r)
        return;
    const int64_t side = tool.diameter();
    const int64_t xLow = 1, xHigh = moveRange ? W - 2 : W - 1;
    const int64_t yLow = moveRange ? 1 : 0, yHigh = moveRange ? H - 2 : H - 1;
    for (int64_t y = square.top; y < square.bottom; y += 2) {
        if (y < yLow || y > yHigh)
            continue;
        OffsetCell* row = patch + (y - square.top) * side;
        for (int64_t x = square.left; x < square.right; x += 2) {
            if (x < xLow || x > xHigh)
                continue;
            row[x - square.left] = cellAt(int32_t(x), int32_t(y));
        }
    }
}

struct ToolView {
    const OffsetCell* F;
    int32_t W, H, cx, cy, V, sn, cs, D;
    const CMTool& tool;
    int32_t r2;
    // Whether every point the square can visit lies within kNear of the tool's
    // centre in both directions, which the quick falloff relies on.
    bool near;

    static constexpr int64_t kNear = 1 << 15;

    explicit ToolView(const CMTool& t, const OffsetCell* field, const Rect& square)
        : F(field), W(t.pictureWidth()), H(t.pictureHeight()), cx(t.lastX()), cy(t.lastY()),
          V(t.value()), sn(t.directionSine()), cs(t.directionCosine()), D(t.movementDistance()),
          tool(t), r2(t.radiusSquared())
    {
        auto within = [](int64_t lo, int64_t hi, int64_t centre) {
            return lo - centre >= -kNear && hi - centre <= kNear;
        };
        near = within(square.left, square.right, cx) && within(square.top, square.bottom, cy);
    }
    const OffsetCell& at(int32_t x, int32_t y) const { return F[int64_t(y) * W + x]; }

    // CMTool::falloff. Near the centre the squared distance s is small, and
    // e = 64 s / r^2 reaches 64 exactly when s reaches r^2, so only points
    // inside the circle need the division, which then fits 32 bits.
    int32_t falloff(int32_t dx, int32_t dy) const
    {
        if (!near)
            return tool.falloff(dx, dy);
        if (r2 <= 0)
            return 0;
        const uint32_t s = uint32_t(dx * dx) + uint32_t(dy * dy);
        if (s >= uint32_t(r2))
            return 0;
        const int32_t e = int32_t(64 * s / uint32_t(r2));
        return (64 - e) * (64 - e) / 64;
    }

    // resampleField, with the usual case (the whole 2 x 2 block inside the
    // field, fractions in 0..63) inline: there the clamp keeps floor(o / 64),
    // and o - 64 floor(o / 64) is o & 63.
    OffsetCell resample(int32_t x, int32_t y, int64_t ox64, int64_t oy64) const
    {
        const int32_t ox = saturate32(ox64), oy = saturate32(oy64);
        const int64_t ix = ox >> 6, iy = oy >> 6;
        if (ix < 1 - int64_t(x) || ix > int64_t(W) - x - 2 || iy < 1 - int64_t(y) ||
            iy > int64_t(H) - y - 2)
            return resampleField(F, W, H, x, y, ox, oy);
        const int64_t fx = ox & 63, fy = oy & 63;
        const OffsetCell* a = F + (int64_t(y) + iy) * W + (int64_t(x) + ix);
        const OffsetCell c00 = a[0], c10 = a[1], c01 = a[W], c11 = a[W + 1];
        const int64_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
        const int64_t w01 = (64 - fx) * fy, w11 = fx * fy;
        const int64_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
        const int64_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
        return {saturate32(ox + sdx / 4096), saturate32(oy + sdy / 4096)};
    }
};

} // namespace

void CMTool_Move::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                        int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    visitSquare(*this, patch, square, true, [&](int32_t x, int32_t y) {
        const int64_t w = int64_t(t.D) * t.falloff(x - t.cx, y - t.cy);
        const int64_t ox = -(t.sn * w * t.V / 4096);
        const int64_t oy = -(t.cs * w * t.V / 4096);
        return t.resample(x, y, ox, oy);
    });
}

void CMTool_ZoomIn::apply(const OffsetCell* field, OffsetCell* patch, const Rect&,
                          const Rect& square, int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    visitSquare(*this, patch, square, false, [&](int32_t x, int32_t y) {
        const int64_t dx = x - t.cx, dy = y - t.cy;
        const int64_t k = int64_t(t.V) * t.D * t.falloff(int32_t(dx), int32_t(dy));
        return t.resample(x, y, -(k * dx / 4096), -(k * dy / 4096));
    });
}

void CMTool_ZoomOut::apply(const OffsetCell* field, OffsetCell* patch, const Rect&,
                           const Rect& square, int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    visitSquare(*this, patch, square, false, [&](int32_t x, int32_t y) {
        const int64_t dx = x - t.cx, dy = y - t.cy;
        const int64_t k = int64_t(t.V) * t.D * t.falloff(int32_t(dx), int32_t(dy));
        return t.resample(x, y, k * dx / 4096, k * dy / 4096);
    });
}

void CMTool_Undo::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                        int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    visitSquare(*this, patch, square, false, [&](int32_t x, int32_t y) {
        const int64_t k = int64_t(t.V) * t.falloff(x - t.cx, y - t.cy) / 8;
        const OffsetCell& c = t.at(x, y);
        return t.resample(x, y, -(k * c.dx / 4096), -(k * c.dy / 4096));
    });
}

void CMTool_Whirl::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                         int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    // The turn depends on the falloff alone, which takes 65 values: each one's
    // cosine and sine are worked out once, on first use.
    double cosines[65], sines[65];
    bool known[65] = {};
    visitSquare(*this, patch, square, false, [&](int32_t x, int32_t y) {
        const int32_t dx = x - t.cx, dy = y - t.cy;
        const int32_t g = t.falloff(dx, dy);
        int64_t ox = 0, oy = 0;
        if (g != 0) {
            if (!known[g]) {
                const double theta = double(g * (t.V - 32)) / 1024.0;
                cosines[g] = 64.0 * std::cos(theta);
                sines[g] = 64.0 * std::sin(theta);
                known[g] = true;
            }
            const double cw = cosines[g];
            const double sw = sines[g];
            const int32_t hx = (2 * dx) / 4;
            const int32_t hy = (2 * dy) / 4;
            ox = int64_t(std::trunc((cw * dx + sw * dy + 32.0) / 64.0 - hx));
            oy = int64_t(std::trunc((cw * dy - sw * dx + 32.0) / 64.0 - hy));
        }
        return t.resample(x, y, ox, oy);
    });
}

void CMTool_Zoom::apply(const OffsetCell* field, OffsetCell* patch, const Rect&, const Rect& square,
                        int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    const double cz = 64.0 * std::cos(1.0);
    const double sz = 64.0 * std::sin(1.0);
    visitSquare(*this, patch, square, false, [&](int32_t x, int32_t y) {
        const int32_t dx = x - t.cx, dy = y - t.cy;
        const int32_t g = t.falloff(dx, dy);
        int64_t ox = 0, oy = 0;
        if (g != 0) {
            const int64_t w = int64_t(t.D) * g / 2;
            const int64_t px = int64_t(std::trunc(dx - (cz * dx + sz * dy + 32.0) / 64.0));
            const int64_t py = int64_t(std::trunc(dy - (cz * dy - sz * dx + 32.0) / 64.0));
            ox = (px + 2 * (t.cs * w * t.V / 4096)) / 3;
            oy = (py - 2 * (t.sn * w * t.V / 4096)) / 3;
        }
        return t.resample(x, y, ox, oy);
    });
}

void CMTool_Smooth::apply(const OffsetCell* field, OffsetCell* patch, const Rect&,
                          const Rect& square, int32_t, int32_t) const
{
    if (!field || !patch)
        return;
    const ToolView t(*this, field, square);
    visitSquare(*this, patch, square, false, [&](int32_t x, int32_t y) {
        const OffsetCell& c = t.at(x, y);
        if (x < 3 || x > t.W - 4 || y < 3 || y > t.H - 4)
            return c;
        const int64_t f = int64_t(t.V) * t.falloff(x - t.cx, y - t.cy) / 64;
        const OffsetCell& up1 = t.at(x, y - 1);
        const OffsetCell& up3 = t.at(x, y - 3);
        const OffsetCell& left = t.at(x - 1, y);
        const OffsetCell& right = t.at(x + 1, y);
        const int64_t ndx = int64_t(up1.dx) + up3.dx + left.dx + right.dx;
        const int64_t ndy = int64_t(up1.dy) + up3.dy + left.dy + right.dy;
        return OffsetCell(saturate32((f * ndx + 4 * (64 - f) * c.dx) / 256),
                          saturate32((f * ndy + 4 * (64 - f) * c.dy) / 256));
    });
}

} // namespace knetix
