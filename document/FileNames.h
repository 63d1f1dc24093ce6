#pragma once
// File names chosen in the save dialogs.

#include <string>

namespace knetix {

// Appends the extension of the chosen file type's pattern ("*.KNX" gives
// ".KNX") when the chosen name's own extension differs, case-insensitively:
// "bild" and "bild.bmp" saved as a project become "bild.KNX" and
// "bild.bmp.KNX"; "bild.knx" stays.
std::string completeFileName(const std::string& chosenPath, const std::string& pattern);

} // namespace knetix
