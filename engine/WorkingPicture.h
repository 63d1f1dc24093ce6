#pragma once
// The working picture that the canvas owns: the loaded picture fitted once into
// the canvas, kept unwarped (source bits) and as displayed (a 40-byte bitmap
// header followed by the displayed bits, in one block), with the field that is
// currently edited or shown. No window code: the canvas widget paints from here
// under lock().

#include "engine/CMMask.h"
#include "engine/OffsetCell.h"
#include "engine/Render.h"
#include "engine/SharpCanvas.h"
#include "container/Dib.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace knetix {

class WA;

enum class LoadResult {
    Ok,
    Invalid,  // not a 24-bit picture, or a block too short for what its header says
    TooSmall, // the fitted picture would be under 4 pixels wide or high
    NoMemory,
};

class WorkingPicture {
public:
    static constexpr int32_t kCanvasSize = 354;
    // A working picture narrower or lower than this is refused.
    static constexpr int32_t kMinimumSide = 4;
    static constexpr int32_t kFilePixelsPerMetre = 2835;

    explicit WorkingPicture(int32_t clientWidth = kCanvasSize, int32_t clientHeight = kCanvasSize);

    int32_t clientWidth() const { return m_clientWidth; }
    int32_t clientHeight() const { return m_clientHeight; }

    bool hasPicture() const { return !m_block.empty(); }
    const Rect& pictureRect() const { return m_rect; }
    int32_t width() const { return m_rect.width(); }
    int32_t height() const { return m_rect.height(); }
    int32_t stride() const { return m_stride; }
    const std::string& picturePath() const { return m_path; }
    void setPicturePath(std::string path) { m_path = std::move(path); }

    // Header and displayed bits in one block (empty without a picture).
    const std::vector<uint8_t>& pictureBlock() const { return m_block; }
    const uint8_t* displayedBits() const;
    // The same bits for putting back pixels kept earlier (undo); stride()
    // bytes per row, bottom row first. Take lock() while writing.
    uint8_t* editableDisplayedBits();
    // The displayed picture by the working picture's own geometry and the
    // header's resolution; an invalid view without a picture. Fields of a
    // stored header that a 24-bit picture does not need (image size, colours
    // used) are not consulted.
    Bitmap24View displayedView() const;
    const std::vector<uint8_t>& sourceBits() const { return m_source; }
    // The unwarped picture the same way (what a sharp canvas enlarges when
    // the picture file is gone).
    Bitmap24View sourceView() const;

    // Fit a picture into the canvas (scaled up or down until it touches two
    // opposite sides, centred in the other direction, nearest pixel). On failure
    // nothing changes.
    LoadResult loadFromContainer(const std::string& path, const WA& picture);
    LoadResult loadFromPackedDib(const std::string& path, const uint8_t* block, size_t length);

    // Takes over a stored working picture (a project's); checks that the rectangle,
    // stride, header and both blocks agree. On failure nothing changes.
    LoadResult restore(const std::string& path, const Rect& rect, std::vector<uint8_t> block,
                       std::vector<uint8_t> source, int32_t stride);
    // Forgets the picture (a project stored without one).
    void clear();

    // The field that is edited or shown; not owned. Guarded by the lock.
    void setField(OffsetCell* cells, int32_t count);
    void setField(OffsetCell* cells);
    OffsetCell* field() const;
    int32_t fieldCount() const;

    // Recomputes the displayed picture through the field at Deformation scale
    // 0..64, under the lock. Does nothing without a picture or a matching field.
    void fullRender(int32_t scale, RenderMode mode);
    // Recomputes the displayed picture around a stroke point at client point
    // (X, Y) for a tool of the given radius: smooth, full scale. User-interface
    // thread only, never during playback, so it takes no lock.
    void squareRender(int32_t X, int32_t Y, int32_t radius);

    // The canvas shown sharp at the interface's whole-number scale (factor 2
    // and above; at 1 the displayed picture is what the canvas shows). Every
    // render renders it too; the working picture and all saved from it stay
    // as they are.
    void setDisplayFactor(int32_t factor);
    int32_t displayFactor() const { return m_displayFactor; }
    // Makes the sharp display from the picture at its own size, or from the
    // working picture enlarged when there is none, and renders it through the
    // field as it is now (Deformation at full scale). Nothing at factor 1.
    void loadSharp(const WA* ownSize);
    // Read it under lock(); not loaded at factor 1 or without a picture.
    const SharpCanvas& sharp() const { return m_sharp; }
    // After displayed pixels were put back (undo): the sharp display rendered
    // again from the field at that Deformation scale.
    void refreshSharp(int32_t scale);

    // Draws the displayed picture, stretched, into a 32-bit thumbnail of the
    // given size (rows top first, blue, green, red, unused byte). Without a
    // picture the thumbnail is made but left black.
    void drawThumbnail(ThumbnailBitmap& thumbnail, int32_t width, int32_t height) const;

    // Called after every render while notification is on, with the area
    // rendered (picture coordinates): the filmstrip marks its active key's
    // thumbnail stale, the canvas repaints. Runs outside the lock.
    using RenderListener = std::function<void(const Rect& area)>;
    void setRenderListener(RenderListener listener) { m_listener = std::move(listener); }
    void setNotify(bool notify) { m_notify = notify; }
    bool notify() const { return m_notify; }

    // Guards the field pointer, full renders and painting.
    std::mutex& lock() const { return m_lock; }

private:
    PictureBuffers buffers();
    void adopt(const std::string& path, const Rect& rect, std::vector<uint8_t> block,
               std::vector<uint8_t> source, int32_t stride);
    bool fieldMatches() const;
    void notifyRendered(const Rect& area);
    template <class SourceRow>
    LoadResult fit(const std::string& path, int32_t w, int32_t h, int32_t pixelsPerMetre,
                   SourceRow sourceRow);

    int32_t m_clientWidth;
    int32_t m_clientHeight;
    Rect m_rect;
    int32_t m_stride = 0;
    std::vector<uint8_t> m_block;
    std::vector<uint8_t> m_source;
    std::string m_path;

    OffsetCell* m_field = nullptr;
    int32_t m_fieldCount = 0;

    int32_t m_displayFactor = 1;
    SharpCanvas m_sharp;

    RenderListener m_listener;
    bool m_notify = true;
    mutable std::mutex m_lock;
};

// A working picture held still for reading (painting, printing) while this
// lives.
class LockedPicture {
public:
    explicit LockedPicture(const WorkingPicture& picture) : m_guard(picture.lock()), m_picture(picture) {}
    const WorkingPicture& operator*() const { return m_picture; }
    const WorkingPicture* operator->() const { return &m_picture; }

private:
    std::lock_guard<std::mutex> m_guard;
    const WorkingPicture& m_picture;
};

} // namespace knetix
