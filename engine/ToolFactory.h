#pragma once
// Making tools from a tool name and size. The engine's own table of the kinds:
// the name that settings and scripts use and the class name a project stores.
// The skin's button ids live in its layout table, the project's tool bitmap
// ids in the project format.

#include "engine/CMTool.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace knetix {

// Tool divisors of the three sizes: the radius is min(W, H) / divisor.
constexpr int32_t kDivisorSmall = 16;
constexpr int32_t kDivisorMedium = 8;
constexpr int32_t kDivisorLarge = 4;
// A divisor of 0 or below (from the settings) would divide by zero.
constexpr int32_t kDefaultDivisor = kDivisorMedium;

// The kinds in the order in which a tool name is compared with them.
constexpr std::array<ToolKind, 7> kToolKindsByNameOrder = {
    ToolKind::ZoomIn, ToolKind::ZoomOut, ToolKind::Zoom, ToolKind::Move,
    ToolKind::Smooth, ToolKind::Whirl,   ToolKind::Undo};

const char* toolName(ToolKind kind);            // "zoomin", "move", ...
const char* toolClassName(ToolKind kind);       // "CMTool_ZoomIn", ...
// The first kind whose name equals the given one exactly (case-sensitive).
std::optional<ToolKind> toolKindFromName(std::string_view name);

// min(width, height) / divisor; a divisor of 0 or below counts as the default.
int32_t toolRadius(int32_t pictureWidth, int32_t pictureHeight, int32_t divisor);
int32_t effectiveDivisor(int32_t divisor);

std::unique_ptr<CMTool> createTool(ToolKind kind, int32_t radius);
// Dynamic creation by class name for a project reader: radius 20 as the
// default constructor gives; null for an unknown name. "CMTool" itself is known.
std::unique_ptr<CMTool> createToolByClassName(std::string_view className);

} // namespace knetix
