#pragma once
// The skin pictures, found by name regardless of case ("SpeedU" finds SPEEDU).
// The 1x pictures are compiled into the program; those for a larger interface
// scale come from the data folder.

#include <QImage>

#include <string>
#include <string_view>

namespace knetix {

// The picture of that name at the artwork scale, or a null image if there is
// none. At scale N it has N times the pixels each way and device pixel ratio
// N, so its deviceIndependentSize() is the 1x size.
QImage loadSkinPicture(std::string_view name);
bool hasSkinPicture(std::string_view name);
// The icon of a resource number (program 128, drives and folders), or null;
// at the artwork scale like loadSkinPicture().
QImage loadSkinIcon(int id);

// Chooses the pictures drawn for an interface scale factor (1..4). Factor 1 is
// compiled in and the default; factor N is read from skin-Nx.rcc in
// `dataFolder` (the program's data folder). False, with the scale left as it
// was, when that file is missing or is not the whole skin drawn at N.
bool setArtworkScale(int factor, const std::string& dataFolder);
int artworkScale();

} // namespace knetix
