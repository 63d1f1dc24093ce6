#include "ToolFrames.h"

#include "engine/Render.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "files/container/Dib.h"
#include "resources/SkinLayout.h"

#include <QColor>
#include <QPainter>

#include <cstring>
#include <vector>

namespace knetix::art {

namespace {

// A 24-bit bottom-up copy of a picture, as the engine works on it.
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

    QImage render()
    {
        displayed = source;
        renderAll({source.data(), displayed.data(), width, height, stride}, field.data(), 64,
                  RenderMode::Smooth);
        QImage out(width, height, QImage::Format_RGB888);
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

// Straight lines on the dark well: a grid, drawn without antialiasing so that
// every bend comes from the tool alone.
QImage straightLines()
{
    QImage image(skin::kToolDisplayWidth, skin::kToolDisplayHeight, QImage::Format_RGB888);
    image.fill(kWell);
    QPainter p(&image);
    p.setPen(QPen(kLine, 1));
    for (int x = 3; x < image.width(); x += 7)
        p.drawLine(x, 0, x, image.height() - 1);
    for (int y = 1; y < image.height(); y += 7)
        p.drawLine(0, y, image.width() - 1, y);
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
    const int span = kLine.red() - kWell.red();
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* in = rgb.constScanLine(y);
        uchar* o = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            o[x] = uchar(std::clamp((in[3 * x] - kWell.red()) * 255 / span, 0, 255));
    }
    return out;
}

// The tool each set is shown for: the Hammer button shows the IRON_ set and the
// Iron and Brush buttons the HAMMER_ set, so each set carries the other's effect.
ToolKind toolOfSet(int set)
{
    switch (set) {
    case 0: return ToolKind::Move;
    case 1: return ToolKind::ZoomIn;
    case 2: return ToolKind::ZoomOut;
    case 3: return ToolKind::Zoom;   // IRON_, shown for the Hammer
    case 4: return ToolKind::Smooth; // HAMMER_, shown for the Iron and the Brush
    default: return ToolKind::Whirl;
    }
}

} // namespace

QImage toolDisplayFrame(int set, int level, int frame)
{
    EnginePicture picture(straightLines());
    // Step 0 .. 14 over the whole sequence; SMALL 0 stays undeformed.
    const int step = level * 5 + frame;
    const int32_t radius = 13 + 6 * level;
    const int32_t cx = picture.width / 2;
    const int32_t cy = picture.height / 2;
    const ToolKind kind = toolOfSet(set);
    StrokePatch patch;

    if (step > 0) {
        switch (kind) {
        case ToolKind::Move: {
            // A downward pull through the middle.
            auto tool = createTool(kind, radius);
            tool->setValue(40);
            for (int i = 0; i <= step; ++i)
                picture.stroke(*tool, patch, cx, cy - 6 + i);
            break;
        }
        case ToolKind::Zoom: {
            // Hammer blows: short strokes around the middle.
            auto tool = createTool(kind, radius);
            tool->setValue(48);
            for (int i = 0; i <= step; ++i)
                picture.stroke(*tool, patch, cx + (i % 2 ? 3 : -3), cy - 8 + 2 * i);
            break;
        }
        case ToolKind::Smooth: {
            // Bumpy lines that the iron flattens along its path: the bumps stay
            // where it did not pass.
            auto bumps = createTool(ToolKind::Whirl, 11);
            for (int i = 0; i < 6; ++i) {
                picture.stroke(*bumps, patch, 14, 24 + 40 * (i % 3));
                picture.stroke(*bumps, patch, 44, 34 + 35 * (i % 3));
            }
            bumps->reset();
            auto iron = createTool(kind, radius);
            for (int pass = 0; pass < step; ++pass) {
                iron->reset();
                for (int y = 10; y < picture.height - 10; y += 3)
                    picture.stroke(*iron, patch, cx, y);
            }
            break;
        }
        default: {
            // Held at the middle: applied again and again.
            auto tool = createTool(kind, radius);
            tool->setValue(kind == ToolKind::Whirl ? 64 : 40);
            for (int i = 0; i < 1 + step; ++i)
                picture.stroke(*tool, patch, cx, cy);
            break;
        }
        }
    }
    return toIndexed(picture.render());
}

QImage warpedPicture(const QImage& image)
{
    EnginePicture picture(image);
    const int32_t cx = picture.width / 2;
    const int32_t cy = picture.height / 2;
    StrokePatch patch;
    auto whirl = createTool(ToolKind::Whirl, picture.height / 2);
    for (int i = 0; i < 14; ++i)
        picture.stroke(*whirl, patch, cx, cy);
    auto zoom = createTool(ToolKind::ZoomIn, picture.height / 4);
    for (int i = 0; i < 6; ++i)
        picture.stroke(*zoom, patch, cx - 120, cy + 40);
    auto hook = createTool(ToolKind::Move, picture.height / 5);
    for (int i = 0; i < 30; ++i)
        picture.stroke(*hook, patch, cx + 110, cy - 60 + i);
    return picture.render();
}

} // namespace knetix::art
