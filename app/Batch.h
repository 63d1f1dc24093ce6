#pragma once
// Batch mode: a script of commands run against a document with no window.
// One command per line; '#' at the start of a word starts a comment.

#include "app/Document.h"

#include <istream>
#include <memory>
#include <optional>
#include <string>

namespace knetix {

struct BatchFailure {
    int line = 0;
    std::string message;
};

class BatchRunner {
public:
    // Runs the script to its end or to the first line that cannot be carried
    // out; nothing on success.
    std::optional<BatchFailure> run(std::istream& script);

    // The document the script worked on (made at the first command).
    Document* document() { return m_document.get(); }

private:
    // Throws BatchFailure's message as std::runtime_error.
    void execute(const std::string& command, const std::string& arguments);
    Document& document(bool create);

    std::unique_ptr<Document> m_document;
};

// Runs a script file and reports a failure on `err` as "SCRIPT, Zeile N: text".
// Returns the exit status: 0 success, 1 failure.
int runBatchFile(const std::string& scriptPath, std::ostream& err);

} // namespace knetix
