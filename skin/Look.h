#pragma once
// The look of everything that is not skin artwork: message boxes, menus, the
// compressor, print, scan and source dialogs, the help window. Qt's Fusion
// style in the skin's graphite and amber, with a small style sheet.

#include <QPalette>
#include <QString>

class QApplication;

namespace knetix {

// The skin's colours as a palette: graphite faces, light ink, amber selection.
QPalette programPalette();
// What the palette cannot say: tooltips framed in amber.
QString programStyleSheet();
// Fusion, the palette and the style sheet for the whole program.
void applyProgramLook(QApplication& app);

} // namespace knetix
