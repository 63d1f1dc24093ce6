#include "document/Document.h"

#include "engine/Blend.h"
#include "engine/FullSizeRenderer.h"
#include "container/Dib.h"
#include "files/io/AtomicFile.h"
#include "document/ProjectFile.h"
#include "files/scan/ScanBmp.h"

#include <algorithm>
#include <filesystem>
#include <new>

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
    m_picture.setRenderListener([this] {
        m_keys.markActiveStale();
        if (m_staleListener)
            m_staleListener();
    });
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
    stopPlayback();
    return pictureLoaded(m_picture.loadFromContainer(path, container), path, RadiusFrom::SmallerSide);
}

Outcome Document::adoptScan(const std::string& path, std::span<const uint8_t> packedDib)
{
    stopPlayback();
    const std::vector<uint8_t> file = bmpFileFromPackedDib(packedDib);
    if (file.empty())
        return Outcome::failure(DocumentProblem::CannotSave, path);
    if (writeFileAtomically(path, file) != 0)
        return Outcome::failure(DocumentProblem::CannotSave, path);
    return pictureLoaded(m_picture.loadFromPackedDib(path, packedDib.data(), packedDib.size()), path,
                         RadiusFrom::LargerSide);
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
        return Outcome::failure(DocumentProblem::NoMemory);
    }
    m_modified = false;
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
    stopPlayback();
    std::vector<uint8_t> bytes;
    if (const int error = readWholeFile(path, bytes); error != 0)
        return Outcome::failure(DocumentStatus::fileError(error, path, false));
    return openProjectData(bytes, path);
}

Outcome Document::openProjectData(std::span<const uint8_t> data, const std::string& path)
{
    stopPlayback();
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
    m_modified = false;
    return Outcome::success(warning);
}

Outcome Document::saveProject(const std::string& path)
{
    stopPlayback();
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
    m_modified = false;
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

Outcome Document::savePicture(const std::string& path, OutputSize size)
{
    if (!m_picture.hasPicture())
        return Outcome::failure(DocumentProblem::NoPicture);
    stopPlayback();
    Bitmap24View view;
    FullSizeRenderer renderer;
    if (size == OutputSize::Own) {
        if (Outcome read = readOwnSize(renderer); !read)
            return read;
        // The field at full strength: the Deformation position is not consulted.
        if (m_picture.field() && m_picture.fieldCount() == m_keys.cellCount())
            renderer.render(m_picture.field(), m_picture.width(), m_picture.height());
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
    stopPlayback();
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
        return Outcome::failure({.problem = DocumentProblem::CodecCannotWrite, .path = path, .codec = settings.codec});
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
}

void Document::selectSize(int32_t divisor)
{
    if (divisor == m_divisor)
        return;
    m_divisor = divisor;
    refreshToolButtons();
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
    m_power = value;
    m_tool->setValue(value);
}

void Document::setDeformation(int32_t scale)
{
    // The worker renders the blends; a click on the slider has ended playback.
    stopPlayback();
    scale = sliderPosition(scale);
    if (scale == m_deformation)
        return;
    m_deformation = scale;
    m_picture.fullRender(scale, RenderMode::Smooth);
}

void Document::setSpeed(int32_t speed)
{
    m_speed = sliderPosition(speed);
}

void Document::prepareForEditing(bool apply)
{
    stopPlayback();
    if (!apply) {
        m_speed = kSliderMax;
        return;
    }
    if (m_deformation != kSliderMax) {
        scaleField(m_picture.field(), m_picture.fieldCount(), m_deformation);
        m_picture.fullRender(kSliderMax, RenderMode::Smooth);
        m_modified = true;
    }
    m_deformation = kSliderMax;
}

// ---- strokes ----

void Document::press(int32_t x, int32_t y)
{
    if (!m_tool)
        return;
    prepareForEditing(true);
    m_buttonHeld = true;
    m_mouseX = x;
    m_mouseY = y;
    const Rect& rect = m_picture.pictureRect();
    m_tool->recordPoint(x - rect.left, y - rect.top, rect.width(), rect.height());
    m_timerActive = m_tool->repeatsWhileHeld();
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
    m_timerActive = false;
    if (m_buttonHeld) {
        m_buttonHeld = false;
        if (m_tool)
            m_tool->reset();
    }
}

void Document::strokeAt(int32_t x, int32_t y)
{
    applyStroke(m_picture.field(), m_picture.fieldCount(), m_picture.pictureRect(), *m_tool, m_patch, x, y);
    m_picture.squareRender(x, y, m_tool->radius());
    if (m_picture.hasPicture())
        m_modified = true;
}

// ---- keys ----

bool Document::openKeyMenu(int32_t key)
{
    stopPlayback();
    return m_keys.openMenu(key);
}

bool Document::runKeyCommand(KeyCommand command)
{
    if (!m_keys.offers(command, m_keys.menuKey()))
        return false;
    prepareForEditing(true);
    // The canvas still shows the active key: bring its thumbnail up to date
    // before another key is shown.
    m_keys.refreshStaleThumbnails(thumbnailDrawer());
    if (command == KeyCommand::Delete)
        m_picture.setField(nullptr, 0);
    KeyEffect effect;
    try {
        effect = m_keys.run(command, thumbnailDrawer());
    } catch (const std::bad_alloc&) {
        effect = KeyEffect::ShowActive; // nothing changed; show the active key again
    }
    if (effect == KeyEffect::ShowActive) {
        showActiveKey();
        if (command != KeyCommand::CopyToWindow)
            prepareForEditing(false);
    }
    m_modified = true;
    return true;
}

void Document::showActiveKey()
{
    m_picture.setField(m_keys.activeCells(), m_keys.cellCount());
    m_picture.fullRender(kSliderMax, RenderMode::Smooth);
}

bool Document::scrollForward()
{
    return m_keys.scrollForward();
}

bool Document::scrollBack()
{
    return m_keys.scrollBack();
}

// ---- playback ----

bool Document::startPlayback()
{
    if (m_playing || m_worker.running() || !m_picture.hasPicture() || m_keys.count() == 0)
        return false;
    prepareForEditing(true);
    m_keys.refreshStaleThumbnails(thumbnailDrawer());
    try {
        m_keys.playbackBegin(kPlayParameter);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // In-between frames say nothing about how the active key looks.
    m_picture.setNotify(false);
    m_playing = true;
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
        return true;
    });
    return true;
}

// Runs on the worker while playing: it touches only the blend field, the
// playback state and the canvas's field under its lock.
bool Document::playbackFrame()
{
    if (!m_playing)
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
    if (!m_playing)
        return;
    m_worker.stop();
    m_playing = false;
    m_picture.setNotify(true);
    showActiveKey();
}

} // namespace knetix
