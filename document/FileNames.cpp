#include "document/FileNames.h"

#include <algorithm>
#include <cctype>

namespace knetix {

namespace {

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

// The extension with its dot, from the last dot of the name part, or empty.
std::string extensionOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

} // namespace

std::string completeFileName(const std::string& chosenPath, const std::string& pattern)
{
    std::string wanted = upper(pattern);
    if (wanted.find('*') != std::string::npos)
        wanted.erase(0, 1);
    if (upper(extensionOf(chosenPath)) == wanted)
        return chosenPath;
    return chosenPath + wanted;
}

} // namespace knetix
