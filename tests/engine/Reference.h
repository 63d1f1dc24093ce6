#pragma once
// The engine's hot paths written the plain way, in 64- and 128-bit arithmetic
// with no shortcuts: what the optimised engine must reproduce bit for bit.
// Kept as they were before the engine took fast paths; change them only
// together with a deliberate change of the results.

#include "engine/CMTool.h"
#include "engine/FixedPoint.h"
#include "engine/OffsetCell.h"
#include "engine/Render.h"
#include "engine/Stroke.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace knetix::reference {

// --- Rendering the working picture -------------------------------------------

inline const uint8_t* pixelAt(const PictureBuffers& p, int64_t x, int64_t y)
{
    return p.source + (int64_t(p.height) - 1 - y) * p.stride + 3 * x;
}

inline void renderRowsSmooth(const PictureBuffers& p, const OffsetCell* field, int64_t a, int32_t x0,
                             int32_t x1, int32_t y0, int32_t y1)
{
    const int64_t W = p.width, H = p.height;
    for (int64_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + y * W;
        uint8_t* out = p.displayed + (H - 1 - y) * p.stride;
        for (int64_t x = x0; x <= x1; ++x) {
            const OffsetCell c = cells[x];
            const int64_t X64 = (a * c.dx + 4096 * x) / 64;
            const int64_t Y64 = (a * c.dy + 4096 * y) / 64;
            const int64_t sx = X64 / 64;
            const int64_t sy = Y64 / 64;
            uint8_t* d = out + 3 * x;
            if (sx >= 2 && sx <= W - 2 && sy >= 2 && sy <= H - 2) {
                const int32_t fx = int32_t(X64 % 64), fy = int32_t(Y64 % 64);
                const int32_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
                const int32_t w01 = (64 - fx) * fy, w11 = fx * fy;
                const uint8_t* p00 = pixelAt(p, sx, sy);
                const uint8_t* p01 = p00 - p.stride;
                for (int k = 0; k < 3; ++k)
                    d[k] = uint8_t((w00 * p00[k] + w10 * p00[3 + k] + w01 * p01[k] +
                                    w11 * p01[3 + k]) /
                                   4096);
            } else {
                const uint8_t* s = pixelAt(p, clampTo(sx, 1, W - 2), clampTo(sy, 1, H - 2));
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

inline void renderRowsFast(const PictureBuffers& p, const OffsetCell* field, int64_t a, int32_t x0,
                           int32_t x1, int32_t y0, int32_t y1)
{
    const int64_t W = p.width, H = p.height;
    for (int64_t y = y0; y <= y1; ++y) {
        const OffsetCell* cells = field + y * W;
        uint8_t* out = p.displayed + (H - 1 - y) * p.stride;
        for (int64_t x = x0; x <= x1; ++x) {
            const OffsetCell c = cells[x];
            const int64_t sx = x + (a * c.dx + 2048) / 4096;
            const int64_t sy = y + (a * c.dy + 2048) / 4096;
            const uint8_t* s = pixelAt(p, clampTo(sx, 1, W - 2), clampTo(sy, 1, H - 2));
            uint8_t* d = out + 3 * x;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

inline void renderRegion(const PictureBuffers& p, const OffsetCell* field, int32_t scale,
                         RenderMode mode, int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    if (!p.source || !p.displayed || !field || p.width < 2 || p.height < 3)
        return;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, p.width - 2);
    y1 = std::min(y1, p.height - 3);
    if (x0 > x1 || y0 > y1)
        return;
    const int64_t a = clampTo(scale, 0, 64);
    if (mode == RenderMode::Smooth)
        reference::renderRowsSmooth(p, field, a, x0, x1, y0, y1);
    else
        reference::renderRowsFast(p, field, a, x0, x1, y0, y1);
}

inline void renderAll(const PictureBuffers& p, const OffsetCell* field, int32_t scale, RenderMode mode)
{
    reference::renderRegion(p, field, scale, mode, 0, p.width - 2, 0, p.height - 3);
}

inline void renderSquare(const PictureBuffers& p, const OffsetCell* field, int32_t x, int32_t y,
                         int32_t radius)
{
    const int64_t x0 = std::max<int64_t>(0, int64_t(x) - radius);
    const int64_t x1 = std::min<int64_t>(int64_t(x) + radius - 1, int64_t(p.width) - 3);
    const int64_t y0 = std::max<int64_t>(0, int64_t(y) - radius - 1);
    const int64_t y1 = std::min<int64_t>(int64_t(y) + radius - 2, int64_t(p.height) - 3);
    if (x0 > x1 || y0 > y1)
        return;
    reference::renderRegion(p, field, 64, RenderMode::Smooth, int32_t(x0), int32_t(x1), int32_t(y0),
                 int32_t(y1));
}

// --- Blending two keys ---------------------------------------------------------

inline void blendFields(const OffsetCell* from, const OffsetCell* to, OffsetCell* out, int32_t count,
                        int32_t phase)
{
    if (!from || !to || !out)
        return;
    if (phase >= 0 && phase <= 64) {
        const int64_t p = phase, q = 64 - phase;
        for (int32_t i = 0; i < count; ++i) {
            out[i].dx = int32_t((to[i].dx * p + from[i].dx * q) / 64);
            out[i].dy = int32_t((to[i].dy * p + from[i].dy * q) / 64);
        }
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        const int64_t dx = (int64_t(to[i].dx) * phase + int64_t(from[i].dx) * (64 - int64_t(phase))) / 64;
        const int64_t dy = (int64_t(to[i].dy) * phase + int64_t(from[i].dy) * (64 - int64_t(phase))) / 64;
        out[i] = OffsetCell(saturate32(dx), saturate32(dy));
    }
}

// --- The full-size renderer (one thread) ---------------------------------------

inline void renderFullSizeRows(const uint8_t* source, uint8_t* output, int32_t W, int32_t H,
                               int32_t stride, const OffsetCell* field, int32_t w, int32_t h,
                               int32_t firstRow, int32_t lastRow)
{
    if (!source || !output || !field || W < 2 || H < 2 || w < 2 || h < 2)
        return;
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, H - 2);
    const int64_t pw = W, ph = H, fw = w, fh = h;
    for (int64_t i = firstRow; i <= lastRow; ++i) {
        const int64_t fy = i * (64 * fh) / ph;
        const int64_t cy = std::min(fh - 2, fy / 64);
        const int64_t oy = fy % 64;
        const OffsetCell* row0 = field + cy * fw;
        const OffsetCell* row1 = row0 + fw;
        uint8_t* out = output + (ph - 1 - i) * stride;
        for (int64_t j = 0; j <= pw - 2; ++j) {
            const int64_t fx = j * (64 * fw) / pw;
            const int64_t cx = std::min(fw - 2, fx / 64);
            const int64_t ox = fx % 64;
            const int64_t w00 = (64 - oy) * (64 - ox), w10 = (64 - oy) * ox;
            const int64_t w01 = oy * (64 - ox), w11 = oy * ox;
            const int64_t DX = (w00 * row0[cx].dx + w10 * row0[cx + 1].dx + w01 * row1[cx].dx +
                                w11 * row1[cx + 1].dx) /
                               4096;
            const int64_t DY = (w00 * row0[cx].dy + w10 * row0[cx + 1].dy + w01 * row1[cx].dy +
                                w11 * row1[cx + 1].dy) /
                               4096;
            const int64_t X = 64 * j + DX * pw / fw;
            const int64_t Y = 64 * i + DY * ph / fh;
            const int64_t sx = X / 64, sy = Y / 64;
            uint8_t* d = out + 3 * j;
            if (X < 0 || Y < 0 || sx > pw - 2 || sy > ph - 2) {
                const uint8_t* s =
                    source + (ph - 1 - clampTo(sy, 1, ph - 2)) * stride + 3 * clampTo(sx, 1, pw - 2);
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                continue;
            }
            const int32_t rx = int32_t(X % 64), ry = int32_t(Y % 64);
            const int32_t v00 = (64 - ry) * (64 - rx), v10 = (64 - ry) * rx;
            const int32_t v01 = ry * (64 - rx), v11 = ry * rx;
            const uint8_t* p00 = source + (ph - 1 - sy) * stride + 3 * sx;
            const uint8_t* p01 = p00 - stride;
            for (int k = 0; k < 3; ++k)
                d[k] = uint8_t((v00 * p00[k] + v10 * p00[3 + k] + v01 * p01[k] + v11 * p01[3 + k]) /
                               4096);
        }
    }
}

// --- The sharp canvas ------------------------------------------------------------

// The full-size formula for a W x H display through a w x h field, its cells
// first scaled as baking the scale into them would; the fast mode takes the
// nearest of the four pixels the smooth mode mixes. Columns x0 .. x1 and rows
// y0 .. y1, within 0 .. W - 2 and 0 .. H - 2.
inline void renderSharp(const uint8_t* source, uint8_t* output, int32_t W, int32_t H, int32_t stride,
                        const OffsetCell* field, int32_t w, int32_t h, int32_t scale, RenderMode mode,
                        int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    const int64_t pw = W, ph = H, fw = w, fh = h, a = clampTo(scale, 0, 64);
    auto cell = [&](int64_t x, int64_t y) {
        const OffsetCell c = field[y * fw + x];
        return OffsetCell(int32_t(a * c.dx / 64), int32_t(a * c.dy / 64));
    };
    for (int64_t i = std::max(y0, 0); i <= std::min(y1, H - 2); ++i) {
        const int64_t fy = i * (64 * fh) / ph;
        const int64_t cy = std::min(fh - 2, fy / 64);
        const int64_t oy = fy % 64;
        uint8_t* out = output + (ph - 1 - i) * stride;
        for (int64_t j = std::max(x0, 0); j <= std::min(x1, W - 2); ++j) {
            const int64_t fx = j * (64 * fw) / pw;
            const int64_t cx = std::min(fw - 2, fx / 64);
            const int64_t ox = fx % 64;
            const int64_t w00 = (64 - oy) * (64 - ox), w10 = (64 - oy) * ox;
            const int64_t w01 = oy * (64 - ox), w11 = oy * ox;
            const OffsetCell c00 = cell(cx, cy), c10 = cell(cx + 1, cy);
            const OffsetCell c01 = cell(cx, cy + 1), c11 = cell(cx + 1, cy + 1);
            const int64_t DX = (w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx) / 4096;
            const int64_t DY = (w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy) / 4096;
            const int64_t X = 64 * j + DX * pw / fw;
            const int64_t Y = 64 * i + DY * ph / fh;
            const int64_t sx = X / 64, sy = Y / 64;
            uint8_t* d = out + 3 * j;
            const uint8_t* s;
            if (X < 0 || Y < 0 || sx > pw - 2 || sy > ph - 2) {
                s = source + (ph - 1 - clampTo(sy, 1, ph - 2)) * stride + 3 * clampTo(sx, 1, pw - 2);
            } else if (mode == RenderMode::Fast) {
                const int64_t px = X % 64 < 32 ? sx : sx + 1, py = Y % 64 < 32 ? sy : sy + 1;
                s = source + (ph - 1 - py) * stride + 3 * px;
            } else {
                const int32_t rx = int32_t(X % 64), ry = int32_t(Y % 64);
                const int32_t v00 = (64 - ry) * (64 - rx), v10 = (64 - ry) * rx;
                const int32_t v01 = ry * (64 - rx), v11 = ry * rx;
                const uint8_t* p00 = source + (ph - 1 - sy) * stride + 3 * sx;
                const uint8_t* p01 = p00 - stride;
                for (int k = 0; k < 3; ++k)
                    d[k] = uint8_t((v00 * p00[k] + v10 * p00[3 + k] + v01 * p01[k] + v11 * p01[3 + k]) /
                                   4096);
                continue;
            }
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

// --- Tools ---------------------------------------------------------------------

inline OffsetCell resampleField(const OffsetCell* F, int32_t W, int32_t H, int32_t x, int32_t y,
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
        const int64_t w00 = (64 - fx) * (64 - fy), w10 = fx * (64 - fy);
        const int64_t w01 = (64 - fx) * fy, w11 = fx * fy;
        const int64_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
        const int64_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
        return {saturate32(ox + sdx / 4096), saturate32(oy + sdy / 4096)};
    }
    const int128_t gx = fx, gy = fy;
    const int128_t w00 = (64 - gx) * (64 - gy), w10 = gx * (64 - gy);
    const int128_t w01 = (64 - gx) * gy, w11 = gx * gy;
    const int128_t sdx = w00 * c00.dx + w10 * c10.dx + w01 * c01.dx + w11 * c11.dx;
    const int128_t sdy = w00 * c00.dy + w10 * c10.dy + w01 * c01.dy + w11 * c11.dy;
    return {saturate32(int128_t(ox) + sdx / 4096), saturate32(int128_t(oy) + sdy / 4096)};
}

template <class CellAt>
void visitSquare(const CMTool& tool, OffsetCell* patch, const Rect& square, bool moveRange,
                 CellAt cellAt)
{
    const int64_t W = tool.pictureWidth();
    const int64_t H = tool.pictureHeight();
    const int64_t r = tool.radius();
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

// What CMTool_<kind>::apply computes, from the tool's public state.
inline void applyTool(ToolKind kind, const CMTool& tool, const OffsetCell* F, OffsetCell* patch,
                      const Rect& square)
{
    if (!F || !patch)
        return;
    const int32_t W = tool.pictureWidth(), H = tool.pictureHeight();
    const int32_t cx = tool.lastX(), cy = tool.lastY(), V = tool.value();
    const int32_t sn = tool.directionSine(), cs = tool.directionCosine();
    const int32_t D = tool.movementDistance();
    auto at = [&](int32_t x, int32_t y) -> const OffsetCell& { return F[int64_t(y) * W + x]; };
    auto resample = [&](int32_t x, int32_t y, int64_t ox, int64_t oy) {
        return reference::resampleField(F, W, H, x, y, saturate32(ox), saturate32(oy));
    };
    switch (kind) {
    case ToolKind::Move:
        visitSquare(tool, patch, square, true, [&](int32_t x, int32_t y) {
            const int64_t w = int64_t(D) * tool.falloff(x - cx, y - cy);
            return resample(x, y, -(sn * w * V / 4096), -(cs * w * V / 4096));
        });
        break;
    case ToolKind::ZoomIn:
        visitSquare(tool, patch, square, false, [&](int32_t x, int32_t y) {
            const int64_t dx = x - cx, dy = y - cy;
            const int64_t k = int64_t(V) * D * tool.falloff(int32_t(dx), int32_t(dy));
            return resample(x, y, -(k * dx / 4096), -(k * dy / 4096));
        });
        break;
    case ToolKind::ZoomOut:
        visitSquare(tool, patch, square, false, [&](int32_t x, int32_t y) {
            const int64_t dx = x - cx, dy = y - cy;
            const int64_t k = int64_t(V) * D * tool.falloff(int32_t(dx), int32_t(dy));
            return resample(x, y, k * dx / 4096, k * dy / 4096);
        });
        break;
    case ToolKind::Undo:
        visitSquare(tool, patch, square, false, [&](int32_t x, int32_t y) {
            const int64_t k = int64_t(V) * tool.falloff(x - cx, y - cy) / 8;
            const OffsetCell& c = at(x, y);
            return resample(x, y, -(k * c.dx / 4096), -(k * c.dy / 4096));
        });
        break;
    case ToolKind::Whirl:
        visitSquare(tool, patch, square, false, [&](int32_t x, int32_t y) {
            const int32_t dx = x - cx, dy = y - cy;
            const int32_t g = tool.falloff(dx, dy);
            int64_t ox = 0, oy = 0;
            if (g != 0) {
                const double theta = double(g * (V - 32)) / 1024.0;
                const double cw = 64.0 * std::cos(theta);
                const double sw = 64.0 * std::sin(theta);
                const int32_t hx = (2 * dx) / 4;
                const int32_t hy = (2 * dy) / 4;
                ox = int64_t(std::trunc((cw * dx + sw * dy + 32.0) / 64.0 - hx));
                oy = int64_t(std::trunc((cw * dy - sw * dx + 32.0) / 64.0 - hy));
            }
            return resample(x, y, ox, oy);
        });
        break;
    case ToolKind::Zoom: {
        const double cz = 64.0 * std::cos(1.0);
        const double sz = 64.0 * std::sin(1.0);
        visitSquare(tool, patch, square, false, [&](int32_t x, int32_t y) {
            const int32_t dx = x - cx, dy = y - cy;
            const int32_t g = tool.falloff(dx, dy);
            int64_t ox = 0, oy = 0;
            if (g != 0) {
                const int64_t w = int64_t(D) * g / 2;
                const int64_t px = int64_t(std::trunc(dx - (cz * dx + sz * dy + 32.0) / 64.0));
                const int64_t py = int64_t(std::trunc(dy - (cz * dy - sz * dx + 32.0) / 64.0));
                ox = (px + 2 * (cs * w * V / 4096)) / 3;
                oy = (py - 2 * (sn * w * V / 4096)) / 3;
            }
            return resample(x, y, ox, oy);
        });
        break;
    }
    case ToolKind::Smooth:
        visitSquare(tool, patch, square, false, [&](int32_t x, int32_t y) {
            const OffsetCell& c = at(x, y);
            if (x < 3 || x > W - 4 || y < 3 || y > H - 4)
                return c;
            const int64_t f = int64_t(V) * tool.falloff(x - cx, y - cy) / 64;
            const OffsetCell& up1 = at(x, y - 1);
            const OffsetCell& up3 = at(x, y - 3);
            const OffsetCell& left = at(x - 1, y);
            const OffsetCell& right = at(x + 1, y);
            const int64_t ndx = int64_t(up1.dx) + up3.dx + left.dx + right.dx;
            const int64_t ndy = int64_t(up1.dy) + up3.dy + left.dy + right.dy;
            return OffsetCell(saturate32((f * ndx + 4 * (64 - f) * c.dx) / 256),
                              saturate32((f * ndy + 4 * (64 - f) * c.dy) / 256));
        });
        break;
    }
}

// --- One stroke point ------------------------------------------------------------

inline void fillStrokePatch(StrokePatch& patch)
{
    if (!patch.cells())
        return;
    const int32_t side = patch.side();
    const int32_t r = patch.radius();
    for (int32_t j = 0; j <= 2 * r; j += 2)
        for (int32_t i = 1; i <= 2 * r - 1; i += 2) {
            const OffsetCell& a = patch.at(i - 1, j);
            const OffsetCell& b = patch.at(i + 1, j);
            patch.at(i, j) = OffsetCell(int32_t((int64_t(a.dx) + b.dx) / 2),
                                        int32_t((int64_t(a.dy) + b.dy) / 2));
        }
    for (int32_t j = 1; j <= 2 * r - 1; j += 2) {
        const OffsetCell* above = &patch.at(0, j - 1);
        const OffsetCell* below = &patch.at(0, j + 1);
        OffsetCell* row = &patch.at(0, j);
        for (int32_t i = 0; i < side; ++i)
            row[i] = OffsetCell(int32_t((int64_t(below[i].dx) + above[i].dx) / 2),
                                int32_t((int64_t(below[i].dy) + above[i].dy) / 2));
    }
}

inline void writeBackStrokePatch(const StrokePatch& patch, OffsetCell* field, int32_t width,
                                 int32_t height, int32_t x, int32_t y)
{
    if (!patch.cells() || !field)
        return;
    const int64_t r = patch.radius();
    const int64_t side = patch.side();
    const int64_t c0 = std::max<int64_t>(0, x - r), c1 = std::min<int64_t>(x + r - 2, width - 3);
    const int64_t r0 = std::max<int64_t>(0, y - r), r1 = std::min<int64_t>(y + r - 3, height - 2);
    if (c0 > c1 || r0 > r1)
        return;
    for (int64_t row = r0; row <= r1; ++row) {
        const OffsetCell* src = patch.cells() + (row - y + r) * side + (c0 - x + r);
        std::memcpy(field + row * width + c0, src, size_t(c1 - c0 + 1) * sizeof(OffsetCell));
    }
}

inline void applyStroke(OffsetCell* field, int32_t fieldCount, const Rect& picture, CMTool& tool,
                        StrokePatch& patch, int32_t X, int32_t Y)
{
    const int32_t W = picture.width();
    const int32_t H = picture.height();
    const int32_t x = int32_t(clampTo(int64_t(X) - picture.left, -CMTool::kMaxCoordinate,
                                      CMTool::kMaxCoordinate));
    const int32_t y = int32_t(clampTo(int64_t(Y) - picture.top, -CMTool::kMaxCoordinate,
                                      CMTool::kMaxCoordinate));
    const int32_t r = tool.radius();
    const Rect square{x - r, y - r, x + r, y + r};

    tool.recordPoint(x, y, W, H);
    if (!field || W <= 0 || H <= 0 || int64_t(fieldCount) != int64_t(W) * H)
        return;
    if (patch.radius() != r || !patch.cells())
        patch.resize(r);
    if (!patch.cells())
        return;
    patch.clear();
    if (const std::optional<ToolKind> kind = tool.kind())
        reference::applyTool(*kind, tool, field, patch.cells(), square);
    reference::fillStrokePatch(patch);
    reference::writeBackStrokePatch(patch, field, W, H, x, y);
}

} // namespace knetix::reference
