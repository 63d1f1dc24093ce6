#pragma once
// Batch mode as the program runs it: a script file against a new document,
// a failure printed in German.

#include <ostream>
#include <string>

namespace knetix {

// Runs a script file and reports a failure on `err` as
// "knetix: SCRIPT, Zeile N: text". Returns the exit status: 0 success, 1 failure.
int runBatchFile(const std::string& scriptPath, std::ostream& err);

} // namespace knetix
