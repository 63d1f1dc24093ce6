#pragma once
// The commands that a step of the undo history is made of: the cells and
// pixels a stroke changed, a Deformation position baked into the active key,
// and a Key command's rearrangement of the key list. Each puts back exactly
// the bytes it found, so that undoing returns the work to what it was.

#include "document/AreaRecorder.h"
#include "document/History.h"
#include "engine/WorkingPicture.h"
#include "keys/KeyList.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace knetix {

// What the commands change, and what they report back for the views.
struct EditTarget {
    WorkingPicture& picture;
    KeyList& keys;
    int32_t& deformation;
    // The displayed picture before the Deformation slider left 64; empty
    // while it stands at 64.
    std::vector<uint8_t>& shownBeforeSlider;

    // Set by the commands: the picture area put back byte for byte (a render
    // tells the document by itself), and whether keys or sliders changed.
    Rect restored{};
    bool keysChanged = false;
    bool slidersChanged = false;

    void addRestored(const Rect& area);
};

// The active key's cells and the displayed pixels as grids.
Grid activeFieldGrid(WorkingPicture& picture, KeyList& keys);
Grid displayedGrid(WorkingPicture& picture);
// The displayed pixels, all rows; and putting such a copy back.
std::vector<uint8_t> copyDisplayed(const WorkingPicture& picture);
void restoreDisplayed(WorkingPicture& picture, const std::vector<uint8_t>& shown);

class StrokeCmd : public Cmd {
public:
    StrokeCmd(AreaChange cells, AreaChange pixels) : m_cells(std::move(cells)), m_pixels(std::move(pixels)) {}
    void undo(EditTarget& target) override { put(target, false); }
    void redo(EditTarget& target) override { put(target, true); }
    size_t bytes() const override { return sizeof(*this) + m_cells.bytes() + m_pixels.bytes(); }

private:
    void put(EditTarget& target, bool after);

    AreaChange m_cells;
    AreaChange m_pixels;
};

class BakeDeformationCmd : public Cmd {
public:
    // Bakes the Deformation position into the active key now and renders it
    // at full scale, keeping what undo needs.
    static std::unique_ptr<BakeDeformationCmd> bake(EditTarget& target);
    void undo(EditTarget& target) override;
    void redo(EditTarget& target) override;
    size_t bytes() const override;

private:
    void apply(EditTarget& target);

    int32_t m_scale = 64;
    std::vector<OffsetCell> m_cells;          // the active key before
    std::vector<uint8_t> m_shownBeforeSlider; // the picture before the slider moved
};

class KeysCmd : public Cmd {
public:
    // Taken just before a Key command runs; `menuKeyBefore` is the menu key
    // from before the menu opened (opening it is no step of its own).
    KeysCmd(EditTarget& target, int32_t menuKeyBefore);
    // After it ran: the masks it took out of the list, and whether the canvas
    // shows another field now.
    void finish(EditTarget& target, std::vector<std::unique_ptr<CMMask>> removed, bool showsActive);

    void undo(EditTarget& target) override;
    void redo(EditTarget& target) override;
    size_t bytes() const override;

private:
    struct Thumbnail {
        const CMMask* key;
        ThumbnailBitmap bitmap;
        bool stale;
    };
    static std::vector<Thumbnail> thumbnails(const KeyList& keys);
    static void putThumbnails(KeyList& keys, const std::vector<Thumbnail>& thumbnails);
    void arrange(EditTarget& target, const KeyArrangement& to, const std::vector<Thumbnail>& thumbnails);

    KeyArrangement m_before;
    KeyArrangement m_after;
    std::vector<std::unique_ptr<CMMask>> m_parked; // masks not in the list now
    std::vector<Thumbnail> m_beforeThumbnails;
    std::vector<Thumbnail> m_afterThumbnails;
    bool m_showsActive = false;
    std::vector<uint8_t> m_shownBefore; // only when the canvas changed field
};

} // namespace knetix
