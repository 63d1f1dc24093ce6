#pragma once
// The main dialog: the owner of the open work. It puts the canvas and the
// filmstrip on the skin and turns every button, slider, menu entry and panel
// event into a command on the document, with the file dialogs, messages,
// playback and movie export around it. It follows the document as its
// observer, as the canvas and the filmstrip do, and holds the keyboard
// shortcuts.

#include "document/Commands.h"
#include "document/Document.h"
#include "app/ui/CHelpWindow.h"
#include "app/ui/CSkinDlg.h"
#include "app/ui/Settings.h"
#include "app/ui/scan/CScanLibrary.h"
#include "resources/Strings.h"

#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QPrinter;
class QProgressBar;
class QSettings;

namespace knetix {

class CMKeys;
class CMWorking;
class CSplashDlg;
class InputGate;

// What the About window says: version, licence, the libraries used.
QString aboutText();

class CMainDlg : public CSkinDlg, private DocumentObserver {
    Q_OBJECT
public:
    // Shows a popup menu at a screen point and returns the chosen command, or 0.
    using MenuChooser = std::function<int32_t(QMenu& menu, QPoint globalPos)>;
    // Opens a document in the desktop's browser; false when there is none.
    using UrlOpener = std::function<bool(const QUrl& url)>;
    // The compressor choice for a movie; nothing when cancelled.
    using CompressorChooser = std::function<std::optional<MovieSettings>(const MovieSettings& last, QWidget* parent)>;
    // The print dialog on the printer chosen last; false when cancelled.
    using PrintDialogRunner = std::function<bool(QPrinter& printer, QWidget* parent)>;

    // `values` are the program's settings, which the dialog changes (tool,
    // size, output size); `settings`, if given, holds the last-used folders.
    CMainDlg(ValueSettings& values, QSettings* settings, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Sets everything up and runs the dialog; IDCANCEL at once when the skin
    // cannot be loaded.
    int runModal();
    // The set-up alone: the skin, the canvas, the filmstrip and the tool
    // named by the settings.
    bool initDialog();

    Document& document() { return *m_document; }
    CMWorking* canvas() const { return m_canvas; }
    CMKeys* filmstrip() const { return m_strip; }
    const Folders& folders() const { return m_folders; }
    const ValueSettings& values() const { return m_values; }
    QRect canvasRect() const;
    bool playing() const;
    // Frames of the last movie export shown so far, and the progress display.
    QProgressBar* progress() const { return m_progress; }

    void command(int id) override;
    // A command from the command table, as its button or its keys run it.
    void run(Command command);
    // Whether the keyboard shortcuts act now: not while another dialog or a
    // menu is open, nor while a movie is written.
    bool shortcutsAllowed() const;
    void recentre(const QRect& screen) override;
    // A file named on the command line: a project (.knx) or a picture.
    void openFile(const std::string& path);
    // A file dropped on the window or handed over by a later start: opened
    // like the command line's, after the question whether to save the work;
    // while another dialog is open only a beep says it came too early.
    void openFromDesktop(const std::string& path);

    // Tests and the program put their own choosers in place.
    void setMenuChooser(MenuChooser chooser) { m_menuChooser = std::move(chooser); }
    void setUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }
    void setCompressorChooser(CompressorChooser chooser) { m_compressorChooser = std::move(chooser); }
    void setPrintDialogRunner(PrintDialogRunner runner) { m_printDialogRunner = std::move(runner); }

    // The picture as the canvas shows it, top row first.
    QImage displayedPicture() const;

    // The stop half of Play: joins the worker and shows the active key.
    void stopPlayback();
    // The file commands' steps, for the commands and for the tests.
    bool askToSave();
    bool saveProjectDialog();

    void done(int result) override;
    CScanLibrary& scanner() { return m_scanner; }

    // The session ends (logout, SIGTERM): every other dialog closes, a running
    // export or scan stops, the settings are written and the dialog ends,
    // without a question and without touching a file.
    void endSession();
    // Writes the tool and the folders to the settings now (the session
    // manager asks before a logout).
    void writeSettings();
    bool ending() const { return m_ending; }
    // The help window, once "?" or F1 opened it (or the home page without a browser).
    CHelpWindow* helpWindow() const { return m_help; }

protected:
    void sliderChanged(int position, int controlId) override;
    void playOrStop() override;
    void showFilmstrip() override;
    void hideFilmstrip() override;
    void filmstripBack() override;
    void filmstripForward() override;
    void reject() override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // What the document reports.
    void toolChanged() override;
    void slidersChanged() override { syncSliders(); }
    void modeChanged(DocumentMode from, DocumentMode to) override;
    void workReplaced() override { toolChanged(); }

    void addShortcuts();
    void showToolState();
    void syncSliders();
    bool checkPicture();
    void openProject();
    void openPicture();
    void savePicture();
    void saveAvi();
    void print();
    void scan();
    void scannedPicture(std::vector<uint8_t> packedDib);
    void optionsMenu();
    void openDocument(const std::string& path);
    void showHelp(const QString& path);
    void about();
    void report(const Outcome& outcome);
    // A file dialog on the slot's last folder; the chosen path, or nothing
    // when cancelled. The folder is remembered; a save path is completed with
    // the chosen type's extension.
    template <class Dialog>
    std::optional<std::string> askOpenPath(FolderSlot slot, const QString& name, const QString& filter);
    template <class Dialog>
    std::optional<std::string> askSavePath(FolderSlot slot, const QString& name, const QString& filter);
    void rememberToolSettings();
    void endWork();

    ValueSettings& m_values;
    QSettings* m_settings;
    Folders m_folders;
    // The windows below refer to the document; they are deleted before it.
    std::unique_ptr<Document> m_document;
    CMWorking* m_canvas = nullptr;
    CMKeys* m_strip = nullptr;
    QProgressBar* m_progress = nullptr;
    std::unique_ptr<InputGate> m_gate;
    bool m_ending = false;
    QPointer<CHelpWindow> m_help;
    MovieSettings m_movieSettings;
    MenuChooser m_menuChooser;
    UrlOpener m_urlOpener;
    CompressorChooser m_compressorChooser;
    PrintDialogRunner m_printDialogRunner;
    std::unique_ptr<QPrinter> m_printer; // the printer chosen last
    CScanLibrary m_scanner;
};

} // namespace knetix
