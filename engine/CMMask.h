#pragma once
// A key frame: a displacement field with a thumbnail of the picture it shows.

#include "engine/OffsetCell.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace knetix {

// A thumbnail as a plain pixel block with the description that project files
// keep: type, width, height, bytes per row, planes, bits per pixel and the rows,
// top row first, in the screen's format at the time it was drawn.
struct ThumbnailBitmap {
    int32_t type = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerRow = 0;
    uint16_t planes = 1;
    uint16_t bitsPerPixel = 32;
    std::vector<uint8_t> bits; // bytesPerRow * height bytes

    bool isEmpty() const { return width <= 0 || height <= 0 || bits.empty(); }
    friend bool operator==(const ThumbnailBitmap&, const ThumbnailBitmap&) = default;
};

class CMMask {
public:
    static constexpr const char* kClassName = "CMMask";

    // No cells, count 0, no thumbnail: the state a project reader starts from.
    CMMask() = default;
    // width x height identity cells. If the cells cannot be had, the mask has
    // none while the count says what was asked for; callers test cells().
    CMMask(int32_t width, int32_t height);
    // Same cells and thumbnail pixels; the copy's thumbnail is never stale.
    CMMask(const CMMask& other);
    CMMask& operator=(const CMMask&) = delete;

    OffsetCell* cells() { return m_cells.get(); }
    const OffsetCell* cells() const { return m_cells.get(); }
    int32_t cellCount() const { return m_count; }

    // Takes over a field read from elsewhere (count 0 leaves the mask without cells).
    void replaceCells(std::unique_ptr<OffsetCell[]> cells, int32_t count);

    const ThumbnailBitmap& thumbnail() const { return m_thumbnail; }
    ThumbnailBitmap& thumbnail() { return m_thumbnail; }
    void setThumbnail(ThumbnailBitmap bitmap) { m_thumbnail = std::move(bitmap); }

    bool thumbnailStale() const { return m_thumbnailStale != 0; }
    void setThumbnailStale(bool stale) { m_thumbnailStale = stale ? 1 : 0; }

private:
    std::unique_ptr<OffsetCell[]> m_cells;
    int32_t m_count = 0;
    ThumbnailBitmap m_thumbnail;
    int32_t m_thumbnailStale = 0;
};

// A field of count cells, all (0, 0); null when the memory cannot be had.
std::unique_ptr<OffsetCell[]> allocateCells(int64_t count);

} // namespace knetix
