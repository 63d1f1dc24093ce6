#include "qtbridge/QtBridge.h"

#include <QPainter>

namespace knetix {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string ss(const QString& text)
{
    return text.toStdString();
}

QRect toQRect(const Rect& r)
{
    return QRect(r.left, r.top, r.width(), r.height());
}

namespace {

QImage storedRows(const uint8_t* bits, int32_t width, int32_t height, int32_t stride)
{
    return QImage(bits, width, height, stride, QImage::Format_BGR888);
}

} // namespace

QImage uprightImage(const uint8_t* bits, int32_t width, int32_t height, int32_t stride)
{
    if (!bits || width <= 0 || height <= 0)
        return {};
    // mirrored() makes the copy, so the result outlives the rows.
    return storedRows(bits, width, height, stride).mirrored(false, true);
}

QImage uprightImage(const Bitmap24View& view)
{
    return uprightImage(view.bits, view.width, view.height, view.stride);
}

void drawBottomUp(QPainter& painter, QPoint at, const uint8_t* bits, int32_t width, int32_t height,
                  int32_t stride, int32_t pixelRatio)
{
    if (!bits || width <= 0 || height <= 0 || pixelRatio < 1)
        return;
    QImage rows = storedRows(bits, width, height, stride);
    rows.setDevicePixelRatio(pixelRatio);
    painter.save();
    painter.translate(at.x(), at.y() + qreal(height) / pixelRatio);
    painter.scale(1, -1);
    painter.drawImage(QPointF(0, 0), rows);
    painter.restore();
}

} // namespace knetix
