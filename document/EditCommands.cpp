#include "document/EditCommands.h"

#include "engine/Stroke.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace knetix {

namespace {

Rect wholePicture(const WorkingPicture& picture)
{
    return {0, 0, picture.width(), picture.height()};
}

size_t maskBytes(const CMMask& mask)
{
    return sizeof(mask) + size_t(mask.cellCount()) * sizeof(OffsetCell) + mask.thumbnail().bits.capacity();
}

} // namespace

void EditTarget::addRestored(const Rect& area)
{
    if (area.isEmpty())
        return;
    if (restored.isEmpty()) {
        restored = area;
        return;
    }
    restored = {std::min(restored.left, area.left), std::min(restored.top, area.top),
                std::max(restored.right, area.right), std::max(restored.bottom, area.bottom)};
}

Grid activeFieldGrid(WorkingPicture& picture, KeyList& keys)
{
    OffsetCell* cells = picture.field();
    const int32_t W = keys.pictureWidth(), H = keys.pictureHeight();
    if (!cells || int64_t(picture.fieldCount()) != int64_t(W) * H)
        return {};
    return {reinterpret_cast<uint8_t*>(cells), int64_t(W) * int64_t(sizeof(OffsetCell)), W, H,
            int32_t(sizeof(OffsetCell))};
}

Grid displayedGrid(WorkingPicture& picture)
{
    uint8_t* bits = picture.editableDisplayedBits();
    if (!bits)
        return {};
    const int64_t stride = picture.stride();
    return {bits + (int64_t(picture.height()) - 1) * stride, -stride, picture.width(), picture.height(), 3};
}

std::vector<uint8_t> copyDisplayed(const WorkingPicture& picture)
{
    std::lock_guard guard(picture.lock());
    const uint8_t* bits = picture.displayedBits();
    if (!bits)
        return {};
    return std::vector<uint8_t>(bits, bits + size_t(picture.stride()) * size_t(picture.height()));
}

void restoreDisplayed(WorkingPicture& picture, const std::vector<uint8_t>& shown)
{
    std::lock_guard guard(picture.lock());
    uint8_t* bits = picture.editableDisplayedBits();
    if (bits && shown.size() == size_t(picture.stride()) * size_t(picture.height()))
        std::memcpy(bits, shown.data(), shown.size());
}

// ---- strokes ----

void StrokeCmd::put(EditTarget& target, bool after)
{
    m_cells.restore(activeFieldGrid(target.picture, target.keys), after);
    {
        std::lock_guard guard(target.picture.lock());
        m_pixels.restore(displayedGrid(target.picture), after);
    }
    target.addRestored(m_pixels.rect);
}

// ---- the Deformation position ----

std::unique_ptr<BakeDeformationCmd> BakeDeformationCmd::bake(EditTarget& target)
{
    auto cmd = std::unique_ptr<BakeDeformationCmd>(new BakeDeformationCmd);
    WorkingPicture& picture = target.picture;
    cmd->m_scale = target.deformation;
    if (const OffsetCell* cells = picture.field())
        cmd->m_cells.assign(cells, cells + picture.fieldCount());
    cmd->m_shownBeforeSlider = std::move(target.shownBeforeSlider);
    cmd->apply(target);
    return cmd;
}

void BakeDeformationCmd::apply(EditTarget& target)
{
    target.shownBeforeSlider.clear();
    scaleField(target.picture.field(), target.picture.fieldCount(), m_scale);
    target.picture.fullRender(64, RenderMode::Smooth);
    target.deformation = 64;
    target.slidersChanged = true;
}

// The slider move belongs to the step that baked it: undo goes back to
// before it, the slider at 64 and the picture as it was shown then.
void BakeDeformationCmd::undo(EditTarget& target)
{
    WorkingPicture& picture = target.picture;
    if (OffsetCell* cells = picture.field(); cells && size_t(picture.fieldCount()) == m_cells.size())
        std::copy(m_cells.begin(), m_cells.end(), cells);
    target.deformation = 64;
    target.shownBeforeSlider.clear();
    target.slidersChanged = true;
    if (m_shownBeforeSlider.empty()) {
        picture.fullRender(64, RenderMode::Smooth);
        return;
    }
    restoreDisplayed(picture, m_shownBeforeSlider);
    target.addRestored(wholePicture(picture));
}

void BakeDeformationCmd::redo(EditTarget& target)
{
    apply(target);
}

size_t BakeDeformationCmd::bytes() const
{
    return sizeof(*this) + m_cells.capacity() * sizeof(OffsetCell) + m_shownBeforeSlider.capacity();
}

// ---- Key commands ----

KeysCmd::KeysCmd(EditTarget& target, int32_t menuKeyBefore)
    : m_before(target.keys.arrangement()), m_beforeThumbnails(thumbnails(target.keys)),
      m_shownBefore(copyDisplayed(target.picture))
{
    m_before.menuKey = menuKeyBefore;
}

void KeysCmd::finish(EditTarget& target, std::vector<std::unique_ptr<CMMask>> removed, bool showsActive)
{
    m_after = target.keys.arrangement();
    m_parked = std::move(removed);
    m_showsActive = showsActive;
    if (!showsActive)
        std::vector<uint8_t>().swap(m_shownBefore);
}

std::vector<KeysCmd::Thumbnail> KeysCmd::thumbnails(const KeyList& keys)
{
    std::vector<Thumbnail> out;
    out.reserve(size_t(keys.count()));
    for (int32_t i = 0; i < keys.count(); ++i)
        out.push_back({&keys.key(i), keys.key(i).thumbnail(), keys.key(i).thumbnailStale()});
    return out;
}

void KeysCmd::putThumbnails(KeyList& keys, const std::vector<Thumbnail>& thumbnails)
{
    for (int32_t i = 0; i < keys.count(); ++i) {
        CMMask& key = keys.key(i);
        for (const Thumbnail& t : thumbnails)
            if (t.key == &key) {
                key.setThumbnail(t.bitmap);
                key.setThumbnailStale(t.stale);
                break;
            }
    }
}

void KeysCmd::arrange(EditTarget& target, const KeyArrangement& to, const std::vector<Thumbnail>& thumbnails)
{
    target.keys.rearrange(to, m_parked);
    putThumbnails(target.keys, thumbnails);
    target.picture.setField(target.keys.activeCells(), target.keys.cellCount());
    target.keysChanged = true;
}

void KeysCmd::undo(EditTarget& target)
{
    m_afterThumbnails = thumbnails(target.keys);
    arrange(target, m_before, m_beforeThumbnails);
    if (m_showsActive) {
        restoreDisplayed(target.picture, m_shownBefore);
        target.addRestored(wholePicture(target.picture));
    }
}

void KeysCmd::redo(EditTarget& target)
{
    m_beforeThumbnails = thumbnails(target.keys);
    arrange(target, m_after, m_afterThumbnails);
    if (m_showsActive)
        target.picture.fullRender(64, RenderMode::Smooth);
}

size_t KeysCmd::bytes() const
{
    size_t total = sizeof(*this) + m_shownBefore.capacity() +
                   (m_before.order.capacity() + m_after.order.capacity()) * sizeof(const CMMask*);
    for (const auto& mask : m_parked)
        total += maskBytes(*mask);
    for (const auto* list : {&m_beforeThumbnails, &m_afterThumbnails})
        for (const Thumbnail& t : *list)
            total += sizeof(t) + t.bitmap.bits.capacity();
    return total;
}

} // namespace knetix
