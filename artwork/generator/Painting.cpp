#include "Painting.h"

#include "artwork/SkinColours.h"

#include "ToolFrames.h"

#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace knetix::art {

namespace {

using namespace skincolours;

const char* const kSans = "DejaVu Sans";
const char* const kCondensed = "DejaVu Sans Condensed";

int g_factor = 1;

int factorOf(const QImage& image)
{
    return std::max(1, int(std::lround(image.devicePixelRatio())));
}

// A w x h picture in logical pixels, at the factor being drawn.
QImage rgbImage(int w, int h, const QColor& fill)
{
    QImage image(w * g_factor, h * g_factor, QImage::Format_RGB888);
    image.setDevicePixelRatio(g_factor);
    image.fill(fill);
    return image;
}

// The part of a picture under a logical rectangle, at the picture's factor.
QImage logicalCopy(const QImage& image, int x, int y, int w, int h)
{
    const int f = factorOf(image);
    QImage part = image.copy(x * f, y * f, w * f, h * f);
    part.setDevicePixelRatio(f);
    return part;
}

QImage asRgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB888);
}

// An 8-bit picture with its own palette: the colours it uses, coarsened only
// as far as needed to fit 256 entries (no dithering noise on small art).
QImage asIndexed(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int shift = 0; shift < 8; ++shift) {
        QList<QRgb> table;
        QHash<QRgb, int> index;
        auto coarse = [shift](QRgb c) {
            const int mask = 0xFF & ~((1 << shift) - 1);
            return qRgb(qRed(c) & mask, qGreen(c) & mask, qBlue(c) & mask);
        };
        bool fits = true;
        for (int y = 0; y < rgb.height() && fits; ++y)
            for (int x = 0; x < rgb.width() && fits; ++x) {
                const QRgb c = coarse(rgb.pixel(x, y));
                if (!index.contains(c)) {
                    index.insert(c, int(table.size()));
                    table.push_back(c);
                    fits = table.size() <= 256;
                }
            }
        if (!fits)
            continue;
        QImage out(rgb.size(), QImage::Format_Indexed8);
        out.setColorTable(table);
        out.setDevicePixelRatio(image.devicePixelRatio());
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x)
                out.setPixel(x, y, uint(index.value(coarse(rgb.pixel(x, y)))));
        return out;
    }
    QImage out = rgb.convertToFormat(QImage::Format_Indexed8);
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

// Brushed metal over a whole RGB888 picture: each logical row gets its own
// slowly changing brightness and every pixel row its grain, smeared
// horizontally over 16 logical pixels, so the grain runs left to right. At a
// larger factor the grain is finer but just as strong.
void brush(QImage& image, uint32_t seed, int strength = 5)
{
    const int f = factorOf(image);
    const size_t reach = size_t(16 * f);
    // The sum of `reach` noise values spreads with its square root.
    const double divisor = 8.0 * std::sqrt(double(f));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-strength, strength);
    std::vector<int> row(size_t(image.width()) + reach);
    int rowBias = 0;
    for (int y = 0; y < image.height(); ++y) {
        if (y % f == 0)
            rowBias = std::clamp(rowBias + noise(rng) / 2, -strength, strength);
        for (int& v : row)
            v = noise(rng);
        uchar* line = image.scanLine(y);
        int sum = 0;
        for (size_t k = 0; k < reach; ++k)
            sum += row[k];
        for (int x = 0; x < image.width(); ++x) {
            const size_t i = size_t(x);
            const int d = rowBias + int(sum / divisor);
            sum += row[i + reach < row.size() ? i + reach : row.size() - 1] - row[i];
            for (int c = 0; c < 3; ++c)
                line[3 * x + c] = uchar(std::clamp(line[3 * x + c] + d, 0, 255));
        }
    }
}

QPainterPath polygonPath(const std::vector<skin::Point>& points, double inset = 0.0, QPointF shift = {})
{
    QPolygonF poly;
    QPointF centre;
    for (const skin::Point& p : points)
        centre += QPointF(p.x, p.y);
    centre /= double(points.size());
    for (const skin::Point& p : points) {
        QPointF q(p.x, p.y);
        const QPointF d = centre - q;
        const double len = std::hypot(d.x(), d.y());
        if (len > 0)
            q += d / len * inset;
        poly << q + shift;
    }
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

// A raised bevelled plate, or an inset one.
void plate(QPainter& p, const QPainterPath& shape, bool inset, bool focus, const QColor& base = QColor(78, 81, 87))
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF b = shape.boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomLeft());
    if (inset) {
        g.setColorAt(0, base.darker(230));
        g.setColorAt(1, base.darker(150));
    } else {
        g.setColorAt(0, base.lighter(125));
        g.setColorAt(0.5, base);
        g.setColorAt(1, base.darker(150));
    }
    p.fillPath(shape, g);
    // Grain on the face.
    p.setClipPath(shape, Qt::IntersectClip);
    for (double y = b.top(); y < b.bottom(); y += 2.0) {
        p.setPen(QPen(QColor(255, 255, 255, (int(y * 7) % 5) * 3 + (inset ? 0 : 4)), 1));
        p.drawLine(QPointF(b.left(), y + 0.5), QPointF(b.right(), y + 0.5));
    }
    // Bevel: light upper edge, dark lower edge; swapped when pushed in.
    QLinearGradient edge(b.topLeft(), b.bottomRight());
    edge.setColorAt(0, inset ? QColor(0, 0, 0, 170) : QColor(255, 255, 255, 120));
    edge.setColorAt(1, inset ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 150));
    p.strokePath(shape, QPen(QBrush(edge), 3.0));
    p.setClipping(false);
    p.strokePath(shape, QPen(focus ? kAmber : kRim, focus ? 1.6 : 1.0));
    if (focus) {
        QPainterPath inner = shape;
        p.setClipPath(shape);
        p.strokePath(inner, QPen(QColor(255, 176, 52, 90), 4.0));
    }
    p.restore();
}

// A recessed well (canvas place, list, track).
void well(QPainter& p, const QRectF& r, const QColor& floor = QColor(4, 4, 5), double radius = 3.0)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, floor);
    p.setClipPath(path);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(0, 0, 0, 90 - 20 * i), 1));
        p.drawLine(QPointF(r.left(), r.top() + i + 0.5), QPointF(r.right(), r.top() + i + 0.5));
        p.drawLine(QPointF(r.left() + i + 0.5, r.top()), QPointF(r.left() + i + 0.5, r.bottom()));
    }
    p.setClipping(false);
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 55), 1));
    p.drawLine(QPointF(r.left() + radius, r.bottom() + 1.5), QPointF(r.right() - radius, r.bottom() + 1.5));
    p.drawLine(QPointF(r.right() + 1.5, r.top() + radius), QPointF(r.right() + 1.5, r.bottom() - radius));
    p.restore();
}

void screw(QPainter& p, QPointF c)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(c - QPointF(1, 1), 4);
    g.setColorAt(0, QColor(150, 152, 156));
    g.setColorAt(1, QColor(50, 52, 56));
    p.setBrush(g);
    p.setPen(QPen(kRim, 0.8));
    p.drawEllipse(c, 3.2, 3.2);
    p.setPen(QPen(QColor(20, 20, 22), 1.0));
    p.drawLine(c + QPointF(-2, 1.2), c + QPointF(2, -1.2));
    p.restore();
}

void engrave(QPainter& p, const QRectF& r, const QString& text, const QFont& f, int flags,
             const QColor& colour = QColor(150, 152, 158))
{
    p.save();
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 180));
    p.drawText(r.translated(0, -1), flags, text);
    p.setPen(QColor(255, 255, 255, 40));
    p.drawText(r.translated(0, 1), flags, text);
    p.setPen(colour);
    p.drawText(r, flags, text);
    p.restore();
}

// ---- line-art symbols, drawn into a box ----

QPen symbolPen(const QColor& c, double w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The instruments as solid silhouettes in the ink colour, with a few dark
// details, so that each reads as the thing itself even at 1x. Drawn in a unit
// box: (0, 0) top left, (1, 1) bottom right of `b`.
void symbolTool(QPainter& p, std::string_view word, const QRectF& b, const QColor& c)
{
    const double s = b.width();
    p.save();
    p.translate(b.topLeft());
    p.scale(s, s);
    const QColor detail(34, 35, 39);
    // Pens in logical pixels, whatever the box.
    auto pen = [s](const QColor& colour, double pixels) { return symbolPen(colour, pixels / s); };
    auto fill = [&](const QPainterPath& path) {
        p.setPen(pen(c, 0.6));
        p.setBrush(c);
        p.drawPath(path);
    };
    auto polygon = [](std::initializer_list<QPointF> points) {
        QPainterPath path;
        path.addPolygon(QPolygonF(points));
        path.closeSubpath();
        return path;
    };
    auto rounded = [](double x0, double y0, double x1, double y1, double r) {
        QPainterPath path;
        path.addRoundedRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)), r, r);
        return path;
    };
    if (word == "BTN_DRILL") {
        // A cordless power drill facing left: bit, chuck, motor body, grip
        // and battery.
        p.setPen(pen(c, 1.5));
        p.drawLine(QPointF(0.02, 0.33), QPointF(0.2, 0.33));
        fill(polygon({{0.17, 0.25}, {0.31, 0.21}, {0.31, 0.45}, {0.17, 0.41}}));
        fill(rounded(0.3, 0.16, 0.96, 0.5, 0.1));
        fill(polygon({{0.55, 0.46}, {0.8, 0.46}, {0.74, 0.84}, {0.53, 0.84}}));
        fill(rounded(0.44, 0.8, 0.86, 0.97, 0.04));
        p.setPen(pen(detail, 1.0));
        p.drawLine(QPointF(0.79, 0.24), QPointF(0.79, 0.42));
        p.drawLine(QPointF(0.87, 0.24), QPointF(0.87, 0.42));
        p.drawLine(QPointF(0.51, 0.53), QPointF(0.51, 0.64));
    } else if (word == "BTN_HOOK") {
        // A crane hook: the eye, the shank and the bowl ending in a point.
        p.setPen(pen(c, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(0.58, 0.12), 0.09, 0.09);
        QPainterPath hook;
        hook.moveTo(0.58, 0.22);
        hook.lineTo(0.58, 0.58);
        hook.arcTo(QRectF(0.2, 0.38, 0.38, 0.4), 0, -180);
        hook.lineTo(0.2, 0.52);
        p.setPen(pen(c, 2.6));
        p.drawPath(hook);
        fill(polygon({{0.12, 0.56}, {0.2, 0.36}, {0.28, 0.56}}));
    } else if (word == "BTN_HAMMER") {
        // A claw hammer, handle from the lower left, head up to the right.
        p.translate(0.5, 0.5);
        p.rotate(40);
        p.translate(-0.5, -0.5);
        fill(rounded(0.43, 0.26, 0.57, 1.0, 0.05));
        QPainterPath head = polygon({{0.42, 0.1}, {0.78, 0.12}, {0.78, 0.06}, {0.9, 0.06}, {0.9, 0.34},
                                     {0.78, 0.34}, {0.78, 0.28}, {0.42, 0.3}});
        QPainterPath claw;
        claw.moveTo(0.44, 0.1);
        claw.quadTo(0.2, 0.08, 0.06, 0.3);
        claw.lineTo(0.12, 0.33);
        claw.quadTo(0.26, 0.22, 0.44, 0.3);
        claw.closeSubpath();
        fill(head.united(claw));
        p.setPen(pen(detail, 1.0));
        for (double y : {0.72, 0.8, 0.88})
            p.drawLine(QPointF(0.45, y), QPointF(0.55, y));
    } else if (word == "BTN_IRON") {
        // A flat iron from the side: pointed nose to the left, flat sole,
        // the handle arching over the body.
        QPainterPath body;
        body.moveTo(0.03, 0.76);
        body.lineTo(0.96, 0.76);
        body.lineTo(0.96, 0.52);
        body.quadTo(0.95, 0.42, 0.8, 0.42);
        body.lineTo(0.44, 0.42);
        body.quadTo(0.16, 0.46, 0.03, 0.76);
        body.closeSubpath();
        fill(body);
        QPainterPath handle;
        handle.moveTo(0.4, 0.44);
        handle.cubicTo(0.42, 0.3, 0.46, 0.2, 0.58, 0.2);
        handle.lineTo(0.86, 0.2);
        handle.lineTo(0.82, 0.44);
        p.setPen(pen(c, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(handle);
        // The sole plate, and steam below it.
        p.setPen(pen(detail, 1.0));
        p.drawLine(QPointF(0.13, 0.66), QPointF(0.93, 0.66));
        p.setPen(pen(c, 1.0));
        for (double x : {0.34, 0.56, 0.78}) {
            QPainterPath steam;
            steam.moveTo(x, 0.84);
            steam.quadTo(x + 0.05, 0.89, x, 0.94);
            p.drawPath(steam);
        }
    } else if (word == "BTN_BRUSH") {
        // A round artist's brush: long handle, metal ferrule, a full tuft
        // ending in a point.
        fill(polygon({{1.0, 0.1}, {0.9, 0.0}, {0.52, 0.34}, {0.66, 0.48}}));
        fill(polygon({{0.5, 0.32}, {0.68, 0.5}, {0.52, 0.66}, {0.34, 0.48}}));
        QPainterPath tuft;
        tuft.moveTo(0.34, 0.48);
        tuft.cubicTo(0.14, 0.5, 0.06, 0.72, 0.06, 0.94);
        tuft.cubicTo(0.28, 0.93, 0.5, 0.86, 0.52, 0.66);
        tuft.closeSubpath();
        fill(tuft);
        p.setPen(pen(detail, 1.0));
        p.drawLine(QPointF(0.46, 0.38), QPointF(0.62, 0.54));
    } else if (word == "BTN_DEFLATOR") {
        // An air pump: T handle, barrel on its foot, the hose and its nozzle.
        p.setPen(pen(c, 1.2));
        p.drawLine(QPointF(0.49, 0.12), QPointF(0.49, 0.3));
        fill(rounded(0.2, 0.06, 0.78, 0.16, 0.05));
        fill(rounded(0.37, 0.28, 0.61, 0.86, 0.05));
        fill(rounded(0.22, 0.84, 0.76, 0.95, 0.03));
        QPainterPath hose;
        hose.moveTo(0.6, 0.76);
        hose.cubicTo(0.82, 0.86, 0.95, 0.66, 0.86, 0.42);
        p.setPen(pen(c, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawPath(hose);
        fill(rounded(0.8, 0.3, 0.92, 0.44, 0.02));
        p.setPen(pen(detail, 1.0));
        p.drawLine(QPointF(0.4, 0.4), QPointF(0.58, 0.4));
    } else if (word == "BTN_MAGNIFIER") {
        // A reading glass: thick rim, tinted glass with a glint, handle.
        p.setPen(pen(c, 3.2));
        p.drawLine(QPointF(0.64, 0.64), QPointF(0.93, 0.93));
        QColor glass = c;
        glass.setAlpha(60);
        p.setPen(pen(c, 2.0));
        p.setBrush(glass);
        p.drawEllipse(QPointF(0.4, 0.4), 0.3, 0.3);
        p.setPen(pen(c, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(0.2, 0.2, 0.4, 0.4), 100 * 16, 70 * 16);
    }
    p.restore();
}

// Pictograms of the file and panel commands.
void symbolCommand(QPainter& p, std::string_view word, const QRectF& b, const QColor& c)
{
    const double s = std::min(b.width(), b.height());
    const QPointF o = b.center() - QPointF(s / 2, s / 2);
    auto P = [&](double x, double y) { return o + QPointF(x * s, y * s); };
    p.setPen(symbolPen(c, std::max(1.1, s / 13)));
    p.setBrush(Qt::NoBrush);
    auto folder = [&] {
        QPolygonF f;
        f << P(0.05, 0.25) << P(0.35, 0.25) << P(0.45, 0.35) << P(0.95, 0.35) << P(0.95, 0.85) << P(0.05, 0.85);
        p.drawPolygon(f);
    };
    auto mountain = [&](double x0, double y0, double w) {
        QPolygonF m;
        m << P(x0, y0 + w * 0.6) << P(x0 + w * 0.35, y0 + w * 0.2) << P(x0 + w * 0.55, y0 + w * 0.42)
          << P(x0 + w * 0.7, y0 + w * 0.3) << P(x0 + w, y0 + w * 0.6);
        p.drawPolyline(m);
    };
    auto frame = [&](double x0, double y0, double w, double h) { p.drawRect(QRectF(P(x0, y0), P(x0 + w, y0 + h))); };
    auto disk = [&] {
        QPolygonF d;
        d << P(0.08, 0.08) << P(0.8, 0.08) << P(0.92, 0.2) << P(0.92, 0.92) << P(0.08, 0.92);
        p.drawPolygon(d);
        frame(0.28, 0.08, 0.42, 0.24);
    };
    if (word == "BTN_OPEN_PROJ") {
        folder();
        frame(0.3, 0.48, 0.4, 0.26);
        p.drawLine(P(0.42, 0.48), P(0.42, 0.74));
        p.drawLine(P(0.58, 0.48), P(0.58, 0.74));
    } else if (word == "BTN_OPEN_PICT") {
        folder();
        mountain(0.22, 0.4, 0.56);
    } else if (word == "BTN_SCAN_PICT") {
        frame(0.05, 0.45, 0.9, 0.35);
        p.drawLine(P(0.05, 0.45), P(0.2, 0.2));
        p.drawLine(P(0.2, 0.2), P(0.95, 0.2));
        p.drawLine(P(0.95, 0.2), P(0.95, 0.45));
        p.drawLine(P(0.15, 0.62), P(0.85, 0.62));
    } else if (word == "BTN_SAVE_PROJ") {
        disk();
        frame(0.26, 0.5, 0.48, 0.3);
        p.drawLine(P(0.42, 0.5), P(0.42, 0.8));
        p.drawLine(P(0.58, 0.5), P(0.58, 0.8));
    } else if (word == "BTN_SAVE_PICT") {
        disk();
        mountain(0.2, 0.4, 0.6);
    } else if (word == "BTN_SAVE_AVI") {
        frame(0.05, 0.15, 0.9, 0.7);
        for (double x = 0.15; x < 0.9; x += 0.2) {
            p.drawPoint(P(x, 0.25));
            p.drawPoint(P(x, 0.75));
        }
        QPolygonF play;
        play << P(0.4, 0.35) << P(0.65, 0.5) << P(0.4, 0.65);
        p.drawPolygon(play);
    } else if (word == "BTN_PRINT_PICT") {
        frame(0.25, 0.05, 0.5, 0.3);
        frame(0.05, 0.35, 0.9, 0.35);
        frame(0.25, 0.6, 0.5, 0.35);
        p.drawLine(P(0.35, 0.75), P(0.65, 0.75));
        p.drawLine(P(0.35, 0.85), P(0.6, 0.85));
    } else if (word == "BTN_OPTIONS") {
        p.drawEllipse(P(0.5, 0.5), s * 0.18, s * 0.18);
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4;
            p.drawLine(P(0.5, 0.5) + QPointF(std::cos(a), std::sin(a)) * s * 0.28,
                       P(0.5, 0.5) + QPointF(std::cos(a), std::sin(a)) * s * 0.44);
        }
    } else if (word == "BTN_HELP") {
        p.setFont(font(s * 0.95, true));
        p.drawText(b, Qt::AlignCenter, "?");
    } else if (word == "BTN_ABOUT") {
        p.setFont(font(s * 0.95, true));
        p.drawText(b, Qt::AlignCenter, "i");
    } else if (word == "BTN_HOME_PAGE") {
        QPolygonF roof;
        roof << P(0.05, 0.5) << P(0.5, 0.1) << P(0.95, 0.5);
        p.drawPolyline(roof);
        QPolygonF house;
        house << P(0.18, 0.4) << P(0.18, 0.9) << P(0.82, 0.9) << P(0.82, 0.4);
        p.drawPolyline(house);
        frame(0.42, 0.6, 0.16, 0.3);
    } else if (word == "BTN_MINIMIZE") {
        p.drawLine(P(0.2, 0.75), P(0.8, 0.75));
    } else if (word == "BTN_CLOSE") {
        p.drawLine(P(0.22, 0.22), P(0.78, 0.78));
        p.drawLine(P(0.78, 0.22), P(0.22, 0.78));
    } else if (word == "BTN_PLAY" || word == "BTN_PLAY2") {
        QPolygonF play;
        play << P(0.3, 0.18) << P(0.82, 0.5) << P(0.3, 0.82);
        p.setBrush(c);
        p.drawPolygon(play);
    } else if (word == "BTN_LEFT_SCROLL" || word == "BTN_RIGHT_SCROLL") {
        const bool left = word == "BTN_LEFT_SCROLL";
        QPolygonF arrow;
        const double tip = left ? 0.2 : 0.8, back = left ? 0.75 : 0.25;
        arrow << P(back, 0.25) << P(tip, 0.5) << P(back, 0.75);
        p.setBrush(c);
        p.drawPolygon(arrow);
    } else if (word == "OP_BTN_UP_LEVEL") {
        folder();
        p.drawLine(P(0.5, 0.78), P(0.5, 0.45));
        p.drawLine(P(0.5, 0.45), P(0.36, 0.58));
        p.drawLine(P(0.5, 0.45), P(0.64, 0.58));
    } else if (word == "OP_BTN_NEW_FOLDER") {
        folder();
        p.drawLine(P(0.5, 0.48), P(0.5, 0.76));
        p.drawLine(P(0.36, 0.62), P(0.64, 0.62));
    } else if (word == "OP_BTN_INFO") {
        p.setFont(font(s * 0.8, true));
        p.drawText(b, Qt::AlignCenter, "i");
    } else if (word == "OP_BTN_READ_ONLY") {
        frame(0.22, 0.45, 0.56, 0.45);
        p.drawArc(QRectF(P(0.32, 0.12), P(0.68, 0.7)), 0, 180 * 16);
    } else if (word == "OP_BTN_BROWSE") {
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                frame(0.1 + 0.45 * i, 0.1 + 0.45 * j, 0.35, 0.35);
    }
}

// Three growing dots; the size's own dots are lit.
void symbolSize(QPainter& p, int index, const QRectF& b, const QColor& lit, const QColor& dim)
{
    const double s = b.width();
    const double radii[3] = {s * 0.07, s * 0.1, s * 0.14};
    const double xs[3] = {0.2, 0.45, 0.77};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i <= index ? lit : dim);
        p.drawEllipse(QPointF(b.left() + xs[i] * s, b.center().y()), radii[i], radii[i]);
    }
}

// The largest bold condensed face (9 px at most) whose caption fits `width`,
// set a little tighter where that makes it fit; measured at 1x, so that every
// factor letters the button alike.
QFont narrowCaptionFont(const QString& caption, double width)
{
    for (int size = 9; size > 6; --size)
        for (double spacing : {0.0, -0.5}) {
            QFont f = font(size, true, true);
            f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
            if (QFontMetricsF(f).horizontalAdvance(caption) <= width)
                return f;
        }
    return font(7, true, true);
}

struct ButtonState {
    bool down;
    bool focus;
};

QImage drawButton(const skin::ControlLayout& c, const QImage& under, ButtonState st)
{
    QImage image = under.copy();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double w = c.width, h = c.height;
    QPainterPath shape;
    if (c.shape == skin::Shape::Disc) {
        const double r = std::min(w, h) / 2.0 - 0.6;
        shape.addEllipse(QPointF(w / 2.0, h / 2.0), r, r);
    } else {
        shape = polygonPath(skin::windowPolygon(c), 0.6);
    }
    // A shadow ring on the skin makes the raised part stand out.
    if (!st.down && c.shape == skin::Shape::Disc) {
        p.setPen(QPen(QColor(0, 0, 0, 110), 1.2));
        p.drawPath(shape.translated(0.6, 0.8));
    }
    const bool selected = st.down;
    plate(p, shape, selected, st.focus);

    const QColor ink = st.focus ? kAmber : selected ? kAmberDim : kInk;
    const QPointF shift = selected ? QPointF(0.6, 0.8) : QPointF();
    p.translate(shift);
    const std::string_view word = c.word;
    if (c.kind == skin::ControlKind::Size) {
        const QRectF box(w * 0.18, h * 0.2, w * 0.64, h * 0.6);
        symbolSize(p, c.toolIndex, box, ink, selected ? QColor(60, 60, 64) : QColor(110, 112, 118));
    } else if (c.kind == skin::ControlKind::Tool) {
        const double inner = std::min(w, h) * 0.62;
        symbolTool(p, word, QRectF(w / 2 - inner / 2, h / 2 - inner / 2, inner, inner), ink);
    } else if (c.caption.empty()) {
        const double inner = c.shape == skin::Shape::Disc ? std::min(w, h) * 0.5 : std::min(w, h) * 0.62;
        symbolCommand(p, word, QRectF(w / 2 - inner / 2, h / 2 - inner / 2, inner, inner), ink);
    } else {
        const QString caption = QString::fromUtf8(c.caption.data(), int(c.caption.size()));
        p.setPen(ink);
        if (w < 45) {
            // Narrow: the caption alone, as large as fits inside the bevel.
            p.setFont(narrowCaptionFont(caption, w - 5.0));
            p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, caption);
        } else if (word.substr(0, 4) == "BTN_") {
            const double icon = std::min(h - 8.0, 18.0);
            symbolCommand(p, word, QRectF(6, (h - icon) / 2, icon, icon), ink);
            p.setPen(ink);
            QString text = caption;
            const int space = text.indexOf(' ');
            if (space > 0)
                text[space] = '\n';
            p.setFont(font(space > 0 ? 8.5 : 9.5, true, true));
            p.drawText(QRectF(icon + 9, 0, w - icon - 12, h), Qt::AlignLeft | Qt::AlignVCenter, text);
        } else {
            p.setFont(font(10, true, true));
            p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, caption);
        }
    }
    p.end();
    return asRgb(image);
}

void wheelDrum(QPainter& p, int turn)
{
    // The drum at the left: a knurled roller whose ridges move as it turns, a
    // lever over the hot spot.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF roller(8, 6, 26, 87);
    QLinearGradient g(roller.topLeft(), roller.topRight());
    g.setColorAt(0, QColor(30, 31, 34));
    g.setColorAt(0.45, QColor(118, 121, 128));
    g.setColorAt(1, QColor(26, 27, 30));
    QPainterPath body;
    body.addRoundedRect(roller, 6, 6);
    p.fillPath(body, g);
    p.setClipPath(body);
    for (int k = -2; k < 14; ++k) {
        // Ridges 8 pixels apart, moving 3 pixels per frame.
        const double y = roller.top() + k * 8 + (turn * 3) % 8;
        const double shade = std::sin((y - roller.top()) / roller.height() * std::numbers::pi);
        p.setPen(QPen(QColor(0, 0, 0, int(60 + 80 * shade)), 1.6));
        p.drawLine(QPointF(roller.left(), y), QPointF(roller.right(), y));
    }
    p.setClipping(false);
    p.setPen(QPen(kRim, 1));
    p.drawPath(body);
    // Lever slot over the hot spot.
    const QRectF slot(skin::kWheelHotSpot.x - 2, skin::kWheelHotSpot.y - 2, skin::kWheelHotSpot.width + 4,
                      skin::kWheelHotSpot.height + 4);
    well(p, slot, QColor(10, 10, 12), 3);
    const double leverY = skin::kWheelHotSpot.y + 4 + (skin::kWheelHotSpot.height - 12) * turn / 8.0;
    QPainterPath lever;
    lever.addRoundedRect(QRectF(skin::kWheelHotSpot.x, leverY, skin::kWheelHotSpot.width, 8), 2, 2);
    QLinearGradient lg(0, leverY, 0, leverY + 8);
    lg.setColorAt(0, kAmber.lighter(120));
    lg.setColorAt(1, kAmber.darker(170));
    p.fillPath(lever, lg);
    p.setPen(QPen(kRim, 0.8));
    p.drawPath(lever);
    p.restore();
}

QImage filmFace()
{
    QImage image = rgbImage(skin::kFilmPanel.width, skin::kFilmPanel.height, kGraphite);
    brush(image, 81);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The strip of film with its sprocket holes.
    const QRectF film(58, 6, 290, 87);
    p.fillRect(film, QColor(20, 16, 14));
    p.setPen(QPen(QColor(0, 0, 0), 1));
    p.drawRect(film.adjusted(-0.5, -0.5, 0.5, 0.5));
    p.setPen(Qt::NoPen);
    for (double x = film.left() + 4; x < film.right() - 6; x += 11) {
        p.setBrush(QColor(90, 84, 76));
        p.drawRoundedRect(QRectF(x, 9, 6, 7), 1.5, 1.5);
        p.drawRoundedRect(QRectF(x, 84, 6, 7), 1.5, 1.5);
    }
    well(p, QRectF(skin::kKeyStrip.x, skin::kKeyStrip.y, skin::kKeyStrip.width, skin::kKeyStrip.height),
         QColor(0, 0, 0), 1);
    // Frame lines between the three key places.
    p.setPen(QPen(QColor(60, 52, 44), 1));
    for (int i = 1; i < 3; ++i) {
        const double x = skin::kKeyStrip.x + i * skin::kKeyStrip.width / 3.0;
        p.drawLine(QPointF(x, 18), QPointF(x, 20));
        p.drawLine(QPointF(x, 84), QPointF(x, 86));
    }
    // Socket of the Play button.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(QPointF(383.5, 53.5), 23, 23);
    engrave(p, QRectF(352, 78, 64, 14), "Abspielen", font(8, true, true), Qt::AlignCenter);
    engrave(p, QRectF(352, 6, 64, 14), "Filmstreifen", font(8, true, true), Qt::AlignCenter);
    return image;
}

QImage sliderFace()
{
    QImage image = rgbImage(skin::kFilmPanel.width, skin::kFilmPanel.height, kGraphite.darker(108));
    brush(image, 97);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const skin::SliderLayout& s : skin::sliders()) {
        const double cy = s.offset.y + skin::kKnobHeight / 2.0;
        const double x0 = skin::kSliderTrackLeft, x1 = skin::kSliderTrackRight + skin::kKnobWidth;
        well(p, QRectF(x0 + 4, cy - 3, x1 - x0 - 8, 6), QColor(6, 6, 7), 3);
        // Ticks every eight steps of the value.
        p.setPen(QPen(QColor(150, 152, 158, 140), 1));
        for (int v = 0; v <= 64; v += 8) {
            const double x = x0 + skin::kKnobWidth / 2.0 + v * 3.0;
            p.drawLine(QPointF(x, cy - 10), QPointF(x, cy - 7));
            p.drawLine(QPointF(x, cy + 7), QPointF(x, cy + 10));
        }
        engrave(p, QRectF(x1 + 2, cy - 7, 58, 14), QString::fromUtf8(s.label.data(), int(s.label.size())),
                font(8.5, true, true), Qt::AlignLeft | Qt::AlignVCenter, QColor(196, 170, 128));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(QPointF(378.5, 61.5), 23, 23);
    engrave(p, QRectF(346, 6, 70, 14), "Abspielen", font(8, true, true), Qt::AlignCenter);
    return image;
}

} // namespace

void setFactor(int factor)
{
    g_factor = std::clamp(factor, 1, 8);
}

int factor()
{
    return g_factor;
}

bool loadFonts()
{
    const char* folder = "/usr/share/fonts/truetype/dejavu/";
    bool ok = true;
    for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansCondensed.ttf",
                             "DejaVuSansCondensed-Bold.ttf"}) {
        const int id = QFontDatabase::addApplicationFont(QString(folder) + file);
        if (id < 0) {
            std::fprintf(stderr, "knetix_artgen: font %s%s is missing (package fonts-dejavu-core)\n", folder, file);
            ok = false;
        }
    }
    return ok;
}

QFont font(double pixelSize, bool bold, bool condensed)
{
    QFont f(QString::fromLatin1(condensed ? kCondensed : kSans));
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QImage drawSkin()
{
    QImage image = rgbImage(skin::kSkinWidth, skin::kSkinHeight, kGraphite);
    brush(image, 7);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Outer bevel of the whole bench.
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(QPointF(1.5, 1.5), QPointF(638.5, 1.5));
    p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 478.5));
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.drawLine(QPointF(1.5, 478.5), QPointF(638.5, 478.5));
    p.drawLine(QPointF(638.5, 1.5), QPointF(638.5, 478.5));

    // Trays behind the control groups.
    auto tray = [&](const QRectF& r) {
        QPainterPath path;
        path.addRoundedRect(r, 8, 8);
        p.fillPath(path, QColor(0, 0, 0, 45));
        p.setPen(QPen(QColor(0, 0, 0, 140), 1));
        p.drawPath(path);
        p.setPen(QPen(QColor(255, 255, 255, 30), 1));
        p.drawPath(path.translated(0.8, 1));
    };
    tray(QRectF(3, 48, 100, 228));   // tools and sizes
    tray(QRectF(14, 372, 56, 50));   // brush
    tray(QRectF(97, 248, 94, 212));  // file commands
    tray(QRectF(570, 66, 66, 192));  // help, about, home page

    // The canvas place: a recessed black well.
    const QRectF canvas(skin::kCanvas.x, skin::kCanvas.y, skin::kCanvas.width, skin::kCanvas.height);
    for (int i = 6; i > 0; --i) {
        p.setPen(QPen(QColor(0, 0, 0, 30), 1));
        p.drawRoundedRect(canvas.adjusted(-i, -i, i, i), 4 + i, 4 + i);
    }
    well(p, canvas, QColor(0, 0, 0), 2);
    // The tool display place.
    well(p, QRectF(skin::kToolDisplayFrame.x, skin::kToolDisplayFrame.y, skin::kToolDisplayFrame.width,
                   skin::kToolDisplayFrame.height),
         QColor(18, 18, 20), 2);
    // The filmstrip panel sits in a slot.
    p.fillRect(QRectF(skin::kFilmPanel.x, skin::kFilmPanel.y, skin::kFilmPanel.width, skin::kFilmPanel.height),
               QColor(10, 10, 12));

    // Name plate.
    engrave(p, QRectF(10, 6, 96, 34), "Knetix", font(24, true), Qt::AlignLeft | Qt::AlignVCenter,
            QColor(214, 156, 64));
    engrave(p, QRectF(125, 70, 120, 14), "Werkzeug", font(8.5, true, true), Qt::AlignLeft,
            QColor(140, 142, 148));
    engrave(p, QRectF(104, 236, 90, 14), "Dateien", font(8.5, true, true), Qt::AlignLeft,
            QColor(140, 142, 148));
    for (QPointF s : {QPointF(8, 8), QPointF(632, 8), QPointF(632, 470), QPointF(8, 470), QPointF(560, 8),
                      QPointF(180, 8), QPointF(603, 300), QPointF(603, 440)})
        screw(p, s);
    // Vent grille on the right.
    for (int i = 0; i < 9; ++i)
        well(p, QRectF(585, 320 + i * 12, 36, 4), QColor(8, 8, 9), 2);
    p.end();
    return image;
}

void drawControl(const skin::ControlLayout& c, const QImage& background, const PictureSink& sink)
{
    const QImage under = logicalCopy(background, c.offset.x, c.offset.y, c.width, c.height);
    const std::vector<std::string> names = skin::pictureNames(c);
    switch (c.kind) {
    case skin::ControlKind::Command:
        sink(names[0], drawButton(c, under, {false, false}));
        sink(names[1], drawButton(c, under, {true, false}));
        if (!c.focusIsUp)
            sink(names[2], drawButton(c, under, {false, true}));
        break;
    case skin::ControlKind::Tool:
    case skin::ControlKind::Size:
    case skin::ControlKind::Toggle:
        sink(names[0], drawButton(c, under, {false, false}));
        sink(names[1], drawButton(c, under, {true, false}));
        sink(names[2], drawButton(c, under, {true, true}));
        sink(names[3], drawButton(c, under, {false, true}));
        break;
    case skin::ControlKind::Latch:
        sink(names[0], drawButton(c, under, {false, false}));
        sink(names[1], drawButton(c, under, {true, false}));
        sink(names[2], drawButton(c, under, {true, true}));
        sink(names[3], drawButton(c, under, {false, true}));
        break;
    case skin::ControlKind::ToolDisplay:
        break;
    }
}

std::vector<QImage> drawWheelFrames()
{
    const QImage film = filmFace();
    const QImage sliders = sliderFace();
    const int w = skin::kFilmPanel.width, h = skin::kFilmPanel.height;
    const int n = skin::kWheelFrames;
    std::vector<QImage> frames;
    for (int i = 0; i < n; ++i) {
        // The drum turns up: the filmstrip face leaves at the top while the
        // slider face comes up from below, both foreshortened by the curve.
        QImage frame = rgbImage(w, h, Qt::black);
        // How far the faces have rolled up, eased like a drum that starts and
        // stops; darker towards the seam and the edges while it turns. In
        // pixel rows of the factor being drawn.
        const int rows = frame.height();
        const double phase = double(i) / (n - 1);
        const int rolled = int(std::lround(rows * (1 - std::cos(std::numbers::pi * phase)) / 2));
        const double motion = std::sin(std::numbers::pi * phase);
        for (int y = 0; y < rows; ++y) {
            const int source = y + rolled;
            const QImage& face = source < rows ? film : sliders;
            const int sy = source < rows ? source : source - rows;
            const double edge = std::abs((y + 0.5) / rows * 2 - 1);
            const double seam = std::abs(y - (rows - rolled)) / double(rows);
            const double shade = 1.0 - motion * (0.45 * edge * edge + 0.5 * std::max(0.0, 0.25 - seam) * 4);
            const uchar* in = face.constScanLine(sy);
            uchar* out = frame.scanLine(y);
            for (int x = 0; x < frame.width() * 3; ++x)
                out[x] = uchar(std::clamp(in[x] * shade, 0.0, 255.0));
        }
        QPainter p(&frame);
        // The drum and its lever do not roll with the faces.
        const QImage left = logicalCopy(i < n / 2 ? film : sliders, 0, 0, 56, h);
        p.drawImage(0, 0, left);
        wheelDrum(p, i);
        p.setPen(QPen(QColor(0, 0, 0, 200), 1));
        p.drawLine(56, 0, 56, h);
        p.end();
        frames.push_back(frame);
    }
    return frames;
}

QImage drawKnob(const skin::SliderLayout&)
{
    const int w = skin::kKnobWidth, h = skin::kKnobHeight;
    QImage mask = rgbImage(w, h, QColor(skin::kMaskClear, skin::kMaskClear, skin::kMaskClear));
    QPainterPath body;
    body.addRoundedRect(QRectF(1, 1, w - 4, h - 4), 4, 4);
    {
        QPainter p(&mask);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(skin::kMaskShadow, skin::kMaskShadow, skin::kMaskShadow));
        p.drawPath(body.translated(2, 2));
        p.setBrush(QColor(skin::kMaskOpaque, skin::kMaskOpaque, skin::kMaskOpaque));
        p.drawPath(body);
    }
    QImage face = rgbImage(w, h, Qt::black);
    {
        QPainter p(&face);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 1, 0, h - 3);
        g.setColorAt(0, QColor(170, 173, 180));
        g.setColorAt(0.5, QColor(98, 101, 108));
        g.setColorAt(1, QColor(52, 54, 58));
        p.fillPath(body, g);
        p.setPen(QPen(QColor(255, 255, 255, 90), 1));
        p.drawLine(QPointF(5, 2.5), QPointF(w - 8, 2.5));
        // Grip lines and the amber index mark.
        p.setPen(QPen(QColor(30, 30, 34), 1));
        for (double x : {8.5, 11.5, 22.5, 25.5})
            p.drawLine(QPointF(x, 6), QPointF(x, h - 8));
        p.setPen(QPen(kAmber, 2));
        p.drawLine(QPointF(16.5, 5), QPointF(16.5, h - 7));
        p.setPen(QPen(kRim, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(body);
    }
    // The face must be black wherever the mask lets the background through.
    for (int y = 0; y < face.height(); ++y) {
        const uchar* m = mask.constScanLine(y);
        uchar* f = face.scanLine(y);
        for (int x = 0; x < face.width(); ++x)
            if (m[3 * x] != skin::kMaskOpaque)
                f[3 * x] = f[3 * x + 1] = f[3 * x + 2] = 0;
    }
    QImage knob = rgbImage(2 * w, h, Qt::black);
    QPainter p(&knob);
    p.drawImage(0, 0, mask);
    p.drawImage(w, 0, face);
    p.end();
    return knob;
}

QImage drawTipEnd(bool left)
{
    const int w = left ? skin::kTipLeftWidth : skin::kTipRightWidth;
    const int h = skin::kTipHeight;
    QImage image = rgbImage(w, h, QColor(40, 42, 46));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A rounded cap of the light grey body, with a small pointer below the left end.
    QPainterPath cap;
    if (left) {
        cap.addRoundedRect(QRectF(1, 5, w + 8, 17), 8, 8);
        QPolygonF pointer;
        pointer << QPointF(6, 20) << QPointF(3, 27) << QPointF(13, 20);
        cap.addPolygon(pointer);
    } else {
        cap.addRoundedRect(QRectF(-9, 5, w + 7, 17), 8, 8);
    }
    cap = cap.simplified();
    p.fillPath(cap, QColor(192, 192, 192));
    p.setPen(QPen(QColor(120, 120, 124), 1));
    p.drawPath(cap);
    p.end();
    return asIndexed(image);
}

QImage drawSplash()
{
    // A small landscape with a grid over it, warped by the tools.
    QImage scene = rgbImage(skin::kSplashWidth, skin::kSplashHeight, Qt::black);
    {
        QPainter p(&scene);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, 200);
        sky.setColorAt(0, QColor(28, 40, 78));
        sky.setColorAt(1, QColor(236, 140, 70));
        p.fillRect(QRect(0, 0, 400, 200), sky);
        p.setBrush(QColor(255, 214, 110));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(290, 150), 40, 40);
        QPainterPath hills;
        hills.moveTo(0, 300);
        hills.lineTo(0, 200);
        hills.cubicTo(80, 150, 150, 230, 220, 190);
        hills.cubicTo(290, 150, 340, 200, 400, 180);
        hills.lineTo(400, 300);
        p.fillPath(hills, QColor(40, 70, 50));
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        for (int x = 0; x < 400; x += 20)
            p.drawLine(x, 0, x, 300);
        for (int y = 0; y < 300; y += 20)
            p.drawLine(0, y, 400, y);
    }
    QImage image = warpedPicture(scene);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath title;
    const QFont f = font(84, true);
    title.addText(0, 0, f, "Knetix");
    const QRectF tb = title.boundingRect();
    title.translate(200 - tb.center().x(), 120 - tb.center().y());
    p.strokePath(title.translated(3, 4), QPen(QColor(0, 0, 0, 150), 6));
    QLinearGradient g(0, title.boundingRect().top(), 0, title.boundingRect().bottom());
    g.setColorAt(0, QColor(255, 220, 140));
    g.setColorAt(1, QColor(214, 120, 30));
    p.fillPath(title, g);
    p.strokePath(title, QPen(QColor(30, 20, 10), 1.5));
    p.setFont(font(14, true));
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(QRectF(1, 251, 400, 20), Qt::AlignCenter, "Bilder verformen wie Knetmasse");
    p.setPen(QColor(250, 240, 220));
    p.drawText(QRectF(0, 250, 400, 20), Qt::AlignCenter, "Bilder verformen wie Knetmasse");
    p.setPen(QPen(QColor(255, 176, 52), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, 398, 298));
    p.end();
    return asRgb(image);
}

QImage drawDialog(const QString& title)
{
    QImage image = rgbImage(skin::kDialogWidth, skin::kDialogHeight, QColor(0, 0, 0));
    QImage metal = rgbImage(skin::kDialogWidth, skin::kDialogHeight, kGraphite);
    brush(metal, 29);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = polygonPath(skin::dialogWindowPolygon(), 0.5);
    p.setClipPath(outline);
    p.drawImage(0, 0, metal);
    p.setClipping(false);
    p.strokePath(outline, QPen(QColor(255, 255, 255, 60), 2));
    p.strokePath(outline, QPen(kRim, 1));
    auto box = [](const skin::Box& b) { return QRectF(b.x, b.y, b.width, b.height); };
    well(p, box(skin::kDialogList).adjusted(-3, -3, 3, 3), QColor(255, 255, 255), 2);
    well(p, box(skin::kDialogNameEdit).adjusted(-3, -3, 3, 3), QColor(255, 255, 255), 2);
    well(p, box(skin::kDialogTypeCombo).adjusted(-3, -3, 3, 3), QColor(192, 192, 192), 2);
    well(p, box(skin::kDialogFolderCombo).adjusted(-3, -3, 3, 3), QColor(192, 192, 192), 2);
    well(p, QRectF(skin::kDialogScrollBar.x - 2, skin::kDialogScrollBar.y - 2, skin::kScrollBarWidth + 4,
                   skin::kScrollBarHeight + 4),
         QColor(10, 10, 12), 3);
    engrave(p, QRectF(55, 213, 120, 13), "Dateiname", font(9, true, true), Qt::AlignLeft, QColor(170, 172, 178));
    engrave(p, QRectF(54, 247, 120, 11), "Dateityp", font(9, true, true), Qt::AlignLeft, QColor(170, 172, 178));
    engrave(p, QRectF(54, 286, 260, 26), title, font(18, true), Qt::AlignLeft | Qt::AlignVCenter,
            QColor(214, 156, 64));
    for (QPointF s : {QPointF(20, 20), QPointF(370, 20), QPointF(20, 305), QPointF(370, 305)})
        screw(p, s);
    p.end();
    return image;
}

QImage drawComboButton()
{
    QImage image = rgbImage(16, 16, QColor(192, 192, 192));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
    plate(p, shape, false, false);
    QPolygonF arrow;
    arrow << QPointF(4, 6) << QPointF(12, 6) << QPointF(8, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPolygon(arrow);
    p.end();
    return image;
}

QImage drawScrollBackground()
{
    QImage image = rgbImage(skin::kScrollBarWidth, skin::kScrollBarHeight, QColor(24, 25, 28));
    brush(image, 55, 3);
    QPainter p(&image);
    well(p, QRectF(12, 4, 6, skin::kScrollBarHeight - 8), QColor(4, 4, 5), 3);
    p.setPen(QPen(QColor(90, 92, 98), 1));
    for (int y = 8; y < skin::kScrollBarHeight - 6; y += 18) {
        p.drawLine(4, y, 8, y);
        p.drawLine(22, y, 26, y);
    }
    p.end();
    return image;
}

QImage drawThumb()
{
    QImage image = rgbImage(skin::kThumbWidth, skin::kThumbHeight, QColor(24, 25, 28));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = polygonPath(skin::thumbPolygon(), 0.5);
    plate(p, shape, false, false);
    p.setPen(QPen(QColor(30, 30, 34), 1));
    for (double y : {12.5, 16.5, 20.5, 24.5})
        p.drawLine(QPointF(8, y), QPointF(22, y));
    p.setPen(QPen(kAmber, 1.5));
    p.drawLine(QPointF(6, 18.5), QPointF(24, 18.5));
    p.end();
    return asIndexed(image);
}

QImage drawIcon(int32_t id, int32_t size)
{
    QImage image(size * g_factor, size * g_factor, QImage::Format_ARGB32);
    image.setDevicePixelRatio(g_factor);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(size) / skin::kIconSize, double(size) / skin::kIconSize);
    const QColor ink(40, 40, 44);
    p.setPen(symbolPen(ink, 1.5));
    switch (id) {
    case 128: { // the program: a bent grid on a graphite disc
        p.setBrush(kGraphite);
        p.drawEllipse(QRectF(1, 1, 30, 30));
        p.setPen(symbolPen(kAmber, 1.3));
        for (int i = 0; i < 4; ++i) {
            QPainterPath wave;
            wave.moveTo(7, 9 + i * 5);
            wave.cubicTo(13, 4 + i * 5 + 6, 19, 14 + i * 5 - 6, 25, 9 + i * 5);
            p.drawPath(wave);
        }
        break;
    }
    case 5: { // folder
        QPolygonF f;
        f << QPointF(2, 8) << QPointF(12, 8) << QPointF(15, 11) << QPointF(30, 11) << QPointF(30, 27)
          << QPointF(2, 27);
        p.setBrush(QColor(240, 196, 84));
        p.drawPolygon(f);
        break;
    }
    case 6: { // removable disk
        QPolygonF d;
        d << QPointF(4, 3) << QPointF(25, 3) << QPointF(29, 7) << QPointF(29, 29) << QPointF(4, 29);
        p.setBrush(QColor(70, 90, 140));
        p.drawPolygon(d);
        p.setBrush(QColor(220, 220, 224));
        p.drawRect(QRectF(9, 3, 13, 8));
        p.drawRect(QRectF(8, 17, 17, 12));
        break;
    }
    case 9:   // fixed disk
    case 10: { // remote disk
        p.setBrush(QColor(170, 172, 178));
        p.drawRoundedRect(QRectF(2, 10, 28, 12), 3, 3);
        p.setBrush(QColor(60, 200, 90));
        p.drawEllipse(QPointF(24, 16), 1.8, 1.8);
        if (id == 10) {
            p.drawLine(QPointF(16, 22), QPointF(16, 29));
            p.drawLine(QPointF(6, 29), QPointF(26, 29));
        }
        break;
    }
    case 12: { // CD-ROM
        QRadialGradient g(16, 16, 14);
        g.setColorAt(0, QColor(240, 240, 250));
        g.setColorAt(0.6, QColor(190, 200, 230));
        g.setColorAt(1, QColor(230, 190, 230));
        p.setBrush(g);
        p.drawEllipse(QRectF(2, 2, 28, 28));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 16), 4, 4);
        break;
    }
    default: { // the computer
        p.setBrush(QColor(200, 202, 208));
        p.drawRoundedRect(QRectF(3, 3, 26, 19), 2, 2);
        p.setBrush(QColor(40, 80, 130));
        p.drawRect(QRectF(6, 6, 20, 13));
        p.setBrush(QColor(200, 202, 208));
        p.drawRect(QRectF(10, 25, 12, 4));
        p.drawLine(QPointF(16, 22), QPointF(16, 25));
        break;
    }
    }
    p.end();
    return image;
}

QImage drawContactSheet(const std::vector<std::pair<std::string, QImage>>& pictures)
{
    const int width = 1500, pad = 10, label = 14;
    // Lay out first, then paint, so the sheet gets its exact height.
    struct Place {
        QPoint at;
        QSize size;
    };
    std::vector<Place> places;
    int x = pad, y = pad, rowHeight = 0;
    for (const auto& [name, image] : pictures) {
        const QSize logical = image.deviceIndependentSize().toSize();
        const QSize size = logical.width() > 400 ? logical / 2 : logical;
        const QFontMetrics fm(font(9));
        const int cellWidth = std::max(size.width(), fm.horizontalAdvance(QString::fromStdString(name)));
        if (x + cellWidth > width - pad) {
            x = pad;
            y += rowHeight + label + pad;
            rowHeight = 0;
        }
        places.push_back({QPoint(x, y), size});
        x += cellWidth + pad;
        rowHeight = std::max(rowHeight, size.height());
    }
    QImage sheet = rgbImage(width, y + rowHeight + label + pad, QColor(86, 88, 92));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setFont(font(9));
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Place& pl = places[i];
        p.drawImage(QRect(pl.at, pl.size), pictures[i].second);
        p.setPen(QColor(240, 240, 240));
        p.drawText(QPoint(pl.at.x(), pl.at.y() + pl.size.height() + 11), QString::fromStdString(pictures[i].first));
    }
    p.end();
    return sheet;
}

QImage drawPanelPreview(const std::map<std::string, QImage>& pictures)
{
    QImage preview = pictures.at("MAIN_WND").copy();
    QPainter p(&preview);
    auto place = [&](const skin::ControlLayout& c, QPoint origin) {
        QPolygon window;
        for (const skin::Point& pt : skin::windowPolygon(c))
            window << QPoint(pt.x, pt.y);
        const QPoint at = origin + QPoint(c.offset.x, c.offset.y);
        p.setClipRegion(QRegion(window.translated(at)));
        const std::string name = c.kind == skin::ControlKind::ToolDisplay ? skin::toolDisplayFrameName(0, 0, 0)
                                                                          : skin::pictureNames(c)[0];
        p.drawImage(at, pictures.at(name));
        p.setClipping(false);
    };
    for (const skin::ControlLayout& c : skin::mainPanelControls())
        place(c, QPoint());
    const QPoint panel(skin::kFilmPanel.x, skin::kFilmPanel.y);
    p.drawImage(panel, pictures.at("WHEEL_0"));
    for (const skin::ControlLayout& c : skin::filmPanelControls())
        if (c.member != "Play2")
            place(c, panel);
    p.end();
    return preview;
}

QImage drawSliderPanelPreview(const std::map<std::string, QImage>& pictures)
{
    // The filmstrip panel turned to its slider face, knobs at 64, 32 and 16,
    // composited the way the knobs do it: black where the mask is 0, darker
    // where it is the shadow value, then the face ORed on.
    QImage panel = pictures.at("WHEEL_8").convertToFormat(QImage::Format_RGB888);
    const int f = factorOf(panel);
    const int values[] = {32, 16, 64};
    int i = 0;
    for (const skin::SliderLayout& s : skin::sliders()) {
        const QImage knob = pictures.at(QString::fromUtf8(s.base.data(), int(s.base.size())).toUpper().toStdString() + "U")
                                .convertToFormat(QImage::Format_RGB888);
        const int left = (skin::kSliderTrackLeft + values[i++] * 3) * f;
        const int knobWidth = skin::kKnobWidth * f;
        for (int y = 0; y < skin::kKnobHeight * f; ++y) {
            const uchar* k = knob.constScanLine(y);
            uchar* o = panel.scanLine(s.offset.y * f + y);
            for (int x = 0; x < knobWidth; ++x) {
                uchar* px = o + 3 * (left + x);
                const uchar m = k[3 * x];
                if (m == skin::kMaskOpaque)
                    px[0] = px[1] = px[2] = 0;
                else if (m == skin::kMaskShadow)
                    for (int c = 0; c < 3; ++c)
                        px[c] = uchar(std::max(0, px[c] - 30));
                for (int c = 0; c < 3; ++c)
                    px[c] |= k[3 * (knobWidth + x) + c];
            }
        }
    }
    QPainter p(&panel);
    const skin::ControlLayout& play2 = *skin::findControl("Play2");
    QPolygon window;
    for (const skin::Point& pt : skin::windowPolygon(play2))
        window << QPoint(pt.x, pt.y);
    p.setClipRegion(QRegion(window.translated(play2.offset.x, play2.offset.y)));
    p.drawImage(play2.offset.x, play2.offset.y, pictures.at("BTN_PLAY2_U"));
    p.end();
    return panel;
}

} // namespace knetix::art
