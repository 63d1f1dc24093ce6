#include "document/Batch.h"

#include "document/Commands.h"
#include "engine/ToolFactory.h"

#include <charconv>
#include <exception>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <string_view>
#include <vector>

namespace knetix {

namespace {

// Coordinates far beyond any canvas still stroke (outside the picture); this
// only keeps the arithmetic of a typo in range.
constexpr int32_t kMaxScriptCoordinate = 1 << 20;
constexpr int32_t kMaxTicks = 1000000;
constexpr int32_t kMaxCanvasSide = 8192;

[[noreturn]] void fail(BatchProblem problem, std::string word = {})
{
    BatchFailure failure;
    failure.problem = problem;
    failure.word = std::move(word);
    throw failure;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Everything from a '#' that begins a word is a comment.
std::string stripComment(const std::string& line)
{
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return line.substr(0, i);
    return line;
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

[[noreturn]] void failOnKey(BatchProblem problem, const std::string& key, const std::string& keyCommand)
{
    BatchFailure failure;
    failure.problem = problem;
    failure.key = key;
    failure.word = keyCommand;
    throw failure;
}

int32_t number(const std::string& word, int32_t low, int32_t high)
{
    int32_t value = 0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    if (ec != std::errc() || ptr != end)
        fail(BatchProblem::BadNumber, word);
    if (value < low || value > high) {
        BatchFailure failure;
        failure.problem = BatchProblem::NumberOutOfRange;
        failure.word = word;
        failure.low = low;
        failure.high = high;
        throw failure;
    }
    return value;
}

// A wrong count of arguments shows the command's usage.
void expectCount(const std::vector<std::string>& args, size_t count)
{
    if (args.size() != count)
        fail(BatchProblem::Usage);
}

std::string pathArgument(const std::string& arguments)
{
    if (arguments.empty())
        fail(BatchProblem::Usage);
    return arguments;
}

// Takes the last word off a path argument when it is one of `choices`.
std::string takeLastWord(std::string& arguments, std::initializer_list<std::string_view> choices)
{
    const auto space = arguments.find_last_of(" \t");
    if (space == std::string::npos)
        return {};
    const std::string last = arguments.substr(space + 1);
    for (std::string_view choice : choices)
        if (last == choice) {
            arguments = trim(arguments.substr(0, space));
            return last;
        }
    return {};
}

bool isNumber(const std::string& word)
{
    return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

std::string takeLastNumber(std::string& arguments)
{
    const auto space = arguments.find_last_of(" \t");
    if (space == std::string::npos || !isNumber(arguments.substr(space + 1)))
        return {};
    const std::string last = arguments.substr(space + 1);
    arguments = trim(arguments.substr(0, space));
    return last;
}

OutputSize takeSize(std::string& arguments)
{
    return takeLastWord(arguments, {"screen", "own"}) == "own" ? OutputSize::Own : OutputSize::Screen;
}

void check(Outcome outcome)
{
    if (outcome)
        return;
    BatchFailure failure;
    failure.problem = BatchProblem::DocumentFailed;
    failure.outcome = std::move(outcome);
    throw failure;
}

} // namespace

void BatchRunner::needFiles() const
{
    if (!m_limits.fileAccess)
        fail(BatchProblem::NoFileAccess);
}

void BatchRunner::countStrokeSteps(int64_t steps)
{
    m_strokeSteps += steps;
    if (m_limits.maxStrokeSteps >= 0 && m_strokeSteps > m_limits.maxStrokeSteps)
        fail(BatchProblem::TooManyStrokeSteps);
}

Document& BatchRunner::document(bool create)
{
    if (!m_document && create)
        m_document = std::make_unique<Document>();
    return *m_document;
}

std::optional<BatchFailure> BatchRunner::run(std::istream& script)
{
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
        ++number;
        const std::string text = trim(stripComment(line));
        if (text.empty())
            continue;
        const auto space = text.find_first_of(" \t");
        const std::string command = text.substr(0, space);
        const std::string arguments = space == std::string::npos ? std::string() : trim(text.substr(space));
        BatchFailure failure;
        try {
            execute(command, arguments);
            continue;
        } catch (BatchFailure& thrown) {
            failure = std::move(thrown);
        } catch (const std::exception& e) {
            failure.problem = BatchProblem::Exception;
            failure.word = e.what();
        }
        failure.line = number;
        failure.command = command;
        return failure;
    }
    if (script.bad()) {
        BatchFailure failure;
        failure.line = number;
        failure.problem = BatchProblem::ScriptUnreadable;
        return failure;
    }
    document(true);
    return std::nullopt;
}

void BatchRunner::execute(const std::string& command, const std::string& arguments)
{
    const std::vector<std::string> args = words(arguments);
    const CommandEntry* entry = findScriptCommand(command);
    if (entry && entry->command == Command::Canvas) {
        if (m_document)
            fail(BatchProblem::CanvasNotFirst);
        expectCount(args, 2);
        const int32_t w = number(args[0], WorkingPicture::kMinimumSide, kMaxCanvasSide);
        const int32_t h = number(args[1], WorkingPicture::kMinimumSide, kMaxCanvasSide);
        m_document = std::make_unique<Document>(w, h);
        return;
    }
    Document& doc = document(true);
    if (!entry)
        fail(BatchProblem::UnknownCommand);
    if (entry->usesFiles)
        needFiles();
    switch (entry->command) {
    case Command::OpenPicture: {
        check(doc.openPicture(pathArgument(arguments)));
        break;
    }
    case Command::OpenProject: {
        check(doc.openProject(pathArgument(arguments)));
        break;
    }
    case Command::SaveProject: {
        check(doc.saveProject(pathArgument(arguments)));
        break;
    }
    case Command::SavePicture: {
        std::string rest = arguments;
        const OutputSize size = takeSize(rest);
        check(doc.savePicture(pathArgument(rest), size));
        break;
    }
    case Command::SaveMovie: {
        std::string rest = arguments;
        const OutputSize size = takeSize(rest);
        const std::string speedWord = takeLastNumber(rest);
        const int32_t speed = speedWord.empty() ? doc.speed() : number(speedWord, 0, Document::kSliderMax);
        std::string codec = takeLastWord(rest, {"raw", "mjpeg", "mpeg4", "ffv1", "h264"});
        const std::string path = pathArgument(rest);
        const MovieKind kind = movieKindOfPath(path);
        if (!movieKindOffersCodecChoice(kind)) {
            // MP4, WebM and GIF have their one compressor each.
            if (!codec.empty())
                fail(BatchProblem::CodecNotChoosable, codec);
            if (!movieKindAvailable(kind))
                fail(BatchProblem::CodecUnavailable, movieCompressorOf(kind, {}));
        } else {
            if (codec.empty())
                codec = "raw";
            if (!findMovieCodec(codec))
                fail(BatchProblem::CodecUnavailable, codec);
        }
        check(doc.exportMovie(path, MovieSettings{codec.empty() ? "raw" : codec}, speed, size));
        break;
    }
    case Command::Tool: {
        expectCount(args, 2);
        const auto kind = toolKindFromName(args[0]);
        if (!kind)
            fail(BatchProblem::UnknownTool, args[0]);
        int32_t divisor = 0;
        if (args[1] == "small")
            divisor = kDivisorSmall;
        else if (args[1] == "medium")
            divisor = kDivisorMedium;
        else if (args[1] == "large")
            divisor = kDivisorLarge;
        else
            fail(BatchProblem::UnknownSize, args[1]);
        // As the size button, then the tool button.
        doc.selectSize(divisor);
        doc.selectTool(*kind);
        break;
    }
    case Command::Power: {
        expectCount(args, 1);
        doc.setPower(number(args[0], 0, Document::kSliderMax));
        break;
    }
    case Command::Deformation: {
        expectCount(args, 1);
        doc.setDeformation(number(args[0], 0, Document::kSliderMax));
        break;
    }
    case Command::Speed: {
        expectCount(args, 1);
        doc.setSpeed(number(args[0], 0, Document::kSliderMax));
        break;
    }
    case Command::Press:
    case Command::Move: {
        expectCount(args, 2);
        const int32_t x = number(args[0], -kMaxScriptCoordinate, kMaxScriptCoordinate);
        const int32_t y = number(args[1], -kMaxScriptCoordinate, kMaxScriptCoordinate);
        if (entry->command == Command::Press) {
            doc.press(x, y);
        } else {
            countStrokeSteps(1);
            doc.move(x, y);
        }
        break;
    }
    case Command::Tick: {
        if (args.size() > 1)
            fail(BatchProblem::Usage);
        const int32_t n = args.empty() ? 1 : number(args[0], 1, kMaxTicks);
        countStrokeSteps(n);
        for (int32_t i = 0; i < n; ++i)
            doc.tick();
        break;
    }
    case Command::Release: {
        expectCount(args, 0);
        doc.release();
        break;
    }
    case Command::Key: {
        expectCount(args, 2);
        const auto key = keyCommandFromName(args[0]);
        if (!key)
            fail(BatchProblem::UnknownKeyCommand, args[0]);
        const int32_t r = number(args[1], -1, std::numeric_limits<int32_t>::max());
        if (!doc.openKeyMenu(r))
            failOnKey(BatchProblem::NoKeyMenu, args[1], args[0]);
        if (!doc.runKeyCommand(*key))
            failOnKey(BatchProblem::KeyCommandNotOffered, args[1], args[0]);
        break;
    }
    case Command::Undo:
    case Command::Redo: {
        if (args.size() > 1)
            fail(BatchProblem::Usage);
        const int32_t n = args.empty() ? 1 : number(args[0], 1, kMaxTicks);
        // Steps beyond the history's ends do nothing, as the menu's would.
        for (int32_t i = 0; i < n; ++i)
            if (!(entry->command == Command::Undo ? doc.undo() : doc.redo()))
                break;
        break;
    }
    case Command::Scroll: {
        expectCount(args, 1);
        if (args[0] == "forward")
            doc.scrollForward();
        else if (args[0] == "back")
            doc.scrollBack();
        else
            fail(BatchProblem::Usage);
        break;
    }
    default:
        fail(BatchProblem::UnknownCommand); // the program's own, not a script's
    }
}

} // namespace knetix
