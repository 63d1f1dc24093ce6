#pragma once
// The skin pictures compiled into the program, found by name regardless of case
// ("SpeedU" finds SPEEDU).

#include <QImage>

#include <string_view>

namespace knetix {

// The picture of that name, or a null image if there is none.
QImage loadSkinPicture(std::string_view name);
bool hasSkinPicture(std::string_view name);
// The icon of a resource number (program 128, drives and folders), or null.
QImage loadSkinIcon(int id);

} // namespace knetix
