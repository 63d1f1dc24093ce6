#pragma once
// Every command of the program under one name. Batch scripts call a command
// by its script name; the main dialog reaches it from a skin button (the
// skin layout maps button ids to commands) or from its keys. Tool and size
// buttons are not here: they name a tool kind and a size, which the tool
// tables already do.

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

namespace knetix {

enum class Command {
    // The work and its files.
    OpenPicture,
    OpenProject,
    SaveProject,
    SavePicture,
    SaveMovie,
    Print,
    Scan,
    ChooseScanSource,
    ToggleScreenSize,
    // Editing.
    Undo,
    Redo,
    Tool,
    Power,
    Deformation,
    Speed,
    Press,
    Move,
    Tick,
    Release,
    Key,
    Scroll,
    Play,
    // Scripts only: the canvas size, before anything else.
    Canvas,
    // The program.
    Help,
    HomePage,
    About,
    Options,
    Close,
};

struct CommandEntry {
    Command command;
    std::string_view scriptName; // empty: scripts cannot call it
    // Shortcuts as Qt writes them ("Ctrl+Shift+O"); empty when none.
    std::array<std::string_view, 2> keys;
    bool usesFiles;              // refused in runs without file access
};

namespace detail {
using C = Command;

inline constexpr CommandEntry kCommands[] = {
    {C::OpenPicture, "open", {"Ctrl+O", ""}, true},
    {C::OpenProject, "open-project", {"Ctrl+Shift+O", ""}, true},
    {C::SaveProject, "save-project", {"Ctrl+S", ""}, true},
    {C::SavePicture, "save-picture", {"Ctrl+Shift+S", ""}, true},
    {C::SaveMovie, "save-movie", {"Ctrl+E", ""}, true},
    {C::Print, "", {"Ctrl+P", ""}, false},
    {C::Scan, "", {"", ""}, false},
    {C::ChooseScanSource, "", {"", ""}, false},
    {C::ToggleScreenSize, "", {"", ""}, false},
    {C::Undo, "undo", {"Ctrl+Z", ""}, false},
    {C::Redo, "redo", {"Ctrl+Y", "Ctrl+Shift+Z"}, false},
    {C::Tool, "tool", {"", ""}, false},
    {C::Power, "power", {"", ""}, false},
    {C::Deformation, "deformation", {"", ""}, false},
    {C::Speed, "speed", {"", ""}, false},
    {C::Press, "press", {"", ""}, false},
    {C::Move, "move", {"", ""}, false},
    {C::Tick, "tick", {"", ""}, false},
    {C::Release, "release", {"", ""}, false},
    {C::Key, "key", {"", ""}, false},
    {C::Scroll, "scroll", {"", ""}, false},
    {C::Play, "", {"Space", ""}, false},
    {C::Canvas, "canvas", {"", ""}, false},
    {C::Help, "", {"F1", ""}, false},
    {C::HomePage, "", {"", ""}, false},
    {C::About, "", {"", ""}, false},
    {C::Options, "", {"", ""}, false},
    {C::Close, "", {"", ""}, false},
};

} // namespace detail

inline std::span<const CommandEntry> commandTable()
{
    return detail::kCommands;
}

inline const CommandEntry* findScriptCommand(std::string_view scriptName)
{
    if (scriptName.empty())
        return nullptr;
    for (const CommandEntry& e : detail::kCommands)
        if (e.scriptName == scriptName)
            return &e;
    return nullptr;
}

} // namespace knetix
