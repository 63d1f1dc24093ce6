// Pictures of every dialog and of the palette, for a look by eye; written to
// the build folder's screenshots/.

#include "BrowserTest.h"

#include "skin/Look.h"

#include "browser/CBrowsePalette.h"
#include "browser/model/ThumbnailDatabase.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <filesystem>
#include <memory>

namespace knetix::test {

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void everyDialog()
    {
        // In the program's own look (dark palette), as users see them.
        applyProgramLook(*qApp);
        PrivatePlace place;
        TestTree tree;
        tree.dir("Urlaub");
        tree.dir("Familie");
        for (const char* name : {"strand.jpg", "berge.bmp", "projekt.knx", "film.avi", "katze.bmp", "hund.pcx"})
            tree.file(name);
        tree.picture("katze.bmp", 320, 240);
        tree.picture("berge.bmp", 200, 300);
        QDir().mkpath(KNETIX_SCREENSHOT_DIR);
        const QString folder = QString::fromStdString(tree.folder());
        std::vector<std::pair<QString, std::unique_ptr<CFileDlg>>> dialogs;
        dialogs.emplace_back("picture-open", std::make_unique<CPictureOpenDlg>("", folder, "Alle Dateien (*.*)|*.*||"));
        dialogs.emplace_back("project-open", std::make_unique<CProjectOpenDlg>("", folder, "Projekte (*.KNX)|*.KNX||"));
        dialogs.emplace_back("project-save", std::make_unique<CProjectSaveDlg>("unbenannt", folder, "Projekte (*.KNX)|*.KNX||"));
        dialogs.emplace_back("picture-save", std::make_unique<CPictureSaveDlg>("unbenannt", folder, "JPEG Dateien (*.JPG)|*.JPG|Bitmap Dateien (*.BMP)|*.BMP||"));
        dialogs.emplace_back("avi-save", std::make_unique<CAviSaveDlg>("film", folder, "AVI Filme (*.AVI)|*.AVI||"));
        for (auto& [name, dlg] : dialogs) {
            QVERIFY2(dlg->initialised(), qPrintable(name));
            dlg->show();
            QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
            const QImage shot = dlg->grab().toImage();
            QCOMPARE(shot.size(), QSize(390, 325));
            QVERIFY(shot.save(QStringLiteral(KNETIX_SCREENSHOT_DIR "/%1.png").arg(name)));
            // The list is white, the combos silver, and the names in the list
            // are written dark on it.
            QCOMPARE(shot.pixelColor(60, 200), QColor(Qt::white));
            QCOMPARE(shot.pixelColor(140, 24), QColor(192, 192, 192));
            QListWidget* list = dlg->list();
            QVERIFY(list->count() >= 2);
            const QRect second = list->visualItemRect(list->item(1)) // not selected
                                     .adjusted(20, 2, -2, -2)          // the name, not the icon
                                     .translated(list->viewport()->mapTo(dlg.get(), QPoint(0, 0)));
            int darkest = 255;
            for (int y = second.top(); y <= second.bottom(); ++y)
                for (int x = second.left(); x <= second.right(); ++x)
                    darkest = std::min(darkest, qGray(shot.pixel(x, y)));
            QVERIFY2(darkest < 80, qPrintable(name));
            // The name box is white as its well, its text dark.
            const QRect box = dlg->nameEdit()->geometry();
            QCOMPARE(shot.pixelColor(box.right() - 3, box.center().y()), QColor(Qt::white));
        }

        auto* open = static_cast<CPictureOpenDlg*>(dialogs[0].second.get());
        open->browse();
        CBrowsePalette* palette = open->palette();
        QVERIFY(palette);
        palette->resize(440, 280);
        QTRY_VERIFY_WITH_TIMEOUT(!palette->filling(), 30000);
        QTest::mouseClick(palette->viewport(), Qt::LeftButton, {}, QPoint(200, 50));
        QVERIFY(palette->grab().save(QStringLiteral(KNETIX_SCREENSHOT_DIR "/browse-palette.png")));
        QVERIFY(open->grab().save(QStringLiteral(KNETIX_SCREENSHOT_DIR "/picture-open-selected.png")));

        // The clicked cell alone has the black selection frame, each picture
        // shows its own thumbnail, and the dialog takes the clicked name.
        const QImage cells = palette->viewport()->grab().toImage();
        const int columns = palette->columns();
        QVERIFY(columns >= 2);
        const int clicked = palette->itemAt(QPoint(200, 50));
        QCOMPARE(clicked, 1);
        const auto& list = palette->displayList();
        // The two pictures, and the two files named as pictures that do not
        // read (hund.pcx, strand.jpg) as red crosses.
        QCOMPARE(list.size(), size_t(4));
        for (int k = 0; k < int(list.size()); ++k) {
            const QPoint at(kPaletteCellWidth * (k % columns), kPaletteCellHeight * (k / columns));
            const QColor frame = cells.pixelColor(at + QPoint(1, kPaletteCellHeight / 2));
            QCOMPARE(frame == QColor(Qt::black), k == clicked);
            const CPaletteItem* item = palette->shownItem(list[size_t(k)]);
            QVERIFY(item);
            const bool picture = list[size_t(k)].ends_with(".bmp");
            QCOMPARE(item->hasThumbnail(), picture);
            if (!picture) {
                QCOMPARE(cells.pixelColor(at + QPoint(kPaletteCellWidth / 2, kPaletteCellHeight / 2)), QColor(255, 0, 0));
                continue;
            }
            // The middle pixel of the thumbnail, whose rows are stored bottom-up.
            const int x = item->m_width / 2, y = item->m_height / 2;
            const uint8_t* px = item->m_thumbnail.data() + 40 +
                                (item->m_height - 1 - y) * thumbnailStride(item->m_width) + 3 * x;
            const QPoint drawn = at + QPoint((kPaletteCellWidth - item->m_width) / 2 + x, 2 + y);
            QCOMPARE(cells.pixelColor(drawn), QColor(px[2], px[1], px[0]));
        }
        QCOMPARE(open->nameEdit()->text().toStdString(),
                 std::filesystem::path(list[size_t(clicked)]).filename().string());
        palette->close();
    }
};

KNETIX_QT_TEST(ScreenshotTest);

} // namespace knetix::test

#include "ScreenshotTest.moc"
