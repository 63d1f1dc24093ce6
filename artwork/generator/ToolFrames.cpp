#include "ToolFrames.h"

#include "engine/Render.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "container/Dib.h"
#include "resources/SkinLayout.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace knetix::art {

namespace {

// A 24-bit bottom-up copy of a picture, as the engine works on it: in pixels
// of the factor the picture is drawn at.
struct EnginePicture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::vector<uint8_t> source;
    std::vector<uint8_t> displayed;
    std::vector<OffsetCell> field;

    explicit EnginePicture(const QImage& image)
        : width(image.width()), height(image.height()), stride(dibStride24(image.width())),
          source(size_t(stride) * image.height()), field(size_t(width) * height)
    {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        for (int32_t y = 0; y < height; ++y) {
            const uchar* in = rgb.constScanLine(y);
            uint8_t* out = source.data() + size_t(height - 1 - y) * stride;
            for (int32_t x = 0; x < width; ++x) {
                out[3 * x] = in[3 * x + 2];
                out[3 * x + 1] = in[3 * x + 1];
                out[3 * x + 2] = in[3 * x];
            }
        }
        displayed = source;
    }

    Rect rect() const { return {0, 0, width, height}; }

    void stroke(CMTool& tool, StrokePatch& patch, int32_t x, int32_t y)
    {
        applyStroke(field.data(), int32_t(field.size()), rect(), tool, patch, x, y);
    }

    QImage render(double devicePixelRatio)
    {
        displayed = source;
        renderAll({source.data(), displayed.data(), width, height, stride}, field.data(), 64,
                  RenderMode::Smooth);
        QImage out(width, height, QImage::Format_RGB888);
        out.setDevicePixelRatio(devicePixelRatio);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* in = displayed.data() + size_t(height - 1 - y) * stride;
            uchar* o = out.scanLine(y);
            for (int32_t x = 0; x < width; ++x) {
                o[3 * x] = in[3 * x + 2];
                o[3 * x + 1] = in[3 * x + 1];
                o[3 * x + 2] = in[3 * x];
            }
        }
        return out;
    }
};

const QColor kWell(18, 18, 20);
const QColor kLine(255, 184, 72);

// Straight lines on the dark well: a grid of one logical pixel wide lines,
// filled whole pixels (no antialiasing) so that every bend comes from the tool
// alone.
QImage straightLines(int factor)
{
    const int w = skin::kToolDisplayWidth, h = skin::kToolDisplayHeight;
    QImage image(w * factor, h * factor, QImage::Format_RGB888);
    image.setDevicePixelRatio(factor);
    image.fill(kWell);
    QPainter p(&image);
    // Lines through the middle, where the tools act.
    for (int x = (w / 2) % 8; x < w; x += 8)
        p.fillRect(QRect(x, 0, 1, h), kLine);
    for (int y = (h / 2) % 8; y < h; y += 8)
        p.fillRect(QRect(0, y, w, 1), kLine);
    return image;
}

// 256 steps from the well to the line colour; the frames are 8-bit.
QImage toIndexed(const QImage& rgb)
{
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i) {
        auto mix = [i](int a, int b) { return a + (b - a) * i / 255; };
        table.push_back(qRgb(mix(kWell.red(), kLine.red()), mix(kWell.green(), kLine.green()),
                             mix(kWell.blue(), kLine.blue())));
    }
    QImage out(rgb.size(), QImage::Format_Indexed8);
    out.setColorTable(table);
    out.setDevicePixelRatio(rgb.devicePixelRatio());
    const int span = kLine.red() - kWell.red();
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* in = rgb.constScanLine(y);
        uchar* o = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            o[x] = uchar(std::clamp((in[3 * x] - kWell.red()) * 255 / span, 0, 255));
    }
    return out;
}

} // namespace

QImage toolDisplayFrame(int set, int level, int frame, int factor)
{
    const int f = std::max(1, factor);
    EnginePicture picture(straightLines(f));
    // How far along the whole sequence (SMALL 0 .. LARGE 4) this frame is;
    // SMALL 0 stays undeformed.
    const int step = level * 5 + frame;
    const double amount = step / 14.0;
    // Everything below is laid out in logical pixels and applied in pixels of
    // the factor: radii and distances grow with it, so that each factor shows
    // the same bend, only finer.
    const int32_t radius = (12 + 7 * level) * f;
    const int32_t cx = (skin::kToolDisplayWidth / 2) * f + f / 2;
    const int32_t cy = (skin::kToolDisplayHeight / 2) * f + f / 2;
    auto at = [f](int logical) { return int32_t(logical * f + f / 2); };
    const ToolKind kind = skin::kToolDisplayKinds[std::clamp(set, 0, skin::kToolDisplaySetCount - 1)];
    StrokePatch patch;
    auto times = [amount](double most) { return int(std::lround(most * amount)); };

    if (step > 0) {
        switch (kind) {
        case ToolKind::Move: {
            // A pull downwards through the middle, one pixel per stroke point
            // (a point pulls by the least movement the tool counts, 2 pixels).
            auto tool = createTool(kind, radius);
            const int length = (2 + times(34)) * f;
            for (int i = 0; i <= length; ++i)
                picture.stroke(*tool, patch, cx, cy - length / 2 + i);
            break;
        }
        case ToolKind::Zoom: {
            // Hammer blows: short strokes to and fro around the middle.
            auto tool = createTool(kind, radius);
            const int blows = 2 + times(40);
            const int32_t d = 2 * f;
            for (int i = 0; i < blows; ++i)
                picture.stroke(*tool, patch, cx + (i % 2 ? d : -d), cy + (i % 4 < 2 ? d : -d));
            break;
        }
        case ToolKind::Smooth: {
            // Bumpy lines across the whole width; the iron runs down the
            // middle and flattens them, the wider the larger it is, while the
            // bumps beside its path stay. The iron evens out neighbouring
            // pixels, so finer pixels take as many more passes.
            auto bumps = createTool(ToolKind::Whirl, 12 * f);
            for (int y : {24, 58, 92, 122})
                for (int side : {-16, 16}) {
                    bumps->reset();
                    for (int i = 0; i < 24; ++i)
                        picture.stroke(*bumps, patch, cx + side * f, at(y));
                }
            // Narrower than the other tools, so that the bumps at the sides
            // stay even at the largest size.
            auto iron = createTool(kind, (8 + 5 * level) * f);
            iron->setValue(12);
            const int passes = times(6) * f;
            for (int pass = 0; pass < passes; ++pass) {
                iron->reset();
                for (int y = 4 * f; y < picture.height - 4 * f; y += 2)
                    picture.stroke(*iron, patch, cx, y);
            }
            break;
        }
        case ToolKind::Undo: {
            // Three twists, the brush across the middle one: where it has
            // been the lines are straight again, the more the larger it is.
            auto twist = createTool(ToolKind::Whirl, 22 * f);
            const int turns = times(36);
            for (int y : {30, 71, 112}) {
                twist->reset();
                for (int i = 0; i < turns; ++i)
                    picture.stroke(*twist, patch, cx, at(y));
            }
            auto brush = createTool(kind, radius);
            for (int pass = 0; pass < 3; ++pass) {
                brush->reset();
                for (int x = 0; x < picture.width; x += 2 * f)
                    picture.stroke(*brush, patch, x, cy);
            }
            break;
        }
        default: {
            // Held still at the middle: applied again and again.
            auto tool = createTool(kind, radius);
            const int held = 1 + times(kind == ToolKind::Whirl ? 40 : 50);
            for (int i = 0; i < held; ++i)
                picture.stroke(*tool, patch, cx, cy);
            break;
        }
        }
    }
    return toIndexed(picture.render(f));
}

QImage warpedPicture(const QImage& image)
{
    const int f = std::max(1, int(std::lround(image.devicePixelRatio())));
    EnginePicture picture(image);
    const int32_t cx = picture.width / 2;
    const int32_t cy = picture.height / 2;
    StrokePatch patch;
    auto whirl = createTool(ToolKind::Whirl, picture.height / 2);
    for (int i = 0; i < 14; ++i)
        picture.stroke(*whirl, patch, cx, cy);
    auto zoom = createTool(ToolKind::ZoomIn, picture.height / 4);
    for (int i = 0; i < 6; ++i)
        picture.stroke(*zoom, patch, cx - 120 * f, cy + 40 * f);
    // The hook pulls by its least counted movement per point: one pixel of
    // the factor per point, as many more points.
    auto hook = createTool(ToolKind::Move, picture.height / 5);
    for (int i = 0; i < 30 * f; ++i)
        picture.stroke(*hook, patch, cx + 110 * f, cy - 60 * f + i);
    return picture.render(image.devicePixelRatio());
}

} // namespace knetix::art
