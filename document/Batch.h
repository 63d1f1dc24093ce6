#pragma once
// Batch mode: a script of commands run against a document with no window.
// One command per line; '#' at the start of a word starts a comment.

#include "document/Document.h"

#include <istream>
#include <memory>
#include <optional>
#include <string>

namespace knetix {

struct BatchFailure {
    int line = 0;
    std::string message;
};

// Bounds for scripts from untrusted places (the fuzzer): no files, and a cap
// on the stroke work.
struct BatchLimits {
    bool fileAccess = true;
    int64_t maxStrokeSteps = -1; // mouse moves and timer ticks; -1: no cap
};

class BatchRunner {
public:
    BatchRunner() = default;
    // Runs against a document made beforehand; "canvas" is then refused.
    explicit BatchRunner(std::unique_ptr<Document> document, BatchLimits limits = {})
        : m_document(std::move(document)), m_limits(limits)
    {
    }

    // Runs the script to its end or to the first line that cannot be carried
    // out; nothing on success.
    std::optional<BatchFailure> run(std::istream& script);

    // The document the script worked on (made at the first command).
    Document* document() { return m_document.get(); }

private:
    // Throws BatchFailure's message as std::runtime_error.
    void execute(const std::string& command, const std::string& arguments);
    Document& document(bool create);

    void needFiles() const;
    void countStrokeSteps(int64_t steps);

    std::unique_ptr<Document> m_document;
    BatchLimits m_limits;
    int64_t m_strokeSteps = 0;
};

// Runs a script file and reports a failure on `err` as "SCRIPT, Zeile N: text".
// Returns the exit status: 0 success, 1 failure.
int runBatchFile(const std::string& scriptPath, std::ostream& err);

} // namespace knetix
