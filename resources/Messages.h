#pragma once
// The German texts of the statuses that batch mode returns: made here, in one
// place, for batch mode's printing.

#include "document/Batch.h"

#include <string>

namespace knetix {

// The text for a script line that could not be carried out.
std::string batchMessage(const BatchFailure& failure);
// What batch mode prints about a script: "SCRIPT, Zeile N: text", and the
// complaint about a script it cannot open.
std::string batchFailureLine(const std::string& scriptPath, const BatchFailure& failure);
std::string scriptNotOpenedMessage(const std::string& scriptPath);

} // namespace knetix
