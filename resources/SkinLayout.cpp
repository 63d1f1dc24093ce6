#include "resources/SkinLayout.h"

#include "document/Commands.h"
#include "resources/Strings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <numbers>

namespace knetix::skin {

namespace {

using K = ControlKind;
using S = Shape;

ControlLayout make(std::string_view member, std::string_view word, int32_t id, K kind, Point offset,
                   int32_t w, int32_t h, S shape, int32_t index = -1, std::string_view caption = {},
                   bool focusIsUp = false)
{
    ControlLayout c;
    c.member = member;
    c.word = word;
    c.id = id;
    c.kind = kind;
    c.offset = offset;
    c.width = w;
    c.height = h;
    c.shape = shape;
    c.toolIndex = index;
    c.caption = caption;
    c.focusIsUp = focusIsUp;
    return c;
}

// Placement order of the main panel.
const std::vector<ControlLayout>& mainTable()
{
    static const std::vector<ControlLayout> table = [] {
        std::vector<ControlLayout> t = {
            make("Magnifier", "BTN_MAGNIFIER", 1005, K::Tool, {23, 201}, 34, 34, S::Disc, 1),
            make("Options", "BTN_OPTIONS", 1019, K::Command, {111, 35}, 78, 26, S::Plate, -1, "Optionen"),
            make("Drill", "BTN_DRILL", 1000, K::Tool, {34, 55}, 33, 33, S::Disc, 5),
            make("Hook", "BTN_HOOK", 1001, K::Tool, {22, 88}, 34, 34, S::Disc, 0),
            make("Hammer", "BTN_HAMMER", 1002, K::Tool, {7, 122}, 34, 34, S::Disc, 3),
            make("Deflator", "BTN_DEFLATOR", 1003, K::Tool, {12, 164}, 34, 34, S::Disc, 2),
            make("Iron", "BTN_IRON", 1004, K::Tool, {32, 237}, 34, 34, S::Disc, 4),
            make("Brush", "BTN_BRUSH", 1006, K::Tool, {25, 380}, 34, 34, S::Disc, 6),
            make("OProj", "BTN_OPEN_PROJ", 1007, K::Command, {104, 254}, 86, 25, S::Plate, -1, "Projekt öffnen"),
            make("OPict", "BTN_OPEN_PICT", 1008, K::Command, {104, 280}, 86, 30, S::Plate, -1, "Bild öffnen"),
            make("ScanPict", "BTN_SCAN_PICT", 1011, K::Command, {104, 311}, 86, 27, S::Plate, -1, "Scannen"),
            make("SProj", "BTN_SAVE_PROJ", 1009, K::Command, {103, 339}, 87, 30, S::Plate, -1, "Projekt speichern"),
            // The filmstrip panel begins at x 140: the lower three stay narrow.
            make("SPict", "BTN_SAVE_PICT", 1013, K::Command, {104, 370}, 35, 25, S::Plate, -1, "Bild"),
            make("SAvi", "BTN_SAVE_AVI", 1010, K::Command, {101, 396}, 38, 28, S::Plate, -1, "AVI"),
            make("PrintPict", "BTN_PRINT_PICT", 1012, K::Command, {103, 425}, 36, 30, S::Plate, -1, "Drucken"),
            make("Minimize", "BTN_MINIMIZE", 1017, K::Command, {583, 14}, 21, 26, S::Given, -1, {}, true),
            make("Close", "BTN_CLOSE", 1018, K::Command, {605, 14}, 21, 26, S::Given, -1, {}, true),
            make("Small", "BTN_SMALL", 1020, K::Size, {78, 100}, 26, 26, S::Disc, 0),
            make("Medium", "BTN_MEDIUM", 1021, K::Size, {69, 131}, 30, 30, S::Disc, 1),
            make("Large", "BTN_LARGE", 1022, K::Size, {61, 164}, 34, 34, S::Disc, 2),
            make("ToolDisplay", "", 1023, K::ToolDisplay, {134, 96}, kToolDisplayWidth, kToolDisplayHeight, S::Frame),
            make("About", "BTN_ABOUT", 1015, K::Command, {592, 144}, 36, 36, S::Disc),
            make("Help", "BTN_HELP", 1014, K::Command, {593, 77}, 36, 36, S::Disc),
            make("HomePage", "BTN_HOME_PAGE", 1016, K::Command, {578, 211}, 40, 40, S::Disc),
        };
        for (ControlLayout& c : t)
            if (c.kind == K::ToolDisplay)
                c.windowWidth = c.windowHeight = 200;
        return t;
    }();
    return table;
}

const std::vector<ControlLayout>& filmTable()
{
    static const std::vector<ControlLayout> table = {
        make("Play", "BTN_PLAY", 1001, K::Command, {363, 33}, 40, 40, S::Disc),
        make("Play2", "BTN_PLAY2", 1002, K::Command, {358, 41}, 40, 40, S::Disc),
        make("LScroll", "BTN_LEFT_SCROLL", 1014, K::Command, {65, 20}, 16, 64, S::Plate, -1, {}, true),
        make("RScroll", "BTN_RIGHT_SCROLL", 1015, K::Command, {302, 21}, 18, 62, S::Plate, -1, {}, true),
    };
    return table;
}

const std::vector<ControlLayout>& dialogTable()
{
    static const std::vector<ControlLayout> table = {
        make("Open", "OP_BTN_OPEN", 1, K::Command, {252, 224}, 70, 24, S::Plate, -1, "Öffnen"),
        make("Save", "SP_BTN_SAVE", 1, K::Command, {252, 224}, 70, 24, S::Plate, -1, "Speichern"),
        make("Cancel", "OP_BTN_CANCEL", 2, K::Command, {252, 256}, 70, 24, S::Plate, -1, "Abbrechen"),
        make("UpLevel", "OP_BTN_UP_LEVEL", 1006, K::Command, {244, 18}, 24, 24, S::Plate),
        make("NewFolder", "OP_BTN_NEW_FOLDER", 1002, K::Command, {271, 18}, 24, 24, S::Plate),
        make("Info", "OP_BTN_INFO", 3, K::Command, {298, 18}, 24, 24, S::Plate),
        make("ReadOnly", "OP_BTN_READ_ONLY", 4, K::Toggle, {298, 18}, 24, 24, S::Plate),
        make("Browse", "OP_BTN_BROWSE", 5, K::Latch, {334, 10}, 24, 24, S::Plate),
    };
    return table;
}

Point polar(double cx, double cy, double r, double angle)
{
    return {int32_t(std::lround(cx + r * std::cos(angle))), int32_t(std::lround(cy + r * std::sin(angle)))};
}

std::vector<Point> regularPolygon(double cx, double cy, double r, int32_t n)
{
    std::vector<Point> points;
    for (int32_t i = 0; i < n; ++i)
        points.push_back(polar(cx, cy, r, 2.0 * std::numbers::pi * i / n - std::numbers::pi / 2));
    return points;
}

std::vector<Point> chamfered(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t c)
{
    return {{x0 + c, y0}, {x1 - c, y0}, {x1, y0 + c}, {x1, y1 - c},
            {x1 - c, y1}, {x0 + c, y1}, {x0, y1 - c}, {x0, y0 + c}};
}

// A rectangle whose corners are quarter circles of `perCorner[i]` points each,
// starting at the top right and going clockwise.
std::vector<Point> roundedRect(int32_t w, int32_t h, double r, const std::array<int32_t, 4>& perCorner)
{
    const double cx[4] = {w - r, w - r, r, r};
    const double cy[4] = {r, h - r, h - r, r};
    const double start[4] = {-std::numbers::pi / 2, 0, std::numbers::pi / 2, std::numbers::pi};
    std::vector<Point> points;
    for (int i = 0; i < 4; ++i)
        for (int32_t k = 0; k < perCorner[i]; ++k)
            points.push_back(polar(cx[i], cy[i], r, start[i] + (std::numbers::pi / 2) * k / (perCorner[i] - 1)));
    return points;
}

constexpr int32_t kChamfer = 5;

} // namespace

std::span<const ControlLayout> mainPanelControls()
{
    return mainTable();
}

std::span<const ControlLayout> filmPanelControls()
{
    return filmTable();
}

std::span<const ControlLayout> fileDialogControls()
{
    return dialogTable();
}

const ControlLayout* findControl(std::string_view member)
{
    for (const auto* table : {&mainTable(), &filmTable(), &dialogTable()})
        for (const ControlLayout& c : *table)
            if (c.member == member)
                return &c;
    return nullptr;
}

std::vector<Point> windowPolygon(const ControlLayout& c)
{
    switch (c.shape) {
    case Shape::Disc: {
        // Edges touch the disc from outside; corners beyond the picture are
        // cut back to its edge.
        const int32_t n = 20;
        auto points = regularPolygon(c.width / 2.0, c.height / 2.0,
                                     std::min(c.width, c.height) / 2.0 / std::cos(std::numbers::pi / n), n);
        for (Point& p : points) {
            p.x = std::clamp(p.x, 0, c.width);
            p.y = std::clamp(p.y, 0, c.height);
        }
        return points;
    }
    case Shape::Plate:
        return chamfered(0, 0, c.width, c.height, kChamfer);
    case Shape::Frame:
        return {{0, 0}, {c.width, 0}, {c.width, c.height}, {0, c.height}};
    case Shape::Given:
        break;
    }
    // Title bar buttons: the outline of their 21 x 26 pictures.
    return {{2, 1}, {19, 1}, {19, 24}, {1, 24}, {1, 1}};
}

std::vector<Point> hitPolygon(const ControlLayout& c)
{
    switch (c.shape) {
    case Shape::Disc:
        return regularPolygon(c.width / 2.0, c.height / 2.0, std::min(c.width, c.height) / 2.0 - 1.5, 32);
    case Shape::Plate:
        return chamfered(1, 1, c.width - 1, c.height - 1, kChamfer);
    case Shape::Frame:
    case Shape::Given:
        break;
    }
    return windowPolygon(c);
}

std::vector<std::string> pictureNames(const ControlLayout& c)
{
    const std::string base(c.word);
    switch (c.kind) {
    case ControlKind::Command:
        return {base + "_U", base + "_D", base + (c.focusIsUp ? "_U" : "_F")};
    case ControlKind::Tool:
    case ControlKind::Size:
    case ControlKind::Toggle:
        return {base + "_UU", base + "_DU", base + "_DF", base + "_UF"};
    case ControlKind::Latch:
        return {base + "_U", base + "_DU", base + "_D", base + "_F"};
    case ControlKind::ToolDisplay:
        break;
    }
    return {};
}

std::span<const SliderLayout> sliders()
{
    static constexpr SliderLayout table[] = {
        {"Speed", "Speed", "Tempo", 1028, {240, 43}},
        {"Deformation", "Deformation", "Verformung", 1023, {240, 66}},
        {"Power", "Power", "Stärke", 1027, {240, 18}},
    };
    return table;
}

std::vector<Point> dialogWindowPolygon()
{
    auto points = roundedRect(kDialogWidth, kDialogHeight, 16.0, {9, 9, 9, 8});
    return points;
}

std::vector<Point> thumbPolygon()
{
    return roundedRect(kThumbWidth, kThumbHeight, 7.0, {10, 10, 10, 10});
}

std::string toolDisplayFrameName(int32_t set, int32_t level, int32_t frame)
{
    return std::string(kToolDisplaySets[set]) + std::string(kToolDisplayLevels[level]) +
           char('0' + frame);
}

std::string iconName(int32_t id)
{
    return "ICON_" + std::to_string(id);
}

std::vector<PictureEntry> allPictures()
{
    std::vector<PictureEntry> all;
    auto addControl = [&](const ControlLayout& c) {
        for (const std::string& name : pictureNames(c)) {
            bool known = false;
            for (const PictureEntry& p : all)
                known = known || p.name == name;
            if (!known)
                all.push_back({name, c.width, c.height, 24});
        }
    };
    all.push_back({"MAIN_WND", kSkinWidth, kSkinHeight, 24});
    for (const ControlLayout& c : mainTable())
        addControl(c);
    for (const ControlLayout& c : filmTable())
        addControl(c);
    for (const ControlLayout& c : dialogTable())
        addControl(c);
    for (int32_t i = 0; i < kWheelFrames; ++i)
        all.push_back({"WHEEL_" + std::to_string(i), kFilmPanel.width, kFilmPanel.height, 24});
    for (const SliderLayout& s : sliders()) {
        std::string name(s.base);
        for (char& ch : name)
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        all.push_back({name + "U", 2 * kKnobWidth, kKnobHeight, 24});
    }
    for (int32_t set = 0; set < kToolDisplaySetCount; ++set)
        for (int32_t level = 0; level < 3; ++level)
            for (int32_t frame = 0; frame < kToolDisplayFramesPerLevel; ++frame)
                all.push_back({toolDisplayFrameName(set, level, frame), kToolDisplayWidth, kToolDisplayHeight, 8});
    all.push_back({"TIP_LEFT", kTipLeftWidth, kTipHeight, 8});
    all.push_back({"TIP_RIGHT", kTipRightWidth, kTipHeight, 8});
    all.push_back({"SPLASH_START", kSplashWidth, kSplashHeight, 24});
    for (std::string_view name : {"OPEN_PICTURE", "OPEN_PROJECT", "SAVE_PROJECT", "SAVE_PICTURE", "SAVE_AVI"})
        all.push_back({std::string(name), kDialogWidth, kDialogHeight, 24});
    all.push_back({"OP_COMBO_BTN_DOWN", 16, 16, 24});
    all.push_back({"FUNDAL", kScrollBarWidth, kScrollBarHeight, 24});
    all.push_back({"PATRATELU", kThumbWidth, kThumbHeight, 8});
    for (int32_t id : kIconIds)
        all.push_back({iconName(id), kIconSize, kIconSize, 32});
    return all;
}

namespace {

struct ToolButton {
    int32_t id;
    ToolKind kind;
};

constexpr ToolButton kToolButtons[] = {
    {1000, ToolKind::Whirl},  {1001, ToolKind::Move},   {1002, ToolKind::Zoom}, {1003, ToolKind::ZoomOut},
    {1004, ToolKind::Smooth}, {1005, ToolKind::ZoomIn}, {1006, ToolKind::Undo},
};

} // namespace

std::optional<ToolKind> toolOfButton(int32_t controlId)
{
    for (const ToolButton& b : kToolButtons)
        if (b.id == controlId)
            return b.kind;
    return std::nullopt;
}

std::optional<Command> commandOfControl(int32_t controlId)
{
    struct Entry {
        int32_t id;
        Command command;
    };
    static constexpr Entry kEntries[] = {
        {1007, Command::OpenProject}, {1008, Command::OpenPicture}, {1009, Command::SaveProject},
        {1010, Command::SaveMovie},   {1011, Command::Scan},        {1012, Command::Print},
        {1013, Command::SavePicture}, {1014, Command::Help},        {1015, Command::About},
        {1016, Command::HomePage},    {1018, Command::Close},       {1019, Command::Options},
        {ID_OPTIONS_SCREEN_SIZE, Command::ToggleScreenSize},
        {ID_OPTIONS_SELECT_SOURCE, Command::ChooseScanSource},
    };
    for (const Entry& e : kEntries)
        if (e.id == controlId)
            return e.command;
    return std::nullopt;
}

std::vector<int32_t> toolButtonsTopDown()
{
    std::vector<const ControlLayout*> tools;
    for (const ControlLayout& l : mainPanelControls())
        if (l.kind == ControlKind::Tool)
            tools.push_back(&l);
    std::stable_sort(tools.begin(), tools.end(),
                     [](const ControlLayout* a, const ControlLayout* b) { return a->offset.y < b->offset.y; });
    std::vector<int32_t> ids;
    for (const ControlLayout* l : tools)
        ids.push_back(l->id);
    return ids;
}

int32_t toolButtonId(ToolKind kind)
{
    for (const ToolButton& b : kToolButtons)
        if (b.kind == kind)
            return b.id;
    return 0;
}

} // namespace knetix::skin
