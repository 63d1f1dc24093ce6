// The main dialog driven from end to end, headless: the skin's buttons, the
// file dialogs, the sliders, playback, the Options menu and the prompts.

#include "app/ui/CCompressorDlg.h"
#include "app/ui/CKnetixApp.h"
#include "app/ui/Printing.h"
#include "app/ui/scan/CScanDlg.h"
#include "app/ui/CMainDlg.h"
#include "app/ui/CHelpWindow.h"
#include "app/ui/InterfaceScale.h"
#include "app/ui/SingleInstance.h"
#include "browser/FileDialogParts.h"
#include "browser/FileDialogs.h"
#include "browser/MessageBox.h"
#include "views/CMWorking.h"
#include "views/CMKeys.h"
#include "resources/SkinLayout.h"
#include "skin/CFilmPanelDlg.h"
#include "skin/CMyToolTipCtrl.h"
#include "skin/CSliderButton.h"
#include "skin/CSplashDlg.h"
#include "tests/common/Capture.h"
#include "tests/common/Modal.h"
#include "tests/common/TestPictures.h"
#include "tests/scan/SaneTestConfig.h"
#include "files/scan/ScanBmp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QSpinBox>
#include <QTextBrowser>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QProgressBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <deque>
#include <future>
#include <sstream>
#include <filesystem>

namespace knetix {

using test::onNextModal;

namespace {

// Types a name into a file dialog's name box and presses OK.
template <class D>
void answerFileDialog(const std::string& name)
{
    onNextModal<D>([name](D* d) {
        d->nameEdit()->setText(QString::fromStdString(name));
        d->ok();
    });
}

template <class D>
void cancelFileDialog()
{
    onNextModal<D>([](D* d) { d->cancel(); });
}

} // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempFolder> m_folder;
    std::unique_ptr<QSettings> m_settings;
    ValueSettings m_values;
    std::unique_ptr<CMainDlg> m_dlg;
    std::string m_picture;

    // Messages shown, and the answers (1 yes, 0 no, -1 cancel) given to questions.
    QStringList m_messages;
    std::deque<int> m_answers;
    std::vector<QUrl> m_opened;
    bool m_browserThere = true;
    int32_t m_menuAnswer = 0;
    std::vector<std::pair<int32_t, bool>> m_menuShown; // id, checked

    CMainDlg& dlg() { return *m_dlg; }
    Document& doc() { return m_dlg->document(); }
    QWindow* window() { return m_dlg->windowHandle(); }
    CFilmPanelDlg* panel() { return m_dlg->filmPanel(); }

    void makeDialog()
    {
        m_dlg = std::make_unique<CMainDlg>(m_values, m_settings.get());
        m_dlg->setUrlOpener([this](const QUrl& url) {
            m_opened.push_back(url);
            return m_browserThere;
        });
        m_dlg->setMenuChooser([this](QMenu& menu, QPoint) {
            m_menuShown.clear();
            for (const QAction* a : menu.actions())
                if (!a->isSeparator())
                    m_menuShown.emplace_back(a->data().toInt(), a->isChecked());
            return m_menuAnswer;
        });
        m_dlg->setCompressorChooser([](const MovieSettings&, QWidget*) {
            MovieSettings s;
            s.codec = "mjpeg";
            return std::optional<MovieSettings>(s);
        });
        QVERIFY(m_dlg->initDialog());
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }

    // The middle of a control's picture, in dialog coordinates.
    QPoint centreOf(int id)
    {
        const QWidget* c = m_dlg->control(id);
        for (const skin::ControlLayout& l : skin::mainPanelControls())
            if (l.id == id)
                return c->geometry().topLeft() + QPoint(l.width / 2, l.height / 2);
        return c->geometry().center();
    }
    void click(int id)
    {
        QTest::mouseClick(window(), Qt::LeftButton, {}, centreOf(id));
        QCoreApplication::processEvents(); // the command is posted
    }
    QPoint canvasPoint(int x, int y) { return m_dlg->canvasRect().topLeft() + QPoint(x, y); }
    void stroke(QPoint from, QPoint to)
    {
        const CMWorking* canvas = dlg().canvas();
        const int ticks = canvas->strokeTicks();
        QTest::mousePress(window(), Qt::LeftButton, {}, canvasPoint(from.x(), from.y()));
        for (int i = 1; i <= 8; ++i)
            QTest::mouseMove(window(), canvasPoint(from.x() + (to.x() - from.x()) * i / 8,
                                                   from.y() + (to.y() - from.y()) * i / 8));
        // Tools that act while held get at least one stroke-timer tick.
        if (canvas->strokeTimerRunning())
            QTRY_VERIFY_WITH_TIMEOUT(canvas->strokeTicks() > ticks, 30000);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, canvasPoint(to.x(), to.y()));
    }
    // 1 when the button is down, with or without the focus picture.
    int toolState(int id)
    {
        const int s = m_dlg->toolButton(id)->state();
        return s == skin::StateDown || s == skin::StateDownFocus ? 1 : 0;
    }
    std::vector<int> toolStates()
    {
        std::vector<int> s;
        for (int id = IDC_DRILL; id <= IDC_BRUSH; ++id)
            s.push_back(toolState(id));
        return s;
    }
    void openTestPicture()
    {
        answerFileDialog<CPictureOpenDlg>("grid.bmp");
        click(IDC_OPEN_PICTURE);
        QVERIFY(doc().picture().hasPicture());
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<test::TempFolder>("maindlg");
        m_picture = test::writeGridPicture(*m_folder, "grid.bmp", 300, 200);
        QVERIFY(!m_picture.empty());
        const std::string folder = m_folder->path().string() + "/";
        m_settings = std::make_unique<QSettings>(QString::fromStdString(*m_folder / "knetix.ini"), QSettings::IniFormat);
        for (const char* key : kFolderKeys)
            m_settings->setValue(QStringLiteral("PATH/") + QLatin1String(key), QString::fromStdString(folder));
        m_values = ValueSettings{};
        m_messages.clear();
        m_answers.clear();
        m_opened.clear();
        m_browserThere = true;
        m_menuAnswer = 0;
        setMessageHandler([this](QWidget*, const QString& text, MessageKind kind) {
            m_messages << text;
            if (kind != MessageKind::Question && kind != MessageKind::YesNoCancel)
                return 1;
            if (m_answers.empty())
                return -1;
            const int a = m_answers.front();
            m_answers.pop_front();
            return a;
        });
        makeDialog();
    }
    void cleanup()
    {
        test::endModalWatches();
        m_dlg.reset();
        setMessageHandler({});
        m_settings.reset();
        m_folder.reset();
    }

    void firstStartHasNoTool()
    {
        // Defaults: no tool, Medium, screen size on, folders from the settings.
        QVERIFY(!doc().tool());
        QCOMPARE(toolStates(), std::vector<int>(7, 0));
        QCOMPARE(toolState(IDC_MEDIUM), 1);
        QCOMPARE(toolState(IDC_SMALL), 0);
        QCOMPARE(dlg().folders()[PicOpen], m_folder->path().string() + "/");

        // No picture: the save commands ask for one and do nothing else.
        click(IDC_SAVE_PROJECT);
        click(IDC_SAVE_PICTURE);
        click(IDC_SAVE_AVI);
        QCOMPARE(m_messages.size(), 3);
        QCOMPARE(m_messages[0], QString::fromUtf8(loadString(IDS_NO_PICTURE)));

        // With a picture and still no tool, the canvas ignores strokes.
        openTestPicture();
        stroke({100, 100}, {140, 120});
        QVERIFY(!doc().modified());
        QCOMPARE(dlg().canvas()->strokeTicks(), 0);
    }

    void undoRedoByKeysAndTheCanvasMenu()
    {
        openTestPicture();
        // Shortcuts act in the active window; headless platforms need telling.
        m_dlg->activateWindow();
        QApplication::setActiveWindow(m_dlg.get());
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        QTest::keyClick(window(), Qt::Key_2); // the second tool from the top: the Hook
        QCOMPARE(doc().toolName(), std::string("move"));
        const QImage fresh = dlg().displayedPicture();
        stroke({150, 100}, {200, 110});
        const QImage stroked = dlg().displayedPicture();
        QVERIFY(stroked != fresh);
        QVERIFY(doc().modified());

        QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(dlg().displayedPicture(), fresh);
        QVERIFY(!doc().modified()); // back where the picture was opened
        QTest::keyClick(window(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(dlg().displayedPicture(), stroked);
        QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); // nothing to redo
        QCOMPARE(dlg().displayedPicture(), stroked);

        // The right-click menu offers what there is, with the shortcut shown.
        QStringList entries;
        std::vector<bool> enabled;
        int32_t answer = CMWorking::ChoseUndo;
        dlg().canvas()->setMenuChooser([&](QMenu& menu, QPoint) {
            entries.clear();
            enabled.clear();
            for (const QAction* a : menu.actions()) {
                entries << a->text();
                enabled.push_back(a->isEnabled());
            }
            return answer;
        });
        QTest::mouseClick(window(), Qt::RightButton, {}, canvasPoint(170, 120));
        QCOMPARE(entries, QStringList({QStringLiteral("Rückgängig\tStrg+Z"), QStringLiteral("Wiederherstellen\tStrg+Y")}));
        QCOMPARE(enabled, std::vector<bool>({true, false}));
        QCOMPARE(dlg().displayedPicture(), fresh);
        answer = CMWorking::ChoseRedo;
        QTest::mouseClick(window(), Qt::RightButton, {}, canvasPoint(170, 120));
        QCOMPARE(enabled, std::vector<bool>({false, true}));
        QCOMPARE(dlg().displayedPicture(), stroked);

        // Saved, changed, undone to the save: closing asks nothing.
        QVERIFY(doc().saveProject(*m_folder / "saved.knx"));
        stroke({120, 60}, {130, 90});
        QVERIFY(doc().modified());
        QTest::keyClick(window(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!doc().modified());
        click(IDC_CLOSE);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dlg().result(), int(IDOK));
    }

    void endToEnd()
    {
        openTestPicture();
        QCOMPARE(doc().keys().count(), 2);

        click(IDC_HOOK);
        QCOMPARE(doc().toolName(), std::string("move"));
        QCOMPARE(toolState(IDC_HOOK), 1);
        QCOMPARE(dlg().toolIndex(), 0);
        click(IDC_LARGE);
        QCOMPARE(doc().toolDivisor(), kDivisorLarge);
        QCOMPARE(doc().tool()->radius(), 236 / 4); // the working picture is 354 x 236
        QCOMPARE(toolState(IDC_LARGE), 1);
        QCOMPARE(toolState(IDC_MEDIUM), 0);

        const auto before = test::activeField(doc());
        stroke({150, 100}, {200, 110});
        QVERIFY(doc().modified());
        QVERIFY(test::activeField(doc()) != before);

        // Append a key: Activate on the empty cell after the last key.
        dlg().filmstrip()->setMenuChooser([](const std::vector<MenuItem>&, QPoint) { return ID_KEY_ACTIVATE; });
        const QPoint emptyCell = dlg().filmstrip()->mapTo(m_dlg.get(), QPoint(2 * 80 + 30, 30));
        QTest::mouseClick(window(), Qt::LeftButton, {}, emptyCell);
        QCOMPARE(doc().keys().count(), 3);
        QCOMPARE(doc().keys().state().activeKey, 2);

        click(IDC_DRILL);
        QCOMPARE(doc().toolName(), std::string("whirl"));
        QCOMPARE(dlg().toolIndex(), 5);
        stroke({120, 80}, {125, 85});

        // Play; any click stops, and does nothing else.
        QTest::mouseClick(window(), Qt::LeftButton, {},
                          panel()->play()->mapTo(m_dlg.get(), QPoint(20, 20)));
        QCoreApplication::processEvents();
        QVERIFY(dlg().playing());
        QTRY_VERIFY_WITH_TIMEOUT(doc().framesPlayed() >= 3, 30000);
        const std::string tool = doc().toolName();
        QTest::mouseClick(window(), Qt::LeftButton, {}, centreOf(IDC_HOOK));
        QCoreApplication::processEvents();
        QVERIFY(!dlg().playing());
        QCOMPARE(doc().toolName(), tool);

        // Power 30, then save the project and open it again: the tool comes
        // back with strength 64.
        panel()->power()->setValue(30);
        QTRY_COMPARE(doc().power(), 30);
        QCOMPARE(doc().tool()->value(), 30);
        answerFileDialog<CProjectSaveDlg>("werk");
        click(IDC_SAVE_PROJECT);
        const std::string project = *m_folder / "werk.knx";
        QVERIFY(std::filesystem::exists(project));
        QVERIFY(!doc().modified());
        QCOMPARE(dlg().folders()[ProjSave], m_folder->path().string() + "/");

        const auto saved = test::activeField(doc());
        stroke({60, 60}, {90, 90});
        QVERIFY(doc().modified());
        m_answers = {0}; // do not save the changes
        answerFileDialog<CProjectOpenDlg>("werk.knx");
        click(IDC_OPEN_PROJECT);
        QCOMPARE(test::activeField(doc()), saved);
        QCOMPARE(doc().toolName(), std::string("whirl"));
        QCOMPARE(doc().tool()->value(), 64);
        QCOMPARE(panel()->power()->value(), 64);
        QCOMPARE(toolState(IDC_DRILL), 1);
        QCOMPARE(toolState(IDC_LARGE), 1);
        QCOMPARE(doc().keys().count(), 3);

        // The picture at screen size, then at its own size.
        onNextModal<CPictureSaveDlg>([](CPictureSaveDlg* d) {
            for (int i = 0; i < d->typeCombo()->count(); ++i)
                if (d->typeCombo()->itemText(i).contains("BMP"))
                    d->chooseType(i);
            d->nameEdit()->setText("screen");
            d->ok();
        });
        click(IDC_SAVE_PICTURE);
        m_menuAnswer = ID_OPTIONS_SCREEN_SIZE;
        click(IDC_OPTIONS);
        QCOMPARE(m_values.screen, 0);
        answerFileDialog<CPictureSaveDlg>("own.jpg");
        click(IDC_SAVE_PICTURE);
        QCOMPARE(test::capture("gm identify -format '%w x %h' '" + (*m_folder / "screen.bmp") + "'"), "354 x 236\n");
        const std::string own = test::capture("gm identify -format '%m %w x %h' '" + (*m_folder / "own.jpg") + "'");
        QCOMPARE(own, std::string("JPEG 300 x 200\n"));

        // A movie with Motion JPEG at the picture's own size.
        answerFileDialog<CAviSaveDlg>("film");
        click(IDC_SAVE_AVI);
        const std::string movie = *m_folder / "film.avi";
        QCOMPARE(test::capture("ffprobe -v error -count_frames -show_entries stream=codec_name,width,height,nb_read_frames "
                               "-of csv=p=0 '" + movie + "'"),
                 "mjpeg,300,200," + std::to_string(doc().movieFrames(64)) + "\n");
        QCOMPARE(dlg().progress()->value(), int(doc().movieFrames(64)));
        QVERIFY(dlg().progress()->isHidden());

        // MP4 from the same dialog: H.264 without the compressor question.
        bool compressorAsked = false;
        dlg().setCompressorChooser([&](const MovieSettings&, QWidget*) {
            compressorAsked = true;
            return std::optional<MovieSettings>();
        });
        onNextModal<CAviSaveDlg>([](CAviSaveDlg* d) {
            QCOMPARE(d->typeCombo()->itemText(1), QString("MP4-Video (H.264) (*.MP4)"));
            d->chooseType(1);
            d->nameEdit()->setText("film");
            d->ok();
        });
        click(IDC_SAVE_AVI);
        QVERIFY(!compressorAsked);
        QCOMPARE(test::capture("ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames "
                               "-of csv=p=0 '" + (*m_folder / "film.mp4") + "'"),
                 "h264," + std::to_string(doc().movieFrames(64)) + "\n");
        // Only the prompt before opening the project was shown.
        QCOMPARE(m_messages, QStringList{QString::fromUtf8(loadString(IDS_ASK_SAVE_PROJECT))});
    }

    void anyKeyCancelsAMovie()
    {
        openTestPicture();
        m_dlg->activateWindow();
        QApplication::setActiveWindow(m_dlg.get());
        // The key arrives while the first frames are written; even the Space
        // shortcut only cancels.
        dlg().setCompressorChooser([this](const MovieSettings&, QWidget*) {
            QTimer::singleShot(0, m_dlg.get(), [this] { QTest::keyClick(dlg().canvas(), Qt::Key_Space); });
            MovieSettings s;
            return std::optional<MovieSettings>(s);
        });
        answerFileDialog<CAviSaveDlg>("abgebrochen");
        click(IDC_SAVE_AVI);
        QVERIFY(!std::filesystem::exists(*m_folder / "abgebrochen.avi"));
        QVERIFY(dlg().progress()->value() < int(doc().movieFrames(doc().speed())));
        QVERIFY(m_messages.isEmpty()); // a cancel is not an error
        QVERIFY(!doc().playing());
        // Input works again afterwards.
        click(IDC_HOOK);
        QCOMPARE(doc().toolName(), std::string("move"));
    }

    void sizeButtons()
    {
        openTestPicture();
        click(IDC_IRON);
        panel()->power()->setValue(20);
        QTRY_COMPARE(doc().tool()->value(), 20);
        const CMTool* tool = doc().tool();
        click(IDC_MEDIUM); // already the size: nothing happens
        QCOMPARE(doc().tool(), tool);
        QCOMPARE(doc().tool()->value(), 20);
        click(IDC_SMALL);
        QCOMPARE(doc().toolDivisor(), kDivisorSmall);
        QCOMPARE(doc().tool()->radius(), 236 / 16);
        QCOMPARE(doc().tool()->value(), 64);
        QTRY_COMPARE(panel()->power()->value(), 64);
        QCOMPARE(toolState(IDC_SMALL), 1);
        QCOMPARE(toolState(IDC_IRON), 1);
        QCOMPARE(dlg().sizeIndex(), 0);
        QCOMPARE(m_values.scale, kDivisorSmall);
        QCOMPARE(m_values.tool, std::string("smooth"));
    }

    void settingsChooseTheToolAndTheFlags()
    {
        // A tool and an odd divisor from the settings: that tool, no size button.
        m_dlg.reset();
        m_values.tool = "zoomout";
        m_values.scale = 5;
        m_values.screen = 5;
        makeDialog();
        openTestPicture();
        QCOMPARE(doc().toolName(), std::string("zoomout"));
        QCOMPARE(doc().tool()->radius(), 236 / 5);
        QCOMPARE(toolState(IDC_DEFLATOR), 1);
        for (int id : {IDC_SMALL, IDC_MEDIUM, IDC_LARGE})
            QCOMPARE(toolState(id), 0);

        // "Screen" 5 counts as on; the toggles give 0, then 1.
        click(IDC_OPTIONS);
        QCOMPARE(m_menuShown.size(), size_t(7));
        QCOMPARE(m_menuShown[0], std::make_pair(int32_t(ID_OPTIONS_SCREEN_SIZE), true));
        m_menuAnswer = ID_OPTIONS_SCREEN_SIZE;
        click(IDC_OPTIONS);
        QCOMPARE(m_values.screen, 0);
        click(IDC_OPTIONS);
        QCOMPARE(m_menuShown[0].second, false);
        QCOMPARE(m_values.screen, 1);

        // The interface's size: "automatisch" is checked until 2-fach is chosen,
        // which the next start takes (and says so once).
        QCOMPARE(m_menuShown[2], std::make_pair(int32_t(ID_OPTIONS_ZOOM_AUTO), true));
        m_messages.clear();
        m_menuAnswer = ID_OPTIONS_ZOOM_1 + 1;
        click(IDC_OPTIONS);
        click(IDC_OPTIONS);
        QCOMPARE(m_values.zoom, 2);
        QCOMPARE(m_menuShown[4], std::make_pair(int32_t(ID_OPTIONS_ZOOM_1 + 1), true));
        QCOMPARE(m_menuShown[2].second, false);
        QCOMPARE(m_messages, QStringList{QString::fromUtf8(loadString(IDS_ZOOM_NEXT_START))});
    }

    void settingsFileDefaultsAndFallbacks()
    {
        QSettings empty(QString::fromStdString(*m_folder / "empty.ini"), QSettings::IniFormat);
        const ValueSettings d = loadValueSettings(empty);
        QCOMPARE(d.screen, 1);
        QCOMPARE(d.scale, 8);
        QCOMPARE(d.tool, std::string("move2"));
        const Folders f = loadFolders(empty, "/prog/");
        QCOMPARE(f[TwainSave], std::string("/prog/"));

        QSettings odd(QString::fromStdString(*m_folder / "odd.ini"), QSettings::IniFormat);
        odd.setValue("Value/Scale", 0);
        odd.setValue("Value/Screen", 5);
        odd.setValue("Value/Tool", "whirl");
        const ValueSettings o = loadValueSettings(odd);
        QCOMPARE(o.scale, 8); // a divisor of 0 would divide by nothing
        QCOMPARE(o.screen, 5);
        QCOMPARE(o.tool, std::string("whirl"));

        // The dialog writes the folders when it goes, the values go back whole.
        m_dlg.reset();
        QCOMPARE(m_settings->value("PATH/PROJSAVE").toString().toStdString(), m_folder->path().string() + "/");
        saveValueSettings(odd, o);
        QCOMPARE(loadValueSettings(odd).screen, 5);
    }

    void filesStartInThePicturesFolderAndProjectsWhereTheyAre()
    {
        // Before any folder is remembered: the pictures folder, else home.
        const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
        const test::TempFolder homeFolder("home");
        const std::string fakeHome = homeFolder.path().string();
        qputenv("HOME", QByteArray::fromStdString(fakeHome));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(fakeHome + "/.config"));
        const std::string withoutPictures = defaultPictureFolder();
        std::filesystem::create_directories(fakeHome + "/Pictures");
        const std::string withPictures = defaultPictureFolder();
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
        if (config.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(withoutPictures, fakeHome + "/");
        QCOMPARE(withPictures, fakeHome + "/Pictures/");

        // Once the work is a project, saving offers it again.
        openTestPicture();
        const std::string sub = *m_folder / "projekte";
        std::filesystem::create_directories(sub);
        QVERIFY(doc().saveProject(sub + "/werk.knx"));
        QString offeredName;
        std::string offeredFolder;
        onNextModal<CProjectSaveDlg>([&](CProjectSaveDlg* d) {
            offeredName = d->nameEdit()->text();
            offeredFolder = d->currentFolder();
            d->cancel();
        });
        click(IDC_SAVE_PROJECT);
        QCOMPARE(offeredName, QStringLiteral("werk.knx"));
        QCOMPARE(offeredFolder, sub + "/");
    }

    void screenChecks()
    {
        QVERIFY(!screenRefusal(640, 480, 16));
        QCOMPARE(*screenRefusal(640, 452, 32), std::string("Fehler!")); // a task bar along the bottom
        QCOMPARE(*screenRefusal(639, 480, 32), std::string("Fehler!"));
        QCOMPARE(*screenRefusal(1024, 768, 8), std::string(loadString(IDS_NEED_MORE_COLOURS)));
        // The interface's factor: the largest at which 640 x 480 fits, 1 to 4.
        for (auto [w, h, factor] : {std::tuple{1024, 768, 1}, {1279, 1024, 1}, {1280, 959, 1}, {1280, 1024, 2},
                                    {1920, 1080, 2}, {2560, 1440, 3}, {3840, 2160, 4}, {7680, 4320, 4}})
            QCOMPARE(automaticInterfaceFactor(w, h), factor);
    }

    void droppedFilesAndLaterStartsOpenAfterTheQuestion()
    {
        // A picture dropped on the window opens.
        auto drop = [this](const std::string& path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
            const QPoint at = dlg().canvasRect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(m_dlg.get(), &enter);
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(m_dlg.get(), &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        QVERIFY(drop(m_picture));
        QVERIFY(test::waitFor([&] { return doc().picture().picturePath() == m_picture; }, 30000));

        // Unsaved work is asked about first; "Abbrechen" keeps it.
        click(IDC_HAMMER);
        stroke({150, 100}, {170, 120});
        const std::string other = test::writeGridPicture(*m_folder, "other.bmp", 120, 90);
        m_messages.clear();
        m_answers = {-1};
        QVERIFY(drop(other));
        QVERIFY(test::waitFor([&] { return !m_messages.isEmpty(); }, 30000));
        QCOMPARE(m_messages, QStringList{QString::fromUtf8(loadString(IDS_ASK_SAVE_PROJECT))});
        QCOMPARE(doc().picture().picturePath(), m_picture);

        // A later start hands its file over to the running copy: "Nein" to
        // saving, and the file is open.
        SingleInstance first(QStringLiteral("knetix-test-%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(first.claim());
        connect(&first, &SingleInstance::filesArrived, m_dlg.get(),
                [this](const QStringList& files) { dlg().openFromDesktop(files.front().toStdString()); });
        SingleInstance second(QStringLiteral("knetix-test-%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(!second.claim());
        m_answers = {0};
        auto handed = std::async(std::launch::async, [&] { return second.handOver({QString::fromStdString(other)}); });
        QVERIFY(test::waitFor([&] { return doc().picture().picturePath() == other; }, 30000));
        QVERIFY(handed.get());
    }

    void endingTheSessionWritesTheSettingsWithoutAQuestion()
    {
        openTestPicture();
        click(IDC_HAMMER);
        stroke({150, 100}, {170, 120});
        QVERIFY(doc().modified());
        m_messages.clear();
        m_answers = {0}; // "Nein" to saving first, so that the file dialog comes up
        // With a file dialog open, the session's end closes it quietly.
        bool shown = false;
        onNextModal<CPictureOpenDlg>([&](CPictureOpenDlg*) {
            shown = true;
            dlg().endSession();
        });
        dlg().run(Command::OpenPicture);
        QVERIFY(shown);
        QCOMPARE(m_messages, QStringList{QString::fromUtf8(loadString(IDS_ASK_SAVE_PROJECT))});
        QVERIFY(!dlg().isVisible());
        QVERIFY(doc().modified()); // nothing saved behind the user's back
        QCOMPARE(m_values.tool, doc().toolName());
        m_settings->sync();
        QVERIFY(m_settings->contains("PATH/PICOPEN"));
    }

    void escapeDuringPlaybackOnlyStops()
    {
        openTestPicture();
        click(IDC_MAGNIFIER);
        stroke({150, 100}, {150, 100});
        QVERIFY(doc().modified());
        QTest::mouseClick(window(), Qt::LeftButton, {}, panel()->play()->mapTo(m_dlg.get(), QPoint(20, 20)));
        QCoreApplication::processEvents();
        QVERIFY(dlg().playing());
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(!dlg().playing());
        QVERIFY(dlg().isVisible());
        QVERIFY(m_messages.isEmpty());

        // The second Escape asks; Cancel keeps the program, No ends it.
        m_answers = {-1};
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(dlg().isVisible());
        m_answers = {0};
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(!dlg().isVisible());
        QCOMPARE(dlg().result(), int(IDCANCEL));
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[0], QString::fromUtf8(loadString(IDS_ASK_SAVE_PROJECT)));
    }

    void yesThenCancelledSaveKeepsTheWork()
    {
        openTestPicture();
        click(IDC_HAMMER);
        stroke({100, 100}, {110, 100});
        const auto field = test::activeField(doc());
        m_answers = {1};
        cancelFileDialog<CProjectSaveDlg>();
        click(IDC_CLOSE);
        QVERIFY(dlg().isVisible());
        m_answers = {1};
        cancelFileDialog<CProjectSaveDlg>();
        click(IDC_OPEN_PICTURE);
        QCOMPARE(test::activeField(doc()), field);
        QVERIFY(doc().modified());
    }

    void damagedProjectLeavesTheWork()
    {
        openTestPicture();
        click(IDC_BRUSH);
        stroke({100, 100}, {110, 100});
        const auto field = test::activeField(doc());
        test::writeBytes(*m_folder / "kaputt.knx", {1, 2, 3, 4, 5, 6, 7, 8});
        m_answers = {0};
        answerFileDialog<CProjectOpenDlg>("kaputt.knx");
        click(IDC_OPEN_PROJECT);
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages[1].contains("kaputt.knx"));
        QCOMPARE(test::activeField(doc()), field);
        QCOMPARE(doc().toolName(), std::string("undo"));
        QVERIFY(doc().picture().hasPicture());
        QVERIFY(doc().modified());
    }

    void helpHomePageAndAbout()
    {
        // The help opens in the program's own window, its links inside it.
        click(IDC_HELP);
        CHelpWindow* help = dlg().helpWindow();
        QVERIFY(help && help->isVisible());
        QVERIFY(help->browser()->source().toLocalFile().endsWith("knetix-hilfe.html"));
        QVERIFY(help->browser()->toPlainText().contains("Die sieben Werkzeuge"));
        help->browser()->setSource(QUrl(QStringLiteral("#tastatur")));
        QCOMPARE(help->browser()->source().fragment(), QString("tastatur"));
        QVERIFY(help->browser()->isBackwardAvailable());
        help->close();
        m_dlg->activateWindow();
        QApplication::setActiveWindow(m_dlg.get());
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        QTest::keyClick(window(), Qt::Key_F1);
        QVERIFY(help->isVisible());
        // The home page goes to the browser; without one, into the same window.
        click(IDC_HOME_PAGE);
        QCOMPARE(m_opened.size(), size_t(1));
        QVERIFY(m_opened[0].toLocalFile().endsWith("kavon.htm"));
        m_browserThere = false;
        click(IDC_HOME_PAGE);
        QVERIFY(help->browser()->source().toLocalFile().endsWith("kavon.htm"));
        QVERIFY(m_messages.isEmpty());

        click(IDC_ABOUT);
        const auto splashShown = [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->inherits("knetix::CSplashDlg"))
                    return true;
            return false;
        };
        QTRY_VERIFY(splashShown());
        // It tells version, licence and libraries, and a click closes it.
        CSplashDlg* about = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits("knetix::CSplashDlg"))
                about = static_cast<CSplashDlg*>(w);
        QVERIFY(about->aboutText().contains("GPL-3.0-or-later"));
        QVERIFY(about->aboutText().contains("GraphicsMagick"));
        QVERIFY(about->aboutText().contains("FFmpeg"));
        QTest::mouseClick(about, Qt::LeftButton);
        QTRY_VERIFY(!splashShown());
    }

    void focusFollowsTheMouseAndTipsOnSizesAndTools()
    {
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        auto* options = static_cast<CCommandButton*>(dlg().control(IDC_OPTIONS));
        QTest::mouseMove(window(), centreOf(IDC_OPTIONS));
        QTRY_VERIFY(options->hasFocus());
        QCOMPARE(options->currentPicture(), 2); // the Focus picture is the hover picture
        // Onto the bare skin: the dialog takes the focus, the button shows Up.
        QTest::mouseMove(window(), dlg().panelOrigin() + QPoint(560, 300));
        QTRY_VERIFY(dlg().hasFocus());
        QCOMPARE(options->currentPicture(), 0);

        // The three size buttons and the seven tools have tips; other buttons none.
        const std::pair<int, StringId> tips[] = {
            {IDC_SMALL, IDS_TIP_SMALL}, {IDC_MEDIUM, IDS_TIP_MEDIUM}, {IDC_LARGE, IDS_TIP_LARGE},
            {IDC_DRILL, IDS_TIP_DRILL}, {IDC_HOOK, IDS_TIP_HOOK},     {IDC_HAMMER, IDS_TIP_HAMMER},
            {IDC_DEFLATOR, IDS_TIP_DEFLATOR}, {IDC_IRON, IDS_TIP_IRON}, {IDC_MAGNIFIER, IDS_TIP_MAGNIFIER},
            {IDC_BRUSH, IDS_TIP_BRUSH}};
        for (const auto& [id, text] : tips) {
            QWidget* button = dlg().control(id);
            QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), button->mapToGlobal(QPoint(10, 10)));
            QApplication::sendEvent(button, &help);
            QCOMPARE(dlg().toolTips()->text(), QString::fromUtf8(loadString(text)));
        }
        QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), QPoint(10, 10));
        QApplication::sendEvent(dlg().control(IDC_OPTIONS), &help);
        QCOMPARE(dlg().toolTips()->text(), QString::fromUtf8(loadString(IDS_TIP_BRUSH)));
    }

    void compressorChoice()
    {
        MovieSettings last;
        last.codec = "mjpeg";
        CCompressorDlg d(last);
        QCOMPARE(d.codecs().front().id, std::string("raw"));
        QCOMPARE(d.settings().codec, findMovieCodec("mjpeg") ? std::string("mjpeg") : std::string("raw"));
        for (size_t i = 0; i < d.codecs().size(); ++i) {
            const MovieCodec& c = d.codecs()[i];
            d.codecBox()->setCurrentIndex(int(i));
            QCOMPARE(d.keyFrameCheck()->isEnabled(), c.offersKeyFrameRate);
            QCOMPARE(d.dataRateCheck()->isEnabled(), c.offersDataRate);
            d.keyFrameCheck()->setChecked(true);
            d.keyFrameRate()->setValue(30);
            d.dataRateCheck()->setChecked(true);
            d.dataRate()->setValue(500);
            // Rates only for a compressor that takes them.
            const MovieSettings s = d.settings();
            QCOMPARE(s.codec, c.id);
            QCOMPARE(s.keyFrameRate, c.offersKeyFrameRate ? 30 : 0);
            QCOMPARE(s.dataRate, c.offersDataRate ? 500 : 0);
            d.keyFrameCheck()->setChecked(false);
            d.dataRateCheck()->setChecked(false);
            QCOMPARE(d.settings().keyFrameRate, 0);
        }
    }

    void scanReplacesTheWorkThroughABmp()
    {
        test::SaneTestConfig sane;
        openTestPicture();
        click(IDC_IRON);
        click(IDC_LARGE);
        stroke({100, 100}, {110, 100});
        const auto field = test::activeField(doc());

        // Yes, then a cancelled save: no scan, the work stays.
        m_answers = {1};
        cancelFileDialog<CProjectSaveDlg>();
        click(IDC_SCAN);
        QVERIFY(doc().modified());
        QCOMPARE(test::activeField(doc()), field);

        // No: the scan dialog; its picture is saved as a BMP and replaces the work.
        m_answers = {0};
        onNextModal<CScanDlg>([](CScanDlg* d) {
            (void)d->scanner().setOption("read-delay", "false");
            d->modeBox()->setCurrentIndex(0); // Farbe
            d->resolutionSpin()->setValue(25);
            d->rightBox()->setValue(30);
            d->bottomBox()->setValue(20);
            d->startScan();
        });
        answerFileDialog<CPictureSaveDlg>("scan");
        click(IDC_SCAN);
        const std::string bmp = *m_folder / "scan.bmp";
        QVERIFY(test::waitFor([&] { return doc().picture().picturePath() == bmp; }));
        QVERIFY(!doc().modified());
        QCOMPARE(doc().keys().count(), 2);
        QCOMPARE(dlg().folders()[TwainSave], m_folder->path().string() + "/");
        const int W = doc().picture().width(), H = doc().picture().height();
        QVERIFY(W > H); // 30 x 20 mm, fitted into the canvas
        QCOMPARE(doc().tool()->radius(), W / kDivisorLarge); // the larger side for a scan

        // The file is the scanned bitmap behind a 14-byte file header.
        const std::vector<uint8_t> file = test::readBytes(bmp);
        QVERIFY(file.size() > 54);
        QCOMPARE(file[0], uint8_t('B'));
        QCOMPARE(file[1], uint8_t('M'));
        const std::vector<uint8_t> dib(file.begin() + 14, file.end());
        QVERIFY(bmpFileFromPackedDib(dib) == file);
        Bitmap24View view;
        QVERIFY(parsePackedDib24(dib.data(), dib.size(), view));
        QVERIFY(view.width > view.height);
        QCOMPARE(test::capture("gm identify -format '%w x %h' '" + bmp + "'"),
                 std::to_string(view.width) + " x " + std::to_string(view.height) + "\n");

        // A scan whose save is cancelled is dropped.
        stroke({100, 100}, {110, 100});
        m_answers = {0};
        onNextModal<CScanDlg>([](CScanDlg* d) {
            (void)d->scanner().setOption("read-delay", "false");
            d->resolutionSpin()->setValue(25);
            d->rightBox()->setValue(20);
            d->bottomBox()->setValue(20);
            d->startScan();
        });
        bool saveShown = false;
        onNextModal<CPictureSaveDlg>([&saveShown](CPictureSaveDlg* d) {
            saveShown = true;
            d->cancel();
        });
        click(IDC_SCAN);
        QVERIFY(test::waitFor([&] { return saveShown; }));
        QCoreApplication::processEvents();
        QCOMPARE(doc().picture().picturePath(), bmp);
        QVERIFY(doc().modified());
    }

    void printPlacementRule()
    {
        const PrintPlacement p = printPlacement({4800, 3300}, {354, 300});
        QCOMPARE(p.scale, 9); // min(13, 11) x 7 / 8
        QCOMPARE(p.target, QRect(807, 300, 3186, 2700));
        QVERIFY(!p.fitted);
        QVERIFY(printLandscape({300, 300}));
        QVERIFY(!printLandscape({300, 301}));
        // Under twice the picture the whole-scale rule gives 0: fit instead.
        const PrintPlacement small = printPlacement({600, 500}, {354, 300});
        QVERIFY(small.fitted);
        QCOMPARE(small.target, QRect(5, 0, 590, 500));
    }

    void printsCentredOnAPdfPage()
    {
        struct Case {
            int w, h;
            bool landscape;
        };
        for (const Case c : {Case{300, 200, true}, Case{200, 300, false}}) {
            const std::string picture = test::writeGridPicture(*m_folder, "p.bmp", c.w, c.h);
            dlg().openFile(picture);
            const QSize shown(doc().picture().width(), doc().picture().height());
            const std::string pdf = *m_folder / "druck.pdf";
            std::filesystem::remove(pdf);
            dlg().setPrintDialogRunner([pdf](QPrinter& printer, QWidget*) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(pdf));
                return true;
            });
            click(IDC_PRINT);
            QVERIFY(dlg().isEnabled());
            const std::string info = test::capture("pdfinfo '" + pdf + "'");
            int pw = 0, ph = 0;
            const auto at = info.find("Page size:");
            QVERIFY(at != std::string::npos);
            QCOMPARE(std::sscanf(info.c_str() + at, "Page size: %d x %d", &pw, &ph), 2);
            QCOMPARE(pw > ph, c.landscape);
            // Lossless: no JPEG inside.
            QVERIFY(test::capture("pdfimages -list '" + pdf + "'").find("jpeg") == std::string::npos);

            // Where the picture should be, from the same page set-up.
            QPrinter same(QPrinter::HighResolution);
            same.setOutputFormat(QPrinter::PdfFormat);
            same.setPageOrientation(c.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
            const QRect paint = same.pageLayout().paintRectPixels(same.resolution());
            const PrintPlacement placement = printPlacement(paint.size(), shown);
            const double k = 50.0 / same.resolution();
            const QRectF expected = QRectF(placement.target.translated(paint.topLeft()));

            test::capture("pdftoppm -r 50 -png -singlefile '" + pdf + "' '" + (*m_folder / "seite") + "'");
            const QImage page(QString::fromStdString(*m_folder / "seite.png"));
            QVERIFY(!page.isNull());
            QRect ink;
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x)
                    if (qGray(page.pixel(x, y)) < 250)
                        ink |= QRect(x, y, 1, 1);
            QVERIFY(std::abs(ink.left() - expected.left() * k) <= 2);
            QVERIFY(std::abs(ink.top() - expected.top() * k) <= 2);
            QVERIFY(std::abs(ink.width() - expected.width() * k) <= 2);
            QVERIFY(std::abs(ink.height() - expected.height() * k) <= 2);
        }
        QVERIFY(m_messages.isEmpty());

        // "Bildschirmgröße" off: the page gets the picture's own pixels (the
        // last one, 200 x 300), not the canvas's 236 x 354.
        m_values.screen = 0;
        const std::string pdf = *m_folder / "druck.pdf";
        std::filesystem::remove(pdf);
        click(IDC_PRINT);
        std::istringstream images(test::capture("pdfimages -list '" + pdf + "'"));
        std::string line;
        std::getline(images, line); // the heading and its rule
        std::getline(images, line);
        int page = 0, number = 0, width = 0, height = 0;
        std::string type;
        images >> page >> number >> type >> width >> height;
        QCOMPARE(QSize(width, height), QSize(200, 300));
        QVERIFY(m_messages.isEmpty());
    }

    void panelFollowsTheScreen()
    {
        // Every control and the canvas sit at the panel origin plus their
        // offsets, also after the screen changed its size.
        QCOMPARE(dlg().panelOrigin(), panelOriginFor(dlg().size()));
        dlg().recentre(QRect(0, 0, 1024, 768));
        QCoreApplication::processEvents();
        const QPoint origin = dlg().panelOrigin();
        QCOMPARE(origin, QPoint(192, 144));
        QCOMPARE(panelOriginFor(QSize(640, 480)), QPoint(0, 0));
        for (const skin::ControlLayout& l : skin::mainPanelControls())
            QCOMPARE(dlg().control(l.id)->pos(), origin + QPoint(l.offset.x, l.offset.y));
        QCOMPARE(dlg().canvasRect(), QRect(origin + QPoint(193, 15), QSize(354, 354)));
        QCOMPARE(dlg().canvas()->geometry(), dlg().canvasRect());
        QCOMPARE(panel()->pos(), origin + QPoint(140, 381));

        // The wheel's end hides and shows the seven file buttons.
        dlg().showFileButtons(false);
        for (int id : {IDC_OPEN_PICTURE, IDC_OPEN_PROJECT, IDC_PRINT, IDC_SAVE_AVI, IDC_SAVE_PICTURE,
                       IDC_SAVE_PROJECT, IDC_SCAN})
            QVERIFY(dlg().control(id)->isHidden());
        QVERIFY(!dlg().control(IDC_HOOK)->isHidden());
        dlg().showFileButtons(true);
        QVERIFY(!dlg().control(IDC_SCAN)->isHidden());
    }

    // ---- the ask-to-save prompt answered Yes ----

private:
    // A Hook stroke through the window: the Hook acts on every move, so the
    // work has changed when the button comes up.
    void hookStroke(QPoint from, QPoint to)
    {
        if (!doc().tool() || doc().toolName() != "move")
            click(IDC_HOOK);
        QTest::mousePress(window(), Qt::LeftButton, {}, canvasPoint(from.x(), from.y()));
        for (int i = 1; i <= 8; ++i)
            QTest::mouseMove(window(), canvasPoint(from.x() + (to.x() - from.x()) * i / 8,
                                                   from.y() + (to.y() - from.y()) * i / 8));
        QTest::mouseRelease(window(), Qt::LeftButton, {}, canvasPoint(to.x(), to.y()));
    }

    // The prompt gets Yes and the project-save dialog the name; `then` sets up
    // what comes after the save.
    void yesAndSaveAs(const std::string& name, std::function<void()> then = {})
    {
        m_answers = {1};
        onNextModal<CProjectSaveDlg>([name, then](CProjectSaveDlg* d) {
            // Into the name box first, as a user does: a folder that the list
            // selected by itself must not take the OK.
            QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
            QCoreApplication::sendEvent(d->nameEdit(), &focus);
            d->nameEdit()->setText(QString::fromStdString(name));
            d->ok();
            if (then)
                then();
        });
    }

    // Notes that a dialog of type D came up, and closes it.
    template <class D>
    static QPointer<QTimer> flagNextModal(bool& shown)
    {
        return onNextModal<D>([&shown](D* d) {
            shown = true;
            d->done(QDialog::Rejected);
        });
    }

    // A scan of 30 x 20 mm from the test scanner, saved as `name`.
    static void scanAndSaveAs(const std::string& name)
    {
        onNextModal<CScanDlg>([name](CScanDlg* d) {
            (void)d->scanner().setOption("read-delay", "false");
            d->resolutionSpin()->setValue(25);
            d->rightBox()->setValue(30);
            d->bottomBox()->setValue(20);
            // The save dialog for the scan comes once the scan dialog is done.
            QObject::connect(d, &QDialog::finished, [name] { answerFileDialog<CPictureSaveDlg>(name); });
            d->startScan();
        });
    }

    // The command each case runs, and what shows that it has done its work.
    struct WorkCommand {
        const char* name;
        std::function<void()> answerItsDialogs;
        std::function<void()> run;
        std::function<bool()> done;
    };
    std::vector<WorkCommand> commandsThatReplaceOrEndTheWork(const std::vector<OffsetCell>& projectField,
                                                             const std::string& otherPicture)
    {
        return {
            {"Projekt öffnen", [] { answerFileDialog<CProjectOpenDlg>("ziel.knx"); },
             [this] { click(IDC_OPEN_PROJECT); },
             [this, projectField] { return test::activeField(doc()) == projectField && !doc().modified(); }},
            {"Bild öffnen", [] { answerFileDialog<CPictureOpenDlg>("anders.bmp"); },
             [this] { click(IDC_OPEN_PICTURE); },
             [this, otherPicture] {
                 return doc().picture().picturePath() == otherPicture && doc().keys().count() == 2 &&
                        !doc().modified();
             }},
            {"Scannen", [] { scanAndSaveAs("scan"); }, [this] { click(IDC_SCAN); },
             [this] {
                 return test::waitFor([&] { return doc().picture().picturePath() == *m_folder / "scan.bmp"; },
                                      60000) &&
                        !doc().modified();
             }},
            {"Schließen", {}, [this] { click(IDC_CLOSE); },
             [this] { return !dlg().isVisible() && dlg().result() == int(IDOK); }},
            {"Escape", {}, [this] { QTest::keyClick(m_dlg.get(), Qt::Key_Escape); },
             [this] { return !dlg().isVisible() && dlg().result() == int(IDCANCEL); }},
        };
    }

private slots:
    void yesSavesTheProjectThenTheCommandGoesOn()
    {
        test::SaneTestConfig sane;
        const std::string other = test::writeGridPicture(*m_folder, "anders.bmp", 120, 240);
        QVERIFY(!other.empty());
        // The project that "Projekt öffnen" opens.
        openTestPicture();
        hookStroke({100, 100}, {140, 120});
        const auto projectField = test::activeField(doc());
        answerFileDialog<CProjectSaveDlg>("ziel");
        click(IDC_SAVE_PROJECT);
        QVERIFY(std::filesystem::exists(*m_folder / "ziel.knx"));

        int n = 0;
        for (const WorkCommand& c : commandsThatReplaceOrEndTheWork(projectField, other)) {
            if (!dlg().isVisible()) {
                m_dlg.reset();
                makeDialog();
            }
            dlg().openFile(m_picture);
            hookStroke({200, 60}, {230, 90});
            QVERIFY2(doc().modified(), c.name);
            const auto work = test::activeField(doc());
            const std::string name = "vorher" + std::to_string(++n);
            m_messages.clear();
            yesAndSaveAs(name, c.answerItsDialogs);
            c.run();
            QVERIFY2(c.done(), c.name);
            // The work was saved before it was replaced or ended.
            Document saved;
            QVERIFY2(saved.openProject(*m_folder / (name + ".knx")), c.name);
            QVERIFY2(test::activeField(saved) == work, c.name);
            QCOMPARE(m_messages, QStringList{QString::fromUtf8(loadString(IDS_ASK_SAVE_PROJECT))});
        }
    }

    void yesThenAFailedSaveKeepsTheWork()
    {
        test::SaneTestConfig sane;
        openTestPicture();
        hookStroke({100, 100}, {140, 120});
        const auto work = test::activeField(doc());
        // A name longer than any file system takes: the save fails whoever
        // runs the test, and the dialog stays in a folder that exists.
        const std::string name(300, 'w');
        const std::string target = *m_folder / (name + ".knx");
        const QStringList expected{QString::fromUtf8(loadString(IDS_ASK_SAVE_PROJECT)),
                                   QString::fromStdString(target + " enthält einen ungültigen Pfad.")};

        for (const WorkCommand& c : commandsThatReplaceOrEndTheWork({}, {})) {
            m_messages.clear();
            // None of the dialogs that would carry the command on may come up.
            bool dialogAfterTheSave = false;
            const QPointer<QTimer> watches[] = {flagNextModal<CProjectOpenDlg>(dialogAfterTheSave),
                                                flagNextModal<CPictureOpenDlg>(dialogAfterTheSave),
                                                flagNextModal<CScanDlg>(dialogAfterTheSave)};
            yesAndSaveAs(name);
            c.run();
            for (const QPointer<QTimer>& watch : watches)
                if (watch) {
                    watch->stop();
                    watch->deleteLater();
                }
            QCoreApplication::processEvents(); // a scanned picture would be posted
            QVERIFY2(!dialogAfterTheSave, c.name);
            QCOMPARE(m_messages, expected);
            QVERIFY2(dlg().isVisible(), c.name);
            QVERIFY2(doc().modified(), c.name);
            QVERIFY2(test::activeField(doc()) == work, c.name);
            QCOMPARE(doc().picture().picturePath(), m_picture);
        }
    }

    // ---- the Key commands and the thumbnails ----

private:
    // One state of the work: its field and the thumbnail of the picture the
    // canvas shows for it, drawn while it is shown.
    struct Look {
        std::vector<OffsetCell> field;
        ThumbnailBitmap thumbnail;
    };
    Look lookNow()
    {
        Look look{test::activeField(doc()), {}};
        const Size size = doc().keys().thumbnail();
        doc().picture().drawThumbnail(look.thumbnail, size.width, size.height);
        return look;
    }

    void runKeyCommand(int32_t cell, int32_t command)
    {
        dlg().filmstrip()->setMenuChooser([command](const std::vector<MenuItem>&, QPoint) { return command; });
        QTest::mouseClick(window(), Qt::LeftButton, {}, dlg().filmstrip()->mapTo(m_dlg.get(), QPoint(cell * 80 + 30, 30)));
    }

    // Compares the keys with the looks they must have, in order, and what the
    // strip paints in every cell (scrolled along so that each key is painted).
    QString keysMismatch(const std::vector<const Look*>& looks, int32_t active)
    {
        const KeyList& keys = doc().keys();
        if (keys.count() != int32_t(looks.size()) || keys.activeKey() != active)
            return QStringLiteral("%1 keys, key %2 active").arg(keys.count()).arg(keys.activeKey());
        QString mismatch;
        const int32_t first = keys.firstVisible();
        while (doc().scrollBack()) {
        }
        for (;;) {
            const QImage strip = dlg().filmstrip()->grab().toImage();
            for (int32_t cell = 0; cell < 3 && keys.firstVisible() + cell < keys.count(); ++cell) {
                const int32_t i = keys.firstVisible() + cell;
                const ThumbnailBitmap& t = keys.key(i).thumbnail();
                const Rect r = keys.thumbnailRect(cell);
                // Inside the active key's three frame lines.
                for (int32_t y = 3; y < t.height - 3; y += 4)
                    for (int32_t x = 3; x < t.width - 3; x += 4) {
                        const uint8_t* px = t.bits.data() + y * t.bytesPerRow + 4 * x;
                        if ((strip.pixel(r.left + x, r.top + y) & 0xFFFFFF) != (qRgb(px[2], px[1], px[0]) & 0xFFFFFF))
                            mismatch = QStringLiteral("cell %1 does not show key %2's thumbnail").arg(cell).arg(i);
                    }
            }
            if (!doc().scrollForward() || keys.firstVisible() + 3 > keys.count())
                break;
        }
        while (keys.firstVisible() > first && doc().scrollBack()) {
        }
        while (keys.firstVisible() < first && doc().scrollForward()) {
        }
        for (int32_t i = 0; i < keys.count(); ++i) {
            const CMMask& key = keys.key(i);
            if (std::vector<OffsetCell>(key.cells(), key.cells() + key.cellCount()) != looks[size_t(i)]->field)
                return QStringLiteral("key %1 holds another field").arg(i);
            if (!(key.thumbnail() == looks[size_t(i)]->thumbnail))
                return QStringLiteral("key %1's thumbnail shows another picture").arg(i);
        }
        return mismatch;
    }

private slots:
    void keyCommandsMoveTheThumbnailsWithTheirKeys()
    {
        openTestPicture();
        // The picture is shown as loaded until its first full render, which
        // makes the top row a copy of the next; activate both keys once so that
        // every look below is a rendered one.
        runKeyCommand(0, ID_KEY_ACTIVATE);
        runKeyCommand(1, ID_KEY_ACTIVATE);
        const Look plain = lookNow();
        hookStroke({100, 100}, {140, 120});
        const Look a = lookNow();
        runKeyCommand(2, ID_KEY_ACTIVATE); // appends a copy of the active key
        hookStroke({250, 150}, {220, 190});
        const Look ab = lookNow();
        QVERIFY2(!(a.thumbnail == plain.thumbnail) && !(ab.thumbnail == a.thumbnail), "the looks differ");
        QString mismatch = keysMismatch({&plain, &a, &ab}, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

        // Each command right after a stroke, before the strip has painted the
        // active key's new look.
        hookStroke({60, 60}, {80, 40});
        const Look abc = lookNow();
        runKeyCommand(2, ID_KEY_MOVE_LEFT); // the active key goes left; its old place stays active
        mismatch = keysMismatch({&plain, &abc, &a}, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable("Nach links: " + mismatch));

        runKeyCommand(0, ID_KEY_MOVE_RIGHT);
        mismatch = keysMismatch({&abc, &plain, &a}, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable("Nach rechts: " + mismatch));

        hookStroke({300, 200}, {320, 180}); // dropped: the active key is replaced
        runKeyCommand(0, ID_KEY_TO_WINDOW);
        mismatch = keysMismatch({&abc, &plain, &abc}, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable("In das Fenster kopieren: " + mismatch));
        QCOMPARE(test::activeField(doc()), abc.field);

        hookStroke({180, 100}, {200, 130});
        const Look abce = lookNow();
        runKeyCommand(1, ID_KEY_TO_FILMSTRIP);
        mismatch = keysMismatch({&abc, &abce, &abce}, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable("In Filmstreifen kopieren: " + mismatch));

        hookStroke({120, 180}, {90, 170});
        const Look abceg = lookNow();
        runKeyCommand(2, ID_KEY_COPY); // the same key stays active, one place on
        mismatch = keysMismatch({&abc, &abce, &abceg, &abceg}, 3);
        QVERIFY2(mismatch.isEmpty(), qPrintable("Kopieren: " + mismatch));

        runKeyCommand(0, ID_KEY_DELETE);
        mismatch = keysMismatch({&abce, &abceg, &abceg}, 2);
        QVERIFY2(mismatch.isEmpty(), qPrintable("Löschen: " + mismatch));
        QVERIFY(doc().modified());
    }
};

} // namespace knetix

QTEST_MAIN(knetix::MainDlgTest)
#include "MainDlgTest.moc"
