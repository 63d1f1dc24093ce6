#pragma once
// The project file: the canvas record, the filmstrip record, the current tool
// as an object and the tool bitmap id, in the object archive encoding, with no
// header of its own. Reading checks everything against everything before the
// caller replaces any work with it.

#include "engine/CMTool.h"
#include "engine/OffsetCell.h"
#include "files/archive/Archive.h"
#include "keys/KeyList.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace knetix {

class StrokePatch;
class WorkingPicture;

// The canvas as a project stores it. Without a picture, block and source are
// empty.
struct CanvasState {
    std::string picturePath; // as the program uses it (made absolute again)
    Rect rect;
    int32_t toolRadius = 0;
    int32_t patchCount = 0;
    std::unique_ptr<OffsetCell[]> patch;
    std::vector<uint8_t> block; // 40-byte header and the displayed rows
    std::vector<uint8_t> source;
    int32_t stride = 0;

    bool hasPicture() const { return !block.empty(); }
};

struct Project {
    CanvasState canvas;
    KeyListState filmstrip;
    std::unique_ptr<CMTool> tool;
    int32_t toolBitmapId = 0;
};

// What saving reads from the open work.
struct ProjectSource {
    const WorkingPicture& picture;
    const StrokePatch& patch;
    const KeyList& keys;
    const CMTool* tool;
    int32_t toolBitmapId;
};

// The tool bitmap id a project stores names a tool's kind and size in one
// number: 16 Small, 8 Medium, any other divisor Large.
int32_t toolBitmapId(ToolKind kind, int32_t divisor);

struct ToolSelection {
    std::string name;
    int32_t divisor;
    friend bool operator==(const ToolSelection&, const ToolSelection&) = default;
};

// Tool name and divisor named by a tool bitmap id; nothing for an id outside
// the table (the caller warns and keeps what it has).
std::optional<ToolSelection> set_tool_from_id(int32_t toolBitmapId);

// The folder part of a project file's path, absolute, with its trailing
// separator: picture paths below it are stored relative to it.
std::string projectFolder(const std::filesystem::path& projectFile);
// The picture path as stored: relative when it begins with the folder
// (case-sensitive), otherwise whole.
std::string storedPicturePath(const std::string& path, const std::string& folder);
// A stored path made usable again: either separator is accepted; a path that
// is neither absolute nor carries a drive gets the folder put in front.
std::string resolvedPicturePath(const std::string& stored, const std::string& folder);

std::vector<uint8_t> encodeProject(const ProjectSource& source, const std::string& folder);
// Throws ArchiveError for anything damaged or inconsistent.
Project decodeProject(std::span<const uint8_t> data, const std::string& folder);

} // namespace knetix
