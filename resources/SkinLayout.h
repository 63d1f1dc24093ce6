#pragma once
// The skin layout: where every control sits, the size of its pictures, the
// outline of its window and the shape that reacts to the mouse. The artwork
// generator draws each picture from the same entries, so pictures and polygons
// always agree. Plain C++; the widgets turn the points into regions.

#include "engine/ToolKind.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace knetix {
enum class Command; // document/Commands.h
}

namespace knetix::skin {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Box {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool contains(Point p) const { return p.x >= x && p.x < x + width && p.y >= y && p.y < y + height; }
};

// How a control reacts and which picture names it takes.
enum class ControlKind {
    Command,     // _U, _D, _F
    Tool,        // _UU, _DU, _DF, _UF
    Size,        // same names as Tool
    ToolDisplay, // its own frames
    Latch,       // file dialog Browse: _U, _DU, _D, _F
    Toggle,      // file dialog read-only: _UU, _DU, _DF, _UF
};

// The shape drawn on a picture; its outline is the window polygon.
enum class Shape {
    Disc,   // a round medallion filling the picture
    Plate,  // a rectangle with chamfered corners
    Frame,  // a plain rectangle (window and hit polygon alike)
    Given,  // explicit points (the title bar buttons)
};

struct ControlLayout {
    std::string_view member;   // "Magnifier"
    std::string_view word;     // picture base "BTN_MAGNIFIER"
    int32_t id = 0;            // control id
    ControlKind kind = ControlKind::Command;
    Point offset;              // from the owner's origin
    int32_t width = 0;         // picture size
    int32_t height = 0;
    Shape shape = Shape::Plate;
    int32_t toolIndex = -1;    // tool or size index, -1 for others
    std::string_view caption;  // German caption on the picture, if any
    bool focusIsUp = false;    // Focus picture is the Up picture again

    int32_t windowWidth = 100;
    int32_t windowHeight = 100;
};

// Controls of the main panel in the order in which they are placed; offsets
// from the panel origin.
std::span<const ControlLayout> mainPanelControls();
// The four buttons of the filmstrip panel; offsets in panel client coordinates.
std::span<const ControlLayout> filmPanelControls();
// Buttons of the file dialogs; offsets in dialog client coordinates. The OK
// button has one entry for the open and one for the save dialogs.
std::span<const ControlLayout> fileDialogControls();
const ControlLayout* findControl(std::string_view member);

// Window and hit polygon of a control, in its window coordinates.
std::vector<Point> windowPolygon(const ControlLayout& control);
std::vector<Point> hitPolygon(const ControlLayout& control);

// Picture names handed to a control, in state order (Up, Down, Focus[, extra]).
// Command: Up, Down, Focus. Tool/Size/Toggle: states 0..3. Latch: Up, DU, D, F.
std::vector<std::string> pictureNames(const ControlLayout& control);

// Skin geometry.
constexpr int32_t kSkinWidth = 640;
constexpr int32_t kSkinHeight = 480;
constexpr Box kCanvas{193, 15, 354, 354};
constexpr Box kFilmPanel{140, 381, 433, 99};
constexpr Box kToolDisplayFrame{134, 96, 59, 142};
constexpr int32_t kToolDisplayWidth = 59;
constexpr int32_t kToolDisplayHeight = 142;

// Filmstrip panel (panel client coordinates).
constexpr Box kKeyStrip{82, 21, 222, 62};
constexpr Box kWheelHotSpot{40, 29, 7, 44};
// What the user sees as the wheel: the drawn drum and the lever beside it. A
// click anywhere on them turns the wheel (the hot spot above lies inside).
constexpr Box kWheelClickArea{8, 6, 40, 87};
constexpr int32_t kWheelFrames = 9;
constexpr int32_t kSliderTrackLeft = 70;
constexpr int32_t kSliderTrackRight = 265;
constexpr int32_t kKnobWidth = 35;
constexpr int32_t kKnobHeight = 22;

struct SliderLayout {
    std::string_view member;
    std::string_view base;   // picture base; the knob picture is base + "U"
    std::string_view label;  // track label on the slider face
    int32_t id;
    Point offset;
};
// In creation order: Speed, Deformation, Power.
std::span<const SliderLayout> sliders();

// Mask values of the knob pictures (blue byte of the left half).
constexpr uint8_t kMaskOpaque = 0;
constexpr uint8_t kMaskShadow = 128;
constexpr uint8_t kMaskClear = 255;

// File dialogs (dialog client coordinates).
constexpr int32_t kDialogWidth = 390;
constexpr int32_t kDialogHeight = 325;
constexpr Box kDialogList{51, 51, 271, 157};
constexpr Box kDialogNameEdit{55, 229, 179, 15};
constexpr Box kDialogTypeCombo{54, 261, 184, 18};
constexpr Box kDialogFolderCombo{53, 22, 184, 18};
constexpr Point kDialogScrollBar{331, 40};
std::vector<Point> dialogWindowPolygon(); // 35 points

// List scroll bar.
constexpr int32_t kScrollBarWidth = 30;
constexpr int32_t kScrollBarHeight = 179;
constexpr int32_t kThumbWidth = 30;
constexpr int32_t kThumbHeight = 36;
std::vector<Point> thumbPolygon(); // 40 points

// Balloon tooltip ends.
constexpr int32_t kTipLeftWidth = 19;
constexpr int32_t kTipRightWidth = 18;
constexpr int32_t kTipHeight = 29;

constexpr int32_t kSplashWidth = 400;
constexpr int32_t kSplashHeight = 300;

// Tool display frames: set prefix + level prefix + frame digit. Each set is
// drawn with the tool of the same place in kToolDisplayKinds; the tool display
// picks a tool's set with skin::toolDisplaySet().
constexpr int32_t kToolDisplaySetCount = 7;
constexpr std::string_view kToolDisplaySets[kToolDisplaySetCount] = {
    "HOOK_", "MAGNIFIER_", "DEFLATOR_", "IRON_", "HAMMER_", "DRILL_", "BRUSH_"};
constexpr ToolKind kToolDisplayKinds[kToolDisplaySetCount] = {
    ToolKind::Move,   ToolKind::ZoomIn, ToolKind::ZoomOut, ToolKind::Smooth,
    ToolKind::Zoom,   ToolKind::Whirl,  ToolKind::Undo};
constexpr std::string_view kToolDisplayLevels[3] = {"SMALL_", "MEDIUM_", "LARGE_"};
constexpr int32_t kToolDisplayFramesPerLevel = 5;
std::string toolDisplayFrameName(int32_t set, int32_t level, int32_t frame);

// Every picture the program loads, with its size and bit depth (24 or 8).
struct PictureEntry {
    std::string name;
    int32_t width;
    int32_t height;
    int32_t depth;
};
std::vector<PictureEntry> allPictures();

// Icons by resource number: program 128; drives 6 removable, 9 fixed,
// 10 remote, 12 CD-ROM; 16 the computer; 5 a folder. Named "ICON_<n>".
constexpr int32_t kIconIds[] = {5, 6, 9, 10, 12, 16, 128};
constexpr int32_t kIconSize = 32;
std::string iconName(int32_t id);

// The tool a tool button chooses, by its control id, and the button of a tool.
std::optional<ToolKind> toolOfButton(int32_t controlId);
int32_t toolButtonId(ToolKind kind);
// The command a main-panel button or an Options menu entry runs, by its id.
std::optional<Command> commandOfControl(int32_t controlId);
// The tool buttons' ids as the panel shows them, top to bottom (the keys 1..7).
std::vector<int32_t> toolButtonsTopDown();

} // namespace knetix::skin
