#pragma once
// Between the program's plain types and Qt's: text, rectangles and the 24-bit
// bottom-up pictures the engine and the files keep. Every widget that shows
// one of them goes through here.

#include "container/Dib.h"
#include "engine/OffsetCell.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

class QPainter;

namespace knetix {

// Our strings are UTF-8 throughout.
QString qs(std::string_view text);
std::string ss(const QString& text);

QRect toQRect(const Rect& r);

// A bottom-up picture of blue, green, red rows turned upright, as a copy that
// owns its pixels.
QImage uprightImage(const uint8_t* bits, int32_t width, int32_t height, int32_t stride);
QImage uprightImage(const Bitmap24View& view);

// Draws such a picture upright with its top-left corner at `at`, without a
// copy: the painter turns the rows over as it draws them. With a pixel ratio
// r the picture's r x r pixels make one point (a canvas drawn sharp at the
// interface's scale).
void drawBottomUp(QPainter& painter, QPoint at, const uint8_t* bits, int32_t width, int32_t height,
                  int32_t stride, int32_t pixelRatio = 1);

} // namespace knetix
