#include "resources/Messages.h"

#include "resources/Strings.h"

#include <cerrno>
#include <string_view>

namespace knetix {

namespace {

std::string text(StringId id)
{
    return std::string(loadString(id));
}

std::string quoted(const std::string& word)
{
    return "\"" + word + "\"";
}

std::string pictureReadMessage(ImExpStatus status, const std::string& path)
{
    switch (status) {
    case ImExpStatus::NotFound:
        return fileErrorMessage(ENOENT, path, false);
    case ImExpStatus::TooLarge:
        return formatString("Das Bild %1 ist zu groß.", path);
    case ImExpStatus::Unsupported:
        return formatString("Das Format von %1 wird nicht unterstützt.", path);
    default:
        return formatString("Das Bild %1 ist beschädigt und kann nicht gelesen werden.", path);
    }
}

// What follows "Aufruf: " for a command given the wrong arguments.
struct Usage {
    std::string_view command;
    std::string_view usage;
};

constexpr Usage kUsages[] = {
    {"canvas", "canvas BREITE HÖHE"},
    {"open", "open PFAD"},
    {"open-project", "open-project PFAD"},
    {"save-project", "save-project PFAD"},
    {"save-picture", "save-picture PFAD [screen|own]"},
    {"save-movie", "save-movie PFAD [raw|mjpeg|mpeg4|ffv1|h264] [TEMPO] [screen|own]"},
    {"tool", "tool zoomin|zoomout|zoom|move|smooth|whirl|undo small|medium|large"},
    {"power", "power 0..64"},
    {"deformation", "deformation 0..64"},
    {"speed", "speed 0..64"},
    {"press", "press X Y"},
    {"move", "move X Y"},
    {"tick", "tick [ANZAHL]"},
    {"release", "release"},
    {"key", "key activate|copy|delete|right|left|to-window|to-filmstrip SCHLÜSSEL"},
    {"scroll", "scroll forward|back"},
    {"undo", "undo [ANZAHL]"},
    {"redo", "redo [ANZAHL]"},
};

std::string usageOf(const std::string& command)
{
    for (const Usage& u : kUsages)
        if (u.command == command)
            return std::string(u.usage);
    return command;
}

} // namespace

std::string fileErrorMessage(int error, const std::string& fileName, bool writing)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        if (!writing)
            return formatString(loadString(IDS_FILE_OPEN_NOT_FOUND), fileName);
        return formatString("Ein Teil des Pfades von %1 ist ungültig.", fileName);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return formatString(loadString(IDS_FILE_ACCESS_DENIED), fileName);
    case ENOSPC:
    case EDQUOT:
        return formatString("Der Datenträger für %1 ist voll.", fileName);
    case EFBIG:
        return formatString("%1 ist zu groß.", fileName);
    case ENAMETOOLONG:
        return formatString("%1 enthält einen ungültigen Pfad.", fileName);
    default:
        return formatString(writing ? "Beim Schreiben von %1 trat ein unerwarteter Fehler auf."
                                    : "Beim Lesen von %1 trat ein unerwarteter Fehler auf.",
                            fileName);
    }
}

std::string archiveMessage(ArchiveError::Kind kind, const std::string& fileName)
{
    StringId id = IDS_ARCHIVE_BAD_FORMAT;
    switch (kind) {
    case ArchiveError::EndOfData: id = IDS_ARCHIVE_END_OF_DATA; break;
    case ArchiveError::BadIndex: id = IDS_ARCHIVE_BAD_FORMAT; break;
    case ArchiveError::UnexpectedObject: id = IDS_ARCHIVE_UNEXPECTED_OBJECT; break;
    case ArchiveError::BadSchema: id = IDS_ARCHIVE_BAD_SCHEMA; break;
    }
    return formatString(loadString(id), fileName);
}

std::string messageText(const DocumentStatus& status)
{
    switch (status.problem) {
    case DocumentProblem::None:
    case DocumentProblem::Cancelled:
        return {};
    case DocumentProblem::FileError:
        return fileErrorMessage(status.error, status.path, status.writing);
    case DocumentProblem::Archive:
        return archiveMessage(status.archiveKind, status.path);
    case DocumentProblem::PictureRead:
        return pictureReadMessage(status.pictureStatus, status.path);
    case DocumentProblem::PictureTooSmall:
        return formatString("Das Bild %1 ist zu schmal oder zu niedrig.", status.path);
    case DocumentProblem::NoMemory:
        return "Nicht genügend Arbeitsspeicher.";
    case DocumentProblem::CodecCannotWrite:
        return formatString("Der Kompressor %1 kann diesen Film nicht schreiben.", status.codec);
    case DocumentProblem::CannotSave:
        return text(IDS_CANNOT_SAVE_FILE);
    case DocumentProblem::FileNotFound:
        return text(IDS_FILE_NOT_FOUND);
    case DocumentProblem::NoPicture:
        return text(IDS_NO_PICTURE);
    case DocumentProblem::WrongToolBitmapId:
        return "Wrong tool_bitmap_id in set_tool_from_id";
    }
    return {};
}

std::string messageText(const Outcome& outcome)
{
    return messageText(outcome.status);
}

std::string batchMessage(const BatchFailure& failure)
{
    switch (failure.problem) {
    case BatchProblem::UnknownCommand:
        return "Unbekannter Befehl " + quoted(failure.command) + ".";
    case BatchProblem::CanvasNotFirst:
        return "\"canvas\" ist nur als erster Befehl erlaubt.";
    case BatchProblem::Usage:
        return "Aufruf: " + usageOf(failure.command);
    case BatchProblem::BadNumber:
        return "Ungültige Zahl " + quoted(failure.word) + ".";
    case BatchProblem::NumberOutOfRange:
        return "Die Zahl " + failure.word + " liegt nicht zwischen " + std::to_string(failure.low) + " und " +
               std::to_string(failure.high) + ".";
    case BatchProblem::UnknownTool:
        return "Unbekanntes Werkzeug " + quoted(failure.word) + ".";
    case BatchProblem::UnknownSize:
        return "Unbekannte Größe " + quoted(failure.word) + ".";
    case BatchProblem::UnknownKeyCommand:
        return "Unbekannter Schlüsselbefehl " + quoted(failure.word) + ".";
    case BatchProblem::NoKeyMenu:
        return "Auf Schlüssel " + failure.key + " öffnet sich kein Menü.";
    case BatchProblem::KeyCommandNotOffered:
        return "Das Menü von Schlüssel " + failure.key + " bietet " + quoted(failure.word) + " nicht an.";
    case BatchProblem::CodecUnavailable:
        return "Der Kompressor " + failure.word + " ist auf diesem Rechner nicht verfügbar.";
    case BatchProblem::CodecNotChoosable:
        return "Der Kompressor " + failure.word + " ist nur für AVI-Videos wählbar.";
    case BatchProblem::NoFileAccess:
        return "Dateien sind in diesem Lauf nicht zugänglich.";
    case BatchProblem::TooManyStrokeSteps:
        return "Das Skript überschreitet die erlaubte Zahl von Strichpunkten.";
    case BatchProblem::ScriptUnreadable:
        return "Das Skript kann nicht gelesen werden.";
    case BatchProblem::DocumentFailed:
        return messageText(failure.outcome);
    case BatchProblem::Exception:
        return failure.word;
    }
    return {};
}

std::string batchFailureLine(const std::string& scriptPath, const BatchFailure& failure)
{
    return scriptPath + ", Zeile " + std::to_string(failure.line) + ": " + batchMessage(failure);
}

std::string scriptNotOpenedMessage(const std::string& scriptPath)
{
    return formatString("Das Skript %1 kann nicht geöffnet werden.", scriptPath);
}

} // namespace knetix
