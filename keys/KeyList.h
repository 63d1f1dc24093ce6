#pragma once
// The filmstrip's model: the ordered key frames, which one the canvas edits,
// which ones the strip shows, the Key menu's rules and commands, and the
// playback state that steps through the keys. No window code: the filmstrip
// widget paints from here and the document runs the commands.

#include "engine/Blend.h"
#include "engine/CMMask.h"
#include "engine/OffsetCell.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace knetix {

// The Key menu's commands, by their command ids.
enum class KeyCommand : int32_t {
    Activate = 32772,
    Copy = 32773,
    MoveRight = 32774,
    MoveLeft = 32775,
    CopyToWindow = 32776,
    CopyToFilmstrip = 32777,
    Delete = 32778,
};

// The commands in the order the menu lists them.
constexpr KeyCommand kKeyMenuOrder[] = {KeyCommand::Activate,     KeyCommand::Copy,
                                        KeyCommand::Delete,       KeyCommand::MoveRight,
                                        KeyCommand::MoveLeft,     KeyCommand::CopyToWindow,
                                        KeyCommand::CopyToFilmstrip};

// Script names: activate copy delete right left to-window to-filmstrip.
std::optional<KeyCommand> keyCommandFromName(std::string_view name);
const char* keyCommandName(KeyCommand command);

// Draws the canvas's current picture into a thumbnail of the given size.
using ThumbnailDrawer = std::function<void(ThumbnailBitmap&, int32_t width, int32_t height)>;

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// The picture shrunk by the smallest whole factor that fits a square cell of
// the given side.
Size thumbnailSize(int32_t pictureWidth, int32_t pictureHeight, int32_t cellSide);

// Everything the filmstrip keeps, as a project file stores it.
struct KeyListState {
    std::vector<std::unique_ptr<CMMask>> keys;
    int32_t thumbnailWidth = 0;
    int32_t thumbnailHeight = 0;
    int32_t stripWidth = 222;
    int32_t stripHeight = 62;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t cellCount = 0;
    int32_t firstVisible = 0;
    int32_t activeKey = 0;
    int32_t menuKey = 0;
    PlaybackState playback;
    std::unique_ptr<CMMask> blend;
};

// First visible, menu key and the playback position are only read after a
// scroll, a menu or Begin has set them, so a file may carry whatever they
// held in memory. Values outside the key list are put back to sound ones
// (first visible into the list, menu key 0, phase 0, current key 0, next
// key 1); values inside stay as they are.
void settleStrayIndices(KeyListState& state);

// Where every key stands, without the keys' contents: what undoing a Key
// command puts back. The masks are named by address; they are moved, never
// copied.
struct KeyArrangement {
    std::vector<const CMMask*> order;
    int32_t activeKey = 0;
    int32_t firstVisible = 0;
    int32_t menuKey = 0;
    PlaybackState playback;
};

// What the canvas has to do after a Key command.
enum class KeyEffect {
    None,       // only the strip changed
    ShowActive, // hand the canvas the active key's cells and render them at full scale
};

class KeyList {
public:
    static constexpr int32_t kStripWidth = 222;
    static constexpr int32_t kStripHeight = 62;

    explicit KeyList(int32_t stripWidth = kStripWidth, int32_t stripHeight = kStripHeight);

    // Geometry of the strip: square cells of the strip's height with equal gaps.
    int32_t cellSide() const { return m_state.stripHeight; }
    int32_t cellsInStrip() const;
    int32_t cellGap() const;
    // Cell i for i = 0 .. cellsInStrip(); an empty rectangle for any other i.
    Rect cellRect(int32_t i) const;
    // The key index under a strip point (first visible + cell), or -1.
    int32_t hitTest(int32_t x, int32_t y) const;
    // The rectangle of a thumbnail centred in cell i.
    Rect thumbnailRect(int32_t i) const;

    int32_t count() const { return int32_t(m_state.keys.size()); }
    CMMask& key(int32_t i) { return *m_state.keys[size_t(i)]; }
    const CMMask& key(int32_t i) const { return *m_state.keys[size_t(i)]; }
    int32_t activeKey() const { return m_state.activeKey; }
    int32_t firstVisible() const { return m_state.firstVisible; }
    int32_t menuKey() const { return m_state.menuKey; }
    int32_t pictureWidth() const { return m_state.pictureWidth; }
    int32_t pictureHeight() const { return m_state.pictureHeight; }
    int32_t cellCount() const { return m_state.cellCount; }
    Size thumbnail() const { return {m_state.thumbnailWidth, m_state.thumbnailHeight}; }
    const KeyListState& state() const { return m_state; }

    // The active key's cells; null without keys.
    OffsetCell* activeCells();

    // After a picture was loaded: two identity keys of its size with thumbnails,
    // the second active. First visible and the menu key stay where they still
    // point into the new list. Throws std::bad_alloc when the
    // fields cannot be had; then nothing has changed.
    void rebuild(int32_t pictureWidth, int32_t pictureHeight, const ThumbnailDrawer& draw);
    // Takes over a project's filmstrip (checked by the reader).
    void replace(KeyListState state);

    // The menu opens on a hit index r in 0 .. count() (count() is the empty cell
    // after the last key); any other index opens nothing and returns false.
    bool openMenu(int32_t r);
    // Whether the menu opened on key r offers the command.
    bool offers(KeyCommand command, int32_t r) const;
    // Runs an offered command on the menu key. Throws std::bad_alloc when a copy
    // cannot be made; then nothing has changed. Keys the command takes out of
    // the list (deleted or overwritten) go to `removed` when given.
    KeyEffect run(KeyCommand command, const ThumbnailDrawer& draw,
                  std::vector<std::unique_ptr<CMMask>>* removed = nullptr);

    KeyArrangement arrangement() const;
    // Puts the keys into the arrangement's order, taking each mask from the
    // list or from `parked`; masks the order does not name go to `parked`.
    // Every mask named must be in one of the two.
    void rearrange(const KeyArrangement& arrangement, std::vector<std::unique_ptr<CMMask>>& parked);

    // The panel's scroll buttons; false when already at the end.
    bool scrollForward();
    bool scrollBack();

    // A render changed what the active key looks like.
    void markActiveStale();
    // Redraws every stale thumbnail from the canvas.
    void refreshStaleThumbnails(const ThumbnailDrawer& draw);

    // Playback: Begin resets the stepping (making the blend field if needed);
    // Step returns the next in-between field, or null without usable keys.
    void playbackBegin(int32_t playParameter);
    OffsetCell* playbackStep(int32_t speed);
    const PlaybackState& playback() const { return m_state.playback; }
    const CMMask* blend() const { return m_state.blend.get(); }

private:
    std::unique_ptr<CMMask> copyOf(const CMMask& key) const;
    void activate(int32_t r, const ThumbnailDrawer& draw);

    KeyListState m_state;
};

} // namespace knetix
