#include "app/ui/Printing.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace knetix {

PrintPlacement printPlacement(QSize printable, QSize picture)
{
    PrintPlacement p;
    const int w = picture.width(), h = picture.height();
    const int cw = printable.width(), ch = printable.height();
    if (w <= 0 || h <= 0 || cw <= 0 || ch <= 0)
        return p;
    p.scale = std::min(cw / w, ch / h) * 7 / 8;
    if (p.scale > 0) {
        const int pw = p.scale * w, ph = p.scale * h;
        p.target = QRect((cw - pw) / 2, (ch - ph) / 2, pw, ph);
        return p;
    }
    // Too small for the whole-scale rule: the largest size of the same shape.
    p.fitted = true;
    int pw = cw, ph = int(int64_t(cw) * h / w);
    if (ph > ch) {
        ph = ch;
        pw = int(int64_t(ch) * w / h);
    }
    pw = std::max(pw, 1);
    ph = std::max(ph, 1);
    p.target = QRect((cw - pw) / 2, (ch - ph) / 2, pw, ph);
    return p;
}

bool printLandscape(QSize picture)
{
    return picture.height() <= picture.width();
}

bool printPicture(QPrinter& printer, const QImage& picture)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Without this a PDF would carry the picture as JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    const QRect area = painter.viewport(); // the printable area, from (0, 0)
    const PrintPlacement placement = printPlacement(area.size(), picture.size());
    if (!placement.target.isEmpty())
        painter.drawImage(placement.target, picture);
    return painter.end();
}

} // namespace knetix
