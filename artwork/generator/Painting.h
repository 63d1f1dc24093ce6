#pragma once
// The look of the skin: graphite with a brushed grain, bevelled plates, amber
// for hover, inset for pushed and selected; and every picture drawn in it.

#include "resources/SkinLayout.h"

#include <QFont>
#include <QImage>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace knetix::art {

using PictureSink = std::function<void(const std::string&, const QImage&)>;

// The factor the pictures are drawn at (1..4, default 1): every picture gets
// factor times the pixels each way and that device pixel ratio, so the drawing
// keeps the coordinates of the 1x layout and lines and letters come out sharp.
void setFactor(int factor);
int factor();

// Registers the DejaVu faces the pictures are lettered with.
bool loadFonts();
QFont font(double pixelSize, bool bold = false, bool condensed = false);

QImage drawSkin();
// All state pictures of a control, drawn on the part of `background` under it.
void drawControl(const skin::ControlLayout& control, const QImage& background, const PictureSink& sink);
std::vector<QImage> drawWheelFrames();
QImage drawKnob(const skin::SliderLayout& slider);
QImage drawTipEnd(bool left);
QImage drawSplash();
QImage drawDialog(const QString& title);
QImage drawComboButton();
QImage drawScrollBackground();
QImage drawThumb();
// At `size` logical pixels square, the same drawing scaled (the program icon
// for the desktop is also drawn large).
QImage drawIcon(int32_t id, int32_t size = skin::kIconSize);

QImage drawContactSheet(const std::vector<std::pair<std::string, QImage>>& pictures);
QImage drawPanelPreview(const std::map<std::string, QImage>& pictures);
QImage drawSliderPanelPreview(const std::map<std::string, QImage>& pictures);

} // namespace knetix::art
