#pragma once
// The German texts of the statuses the document, batch mode and the file code
// return: made here, in one place, for the windows and for batch mode's
// printing. Texts of the string table come from it; "%1" there is the file.

#include "document/Batch.h"
#include "document/Document.h"
#include "files/archive/Archive.h"

#include <string>

namespace knetix {

// The text for a document status; empty for None and Cancelled (nothing to show).
std::string messageText(const DocumentStatus& status);
// A failure's text, or a success's warning; empty when there is nothing to show.
std::string messageText(const Outcome& outcome);

// The text for a script line that could not be carried out.
std::string batchMessage(const BatchFailure& failure);
// What batch mode prints about a script: "SCRIPT, Zeile N: text", and the
// complaint about a script it cannot open.
std::string batchFailureLine(const std::string& scriptPath, const BatchFailure& failure);
std::string scriptNotOpenedMessage(const std::string& scriptPath);

// A file that could not be opened, read or written, by its errno.
std::string fileErrorMessage(int error, const std::string& fileName, bool writing);
// A damaged project file.
std::string archiveMessage(ArchiveError::Kind kind, const std::string& fileName);

} // namespace knetix
