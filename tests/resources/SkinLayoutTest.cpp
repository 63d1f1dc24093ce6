#include "resources/SkinLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using namespace knetix::skin;
using knetix::ToolKind;

namespace {

Box bounds(const std::vector<Point>& points)
{
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

bool overlap(const Box& a, const Box& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

} // namespace

TEST(SkinLayout, MainPanelOrderIdsAndOffsets)
{
    const auto controls = mainPanelControls();
    const char* order[] = {"Magnifier", "Options", "Drill", "Hook", "Hammer", "Deflator", "Iron", "Brush",
                           "OProj", "OPict", "ScanPict", "SProj", "SPict", "SAvi", "PrintPict", "Minimize",
                           "Close", "Small", "Medium", "Large", "ToolDisplay", "About", "Help", "HomePage"};
    ASSERT_EQ(controls.size(), std::size(order));
    for (size_t i = 0; i < controls.size(); ++i)
        EXPECT_EQ(controls[i].member, order[i]);
    const ControlLayout* hook = findControl("Hook");
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(hook->id, 1001);
    EXPECT_EQ(hook->offset, (Point{22, 88}));
    EXPECT_EQ(hook->toolIndex, 0);
    EXPECT_EQ(findControl("Brush")->toolIndex, 6);
    EXPECT_EQ(findControl("Large")->toolIndex, 2);
    EXPECT_EQ(findControl("PrintPict")->offset, (Point{103, 425}));
    EXPECT_EQ(findControl("ToolDisplay")->windowWidth, 200);
}

TEST(SkinLayout, EachToolButtonChoosesItsInstrument)
{
    const std::pair<const char*, ToolKind> buttons[] = {
        {"Drill", ToolKind::Whirl}, {"Hook", ToolKind::Move},     {"Hammer", ToolKind::Zoom},
        {"Deflator", ToolKind::ZoomOut}, {"Iron", ToolKind::Smooth}, {"Magnifier", ToolKind::ZoomIn},
        {"Brush", ToolKind::Undo}};
    for (const auto& [member, kind] : buttons) {
        const ControlLayout* button = findControl(member);
        ASSERT_NE(button, nullptr) << member;
        EXPECT_EQ(toolOfButton(button->id), kind) << member;
        EXPECT_EQ(toolButtonId(kind), button->id) << member;
    }
    EXPECT_EQ(toolOfButton(findControl("Small")->id), std::nullopt);
}

TEST(SkinLayout, TitleBarButtonsKeepTheirOutline)
{
    const std::vector<Point> outline = {{2, 1}, {19, 1}, {19, 24}, {1, 24}, {1, 1}};
    for (const char* name : {"Minimize", "Close"}) {
        const ControlLayout& c = *findControl(name);
        EXPECT_EQ(windowPolygon(c), outline) << name;
        EXPECT_EQ(hitPolygon(c), outline) << name;
        EXPECT_EQ(c.width, 21);
        EXPECT_EQ(c.height, 26);
        // Their Focus picture is the Up picture again.
        EXPECT_EQ(pictureNames(c)[2], pictureNames(c)[0]);
    }
}

TEST(SkinLayout, PolygonsLieOnTheirPictures)
{
    for (const auto& table : {mainPanelControls(), filmPanelControls(), fileDialogControls()}) {
        for (const ControlLayout& c : table) {
            const Box w = bounds(windowPolygon(c));
            const Box h = bounds(hitPolygon(c));
            EXPECT_GE(w.x, 0) << c.member;
            EXPECT_GE(w.y, 0) << c.member;
            EXPECT_LE(w.x + w.width, c.width) << c.member;
            EXPECT_LE(w.y + w.height, c.height) << c.member;
            EXPECT_LE(c.width, c.windowWidth) << c.member;
            EXPECT_LE(c.height, c.windowHeight) << c.member;
            // The reacting shape never reaches beyond the visible one.
            EXPECT_GE(h.x, w.x) << c.member;
            EXPECT_GE(h.y, w.y) << c.member;
            EXPECT_LE(h.x + h.width, w.x + w.width) << c.member;
            EXPECT_LE(h.y + h.height, w.y + w.height) << c.member;
            EXPECT_GE(windowPolygon(c).size(), 4u) << c.member;
        }
    }
}

TEST(SkinLayout, ControlsDoNotCoverEachOtherOrTheCanvas)
{
    const auto controls = mainPanelControls();
    std::vector<Box> boxes;
    for (const ControlLayout& c : controls) {
        Box b = bounds(windowPolygon(c));
        b.x += c.offset.x;
        b.y += c.offset.y;
        boxes.push_back(b);
        EXPECT_GE(b.x, 0) << c.member;
        EXPECT_LE(b.x + b.width, kSkinWidth) << c.member;
        EXPECT_LE(b.y + b.height, kSkinHeight) << c.member;
        EXPECT_FALSE(overlap(b, kCanvas)) << c.member;
        EXPECT_FALSE(overlap(b, kFilmPanel)) << c.member;
    }
    for (size_t i = 0; i < boxes.size(); ++i)
        for (size_t j = i + 1; j < boxes.size(); ++j)
            EXPECT_FALSE(overlap(boxes[i], boxes[j])) << controls[i].member << " / " << controls[j].member;
}

TEST(SkinLayout, FilmPanelButtonsStayOnThePanelAndOffTheSliders)
{
    for (const ControlLayout& c : filmPanelControls()) {
        const Box b = bounds(windowPolygon(c));
        EXPECT_LE(c.offset.x + b.x + b.width, kFilmPanel.width) << c.member;
        EXPECT_LE(c.offset.y + b.y + b.height, kFilmPanel.height) << c.member;
        EXPECT_FALSE((Box{c.offset.x + b.x, c.offset.y + b.y, b.width, b.height}.contains({kWheelHotSpot.x, kWheelHotSpot.y})));
        // No button lies on the wheel, whose whole drawing takes the click.
        EXPECT_TRUE(c.offset.x + b.x >= kWheelClickArea.x + kWheelClickArea.width ||
                    c.offset.y + b.y >= kWheelClickArea.y + kWheelClickArea.height)
            << c.member;
    }
    EXPECT_TRUE(kWheelClickArea.contains({kWheelHotSpot.x, kWheelHotSpot.y}));
    EXPECT_TRUE(kWheelClickArea.contains({kWheelHotSpot.x + kWheelHotSpot.width - 1,
                                          kWheelHotSpot.y + kWheelHotSpot.height - 1}));
    // Knobs at the far right end before Play2 starts.
    EXPECT_LE(kSliderTrackRight + kKnobWidth, findControl("Play2")->offset.x);
}

TEST(SkinLayout, PictureCatalogue)
{
    const auto all = allPictures();
    std::set<std::string> names;
    for (const PictureEntry& p : all) {
        EXPECT_TRUE(names.insert(p.name).second) << p.name;
        EXPECT_TRUE(p.depth == 8 || p.depth == 24 || p.depth == 32) << p.name;
    }
    for (const char* name : {"MAIN_WND", "BTN_MAGNIFIER_UF", "BTN_CLOSE_D", "WHEEL_8", "POWERU", "SPEEDU",
                             "DEFORMATIONU", "HOOK_SMALL_0", "DRILL_LARGE_4", "IRON_MEDIUM_2", "TIP_LEFT",
                             "SPLASH_START", "SAVE_AVI", "OP_BTN_BROWSE_DU", "OP_BTN_READ_ONLY_UF", "SP_BTN_SAVE_F",
                             "OP_COMBO_BTN_DOWN", "FUNDAL", "PATRATELU", "ICON_128", "ICON_12"})
        EXPECT_TRUE(names.count(name)) << name;
    // 105 tool display frames: seven sets.
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const PictureEntry& p) { return p.depth == 8 && p.width == 59; }), 105);
    EXPECT_EQ(toolDisplayFrameName(3, 1, 4), "IRON_MEDIUM_4");
    EXPECT_EQ(toolDisplayFrameName(6, 2, 0), "BRUSH_LARGE_0");
}

TEST(SkinLayout, DialogAndThumbOutlines)
{
    const auto dialog = dialogWindowPolygon();
    EXPECT_EQ(dialog.size(), 35u);
    const Box d = bounds(dialog);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.width, kDialogWidth);
    EXPECT_EQ(d.height, kDialogHeight);
    const auto thumb = thumbPolygon();
    EXPECT_EQ(thumb.size(), 40u);
    const Box t = bounds(thumb);
    EXPECT_EQ(t.width, kThumbWidth);
    EXPECT_EQ(t.height, kThumbHeight);
}
