#pragma once
// The thumbnails of the browse palette and their cache file: one CPaletteItem
// per picture, keyed by full path, valid while the file's modification stamp is
// unchanged. The file is an object archive: a count, then path and item per
// entry. C++ standard library and files/ only.

#include "container/WA.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace knetix {

// Thumbnails fit in this box.
constexpr int32_t kThumbBoxWidth = 120;
constexpr int32_t kThumbBoxHeight = 90;

class CPaletteItem {
public:
    uint32_t m_writeTimeLow = 0;
    uint32_t m_writeTimeHigh = 0;
    // A 40-byte bitmap header and bottom-up 24-bit rows; empty when the
    // picture could not be read.
    std::vector<uint8_t> m_thumbnail;
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_selected = false; // the clicked item; not stored

    bool hasThumbnail() const { return m_width != 0 && m_height != 0 && !m_thumbnail.empty(); }
    uint64_t writeTime() const { return (uint64_t(m_writeTimeHigh) << 32) | m_writeTimeLow; }
    void setWriteTime(uint64_t stamp)
    {
        m_writeTimeLow = uint32_t(stamp);
        m_writeTimeHigh = uint32_t(stamp >> 32);
    }
};

using PaletteItemPtr = std::shared_ptr<CPaletteItem>;
using ThumbnailMap = std::map<std::string, PaletteItemPtr>;

// Row bytes of a thumbnail: ((width * 3 + 3) / 4) * 4.
constexpr int32_t thumbnailStride(int32_t width)
{
    return (width * 3 + 3) / 4 * 4;
}

// The size a picture of w x h gets inside the 120 x 90 box (a side never below 1).
void thumbnailSize(int32_t w, int32_t h, int32_t& width, int32_t& height);

// A thumbnail of a 24-bit picture by the nearest-pixel rule (output row y takes
// source row y * H / height, column x takes x * W / width); rows stay in the
// source's order. Pictures of another type give an item without a thumbnail.
CPaletteItem makeThumbnail(const WA& picture);

// Reads the picture file and makes its thumbnail with the file's stamp; an
// unreadable picture gives an item without one.
CPaletteItem makeThumbnailOfFile(const std::filesystem::path& file);

// The file's modification stamp in 100 ns since 1601-01-01 (UTC); 0 when the
// file cannot be asked.
uint64_t fileWriteStamp(const std::filesystem::path& file);

// The database file's bytes for a map, in the map's order.
std::vector<uint8_t> encodeThumbnailDatabase(const ThumbnailMap& database);

// Reads the bytes into a map. False (and an empty map) for anything damaged:
// short data, a wrong class or schema, an object named twice, a size that is
// not a thumbnail's, a header that does not match, or bytes left over.
bool decodeThumbnailDatabase(std::span<const uint8_t> bytes, ThumbnailMap& database);

// The file, or an empty map when it is missing or damaged; `damaged` tells
// the second case apart, so that the caller writes a sound file again.
ThumbnailMap loadThumbnailDatabase(const std::filesystem::path& file, bool* damaged = nullptr);
// Written beside the target and renamed over it when complete; 0 or an errno.
int saveThumbnailDatabase(const std::filesystem::path& file, const ThumbnailMap& database);

} // namespace knetix
