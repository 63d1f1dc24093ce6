#pragma once
// The skin's colours: the artwork is drawn in them, and the program's palette
// for the standard dialogs takes them from here too.

#include <QColor>

namespace knetix::skincolours {

inline const QColor kGraphite(47, 49, 53); // the metal faces
inline const QColor kAmber(255, 176, 52);  // lit marks, the selection
inline const QColor kAmberDim(196, 140, 62);
inline const QColor kInk(226, 228, 232); // engraved text and symbols
inline const QColor kInkDown(150, 152, 158);
inline const QColor kRim(14, 14, 16);

} // namespace knetix::skincolours
