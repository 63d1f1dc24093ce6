#pragma once
// The interface's whole-number scale: the skin, every control and dialog at
// the largest factor at which the 640 x 480 skin fits the screen, or at the
// factor the settings fix. The program keeps its own coordinates; Qt scales
// them for the screen.

namespace knetix {

constexpr int kMaximumInterfaceFactor = 4;

// The largest whole factor (1 .. 4) at which 640 x 480 fits a screen of that
// size: 1 below 1280 x 960, 2 on 1920 x 1080, 3 on 2560 x 1440, 4 on 3840 x 2160.
int automaticInterfaceFactor(int screenWidth, int screenHeight);

// The factor of this start: the "Zoom" setting when it fixes one (1 .. 4),
// else the automatic factor of the primary screen, which a short-lived
// application object is asked for. Tells Qt, so call it before the program's
// application object exists. 1 when Qt's factor was set by hand.
int prepareInterfaceScale(int& argc, char** argv, int zoomSetting);

} // namespace knetix
