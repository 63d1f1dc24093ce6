#include "resources/Messages.h"

#include "resources/Strings.h"

#include <string_view>

namespace knetix {

namespace {

std::string quoted(const std::string& word)
{
    return "\"" + word + "\"";
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
};

std::string usageOf(const std::string& command)
{
    for (const Usage& u : kUsages)
        if (u.command == command)
            return std::string(u.usage);
    return command;
}

} // namespace

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
    case BatchProblem::NoFileAccess:
        return "Dateien sind in diesem Lauf nicht zugänglich.";
    case BatchProblem::TooManyStrokeSteps:
        return "Das Skript überschreitet die erlaubte Zahl von Strichpunkten.";
    case BatchProblem::ScriptUnreadable:
        return "Das Skript kann nicht gelesen werden.";
    case BatchProblem::DocumentFailed:
        return failure.outcome.message;
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
