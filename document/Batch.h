#pragma once
// Batch mode: a script of commands run against a document with no window.
// One command per line; '#' at the start of a word starts a comment.

#include "document/Document.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>

namespace knetix {

// Why a line could not be carried out. The text shown for it is made in
// resources/ (Messages.h) from the detail kept here.
enum class BatchProblem {
    UnknownCommand,       // `command`
    CanvasNotFirst,
    Usage,                // wrong arguments: `command`'s usage is shown
    BadNumber,            // `word` is no number
    NumberOutOfRange,     // `word` lies outside `low`..`high`
    UnknownTool,          // `word`
    UnknownSize,          // `word`
    UnknownKeyCommand,    // `word`
    NoKeyMenu,            // no Key menu opens on `key`
    KeyCommandNotOffered, // the menu of `key` does not offer `word`
    CodecUnavailable,     // the compressor `word` is not on this machine
    CodecNotChoosable,    // a compressor `word` named for a movie other than AVI
    NoFileAccess,         // a file command in a run without files
    TooManyStrokeSteps,   // the run's cap on stroke work is used up
    ScriptUnreadable,     // reading the script itself failed
    DocumentFailed,       // the document's command failed: `outcome`
    Exception,            // anything else thrown; `word` is what it said
};

struct BatchFailure {
    int line = 0;
    BatchProblem problem = BatchProblem::UnknownCommand;
    std::string command{}; // the line's command
    std::string word{};    // the word at fault, as written
    std::string key{};     // the key number, as written
    int64_t low = 0;
    int64_t high = 0;
    Outcome outcome{};
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
    // Throws a BatchFailure (without its line) for a line it cannot carry out.
    void execute(const std::string& command, const std::string& arguments);
    Document& document(bool create);

    void needFiles() const;
    void countStrokeSteps(int64_t steps);

    std::unique_ptr<Document> m_document;
    BatchLimits m_limits;
    int64_t m_strokeSteps = 0;
};

} // namespace knetix
