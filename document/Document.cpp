#include "document/Document.h"

#include "document/EditCommands.h"
#include "engine/Blend.h"
#include "engine/FullSizeRenderer.h"
#include "container/Dib.h"
#include "files/io/AtomicFile.h"
#include "document/ProjectFile.h"
#include "files/scan/ScanBmp.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <utility>

namespace knetix {

namespace {

int32_t sliderPosition(int32_t value)
{
    return std::clamp(value, 0, Document::kSliderMax);
}

} // namespace

Document::Document(int32_t clientWidth, int32_t clientHeight) : m_picture(clientWidth, clientHeight)
{
    // A render changes what the active key looks like.
    m_picture.setRenderListener([this](const Rect& area) { pictureRendered(area); });
}

// ---- observers ----

template <class Call>
void Document::notify(Call call)
{
    for (DocumentObserver* observer : m_observers)
        call(*observer);
}

void Document::addObserver(DocumentObserver* observer)
{
    stopPlayback(); // the worker reads the list
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void Document::removeObserver(DocumentObserver* observer)
{
    stopPlayback();
    std::erase(m_observers, observer);
}

void Document::pictureRendered(const Rect& area)
{
    m_keys.markActiveStale();
    const Rect& at = m_picture.pictureRect();
    const Rect client{area.left + at.left, area.top + at.top, area.right + at.left, area.bottom + at.top};
    const int32_t active = m_keys.activeKey();
    notify([&](DocumentObserver& o) {
        o.pictureChanged(client);
        o.thumbnailStale(active);
    });
}

void Document::workReplaced()
{
    notify([](DocumentObserver& o) { o.workReplaced(); });
}

void Document::setModifiedFlag(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    notify([&](DocumentObserver& o) { o.modifiedChanged(modified); });
}

void Document::setModified(bool modified)
{
    if (modified)
        m_history.forgetSaved();
    else
        m_history.markSaved();
    setModifiedFlag(modified);
}

void Document::refreshThumbnails()
{
    std::lock_guard guard(m_picture.lock());
    m_keys.refreshStaleThumbnails(thumbnailDrawer());
}

// ---- modes ----

void Document::setMode(DocumentMode mode)
{
    const DocumentMode from = m_mode;
    if (mode == from)
        return;
    switch (from) {
    case DocumentMode::Playing:
        m_worker.stop(); // the worker reads the mode until it has left
        m_mode = DocumentMode::Idle;
        m_picture.setNotify(true);
        showActiveKey();
        break;
    case DocumentMode::Stroking:
        m_mode = DocumentMode::Idle;
        endStroke();
        break;
    case DocumentMode::Idle:
    case DocumentMode::Exporting:
        break;
    }
    m_mode = mode;
    notify([&](DocumentObserver& o) { o.modeChanged(from, mode); });
}

// ---- the history ----

EditTarget Document::editTarget()
{
    return EditTarget{m_picture, m_keys, m_deformation, m_shownBeforeSlider};
}

void Document::reportEdit(const EditTarget& target)
{
    if (!target.restored.isEmpty())
        pictureRendered(target.restored);
    // Undo and redo put bytes back rather than render; the sharp display is
    // rendered again from the field they leave (a millisecond or so).
    if (!target.restored.isEmpty() || target.keysChanged)
        m_picture.refreshSharp(m_deformation);
    if (target.keysChanged)
        notify([](DocumentObserver& o) { o.keysChanged(); });
    if (target.slidersChanged)
        notify([](DocumentObserver& o) { o.slidersChanged(); });
}

void Document::historyChanged()
{
    setModifiedFlag(!m_history.atSaved());
    notify([](DocumentObserver& o) { o.historyChanged(); });
}

Transaction& Document::step()
{
    if (!m_step)
        m_step = std::make_unique<Transaction>();
    return *m_step;
}

void Document::keepStrokeArea(int32_t X, int32_t Y)
{
    if (!m_strokeCells) {
        m_strokeCells.emplace(activeFieldGrid(m_picture, m_keys));
        m_strokePixels.emplace(displayedGrid(m_picture));
    }
    // The squares a stroke point writes and renders, with a margin.
    const Rect& at = m_picture.pictureRect();
    const int64_t x = int64_t(X) - at.left, y = int64_t(Y) - at.top, r = m_tool->radius();
    m_strokeCells->keep(x - r, y - r, x + r + 1, y + r + 1);
    m_strokePixels->keep(x - r - 1, y - r - 2, x + r + 1, y + r + 1);
}

void Document::closeStep()
{
    if (m_strokeCells) {
        AreaChange cells = m_strokeCells->finish();
        AreaChange pixels = m_strokePixels->finish();
        m_strokeCells.reset();
        m_strokePixels.reset();
        if (!cells.empty() || !pixels.empty())
            step().add(std::make_unique<StrokeCmd>(std::move(cells), std::move(pixels)));
    }
    const bool touched = std::exchange(m_stepTouched, false);
    if (m_step && !m_step->empty()) {
        m_history.commit(std::move(m_step));
        historyChanged();
    } else if (touched) {
        // A stroke on the picture that changed nothing still marks the work,
        // as it always did; undo or redo back to the saved step clears it.
        setModifiedFlag(true);
    }
    m_step.reset();
}

void Document::discardUnbakedDeformation()
{
    if (m_deformation == kSliderMax)
        return;
    m_deformation = kSliderMax;
    if (m_shownBeforeSlider.empty()) {
        m_picture.fullRender(kSliderMax, RenderMode::Smooth);
    } else {
        restoreDisplayed(m_picture, m_shownBeforeSlider);
        m_shownBeforeSlider.clear();
        pictureRendered({0, 0, m_picture.width(), m_picture.height()});
    }
    notify([](DocumentObserver& o) { o.slidersChanged(); });
}

bool Document::canUndo() const
{
    return m_mode != DocumentMode::Exporting && (m_history.canUndo() || (m_step && !m_step->empty()) ||
                                                 (m_strokeCells && m_buttonHeld));
}

bool Document::canRedo() const
{
    return m_mode != DocumentMode::Exporting && m_history.canRedo() && !(m_step && !m_step->empty());
}

bool Document::undo()
{
    return travel(&UndoHistory::canUndo, &UndoHistory::undo);
}

bool Document::redo()
{
    return travel(&UndoHistory::canRedo, &UndoHistory::redo);
}

bool Document::travel(bool (UndoHistory::*can)() const, bool (UndoHistory::*go)(EditTarget&))
{
    if (m_mode == DocumentMode::Exporting)
        return false;
    stopPlayback();
    closeStep(); // a stroke still held becomes a step of its own
    if (!(m_history.*can)())
        return false;
    discardUnbakedDeformation();
    EditTarget target = editTarget();
    (m_history.*go)(target);
    reportEdit(target);
    historyChanged();
    return true;
}

ThumbnailDrawer Document::thumbnailDrawer()
{
    return [this](ThumbnailBitmap& thumbnail, int32_t width, int32_t height) {
        m_picture.drawThumbnail(thumbnail, width, height);
    };
}

void Document::setToolSettings(std::string name, int32_t divisor)
{
    m_toolName = std::move(name);
    m_divisor = divisor;
}

// ---- pictures and projects ----

void Document::newHistory()
{
    m_step.reset();
    m_strokeCells.reset();
    m_strokePixels.reset();
    m_stepTouched = false;
    m_shownBeforeSlider.clear();
    m_history.clear();
    historyChanged();
    workReplaced();
}

Outcome Document::openPicture(const std::string& path)
{
    WAPtr container;
    const ImExpStatus status = ImExp_ReadFile(path, container);
    if (status != ImExpStatus::Ok || !container)
        return Outcome::failure(DocumentStatus::pictureRead(status, path));
    // The picture is read again by this path for own-size saves, and a project
    // stores it relative to its own folder: a relative path (as scripts give
    // them) is taken from the current folder now, not from wherever the
    // project lands.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return loadPicture(ec ? path : absolute.lexically_normal().string(), *container);
}

Outcome Document::loadPicture(const std::string& path, const WA& container)
{
    setMode(DocumentMode::Idle);
    Outcome outcome = pictureLoaded(m_picture.loadFromContainer(path, container), path, RadiusFrom::SmallerSide);
    if (outcome)
        loadSharpDisplay(&container);
    return outcome;
}

void Document::setDisplayFactor(int32_t factor)
{
    m_picture.setDisplayFactor(factor);
    loadSharpDisplay(nullptr);
}

void Document::loadSharpDisplay(const WA* ownSize)
{
    if (m_picture.displayFactor() == 1 || !m_picture.hasPicture())
        return;
    if (ownSize) {
        m_picture.loadSharp(ownSize);
        return;
    }
    // The picture file, read again; without it the working picture enlarged.
    WAPtr container;
    const bool read = ImExp_ReadFile(m_picture.picturePath(), container) == ImExpStatus::Ok && container;
    m_picture.loadSharp(read ? container.get() : nullptr);
}

Outcome Document::adoptScan(const std::string& path, std::span<const uint8_t> packedDib)
{
    setMode(DocumentMode::Idle);
    const std::vector<uint8_t> file = bmpFileFromPackedDib(packedDib);
    if (file.empty())
        return Outcome::failure(DocumentProblem::CannotSave, path);
    if (writeFileAtomically(path, file) != 0)
        return Outcome::failure(DocumentProblem::CannotSave, path);
    Outcome outcome = pictureLoaded(m_picture.loadFromPackedDib(path, packedDib.data(), packedDib.size()), path,
                                    RadiusFrom::LargerSide);
    if (outcome)
        loadSharpDisplay(nullptr);
    return outcome;
}

Outcome Document::pictureLoaded(LoadResult result, const std::string& path, RadiusFrom radius)
{
    switch (result) {
    case LoadResult::Ok:
        break;
    case LoadResult::NoMemory:
        return Outcome::failure(DocumentProblem::NoMemory);
    case LoadResult::TooSmall:
        return Outcome::failure(DocumentProblem::PictureTooSmall, path);
    case LoadResult::Invalid:
        return Outcome::failure(DocumentStatus::pictureRead(ImExpStatus::Damaged, path));
    }
    try {
        adoptLoadedPicture(radius);
    } catch (const std::bad_alloc&) {
        // The keys could not be made for the new picture: start empty rather
        // than leave keys of another size.
        m_picture.setField(nullptr, 0);
        m_picture.clear();
        m_keys.replace(KeyListState{});
        m_projectPath.clear();
        newHistory();
        return Outcome::failure(DocumentProblem::NoMemory);
    }
    m_projectPath.clear();
    newHistory();
    return Outcome::success();
}

void Document::adoptLoadedPicture(RadiusFrom radius)
{
    const int32_t W = m_picture.width(), H = m_picture.height();
    if (m_tool) {
        m_tool->setRadius(radius == RadiusFrom::SmallerSide ? toolRadius(W, H, m_divisor)
                                                            : std::max(W, H) / effectiveDivisor(m_divisor));
        handToolToCanvas();
    }
    m_picture.setField(nullptr, 0);
    m_keys.rebuild(W, H, thumbnailDrawer());
    m_picture.setField(m_keys.activeCells(), m_keys.cellCount());
}

Outcome Document::openProject(const std::string& path)
{
    setMode(DocumentMode::Idle);
    std::vector<uint8_t> bytes;
    if (const int error = readWholeFile(path, bytes); error != 0)
        return Outcome::failure(DocumentStatus::fileError(error, path, false));
    return openProjectData(bytes, path);
}

Outcome Document::openProjectData(std::span<const uint8_t> data, const std::string& path)
{
    setMode(DocumentMode::Idle);
    Project project;
    try {
        project = decodeProject(data, projectFolder(path));
    } catch (const ArchiveError& e) {
        return Outcome::failure(DocumentStatus::archive(e.kind(), path));
    } catch (const std::bad_alloc&) {
        return Outcome::failure(DocumentProblem::NoMemory);
    }

    // Everything is checked; from here on nothing can fail.
    CanvasState& canvas = project.canvas;
    m_picture.setField(nullptr, 0);
    if (canvas.hasPicture()) {
        if (m_picture.restore(canvas.picturePath, canvas.rect, std::move(canvas.block),
                              std::move(canvas.source), canvas.stride) != LoadResult::Ok)
            return Outcome::failure(DocumentStatus::archive(ArchiveError::BadIndex, path));
    } else {
        m_picture.clear();
        m_picture.setPicturePath(canvas.picturePath);
    }
    m_patch.assign(canvas.toolRadius, std::move(canvas.patch), canvas.patchCount);
    m_keys.replace(std::move(project.filmstrip));
    m_picture.setField(m_keys.activeCells(), m_keys.cellCount());

    // The stored tool is handed over, then replaced by a new one of the kind
    // and size its bitmap id names.
    m_tool = std::move(project.tool);
    handToolToCanvas();
    DocumentStatus warning;
    if (const auto selection = set_tool_from_id(project.toolBitmapId)) {
        m_toolName = selection->name;
        m_divisor = selection->divisor;
        m_toolBitmapId = project.toolBitmapId;
    } else if (m_tool || project.toolBitmapId != 0) {
        // A project saved before any tool was chosen carries id 0 and no tool;
        // only a real mismatch is worth a message.
        warning = {.problem = DocumentProblem::WrongToolBitmapId, .path = path};
    }
    refreshToolButtons();
    if (m_tool)
        m_power = m_tool->value();
    // A Deformation position left from the previous work must not be baked
    // into the keys just read at the next stroke.
    m_deformation = kSliderMax;
    m_projectPath = path;
    newHistory();
    loadSharpDisplay(nullptr);
    return Outcome::success(warning);
}

Outcome Document::saveProject(const std::string& path)
{
    stopPlayback();
    closeStep();
    // The canvas shows the active key, the only one whose thumbnail goes stale.
    m_keys.refreshStaleThumbnails(thumbnailDrawer());
    std::vector<uint8_t> bytes;
    try {
        bytes = encodeProject({m_picture, m_patch, m_keys, m_tool.get(), m_toolBitmapId}, projectFolder(path));
    } catch (const std::bad_alloc&) {
        return Outcome::failure(DocumentProblem::NoMemory);
    }
    if (const int error = writeFileAtomically(path, bytes); error != 0)
        return Outcome::failure(DocumentStatus::fileError(error, path, true));
    m_history.markSaved();
    m_projectPath = path;
    setModifiedFlag(false);
    return Outcome::success();
}

Outcome Document::readOwnSize(FullSizeRenderer& renderer) const
{
    WAPtr container;
    if (ImExp_ReadFile(m_picture.picturePath(), container) != ImExpStatus::Ok || !container)
        return Outcome::failure(DocumentProblem::FileNotFound, m_picture.picturePath());
    if (!renderer.load(*container))
        return Outcome::failure(DocumentProblem::NoMemory);
    return Outcome::success();
}

Outcome Document::renderOwnSize(FullSizeRenderer& renderer)
{
    if (!m_picture.hasPicture())
        return Outcome::failure(DocumentProblem::NoPicture);
    stopPlayback();
    if (Outcome read = readOwnSize(renderer); !read)
        return read;
    // The field at full strength: the Deformation position is not consulted.
    if (m_picture.field() && m_picture.fieldCount() == m_keys.cellCount())
        renderer.render(m_picture.field(), m_picture.width(), m_picture.height());
    return Outcome::success();
}

Outcome Document::savePicture(const std::string& path, OutputSize size)
{
    if (!m_picture.hasPicture())
        return Outcome::failure(DocumentProblem::NoPicture);
    stopPlayback();
    Bitmap24View view;
    FullSizeRenderer renderer;
    if (size == OutputSize::Own) {
        if (Outcome rendered = renderOwnSize(renderer); !rendered)
            return rendered;
        view = renderer.outputView();
    } else {
        view = m_picture.displayedView();
    }
    if (ImExp_WriteFile(path, view) != ImExpStatus::Ok)
        return Outcome::failure(DocumentProblem::CannotSave, path);
    return Outcome::success();
}

int64_t Document::movieFrames(int32_t speed) const
{
    return m_picture.hasPicture() ? onePassFrames(m_keys.count(), speed) : 0;
}

Outcome Document::exportMovie(const std::string& path, const MovieSettings& settings, int32_t speed,
                              OutputSize size, const MovieExportCallbacks& callbacks)
{
    if (!m_picture.hasPicture() || m_keys.count() == 0)
        return Outcome::failure(DocumentProblem::NoPicture);
    setMode(DocumentMode::Exporting);
    struct BackToIdle {
        Document& document;
        ~BackToIdle() { document.setMode(DocumentMode::Idle); }
    } backToIdle{*this};
    FullSizeRenderer renderer;
    if (size == OutputSize::Own) {
        if (Outcome read = readOwnSize(renderer); !read)
            return read;
    }
    const int32_t W = m_picture.width(), H = m_picture.height();
    const int32_t frameWidth = size == OutputSize::Own ? renderer.width() : W;
    const int32_t frameHeight = size == OutputSize::Own ? renderer.height() : H;

    MovieWriter writer;
    switch (writer.open(path, frameWidth, frameHeight, settings)) {
    case MovieStatus::Ok:
        break;
    case MovieStatus::Unsupported:
        return Outcome::failure({.problem = DocumentProblem::CodecCannotWrite,
                                 .path = path,
                                 .codec = movieCompressorOf(movieKindOfPath(path), settings)});
    case MovieStatus::FileError:
        return Outcome::failure(DocumentProblem::CannotSave, path);
    }
    try {
        m_keys.playbackBegin(kPlayParameter);
    } catch (const std::bad_alloc&) {
        return Outcome::failure(DocumentProblem::NoMemory);
    }
    OffsetCell* const shownField = m_picture.field();
    const int32_t shownCount = m_picture.fieldCount();
    auto restoreCanvas = [&] {
        m_picture.setNotify(true);
        m_picture.setField(shownField, shownCount);
        m_picture.fullRender(kSliderMax, RenderMode::Smooth);
    };

    // Every pair of keys takes at most 64 steps; the bound only guards the loop.
    const int64_t maxFrames = int64_t(m_keys.count()) * 65 + 1;
    Outcome outcome = Outcome::success();
    for (int64_t frame = 0;; ++frame) {
        OffsetCell* cells = m_keys.playbackStep(speed);
        if (!cells || frame >= maxFrames) {
            outcome = Outcome::failure(DocumentProblem::CannotSave, path);
            break;
        }
        Bitmap24View view;
        if (size == OutputSize::Own) {
            renderer.render(cells, W, H);
            view = renderer.outputView();
        } else {
            // In-between frames say nothing about how the active key looks.
            m_picture.setNotify(false);
            m_picture.setField(cells);
            m_picture.fullRender(kSliderMax, RenderMode::Smooth);
            view = m_picture.displayedView();
        }
        if (writer.writeFrame(view) != MovieStatus::Ok) {
            outcome = Outcome::failure(DocumentProblem::CannotSave, path);
            break;
        }
        if (callbacks.frameWritten)
            callbacks.frameWritten(int32_t(frame), view);
        if (callbacks.cancelled && callbacks.cancelled()) {
            outcome = Outcome::failure(DocumentProblem::Cancelled);
            break;
        }
        const PlaybackState& state = m_keys.playback();
        if (state.currentKey == 0 && state.nextKey == 0)
            break; // back at the first key
    }
    restoreCanvas();
    if (!outcome) {
        writer.abandon();
        return outcome;
    }
    if (writer.finish() != MovieStatus::Ok)
        return Outcome::failure(DocumentProblem::CannotSave, path);
    return Outcome::success();
}

// ---- tools ----

void Document::handToolToCanvas()
{
    // A tool of another radius needs a stroke patch of its size.
    if (m_tool && m_tool->radius() != m_patch.radius())
        m_patch.resize(m_tool->radius());
}

void Document::selectTool(ToolKind kind)
{
    m_tool.reset();
    const int32_t radius = toolRadius(m_picture.width(), m_picture.height(), m_divisor);
    m_tool = createTool(kind, radius);
    handToolToCanvas();
    m_power = m_tool->value();
    m_toolBitmapId = knetix::toolBitmapId(kind, m_divisor);
    m_toolName = knetix::toolName(kind);
    notify([](DocumentObserver& o) {
        o.toolChanged();
        o.slidersChanged();
    });
}

void Document::selectSize(int32_t divisor)
{
    if (divisor == m_divisor)
        return;
    m_divisor = divisor;
    refreshToolButtons();
    notify([](DocumentObserver& o) { o.toolChanged(); });
}

void Document::refreshToolButtons()
{
    if (const auto kind = toolKindFromName(m_toolName))
        selectTool(*kind);
}

// ---- sliders ----

void Document::setPower(int32_t value)
{
    value = sliderPosition(value);
    if (!m_tool)
        return;
    const bool changed = value != m_power;
    m_power = value;
    m_tool->setValue(value);
    if (changed)
        notify([](DocumentObserver& o) { o.slidersChanged(); });
}

void Document::setDeformation(int32_t scale)
{
    // The worker renders the blends; a click on the slider has ended playback.
    stopPlayback();
    scale = sliderPosition(scale);
    if (scale == m_deformation)
        return;
    // Until a step bakes it, the position can be taken back: undo puts the
    // picture back as it was shown before the slider left 64.
    if (m_deformation == kSliderMax)
        m_shownBeforeSlider = copyDisplayed(m_picture);
    m_deformation = scale;
    m_picture.fullRender(scale, RenderMode::Smooth);
    if (scale == kSliderMax)
        m_shownBeforeSlider.clear();
    notify([](DocumentObserver& o) { o.slidersChanged(); });
}

void Document::setSpeed(int32_t speed)
{
    speed = sliderPosition(speed);
    if (m_speed.exchange(speed) != speed)
        notify([](DocumentObserver& o) { o.slidersChanged(); });
}

void Document::prepareForEditing(bool apply)
{
    stopPlayback();
    if (!apply) {
        setSpeed(kSliderMax);
        return;
    }
    if (m_deformation != kSliderMax) {
        EditTarget target = editTarget();
        step().add(BakeDeformationCmd::bake(target));
        reportEdit(target);
        setModifiedFlag(true);
    }
    m_deformation = kSliderMax;
}

// ---- strokes ----

void Document::press(int32_t x, int32_t y)
{
    if (!m_tool)
        return;
    stopPlayback();
    closeStep(); // a second press without a release starts a new step
    prepareForEditing(true);
    m_buttonHeld = true;
    m_mouseX = x;
    m_mouseY = y;
    const Rect& rect = m_picture.pictureRect();
    m_tool->recordPoint(x - rect.left, y - rect.top, rect.width(), rect.height());
    m_timerActive = m_tool->repeatsWhileHeld();
    setMode(DocumentMode::Stroking);
}

void Document::move(int32_t x, int32_t y)
{
    m_mouseX = x;
    m_mouseY = y;
    if (m_buttonHeld && m_tool)
        strokeAt(x, y);
}

void Document::tick()
{
    if (m_timerActive && m_buttonHeld && m_tool)
        strokeAt(m_mouseX, m_mouseY);
}

void Document::release()
{
    if (m_mode == DocumentMode::Stroking)
        setMode(DocumentMode::Idle);
    else
        endStroke();
}

void Document::endStroke()
{
    m_timerActive = false;
    if (m_buttonHeld) {
        m_buttonHeld = false;
        if (m_tool)
            m_tool->reset();
    }
    closeStep();
}

void Document::strokeAt(int32_t x, int32_t y)
{
    if (m_picture.hasPicture() && m_picture.field() &&
        int64_t(m_picture.fieldCount()) == int64_t(m_keys.pictureWidth()) * m_keys.pictureHeight())
        keepStrokeArea(x, y);
    applyStroke(m_picture.field(), m_picture.fieldCount(), m_picture.pictureRect(), *m_tool, m_patch, x, y);
    m_picture.squareRender(x, y, m_tool->radius());
    if (m_picture.hasPicture()) {
        m_stepTouched = true;
        setModifiedFlag(true);
    }
}

// ---- keys ----

bool Document::openKeyMenu(int32_t key)
{
    stopPlayback();
    m_menuKeyBeforeMenu = m_keys.menuKey();
    return m_keys.openMenu(key);
}

bool Document::runKeyCommand(KeyCommand command)
{
    if (!m_keys.offers(command, m_keys.menuKey()))
        return false;
    closeStep(); // a stroke held across it (a script may) ends its step here
    prepareForEditing(true);
    // The canvas still shows the active key: bring its thumbnail up to date
    // before another key is shown.
    m_keys.refreshStaleThumbnails(thumbnailDrawer());
    EditTarget target = editTarget();
    auto cmd = std::make_unique<KeysCmd>(target, m_menuKeyBeforeMenu);
    if (command == KeyCommand::Delete)
        m_picture.setField(nullptr, 0);
    KeyEffect effect;
    std::vector<std::unique_ptr<CMMask>> removed;
    try {
        effect = m_keys.run(command, thumbnailDrawer(), &removed);
    } catch (const std::bad_alloc&) {
        effect = KeyEffect::ShowActive; // nothing changed; show the active key again
    }
    if (effect == KeyEffect::ShowActive) {
        showActiveKey();
        if (command != KeyCommand::CopyToWindow)
            prepareForEditing(false);
    }
    cmd->finish(target, std::move(removed), effect == KeyEffect::ShowActive);
    step().add(std::move(cmd));
    closeStep();
    notify([](DocumentObserver& o) { o.keysChanged(); });
    return true;
}

void Document::showActiveKey()
{
    m_picture.setField(m_keys.activeCells(), m_keys.cellCount());
    m_picture.fullRender(kSliderMax, RenderMode::Smooth);
}

bool Document::scrollForward()
{
    if (!m_keys.scrollForward())
        return false;
    notify([](DocumentObserver& o) { o.keysChanged(); });
    return true;
}

bool Document::scrollBack()
{
    if (!m_keys.scrollBack())
        return false;
    notify([](DocumentObserver& o) { o.keysChanged(); });
    return true;
}

// ---- playback ----

bool Document::startPlayback()
{
    if (playing() || m_worker.running() || !m_picture.hasPicture() || m_keys.count() == 0)
        return false;
    if (m_mode == DocumentMode::Stroking)
        setMode(DocumentMode::Idle);
    // A Deformation position baked for playing is a step of its own.
    prepareForEditing(true);
    closeStep();
    m_keys.refreshStaleThumbnails(thumbnailDrawer());
    try {
        m_keys.playbackBegin(kPlayParameter);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // In-between frames say nothing about how the active key looks.
    m_picture.setNotify(false);
    setMode(DocumentMode::Playing);
    return true;
}

bool Document::play(std::function<void()> frameShown)
{
    if (!startPlayback())
        return false;
    m_worker.start([this, shown = std::move(frameShown)] {
        if (!playbackFrame())
            return false;
        if (shown)
            shown();
        notify([](DocumentObserver& o) { o.playbackFrameShown(); });
        return true;
    });
    return true;
}

// Runs on the worker while playing: it touches only the blend field, the
// playback state and the canvas's field under its lock.
bool Document::playbackFrame()
{
    if (!playing())
        return false;
    OffsetCell* cells = m_keys.playbackStep(m_speed.load());
    if (!cells)
        return false;
    m_picture.setField(cells);
    m_picture.fullRender(kSliderMax, RenderMode::Fast);
    return true;
}

void Document::stopPlayback()
{
    if (playing())
        setMode(DocumentMode::Idle);
}

} // namespace knetix
