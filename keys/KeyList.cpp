#include "keys/KeyList.h"

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

namespace knetix {

namespace {

struct CommandName {
    KeyCommand command;
    const char* name;
};

constexpr CommandName kCommandNames[] = {
    {KeyCommand::Activate, "activate"},   {KeyCommand::Copy, "copy"},
    {KeyCommand::Delete, "delete"},       {KeyCommand::MoveRight, "right"},
    {KeyCommand::MoveLeft, "left"},       {KeyCommand::CopyToWindow, "to-window"},
    {KeyCommand::CopyToFilmstrip, "to-filmstrip"},
};

} // namespace

std::optional<KeyCommand> keyCommandFromName(std::string_view name)
{
    for (const auto& entry : kCommandNames)
        if (name == entry.name)
            return entry.command;
    return std::nullopt;
}

const char* keyCommandName(KeyCommand command)
{
    for (const auto& entry : kCommandNames)
        if (entry.command == command)
            return entry.name;
    return "";
}

Size thumbnailSize(int32_t pictureWidth, int32_t pictureHeight, int32_t cellSide)
{
    if (cellSide <= 0 || pictureWidth < 0 || pictureHeight < 0)
        return {};
    const int32_t f = std::max(pictureHeight / cellSide, pictureWidth / cellSide);
    return {pictureWidth / (f + 1), pictureHeight / (f + 1)};
}

void settleStrayIndices(KeyListState& s)
{
    const int32_t n = int32_t(std::min<size_t>(s.keys.size(), size_t(INT32_MAX)));
    const int32_t lastKey = std::max(n - 1, 0);
    s.firstVisible = std::clamp(s.firstVisible, 0, lastKey);
    if (s.menuKey < 0 || s.menuKey > n) // n itself is the empty cell after the last key
        s.menuKey = 0;
    PlaybackState& p = s.playback;
    if (p.phase < 0 || p.phase > 64)
        p.phase = 0;
    if (p.currentKey < 0 || p.currentKey > lastKey)
        p.currentKey = 0;
    // 1 is where a fresh strip starts, even before it has two keys.
    if (p.nextKey < 0 || p.nextKey > std::max(n - 1, 1))
        p.nextKey = 1;
}

KeyList::KeyList(int32_t stripWidth, int32_t stripHeight)
{
    m_state.stripWidth = stripWidth;
    m_state.stripHeight = stripHeight;
}

int32_t KeyList::cellsInStrip() const
{
    return m_state.stripHeight > 0 ? m_state.stripWidth / m_state.stripHeight : 0;
}

int32_t KeyList::cellGap() const
{
    const int32_t n = cellsInStrip();
    if (n < 2)
        return 0;
    return (n / 2 + m_state.stripWidth % m_state.stripHeight) / (n - 1);
}

Rect KeyList::cellRect(int32_t i) const
{
    const int32_t h = m_state.stripHeight;
    if (h <= 0 || i < 0 || i > cellsInStrip())
        return {};
    const int32_t left = i * (h + cellGap());
    return {left, 0, left + h, h};
}

int32_t KeyList::hitTest(int32_t x, int32_t y) const
{
    for (int32_t i = 0;; ++i) {
        const Rect cell = cellRect(i);
        if (cell.isEmpty())
            return -1;
        if (x >= cell.left && x < cell.right && y >= cell.top && y < cell.bottom)
            return m_state.firstVisible + i;
    }
}

Rect KeyList::thumbnailRect(int32_t i) const
{
    const Rect cell = cellRect(i);
    const int32_t left = cell.left + (cell.width() - m_state.thumbnailWidth) / 2;
    const int32_t top = cell.top + (cell.height() - m_state.thumbnailHeight) / 2;
    return {left, top, left + m_state.thumbnailWidth, top + m_state.thumbnailHeight};
}

OffsetCell* KeyList::activeCells()
{
    if (m_state.keys.empty())
        return nullptr;
    return m_state.keys[size_t(m_state.activeKey)]->cells();
}

void KeyList::rebuild(int32_t pictureWidth, int32_t pictureHeight, const ThumbnailDrawer& draw)
{
    const Size thumb = thumbnailSize(pictureWidth, pictureHeight, cellSide());
    std::vector<std::unique_ptr<CMMask>> keys;
    for (int k = 0; k < 2; ++k) {
        auto mask = std::make_unique<CMMask>(pictureWidth, pictureHeight);
        if (!mask->cells())
            throw std::bad_alloc();
        draw(mask->thumbnail(), thumb.width, thumb.height);
        keys.push_back(std::move(mask));
    }
    m_state.keys = std::move(keys);
    m_state.blend.reset();
    m_state.pictureWidth = pictureWidth;
    m_state.pictureHeight = pictureHeight;
    m_state.cellCount = pictureWidth * pictureHeight;
    m_state.thumbnailWidth = thumb.width;
    m_state.thumbnailHeight = thumb.height;
    m_state.activeKey = 1;
    settleStrayIndices(m_state);
}

void KeyList::replace(KeyListState state)
{
    m_state = std::move(state);
}

bool KeyList::openMenu(int32_t r)
{
    if (r < 0 || r > count())
        return false;
    m_state.menuKey = r;
    return true;
}

bool KeyList::offers(KeyCommand command, int32_t r) const
{
    const int32_t n = count(), a = m_state.activeKey;
    if (r < 0 || r > n || n == 0)
        return false;
    switch (command) {
    case KeyCommand::Activate:
        return r != a;
    case KeyCommand::Copy:
        return r != n;
    case KeyCommand::Delete:
        return n >= 3 && r != n;
    case KeyCommand::MoveRight:
        return r != n - 1 && r != n;
    case KeyCommand::MoveLeft:
        return r != 0 && r != n;
    case KeyCommand::CopyToWindow:
    case KeyCommand::CopyToFilmstrip:
        return r != n && r != a;
    }
    return false;
}

std::unique_ptr<CMMask> KeyList::copyOf(const CMMask& key) const
{
    auto copy = std::make_unique<CMMask>(key);
    if (key.cells() && !copy->cells())
        throw std::bad_alloc();
    return copy;
}

void KeyList::activate(int32_t r, const ThumbnailDrawer& draw)
{
    if (r == count()) {
        auto copy = copyOf(*m_state.keys[size_t(m_state.activeKey)]);
        draw(copy->thumbnail(), m_state.thumbnailWidth, m_state.thumbnailHeight);
        copy->setThumbnailStale(false);
        m_state.keys.push_back(std::move(copy));
    }
    m_state.activeKey = r;
}

KeyEffect KeyList::run(KeyCommand command, const ThumbnailDrawer& draw,
                       std::vector<std::unique_ptr<CMMask>>* removed)
{
    auto drop = [removed](std::unique_ptr<CMMask> mask) {
        if (removed)
            removed->push_back(std::move(mask));
    };
    const int32_t r = m_state.menuKey;
    if (!offers(command, r))
        return KeyEffect::None;
    auto& keys = m_state.keys;
    int32_t& a = m_state.activeKey;
    switch (command) {
    case KeyCommand::Activate:
        activate(r, draw);
        return KeyEffect::ShowActive;
    case KeyCommand::Copy:
        keys.insert(keys.begin() + r, copyOf(*keys[size_t(r)]));
        if (a >= r)
            ++a;
        return KeyEffect::None;
    case KeyCommand::Delete:
        drop(std::move(keys[size_t(r)]));
        keys.erase(keys.begin() + r);
        if (a >= r)
            a = std::max(a - 1, 0);
        // A strip scrolled to the key just deleted keeps its last key in view;
        // a saved project never points past its keys.
        settleStrayIndices(m_state);
        activate(a, draw);
        return KeyEffect::ShowActive;
    case KeyCommand::MoveRight:
    case KeyCommand::MoveLeft: {
        // Activating r afterwards keeps the active position, not the active key.
        const int32_t other = command == KeyCommand::MoveRight ? r + 1 : r - 1;
        std::swap(keys[size_t(r)], keys[size_t(other)]);
        if (a == r || a == other) {
            activate(r, draw);
            return KeyEffect::ShowActive;
        }
        return KeyEffect::None;
    }
    case KeyCommand::CopyToWindow:
        drop(std::exchange(keys[size_t(a)], copyOf(*keys[size_t(r)])));
        return KeyEffect::ShowActive;
    case KeyCommand::CopyToFilmstrip:
        drop(std::exchange(keys[size_t(r)], copyOf(*keys[size_t(a)])));
        return KeyEffect::None;
    }
    return KeyEffect::None;
}

KeyArrangement KeyList::arrangement() const
{
    KeyArrangement out;
    out.order.reserve(m_state.keys.size());
    for (const auto& key : m_state.keys)
        out.order.push_back(key.get());
    out.activeKey = m_state.activeKey;
    out.firstVisible = m_state.firstVisible;
    out.menuKey = m_state.menuKey;
    out.playback = m_state.playback;
    return out;
}

void KeyList::rearrange(const KeyArrangement& arrangement, std::vector<std::unique_ptr<CMMask>>& parked)
{
    std::vector<std::unique_ptr<CMMask>> pool = std::move(m_state.keys);
    for (auto& mask : parked)
        pool.push_back(std::move(mask));
    parked.clear();
    std::vector<std::unique_ptr<CMMask>> keys;
    keys.reserve(arrangement.order.size());
    for (const CMMask* wanted : arrangement.order) {
        const auto it = std::find_if(pool.begin(), pool.end(), [wanted](const auto& m) { return m.get() == wanted; });
        if (it != pool.end())
            keys.push_back(std::move(*it));
    }
    for (auto& mask : pool)
        if (mask)
            parked.push_back(std::move(mask));
    m_state.keys = std::move(keys);
    m_state.activeKey = arrangement.activeKey;
    m_state.firstVisible = arrangement.firstVisible;
    m_state.menuKey = arrangement.menuKey;
    m_state.playback = arrangement.playback;
    settleStrayIndices(m_state);
    if (m_state.activeKey < 0 || m_state.activeKey >= count())
        m_state.activeKey = std::max(count() - 1, 0);
}

bool KeyList::scrollForward()
{
    if (m_state.firstVisible >= count() - 1)
        return false;
    ++m_state.firstVisible;
    return true;
}

bool KeyList::scrollBack()
{
    if (m_state.firstVisible <= 0)
        return false;
    --m_state.firstVisible;
    return true;
}

void KeyList::markActiveStale()
{
    if (!m_state.keys.empty())
        m_state.keys[size_t(m_state.activeKey)]->setThumbnailStale(true);
}

void KeyList::refreshStaleThumbnails(const ThumbnailDrawer& draw)
{
    for (auto& key : m_state.keys) {
        if (!key->thumbnailStale())
            continue;
        draw(key->thumbnail(), m_state.thumbnailWidth, m_state.thumbnailHeight);
        key->setThumbnailStale(false);
    }
}

void KeyList::playbackBegin(int32_t playParameter)
{
    if (!m_state.blend || m_state.blend->cellCount() != m_state.cellCount) {
        auto blend = std::make_unique<CMMask>(m_state.pictureWidth, m_state.pictureHeight);
        if (!blend->cells())
            throw std::bad_alloc();
        m_state.blend = std::move(blend);
    }
    knetix::playbackBegin(m_state.playback, playParameter);
}

OffsetCell* KeyList::playbackStep(int32_t speed)
{
    if (!m_state.blend)
        return nullptr;
    return knetix::playbackStep(m_state.keys, *m_state.blend, m_state.playback, speed);
}

} // namespace knetix
