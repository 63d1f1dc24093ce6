#pragma once
// What the document tells the windows that show it. The canvas, the
// filmstrip and the main dialog subscribe once and repaint or resync from
// here; nobody refreshes them by hand after a command.

#include "engine/OffsetCell.h"

#include <cstdint>

namespace knetix {

// What the document is doing. Entering a mode leaves the one before properly:
// a stroke is ended, playback joins its worker and shows the active key.
enum class DocumentMode { Idle, Stroking, Playing, Exporting };

// Every call comes on the thread that changed the document (the
// user-interface thread), except playbackFrameShown.
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;

    // A picture, project or scan replaced the work.
    virtual void workReplaced() {}
    // The displayed picture changed in this area (canvas client coordinates).
    virtual void pictureChanged(const Rect& /*area*/) {}
    // The key list changed: order, count, contents or the active key.
    virtual void keysChanged() {}
    // The thumbnail of key `key` no longer shows what the canvas shows.
    virtual void thumbnailStale(int32_t /*key*/) {}
    // Tool, size, or the tool's radius.
    virtual void toolChanged() {}
    // Power, Deformation or Speed position.
    virtual void slidersChanged() {}
    virtual void modifiedChanged(bool /*modified*/) {}
    // What can be undone or redone changed.
    virtual void historyChanged() {}
    virtual void modeChanged(DocumentMode /*from*/, DocumentMode /*to*/) {}
    // On the playback worker: a frame has been rendered. Must not wait for
    // the user-interface thread.
    virtual void playbackFrameShown() {}
};

} // namespace knetix
