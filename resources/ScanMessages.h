#pragma once
// The German texts of scanning: what the windows show for a scan status, a
// SANE status code and a scan mode.

#include "files/scan/ScanStatus.h"

#include <string>
#include <string_view>

namespace knetix {

// The message for a status; empty for one that is ok.
std::string scanMessage(const ScanStatus& status);

// The text for a SANE status code, with the number for a code we do not know.
std::string saneStatusMessage(int status);

// "Farbe", "Graustufen", "Strichzeichnung"
std::string_view scanModeName(ScanMode mode);

} // namespace knetix
