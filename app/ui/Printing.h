#pragma once
// Printing the displayed picture on one page: landscape for a picture at least
// as wide as high, the largest whole scale that fits, taken 7/8, centred.

#include <QImage>
#include <QRect>
#include <QSize>

class QPrinter;

namespace knetix {

struct PrintPlacement {
    int scale = 0;       // whole device pixels per picture pixel; 0 when fitted
    QRect target;        // in the printable area, whose top-left is (0, 0)
    bool fitted = false; // the area was too small for scale 1 after the 7/8
};

// Where a w x h picture goes on a printable area. Where the whole-scale rule
// gives 0 (an area under twice the picture) the picture is scaled to fit,
// keeping its shape, instead of leaving the page empty.
PrintPlacement printPlacement(QSize printable, QSize picture);

// Landscape when the picture is not higher than wide.
bool printLandscape(QSize picture);

// Prints the picture on one page of a printer set up by the caller, its
// orientation already chosen. False when the printer cannot start.
bool printPicture(QPrinter& printer, const QImage& picture);

} // namespace knetix
