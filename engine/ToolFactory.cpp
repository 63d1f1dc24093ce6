#include "engine/ToolFactory.h"

#include "engine/Tools.h"

#include <algorithm>

namespace knetix {

namespace {

struct KindInfo {
    ToolKind kind;
    const char* name;
    const char* className;
    int32_t commandId;
    int32_t idSmall, idMedium, idLarge;
};

constexpr KindInfo kKinds[] = {
    {ToolKind::ZoomIn, "zoomin", CMTool_ZoomIn::kClassName, 1005, 152, 153, 154},
    {ToolKind::ZoomOut, "zoomout", CMTool_ZoomOut::kClassName, 1003, 155, 156, 157},
    {ToolKind::Zoom, "zoom", CMTool_Zoom::kClassName, 1002, 158, 159, 160},
    {ToolKind::Move, "move", CMTool_Move::kClassName, 1001, 161, 162, 163},
    {ToolKind::Undo, "undo", CMTool_Undo::kClassName, 1006, 165, 166, 167},
    {ToolKind::Smooth, "smooth", CMTool_Smooth::kClassName, 1004, 168, 169, 170},
    {ToolKind::Whirl, "whirl", CMTool_Whirl::kClassName, 1000, 173, 174, 175},
};

const KindInfo& info(ToolKind kind)
{
    return *std::find_if(std::begin(kKinds), std::end(kKinds),
                         [kind](const KindInfo& k) { return k.kind == kind; });
}

} // namespace

const char* toolName(ToolKind kind) { return info(kind).name; }
const char* toolClassName(ToolKind kind) { return info(kind).className; }
int32_t toolCommandId(ToolKind kind) { return info(kind).commandId; }

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

int32_t toolBitmapId(ToolKind kind, int32_t divisor)
{
    const KindInfo& k = info(kind);
    if (divisor == kDivisorSmall)
        return k.idSmall;
    if (divisor == kDivisorMedium)
        return k.idMedium;
    return k.idLarge;
}

std::optional<ToolSelection> set_tool_from_id(int32_t id)
{
    for (const KindInfo& k : kKinds) {
        if (id == k.idSmall)
            return ToolSelection{k.name, kDivisorSmall};
        if (id == k.idMedium)
            return ToolSelection{k.name, kDivisorMedium};
        if (id == k.idLarge)
            return ToolSelection{k.name, kDivisorLarge};
    }
    return std::nullopt;
}

} // namespace knetix
