#pragma once
// The open work and every command the main dialog runs on it, as a model: the
// working picture with its stroke patch, the filmstrip's keys, the current tool
// with its name, size and bitmap id, the three slider positions and the
// modified flag. The windows drive it; batch mode drives it from a script.
// No Qt.

#include "document/AreaRecorder.h"
#include "document/DocumentObserver.h"
#include "document/History.h"
#include "engine/CMTool.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/WorkingPicture.h"
#include "files/archive/Archive.h"
#include "files/imagelib/ImExp.h"
#include "files/movie/MovieWriter.h"
#include "keys/KeyList.h"
#include "keys/PlaybackWorker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace knetix {

class FullSizeRenderer;
class WA;
struct EditTarget;

// Pictures and movies are written at the working picture's size (as the canvas
// shows them) or at the picture's own size (through the full-size renderer).
enum class OutputSize { Screen, Own };

struct MovieExportCallbacks {
    // Asked after every frame; true cancels the export and deletes the movie.
    std::function<bool()> cancelled;
    // Each frame as written, for a preview.
    std::function<void(int32_t frame, const Bitmap24View&)> frameWritten;
};

// What a command ran into. The text shown for it is made in resources/
// (Messages.h), so this layer carries only the detail the text needs.
enum class DocumentProblem {
    None,
    FileError,         // `error` (an errno) reading or `writing` the file at `path`
    Archive,           // the project at `path` is damaged: `archiveKind`
    PictureRead,       // the picture at `path` could not be read: `pictureStatus`
    PictureTooSmall,   // the picture at `path` fits to under 4 pixels
    NoMemory,
    CodecCannotWrite,  // the compressor `codec` refuses this movie
    CannotSave,        // a picture, scan or movie could not be written
    FileNotFound,      // the picture at `path` is gone (own-size output)
    NoPicture,         // the command needs a picture
    WrongToolBitmapId, // a warning: the project at `path` names no known tool
    Cancelled,         // the user stopped it; nothing to show
};

// Only the fields the problem names are set. The strings' `{}` lets
// designated initializers leave them out without a warning.
struct DocumentStatus {
    DocumentProblem problem = DocumentProblem::None;
    std::string path{};
    int error = 0;
    bool writing = false;
    ArchiveError::Kind archiveKind = ArchiveError::BadIndex;
    ImExpStatus pictureStatus = ImExpStatus::Ok;
    std::string codec{};

    static DocumentStatus fileError(int error, std::string path, bool writing)
    {
        return {.problem = DocumentProblem::FileError, .path = std::move(path), .error = error, .writing = writing};
    }
    static DocumentStatus archive(ArchiveError::Kind kind, std::string path)
    {
        return {.problem = DocumentProblem::Archive, .path = std::move(path), .archiveKind = kind};
    }
    static DocumentStatus pictureRead(ImExpStatus status, std::string path)
    {
        return {.problem = DocumentProblem::PictureRead, .path = std::move(path), .pictureStatus = status};
    }
    friend bool operator==(const DocumentStatus&, const DocumentStatus&) = default;
};

// How a command ended: a failure carries its status; a success may carry a
// warning. A failure with DocumentProblem::Cancelled shows nothing.
struct Outcome {
    bool ok = true;
    DocumentStatus status;

    static Outcome success(DocumentStatus warning = {}) { return {true, std::move(warning)}; }
    static Outcome failure(DocumentStatus status) { return {false, std::move(status)}; }
    static Outcome failure(DocumentProblem problem, std::string path = {})
    {
        return {false, {.problem = problem, .path = std::move(path)}};
    }
    explicit operator bool() const { return ok; }
};

class Document {
public:
    static constexpr int32_t kSliderMax = 64;
    // What playback and movie export hand to Begin.
    static constexpr int32_t kPlayParameter = 10;

    explicit Document(int32_t clientWidth = WorkingPicture::kCanvasSize,
                      int32_t clientHeight = WorkingPicture::kCanvasSize);
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    WorkingPicture& picture() { return m_picture; }
    const WorkingPicture& picture() const { return m_picture; }
    const StrokePatch& strokePatch() const { return m_patch; }
    KeyList& keys() { return m_keys; }
    const KeyList& keys() const { return m_keys; }
    const CMTool* tool() const { return m_tool.get(); }
    const std::string& toolName() const { return m_toolName; }
    int32_t toolDivisor() const { return m_divisor; }
    int32_t toolBitmapId() const { return m_toolBitmapId; }
    int32_t power() const { return m_power; }
    int32_t deformation() const { return m_deformation; }
    int32_t speed() const { return m_speed.load(); }
    bool modified() const { return m_modified; }
    // The project file the work was last opened from or saved to; empty for
    // a picture or scan not yet saved as a project.
    const std::string& projectPath() const { return m_projectPath; }
    // Marks the work as saved (false) or as changed in a way no step of the
    // history records (true).
    void setModified(bool modified);
    DocumentMode mode() const { return m_mode; }

    // The windows that show the document; an observer must be removed
    // before it goes. Adding or removing one ends a playback.
    void addObserver(DocumentObserver* observer);
    void removeObserver(DocumentObserver* observer);

    // The displayed picture held still for painting or printing while the
    // returned lock lives.
    LockedPicture lockedPicture() const { return LockedPicture(m_picture); }
    // Redraws every stale thumbnail from what the canvas shows.
    void refreshThumbnails();

    // Undo and redo, one step at a time: a stroke from press to release, or
    // one Key command, each with the Deformation bake it made. They end a
    // playback first and put back a Deformation position not yet baked;
    // false when there is nothing to do (or a movie is being written).
    bool canUndo() const;
    bool canRedo() const;
    bool undo();
    bool redo();
    const UndoHistory& history() const { return m_history; }
    void setHistoryLimit(size_t bytes) { m_history.setLimit(bytes); }

    // The remembered tool name and size (from the settings at start-up); call
    // refreshToolButtons() to create the tool they name.
    void setToolSettings(std::string name, int32_t divisor);

    // Pictures and projects. A failure leaves the work as it was.
    Outcome openPicture(const std::string& path);
    Outcome loadPicture(const std::string& path, const WA& picture);
    // The interface's whole-number scale: at 2 and above the canvas also keeps
    // a sharp display of the picture at that scale (the working picture and
    // everything saved stay as they are).
    void setDisplayFactor(int32_t factor);
    // A scanned picture (a 24-bit packed bitmap): written as a BMP file at
    // `path`, then loaded from the bitmap. The tool's radius is taken from the
    // picture's larger side here.
    Outcome adoptScan(const std::string& path, std::span<const uint8_t> packedDib);
    Outcome openProject(const std::string& path);
    // The same for a project already in memory; `path` names it in messages
    // and is where relative picture paths are taken from.
    Outcome openProjectData(std::span<const uint8_t> data, const std::string& path);
    Outcome saveProject(const std::string& path);
    // The displayed picture, or the picture file read again at its own size
    // with the current field applied.
    // The picture at its own size through the active key's field at full
    // strength, as own-size saves and prints have it; read from its file.
    Outcome renderOwnSize(FullSizeRenderer& renderer);
    Outcome savePicture(const std::string& path, OutputSize size = OutputSize::Screen);
    // One pass of the animation, from the first key through every key back to
    // it, at the given Speed (0..64), 15 frames per second; the path's
    // extension chooses the kind of movie (movieKindOfPath), the settings'
    // compressor counts for AVI only.
    // How many frames exportMovie writes at that Speed.
    int64_t movieFrames(int32_t speed) const;
    Outcome exportMovie(const std::string& path, const MovieSettings& settings, int32_t speed,
                        OutputSize size, const MovieExportCallbacks& callbacks = {});

    // Tool buttons and size buttons.
    void selectTool(ToolKind kind);
    void selectSize(int32_t divisor);
    void refreshToolButtons();

    // Slider positions 0..64 (values outside are clamped, as a slider would).
    void setPower(int32_t value);
    void setDeformation(int32_t scale);
    void setSpeed(int32_t speed);

    // The mouse on the canvas, in canvas client coordinates.
    void press(int32_t x, int32_t y);
    void move(int32_t x, int32_t y);
    // One stroke-timer tick at the last mouse position.
    void tick();
    void release();
    bool buttonHeld() const { return m_buttonHeld; }
    bool strokeTimerActive() const { return m_timerActive; }

    // The Key menu: opening it on a key index (false when no menu opens there),
    // then one command; false when the menu would not offer it.
    bool openKeyMenu(int32_t key);
    bool runKeyCommand(KeyCommand command);
    bool scrollForward();
    bool scrollBack();

    // Playback on the worker thread at 15 frames per second; `frameShown` and
    // the observers' playbackFrameShown run on the worker after each frame
    // has been rendered (a window posts a repaint from it; it must not wait
    // for the user-interface thread). False
    // without a picture, while playing, or while a worker is still running.
    bool play(std::function<void()> frameShown = {});
    // The same steps without the worker: Begin, then one frame per call.
    bool startPlayback();
    bool playbackFrame();
    // Joins the worker, then shows the active key again in smooth mode.
    void stopPlayback();
    bool playing() const { return m_mode == DocumentMode::Playing; }
    long framesPlayed() const { return m_worker.framesRun(); }

private:
    // Before a stroke or a key command: stops playback; with apply, bakes a
    // Deformation position other than 64 into the field (as part of the
    // current step) and sets it to 64; without, sets the Speed position to 64.
    void prepareForEditing(bool apply);
    void setMode(DocumentMode mode);
    void endStroke();
    // The step being made, opened on first use; closing it commits it.
    Transaction& step();
    void closeStep();
    void keepStrokeArea(int32_t X, int32_t Y);
    EditTarget editTarget();
    void reportEdit(const EditTarget& target);
    void discardUnbakedDeformation();
    // Undo or redo: one step through the history, as `go` moves.
    bool travel(bool (UndoHistory::*can)() const, bool (UndoHistory::*go)(EditTarget&));
    void setModifiedFlag(bool modified);
    void historyChanged();
    void workReplaced();
    void newHistory();
    void pictureRendered(const Rect& area);
    template <class Call>
    void notify(Call call);
    ThumbnailDrawer thumbnailDrawer();
    void handToolToCanvas();
    void showActiveKey();
    void strokeAt(int32_t x, int32_t y);
    enum class RadiusFrom { SmallerSide, LargerSide };
    void adoptLoadedPicture(RadiusFrom radius);
    Outcome pictureLoaded(LoadResult result, const std::string& path, RadiusFrom radius);
    Outcome readOwnSize(FullSizeRenderer& renderer) const;
    // The canvas's sharp display for the picture now loaded (see
    // WorkingPicture::loadSharp); reads the picture file when none is given.
    void loadSharpDisplay(const WA* ownSize);

    WorkingPicture m_picture;
    StrokePatch m_patch;
    KeyList m_keys;
    std::unique_ptr<CMTool> m_tool;
    std::string m_toolName;
    int32_t m_divisor = kDefaultDivisor;
    int32_t m_toolBitmapId = 0; // 0 until a tool is chosen
    int32_t m_power = kSliderMax;
    int32_t m_deformation = kSliderMax;
    std::atomic<int32_t> m_speed{kSliderMax}; // read by the playback worker
    bool m_modified = false;
    std::string m_projectPath;

    bool m_buttonHeld = false;
    bool m_timerActive = false;
    int32_t m_mouseX = -200;
    int32_t m_mouseY = -200;
    DocumentMode m_mode = DocumentMode::Idle;
    std::vector<DocumentObserver*> m_observers;

    UndoHistory m_history;
    std::unique_ptr<Transaction> m_step;
    std::optional<AreaRecorder> m_strokeCells;
    std::optional<AreaRecorder> m_strokePixels;
    bool m_stepTouched = false; // a stroke point fell on the picture
    std::vector<uint8_t> m_shownBeforeSlider;
    int32_t m_menuKeyBeforeMenu = 0;
    // Last, so that it is stopped before anything it uses goes.
    PlaybackWorker m_worker;
};

} // namespace knetix
