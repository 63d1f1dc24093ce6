// The browse palette: thumbnails filled in by the worker, the database file
// between palettes, its menu, layout and clicks.

#include "BrowserTest.h"

#include <QPointer>

#include "browser/CBrowsePalette.h"
#include "browser/model/ThumbnailDatabase.h"
#include "resources/Strings.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace knetix::test {

namespace {

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A palette on the dialog's folder, filled.
CBrowsePalette* openPalette(CPictureOpenDlg& dlg)
{
    dlg.browse();
    CBrowsePalette* palette = dlg.palette();
    if (palette && !QTest::qWaitFor([&] { return !palette->filling(); }, 30000))
        return nullptr;
    return palette;
}

void closePalette(CPictureOpenDlg& dlg)
{
    delete dlg.palette();
}

} // namespace

class PaletteTest : public QObject {
    Q_OBJECT

private slots:
    void placedBesideTheDialogAndEscapeCloses()
    {
        const QRect area(0, 0, 1024, 740);
        // The wider free side is taken; the title bar stays inside the area.
        const QRect right = CBrowsePalette::placeBeside(area, QRect(100, 200, 400, 300), 30);
        QCOMPARE(right.left(), 504);
        QCOMPARE(right.top(), 30);
        QVERIFY(area.contains(right));
        const QRect left = CBrowsePalette::placeBeside(area, QRect(600, 200, 400, 300), 30);
        QVERIFY(left.right() < 600);
        QVERIFY(area.contains(left));
        // No room on either side: over the right part, still inside.
        const QRect squeezed = CBrowsePalette::placeBeside(area, QRect(50, 0, 924, 700), 30);
        QVERIFY(area.contains(squeezed));
        QVERIFY(squeezed.width() >= 200);

        PrivatePlace place;
        TestTree tree;
        tree.picture("a.bmp", 64, 48);
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), "Alle|*.*||");
        dlg.show();
        QPointer<CBrowsePalette> palette = openPalette(dlg);
        QVERIFY(palette);
        QTest::keyClick(palette.data(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!palette, 30000);
        QVERIFY(dlg.isVisible());
    }

    void thumbnailsFitAndTheDatabaseKeepsThem()
    {
        PrivatePlace place;
        TestTree tree;
        tree.picture("wide.bmp", 640, 480);
        tree.picture("tall.bmp", 480, 640);
        tree.picture("line.bmp", 1000, 10);
        tree.file("text.jpg", "not a picture");
        tree.file("liesmich.txt", "not a picture either");
        tree.dir("sub.bmp");
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), "Alle|*.*||");
        dlg.show();

        CBrowsePalette* palette = openPalette(dlg);
        QVERIFY(palette);
        QCOMPARE(palette->windowTitle(), QString("Durchsuchen"));
        // Folders and other files are left out; a file named as a picture that
        // does not read is there, as a red cross.
        QCOMPARE(palette->displayList().size(), size_t(4));
        QVERIFY(!palette->shownItem(tree.path("text.jpg"))->hasThumbnail());
        struct Want { const char* name; int w, h; };
        for (Want want : {Want{"wide.bmp", 120, 90}, Want{"tall.bmp", 67, 90}, Want{"line.bmp", 120, 1}}) {
            const CPaletteItem* item = palette->shownItem(tree.path(want.name));
            QVERIFY2(item && item->hasThumbnail(), want.name);
            QCOMPARE(item->m_width, want.w);
            QCOMPARE(item->m_height, want.h);
            QCOMPARE(item->writeTime(), fileWriteStamp(tree.path(want.name)));
        }
        QVERIFY(palette->changed());
        // Beside the dialog, inside the work area, the dialog left free.
        const QRect area = dlg.screen()->availableGeometry();
        QVERIFY(area.contains(palette->geometry()));
        QVERIFY(palette->geometry().top() > area.top()); // room for the title bar
        QVERIFY(!palette->geometry().intersects(dlg.frameGeometry()));
        closePalette(dlg);
        ThumbnailMap stored;
        QVERIFY(decodeThumbnailDatabase(fileBytes(place.database()), stored));
        QCOMPARE(stored.size(), size_t(4));
        QVERIFY(stored.count(tree.path("tall.bmp")));

        // A second palette shows the folder at once from the file, and writes nothing.
        fs::remove(place.database());
        palette = nullptr;
        ThumbnailMap again;
        again[tree.path("wide.bmp")] = stored[tree.path("wide.bmp")];
        saveThumbnailDatabase(place.database(), stored);
        dlg.browse();
        palette = dlg.palette();
        QVERIFY(!palette->filling());
        QVERIFY(!palette->changed());
        QCOMPARE(palette->shownItem(tree.path("tall.bmp"))->m_width, 67);
        const auto before = fileBytes(place.database());

        // A changed picture gets a new thumbnail on the next scan.
        tree.picture("tall.bmp", 320, 480);
        fs::last_write_time(tree.path("tall.bmp"), fs::last_write_time(tree.path("tall.bmp")) + std::chrono::seconds(5));
        palette->scan();
        QVERIFY(palette->filling());
        QVERIFY(!palette->shownItem(tree.path("tall.bmp")));
        QTRY_VERIFY_WITH_TIMEOUT(!palette->filling(), 30000);
        QCOMPARE(palette->shownItem(tree.path("tall.bmp"))->m_width, 60);
        QVERIFY(palette->changed());
        closePalette(dlg);
        QVERIFY(fileBytes(place.database()) != before);
        QVERIFY(decodeThumbnailDatabase(fileBytes(place.database()), stored));
        QCOMPARE(stored[tree.path("tall.bmp")]->m_width, 60);
    }

    void unreadablePicturesAreCachedWithoutThumbnail()
    {
        PrivatePlace place;
        TestTree tree;
        tree.picture("huge.bmp", 64, 64);
        // The library knows the file but will not read a picture above its limit.
        const int64_t limit = ImExp_MaxPixels();
        ImExp_SetMaxPixels(100);
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), "Alle|*.*||");
        dlg.show();
        CBrowsePalette* palette = openPalette(dlg);
        ImExp_SetMaxPixels(limit);
        QCOMPARE(palette->displayList().size(), size_t(1));
        const CPaletteItem* item = palette->shownItem(tree.path("huge.bmp"));
        QVERIFY(item);
        QVERIFY(!item->hasThumbnail());
        const QImage shot = palette->viewport()->grab().toImage();
        QCOMPARE(shot.pixelColor(70, 60), QColor(255, 0, 0)); // the red cross
    }

    void menuDeletesAndRefreshesTheDatabase()
    {
        PrivatePlace place;
        TestTree tree;
        tree.picture("a.bmp", 40, 30);
        tree.picture("b.bmp", 40, 30);
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), "Alle|*.*||");
        openPalette(dlg);
        closePalette(dlg);
        QVERIFY(fs::exists(place.database()));

        // Delete the file, close with "save on exit": the file is back.
        CBrowsePalette* palette = openPalette(dlg);
        QVERIFY(!palette->changed());
        palette->runCommand(ID_BROWSE_DELETE_DATABASE);
        QVERIFY(!fs::exists(place.database()));
        QVERIFY(palette->changed());
        closePalette(dlg);
        QVERIFY(fs::exists(place.database()));

        // "Refresh" forgets pictures that are gone, without marking a change.
        fs::remove(tree.path("b.bmp"));
        palette = openPalette(dlg);
        QCOMPARE(palette->database().size(), size_t(2));
        palette->runCommand(ID_BROWSE_REFRESH);
        QCOMPARE(palette->database().size(), size_t(1));
        QVERIFY(!palette->changed());

        // Save on exit off: deleting leaves no file, and the setting remembers it.
        QVERIFY(palette->saveOnExit());
        palette->runCommand(ID_BROWSE_SAVE_ON_EXIT);
        palette->runCommand(ID_BROWSE_DELETE_DATABASE);
        closePalette(dlg);
        QVERIFY(!fs::exists(place.database()));
        QSettings settings(QString::fromStdString(place.settingsFile()), QSettings::IniFormat);
        QCOMPARE(settings.value("Browse/SAVEDB").toInt(), 0);
        palette = openPalette(dlg);
        QVERIFY(!palette->saveOnExit());
        palette->runCommand(ID_BROWSE_SAVE_ON_EXIT);
        closePalette(dlg);
    }

    void damagedDatabaseIsIgnoredAndRewritten()
    {
        PrivatePlace place;
        TestTree tree;
        tree.picture("a.bmp", 40, 30);
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), "Alle|*.*||");
        openPalette(dlg);
        closePalette(dlg);
        auto bytes = fileBytes(place.database());
        bytes.resize(bytes.size() - 10);
        std::ofstream(place.database(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

        CBrowsePalette* palette = openPalette(dlg);
        QVERIFY(palette->changed()); // made again
        QCOMPARE(palette->database().size(), size_t(1));
        closePalette(dlg);
        ThumbnailMap stored;
        QVERIFY(decodeThumbnailDatabase(fileBytes(place.database()), stored));
        QCOMPARE(stored.size(), size_t(1));

        // Also when the folder shown has no pictures at all.
        std::ofstream(place.database(), std::ios::binary | std::ios::trunc) << "garbage";
        dlg.chooseFolder(0);
        openPalette(dlg);
        closePalette(dlg);
        QCOMPARE(fileBytes(place.database()), (std::vector<uint8_t>{0, 0}));
    }

    void layoutClicksAndDoubleClick()
    {
        PrivatePlace place;
        TestTree tree;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"})
            tree.picture(name, 40, 30);
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), "Alle|*.*||");
        dlg.show();
        CBrowsePalette* palette = openPalette(dlg);
        palette->resize(100, 300);
        QCOMPARE(palette->columns(), 1);
        QCOMPARE(palette->itemAt(QPoint(50, 130)), 1);
        palette->resize(320 + palette->width() - palette->viewport()->width(), 250);
        QCOMPARE(palette->columns(), 2);
        QCOMPARE(palette->itemAt(QPoint(150, 130)), 3);
        QCOMPARE(palette->itemAt(QPoint(290, 10)), -1); // right of the last column
        QCOMPARE(palette->itemAt(QPoint(150, 250)), -1); // after the last item

        const std::string third = palette->displayList()[2];
        const QString name = QString::fromStdString(fs::path(third).filename().string());
        QTest::mouseClick(palette->viewport(), Qt::LeftButton, {}, QPoint(30, 150));
        QCOMPARE(dlg.nameEdit()->text(), name);
        QCOMPARE(dlg.list()->currentItem()->text(), name);
        QVERIFY(palette->shownItem(third)->m_selected);
        QTest::mouseDClick(palette->viewport(), Qt::LeftButton, {}, QPoint(30, 150));
        QTRY_COMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.resultPath(), third);
        QTRY_VERIFY(!dlg.palette()); // the palette goes with its dialog
        QVERIFY(fs::exists(place.database()));
    }
};

KNETIX_QT_TEST(PaletteTest);

} // namespace knetix::test

#include "PaletteTest.moc"
