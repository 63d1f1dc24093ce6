#include "app/ui/CMainDlg.h"
#include "resources/MovieTypes.h"
#include "engine/FullSizeRenderer.h"
#include "app/ui/CHelpWindow.h"
#include "files/scan/SaneScanner.h"
#include "files/movie/MovieWriter.h"
#include "files/imagelib/ImExp.h"

#include "document/ProgramFiles.h"
#include "app/ui/CCompressorDlg.h"
#include "app/ui/Printing.h"
#include "browser/FileDialogs.h"
#include "browser/MessageBox.h"
#include "resources/Messages.h"
#include "views/CMWorking.h"
#include "views/CMKeys.h"
#include "skin/CFilmPanelDlg.h"
#include "skin/CSliderButton.h"
#include "qtbridge/QtBridge.h"
#include "resources/SkinLayout.h"
#include "skin/CSplashDlg.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QKeyEvent>
#include <QMenu>

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QResizeEvent>

namespace knetix {

namespace {

QString stringText(int32_t id)
{
    return qs(loadString(id));
}

// The folder part of a full path, ending in "/".
std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool endsWithNoCase(const std::string& text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    return true;
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

int32_t execMenu(QMenu& menu, QPoint at)
{
    // Right-aligned to the pointer.
    const QAction* chosen = menu.exec(at - QPoint(menu.sizeHint().width(), 0));
    return chosen ? chosen->data().toInt() : 0;
}

bool openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

std::optional<MovieSettings> chooseCompressor(const MovieSettings& last, QWidget* parent)
{
    CCompressorDlg dialog(last, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.settings();
}

bool runPrintDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Drucken"));
    // One picture on one page: no selection, no page numbers.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

// While playing, every click only ends the playback, as if the dialog held
// the mouse; while a movie is written, clicks do nothing and a key cancels.
class InputGate : public QObject {
public:
    enum class Mode { Playback, Export };
    InputGate(Mode mode, std::function<void()> stop) : m_mode(mode), m_stop(std::move(stop))
    {
        qApp->installEventFilter(this);
    }
    ~InputGate() override { qApp->removeEventFilter(this); }
    Mode mode() const { return m_mode; }
    bool keyPressed() const { return m_keyPressed; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return true;
        case QEvent::MouseButtonRelease:
            if (m_mode == Mode::Playback && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                stop();
            return true;
        case QEvent::ShortcutOverride:
            // A key that is also a shortcut still cancels the export and
            // runs nothing: taking the override keeps the shortcut from firing.
            if (m_mode == Mode::Export) {
                m_keyPressed = true;
                event->accept();
                return true;
            }
            return false;
        case QEvent::KeyPress:
            if (m_mode == Mode::Export) {
                m_keyPressed = true;
                return true;
            }
            return false;
        case QEvent::ApplicationDeactivate:
            if (m_mode == Mode::Playback)
                stop();
            return false;
        default:
            return false;
        }
    }

private:
    void stop()
    {
        if (m_stop)
            std::exchange(m_stop, {})(); // may delete this gate
    }

    Mode m_mode;
    std::function<void()> m_stop;
    bool m_keyPressed = false;
};

CMainDlg::CMainDlg(ValueSettings& values, QSettings* settings, QWidget* parent)
    : CSkinDlg(parent), m_values(values), m_settings(settings),
      m_document(std::make_unique<Document>(skin::kCanvas.width, skin::kCanvas.height)),
      m_menuChooser(&execMenu), m_urlOpener(&openUrl), m_compressorChooser(&chooseCompressor),
      m_printDialogRunner(&runPrintDialog)
{
    // Not the program's folder (a build tree, or /usr/bin): the pictures.
    const std::string startFolder = defaultPictureFolder();
    if (m_settings)
        m_folders = loadFolders(*m_settings, startFolder);
    else
        m_folders.fill(startFolder);
    m_document->setToolSettings(m_values.tool, m_values.scale);
    m_document->setHistoryLimit(m_values.historyBytes());
}

CMainDlg::~CMainDlg()
{
    endWork();
    m_document->removeObserver(this);
    // Both windows refer to the document.
    delete m_canvas;
    delete m_strip;
    m_canvas = nullptr;
    m_strip = nullptr;
}

bool CMainDlg::initDialog()
{
    if (!CSkinDlg::initDialog())
        return false;
    setAcceptDrops(true); // pictures and projects from the desktop
    // The canvas sharp at the interface's scale (Qt's device pixel ratio).
    m_document->setDisplayFactor(int32_t(std::lround(devicePixelRatioF())));
    m_canvas = new CMWorking(*m_document, this);
    m_canvas->setFocusPolicy(Qt::StrongFocus);
    m_canvas->setGeometry(canvasRect());
    m_canvas->show();
    followFocus(m_canvas);

    m_strip = new CMKeys(*m_document, filmPanel());
    m_strip->move(skin::kKeyStrip.x, skin::kKeyStrip.y);
    m_strip->setFocusPolicy(Qt::StrongFocus);
    m_strip->show();
    followFocus(m_strip);

    m_progress = new QProgressBar(this);
    m_progress->setFormat(QStringLiteral("Bild %v von %m"));
    m_progress->setAlignment(Qt::AlignCenter);
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar { background: #202020; color: white; border: 1px solid #808080; }"
        "QProgressBar::chunk { background: #3a6ea5; }"));
    m_progress->hide();

    m_document->addObserver(this);
    for (CSliderButton* s : {filmPanel()->deformation(), filmPanel()->power(), filmPanel()->speed()}) {
        s->setRange(0, Document::kSliderMax);
        s->setValue(Document::kSliderMax);
    }
    m_document->refreshToolButtons();
    toolChanged();
    addShortcuts();
    m_scanner.prepare(this);
    return true;
}

// ---- keyboard ----

bool CMainDlg::shortcutsAllowed() const
{
    if (m_document->mode() == DocumentMode::Exporting || QApplication::activePopupWidget())
        return false;
    const QWidget* modal = QApplication::activeModalWidget();
    return !modal || modal == this;
}

void CMainDlg::addShortcuts()
{
    auto add = [this](const QList<QKeySequence>& keys, std::function<void()> run) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
            if (shortcutsAllowed())
                run();
        });
        addAction(action);
    };
    for (const CommandEntry& entry : commandTable()) {
        QList<QKeySequence> keys;
        for (std::string_view key : entry.keys)
            if (!key.empty())
                keys << QKeySequence::fromString(QString::fromLatin1(key.data(), qsizetype(key.size())),
                                                 QKeySequence::PortableText);
        if (!keys.isEmpty())
            add(keys, [this, command = entry.command] { run(command); });
    }
    const std::vector<int32_t> tools = skin::toolButtonsTopDown();
    for (size_t i = 0; i < tools.size() && i < 9; ++i)
        add({QKeySequence(Qt::Key(Qt::Key_1 + int(i)))}, [this, id = tools[i]] { command(id); });
}

int CMainDlg::runModal()
{
    if (!initDialog())
        return IDCANCEL;
    return exec();
}

QRect CMainDlg::canvasRect() const
{
    const QPoint origin = panelOriginFor(size());
    return QRect(origin.x() + skin::kCanvas.x, origin.y() + skin::kCanvas.y, skin::kCanvas.width,
                 skin::kCanvas.height);
}

bool CMainDlg::event(QEvent* event)
{
    // The scanning library sees everything first.
    if (m_scanner.filterEvent(this, event))
        return true;
    if (event->type() == ScannedPictureEvent::kType) {
        scannedPicture(std::move(static_cast<ScannedPictureEvent*>(event)->packedDib));
        return true;
    }
    return CSkinDlg::event(event);
}

void CMainDlg::resizeEvent(QResizeEvent* event)
{
    CSkinDlg::resizeEvent(event);
    if (m_canvas)
        m_canvas->setGeometry(canvasRect());
}

void CMainDlg::recentre(const QRect& screen)
{
    CSkinDlg::recentre(screen);
    if (m_canvas)
        m_canvas->setGeometry(canvasRect());
}

bool CMainDlg::playing() const
{
    return m_document->playing();
}

// ---- commands ----

void CMainDlg::command(int id)
{
    // Every command ends a playback first, as a click does.
    m_document->stopPlayback();
    if (const auto kind = skin::toolOfButton(id)) {
        m_document->selectTool(*kind);
        return;
    }
    switch (id) {
    case IDC_SMALL:
        m_document->selectSize(kDivisorSmall);
        return;
    case IDC_MEDIUM:
        m_document->selectSize(kDivisorMedium);
        return;
    case IDC_LARGE:
        m_document->selectSize(kDivisorLarge);
        return;
    default:
        break;
    }
    if (id >= ID_OPTIONS_ZOOM_AUTO && id <= ID_OPTIONS_ZOOM_4) {
        // Qt takes the factor when the program starts.
        if (m_values.zoom != id - ID_OPTIONS_ZOOM_AUTO) {
            m_values.zoom = id - ID_OPTIONS_ZOOM_AUTO;
            showMessage(this, stringText(IDS_ZOOM_NEXT_START), MessageKind::Information);
        }
        return;
    }
    if (const auto named = skin::commandOfControl(id))
        run(*named);
    else
        CSkinDlg::command(id);
}

void CMainDlg::run(Command command)
{
    if (command != Command::Play)
        m_document->stopPlayback();
    switch (command) {
    case Command::OpenProject:
        openProject();
        break;
    case Command::OpenPicture:
        openPicture();
        break;
    case Command::SaveProject:
        if (checkPicture())
            saveProjectDialog();
        break;
    case Command::SaveMovie:
        saveAvi();
        break;
    case Command::Scan:
        scan();
        break;
    case Command::Print:
        print();
        break;
    case Command::SavePicture:
        savePicture();
        break;
    case Command::Undo:
        m_document->undo();
        break;
    case Command::Redo:
        m_document->redo();
        break;
    case Command::Play:
        playOrStop();
        break;
    case Command::Help:
        showHelp(qs(helpFilePath()));
        break;
    case Command::About:
        about();
        break;
    case Command::HomePage:
        openDocument(homePageFilePath());
        break;
    case Command::Close:
        if (askToSave())
            done(IDOK);
        break;
    case Command::Options:
        optionsMenu();
        break;
    case Command::ToggleScreenSize:
        m_values.screen = m_values.screen == 0 ? 1 : 0;
        break;
    case Command::ChooseScanSource:
        m_scanner.chooseSource(this);
        break;
    default:
        break; // the script-only commands have no button
    }
}

void CMainDlg::report(const Outcome& outcome)
{
    // A cancelled command, or a success without a warning, has no text.
    if (const std::string text = messageText(outcome); !text.empty())
        showMessage(this, qs(text), MessageKind::Warning);
}

// ---- tools and sizes ----

void CMainDlg::toolChanged()
{
    showToolState();
    syncSliders();
    rememberToolSettings();
}

void CMainDlg::modeChanged(DocumentMode from, DocumentMode)
{
    // However playback ended, clicks reach the controls again.
    if (from == DocumentMode::Playing && m_gate && m_gate->mode() == InputGate::Mode::Playback)
        m_gate.reset();
}

void CMainDlg::showToolState()
{
    const int32_t divisor = m_document->toolDivisor();
    setSizeDown(divisor == kDivisorSmall    ? IDC_SMALL
                : divisor == kDivisorMedium ? IDC_MEDIUM
                : divisor == kDivisorLarge  ? IDC_LARGE
                                            : 0);
    const auto kind = toolKindFromName(m_document->toolName());
    setToolDown(kind && m_document->tool() ? skin::toolButtonId(*kind) : 0);
}

void CMainDlg::rememberToolSettings()
{
    m_values.tool = m_document->toolName().empty() ? m_values.tool : m_document->toolName();
    m_values.scale = m_document->toolDivisor();
}

// ---- sliders ----

void CMainDlg::syncSliders()
{
    if (!filmPanel())
        return;
    filmPanel()->deformation()->setValue(m_document->deformation());
    filmPanel()->speed()->setValue(m_document->speed());
    if (m_document->tool())
        filmPanel()->power()->setValue(m_document->power());
}

void CMainDlg::sliderChanged(int, int)
{
    // Whichever slider differs from the position last seen is the one that moved.
    const int deformation = filmPanel()->deformation()->value();
    const int speed = filmPanel()->speed()->value();
    const int power = filmPanel()->power()->value();
    if (deformation != m_document->deformation()) {
        m_document->setDeformation(deformation); // ends a playback first
        m_canvas->repaint();
        return;
    }
    if (speed != m_document->speed()) {
        m_document->setSpeed(speed);
        return;
    }
    if (m_document->tool() && power != m_document->power())
        m_document->setPower(power);
}

// ---- playback ----

void CMainDlg::playOrStop()
{
    if (playing()) {
        stopPlayback();
        return;
    }
    if (!m_document->picture().hasPicture())
        return;
    if (!m_document->play())
        return;
    m_gate = std::make_unique<InputGate>(InputGate::Mode::Playback, [this] { stopPlayback(); });
    setFocus(Qt::OtherFocusReason);
}

void CMainDlg::stopPlayback()
{
    m_document->stopPlayback();
}

void CMainDlg::showFilmstrip()
{
    if (filmPanel()->leftScroll()->isVisible())
        m_strip->show();
}

void CMainDlg::hideFilmstrip()
{
    if (m_strip->isVisible())
        m_strip->hide();
}

void CMainDlg::filmstripBack()
{
    m_strip->scrollBack();
}

void CMainDlg::filmstripForward()
{
    m_strip->scrollForward();
}

// ---- ending ----

void CMainDlg::reject()
{
    // Escape first only ends a playback.
    if (playing()) {
        stopPlayback();
        return;
    }
    if (askToSave())
        done(IDCANCEL);
}

void CMainDlg::done(int result)
{
    endWork();
    CSkinDlg::done(result);
}

// When the dialog ends, and again when it goes without having ended: no scan
// or playback outlives it, and the settings keep the tool and the folders.
void CMainDlg::endWork()
{
    m_scanner.shutdown();
    m_gate.reset();
    m_document->stopPlayback();
    writeSettings();
}

void CMainDlg::writeSettings()
{
    rememberToolSettings();
    if (m_settings)
        saveFolders(*m_settings, m_folders);
}

void CMainDlg::endSession()
{
    if (m_ending)
        return;
    m_ending = true;
    // Message boxes, file dialogs, menus: each returns as if cancelled, and
    // the command behind it stops (askToSave no longer asks while ending).
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == this || !window->isVisible())
            continue;
        if (auto* dialog = qobject_cast<QDialog*>(window))
            dialog->reject();
        else if (auto* menu = qobject_cast<QMenu*>(window))
            menu->close();
    }
    done(IDCANCEL);
}

// ---- prompts ----

bool CMainDlg::askToSave()
{
    if (m_ending)
        return false; // no command goes on while the session ends
    if (!m_document->modified())
        return true;
    switch (askYesNoCancel(this, stringText(IDS_ASK_SAVE_PROJECT))) {
    case Answer::Cancel:
        return false;
    case Answer::No:
        return true;
    case Answer::Yes:
        // A save that was cancelled or failed keeps the work and ends the command.
        return saveProjectDialog();
    }
    return false;
}

bool CMainDlg::checkPicture()
{
    if (m_document->picture().hasPicture())
        return true;
    showMessage(this, stringText(IDS_NO_PICTURE), MessageKind::Notice);
    return false;
}

// ---- projects ----

template <class Dialog>
std::optional<std::string> CMainDlg::askOpenPath(FolderSlot slot, const QString& name, const QString& filter)
{
    Dialog dialog(name, qs(m_folders[slot]), filter, this);
    if (dialog.runModal() != 1)
        return std::nullopt;
    m_folders[slot] = dialog.currentFolder();
    return dialog.resultPath();
}

template <class Dialog>
std::optional<std::string> CMainDlg::askSavePath(FolderSlot slot, const QString& name, const QString& filter)
{
    Dialog dialog(name, qs(m_folders[slot]), filter, this);
    if (dialog.runModal() != 1)
        return std::nullopt;
    const std::string path = dialog.resultPath();
    m_folders[slot] = folderOf(path);
    return path;
}

void CMainDlg::openProject()
{
    if (!askToSave())
        return;
    const auto path = askOpenPath<CProjectOpenDlg>(ProjOpen, QStringLiteral("unbenannt.knx"),
                                                   QStringLiteral("Knetix-Datei (*.knx)|*.knx|"));
    if (!path)
        return;
    WaitCursor wait;
    report(m_document->openProject(*path));
}

bool CMainDlg::saveProjectDialog()
{
    // Once the work is a project, saving offers that project again.
    QString name = QStringLiteral("unbenannt.knx");
    if (const std::string& project = m_document->projectPath(); !project.empty()) {
        m_folders[ProjSave] = folderOf(project);
        name = qs(project.substr(m_folders[ProjSave].size()));
    }
    const auto path = askSavePath<CProjectSaveDlg>(ProjSave, name, QStringLiteral("Knetix-Datei (*.KNX)|*.KNX|"));
    if (!path)
        return false;
    WaitCursor wait;
    const Outcome outcome = m_document->saveProject(*path);
    report(outcome);
    return outcome.ok;
}

// ---- pictures ----

void CMainDlg::openPicture()
{
    if (!askToSave())
        return;
    const auto path = askOpenPath<CPictureOpenDlg>(PicOpen, stringText(IDS_DEFAULT_FILE_NAME),
                                                   stringText(IDS_FILTER_OPEN_PICTURE));
    if (!path)
        return;
    WaitCursor wait;
    report(m_document->openPicture(*path));
}

void CMainDlg::savePicture()
{
    if (!checkPicture())
        return;
    const auto path = askSavePath<CPictureSaveDlg>(PicSave, stringText(IDS_DEFAULT_FILE_NAME),
                                                   stringText(IDS_FILTER_SAVE_PICTURE));
    if (!path)
        return;
    WaitCursor wait;
    report(m_document->savePicture(*path, m_values.screenSize() ? OutputSize::Screen : OutputSize::Own));
}

void CMainDlg::openFromDesktop(const std::string& path)
{
    if (!shortcutsAllowed() || m_ending) {
        QApplication::beep();
        return;
    }
    m_document->stopPlayback();
    if (askToSave())
        openFile(path);
}

namespace {

// The first local file of a drag, or empty.
std::string droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile().toStdString();
    return {};
}

} // namespace

void CMainDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).empty() && shortcutsAllowed())
        event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event)
{
    const std::string path = droppedFile(event->mimeData());
    if (path.empty())
        return;
    event->acceptProposedAction();
    // After the drop has ended: the question and the opening run their own loops.
    QMetaObject::invokeMethod(this, [this, path] { openFromDesktop(path); }, Qt::QueuedConnection);
}

void CMainDlg::openFile(const std::string& path)
{
    WaitCursor wait;
    report(endsWithNoCase(path, ".knx") ? m_document->openProject(path) : m_document->openPicture(path));
}

// ---- movies ----

void CMainDlg::saveAvi()
{
    if (!checkPicture())
        return;
    const auto path = askSavePath<CAviSaveDlg>(AviSave, QStringLiteral("unbenannt"), qs(movieSaveFilter()));
    if (!path)
        return;
    // The chosen type's extension names the kind; only AVI has compressors to
    // choose from, the others have their fixed codec and quality.
    MovieSettings settings;
    if (movieKindOffersCodecChoice(movieKindOfPath(*path))) {
        const auto chosen = m_compressorChooser(m_movieSettings, this);
        if (!chosen)
            return;
        m_movieSettings = *chosen;
        settings = *chosen;
    }

    const int32_t speed = m_document->speed();
    const OutputSize size = m_values.screenSize() ? OutputSize::Screen : OutputSize::Own;
    const QRect canvas = canvasRect();
    m_progress->setGeometry(canvas.left() + 24, canvas.bottom() - 40, canvas.width() - 48, 22);
    m_progress->setRange(0, int(std::min<int64_t>(m_document->movieFrames(speed), 1 << 30)));
    m_progress->setValue(0);
    m_progress->show();
    m_progress->raise();

    WaitCursor wait;
    m_gate = std::make_unique<InputGate>(InputGate::Mode::Export, nullptr);
    MovieExportCallbacks callbacks;
    callbacks.frameWritten = [this, size](int32_t frame, const Bitmap24View& view) {
        m_progress->setValue(frame + 1);
        if (size == OutputSize::Screen) {
            m_canvas->repaint(); // the canvas shows the frame just written
        } else {
            m_canvas->showPreview(uprightImage(view));
        }
    };
    callbacks.cancelled = [this] {
        // Keep the windows alive; any key ends the export.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return m_ending || (m_gate && m_gate->keyPressed());
    };
    const Outcome outcome = m_document->exportMovie(*path, settings, speed, size, callbacks);
    m_gate.reset();
    m_canvas->showPreview(QImage());
    m_progress->hide();
    m_canvas->update();
    report(outcome);
}

// ---- scanning ----

void CMainDlg::scan()
{
    // The work is replaced only when a scan arrives and is saved.
    if (!askToSave())
        return;
    m_scanner.acquire(this);
}

void CMainDlg::scannedPicture(std::vector<uint8_t> packedDib)
{
    m_document->stopPlayback();
    // A scan lives on as a BMP file, which the canvas and projects refer to.
    const auto path = askSavePath<CPictureSaveDlg>(TwainSave, stringText(IDS_DEFAULT_FILE_NAME),
                                                   stringText(IDS_FILTER_SCAN_PICTURE));
    if (!path)
        return; // the scan is dropped
    WaitCursor wait;
    report(m_document->adoptScan(*path, packedDib));
}

// ---- printing ----

QImage CMainDlg::displayedPicture() const
{
    const LockedPicture picture = m_document->lockedPicture();
    if (!picture->hasPicture())
        return QImage();
    return uprightImage(picture->displayedView());
}

void CMainDlg::print()
{
    if (!checkPicture())
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!m_printDialogRunner(*m_printer, this))
        return;
    WaitCursor wait;
    // With "Bildschirmgröße" off the picture is printed from its own pixels,
    // as sharp as it is; on, as the canvas shows it.
    QImage picture;
    if (m_values.screenSize()) {
        picture = displayedPicture();
    } else {
        FullSizeRenderer renderer;
        if (const Outcome rendered = m_document->renderOwnSize(renderer); !rendered) {
            report(rendered);
            return;
        }
        picture = uprightImage(renderer.outputView());
    }
    // The picture's shape decides, whatever the dialog said.
    m_printer->setPageOrientation(printLandscape(picture.size()) ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_printer->setDocName(stringText(IDS_TITLE));
    setEnabled(false);
    const bool printed = printPicture(*m_printer, picture);
    setEnabled(true);
    raise();
    activateWindow();
    if (!printed)
        showMessage(this, QStringLiteral("Das Bild konnte nicht gedruckt werden."), MessageKind::Warning);
}

// ---- menu, help, about ----

void CMainDlg::optionsMenu()
{
    const MenuResource* resource = loadMenu(IDR_MAIN_MENU);
    if (!resource || resource->popups.empty())
        return;
    QMenu menu(this);
    auto* sizes = new QActionGroup(&menu); // one size at a time, shown as radio items
    for (const MenuItem& item : resource->popups[0].items) {
        if (item.id == ID_OPTIONS_ZOOM_AUTO)
            menu.addSeparator();
        QAction* action = menu.addAction(qs(item.text));
        action->setData(item.id);
        if (item.id == ID_OPTIONS_SCREEN_SIZE) {
            action->setCheckable(true);
            action->setChecked(m_values.screenSize());
        }
        if (item.id >= ID_OPTIONS_ZOOM_AUTO && item.id <= ID_OPTIONS_ZOOM_4) {
            action->setCheckable(true);
            action->setChecked(item.id - ID_OPTIONS_ZOOM_AUTO == m_values.zoom);
            sizes->addAction(action);
        }
    }
    const int32_t chosen = m_menuChooser(menu, QCursor::pos());
    if (chosen != 0)
        command(chosen);
}

void CMainDlg::openDocument(const std::string& path)
{
    // Without a browser the page opens in the program's own help window.
    if (!m_urlOpener(QUrl::fromLocalFile(qs(path))))
        showHelp(qs(path));
}

void CMainDlg::showHelp(const QString& path)
{
    if (!m_help)
        m_help = new CHelpWindow(this);
    m_help->showDocument(path);
}

QString aboutText()
{
    return QStringLiteral("Knetix %1 – Bilder verformen wie Knetmasse\n"
                          "Lizenz: GPL-3.0-or-later (GNU General Public License, Version 3 oder neuer)\n"
                          "Verwendet Qt %2, %3, %4, %5 und die DejaVu-Schriften.\n\n"
                          "Ein Klick oder eine Taste schließt dieses Fenster.")
        .arg(QStringLiteral(KNETIX_VERSION), QString::fromLatin1(qVersion()), qs(ImExp_LibraryName()),
             qs(movieLibraryName()), qs(scanLibraryName()));
}

void CMainDlg::about()
{
    auto* splash = new CSplashDlg(this, aboutText());
    splash->show();
    splash->raise();
    splash->activateWindow();
}

} // namespace knetix
