#pragma once
// The program's settings: group "Value" (read at start, written at the end)
// and group "PATH" (the last folder of each file command), in an INI file of
// the user's configuration folder.

#include "engine/ToolFactory.h"

#include <QSettings>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace knetix {

struct ValueSettings {
    int32_t sound = 1;   // kept for the settings file only
    int32_t baloons = 1; // kept for the settings file only
    int32_t screen = 1;  // output at screen size: 0 off, anything else on
    std::string tool = "move2"; // names no tool: a first start has none
    int32_t scale = kDivisorMedium;
    int32_t undoMB = 256; // the undo history's cap in MiB; 0 keeps no history
    int32_t zoom = 0;     // the interface's factor: 0 automatic, 1 .. 4 fixed

    bool screenSize() const { return screen != 0; }
    size_t historyBytes() const { return size_t(undoMB) << 20; }
};

// The last-used folders, each ending in "/".
enum FolderSlot : int { PicOpen, PicSave, ProjOpen, ProjSave, AviSave, TwainSave, FolderCount };
constexpr std::array<const char*, FolderCount> kFolderKeys = {"PICOPEN", "PICSAVE", "PROJOPEN",
                                                              "PROJSAVE", "AVISAVE", "TWAINSAVE"};
using Folders = std::array<std::string, FolderCount>;

// The program's settings file.
std::unique_ptr<QSettings> openSettings();

// Missing values take their defaults. A tool divisor of 0 or below, which
// would divide every tool radius by nothing, falls back to Medium.
ValueSettings loadValueSettings(QSettings& settings);
void saveValueSettings(QSettings& settings, const ValueSettings& values);

Folders loadFolders(QSettings& settings, const std::string& defaultFolder);
// Where file commands start before any folder was remembered: the user's
// pictures folder (as the desktop names it) when it exists, else the home
// folder; ending in "/".
std::string defaultPictureFolder();
void saveFolders(QSettings& settings, const Folders& folders);

} // namespace knetix
