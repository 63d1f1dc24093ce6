#include "engine/ToolFactory.h"

#include "engine/Tools.h"

#include <algorithm>

namespace knetix {

namespace {

struct KindInfo {
    ToolKind kind;
    const char* name;
    const char* className;
};

constexpr KindInfo kKinds[] = {
    {ToolKind::ZoomIn, "zoomin", CMTool_ZoomIn::kClassName},
    {ToolKind::ZoomOut, "zoomout", CMTool_ZoomOut::kClassName},
    {ToolKind::Zoom, "zoom", CMTool_Zoom::kClassName},
    {ToolKind::Move, "move", CMTool_Move::kClassName},
    {ToolKind::Undo, "undo", CMTool_Undo::kClassName},
    {ToolKind::Smooth, "smooth", CMTool_Smooth::kClassName},
    {ToolKind::Whirl, "whirl", CMTool_Whirl::kClassName},
};

const KindInfo& info(ToolKind kind)
{
    return *std::find_if(std::begin(kKinds), std::end(kKinds),
                         [kind](const KindInfo& k) { return k.kind == kind; });
}

} // namespace

const char* toolName(ToolKind kind) { return info(kind).name; }
const char* toolClassName(ToolKind kind) { return info(kind).className; }

std::optional<ToolKind> toolKindFromName(std::string_view name)
{
    for (ToolKind kind : kToolKindsByNameOrder)
        if (name == toolName(kind))
            return kind;
    return std::nullopt;
}

int32_t effectiveDivisor(int32_t divisor)
{
    return divisor > 0 ? divisor : kDefaultDivisor;
}

int32_t toolRadius(int32_t pictureWidth, int32_t pictureHeight, int32_t divisor)
{
    return std::min(pictureWidth, pictureHeight) / effectiveDivisor(divisor);
}

std::unique_ptr<CMTool> createTool(ToolKind kind, int32_t radius)
{
    switch (kind) {
    case ToolKind::ZoomIn: return std::make_unique<CMTool_ZoomIn>(radius);
    case ToolKind::ZoomOut: return std::make_unique<CMTool_ZoomOut>(radius);
    case ToolKind::Zoom: return std::make_unique<CMTool_Zoom>(radius);
    case ToolKind::Move: return std::make_unique<CMTool_Move>(radius);
    case ToolKind::Undo: return std::make_unique<CMTool_Undo>(radius);
    case ToolKind::Smooth: return std::make_unique<CMTool_Smooth>(radius);
    case ToolKind::Whirl: return std::make_unique<CMTool_Whirl>(radius);
    }
    return nullptr;
}

std::unique_ptr<CMTool> createToolByClassName(std::string_view className)
{
    if (className == CMTool::kClassName)
        return std::make_unique<CMTool>();
    for (const KindInfo& k : kKinds)
        if (className == k.className)
            return createTool(k.kind, 20);
    return nullptr;
}

} // namespace knetix
