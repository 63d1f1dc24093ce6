// The file dialogs on folders made here: listing, navigation, New Folder,
// Delete, OK in the open and the save dialogs, scrolling and Info.

#include "BrowserTest.h"

#include "browser/FileDialogParts.h"
#include "resources/Strings.h"
#include "skin/CListScrollBar.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace knetix::test {

namespace {

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QString text(int id)
{
    return QString::fromUtf8(loadString(id));
}

void selectRow(CFileDlg& dlg, const QString& name)
{
    const auto found = dlg.list()->findItems(name, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    dlg.list()->setCurrentItem(found.front());
}

// The file-name box gets the focus and a text.
void typeName(CFileDlg& dlg, const QString& name)
{
    QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(dlg.nameEdit(), &focus);
    dlg.nameEdit()->setText(name);
}

} // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void listsFoldersFirstAndFilesOfTheType()
    {
        TestTree tree;
        for (const char* name : {"a.jpg", "d.JPEG", "nodot", "b.PCX"})
            tree.file(name);
        tree.dir("sub");
        CProjectOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        QVERIFY(dlg.initialised());
        QCOMPARE(dlg.currentFolder(), tree.folder());
        QStringList listed = texts(dlg.list());
        // Folders first, then files, each by name; ".JPEG" goes with "*.JPG".
        QCOMPARE(listed, (QStringList{"sub", "a.jpg", "b.PCX", "d.JPEG"}));
        QCOMPARE(dlg.typeCombo()->count(), 3); // the closing "||" adds nothing

        dlg.chooseType(1);
        listed = texts(dlg.list());
        listed.sort();
        QCOMPARE(listed, (QStringList{"a.jpg", "b.PCX", "d.JPEG", "sub"}));

        // F5 shows what appeared since.
        tree.file("e.bmp");
        QTest::keyClick(dlg.list(), Qt::Key_F5);
        QVERIFY(texts(dlg.list()).contains("e.bmp"));
    }

    void entersFoldersAndGoesUp()
    {
        TestTree tree;
        tree.dir("sub/deeper");
        tree.file("sub/in.jpg");
        FakeVolumes volumes(tree.folder());
        MessageRecorder messages;
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        selectRow(dlg, "sub");
        QTest::keyClick(dlg.list(), Qt::Key_Return);
        QCOMPARE(dlg.currentFolder(), tree.path("sub/"));
        QCOMPARE(texts(dlg.list()), (QStringList{"deeper", "in.jpg"}));
        QCOMPARE(dlg.folderCombo()->currentText(), QString::fromStdString(tree.path("sub")));
        QCOMPARE(dlg.folderCombo()->itemData(dlg.folderCombo()->currentIndex(), kDepthRole).toInt(), 2);

        QTest::keyClick(dlg.list(), Qt::Key_Backspace);
        QCOMPARE(dlg.currentFolder(), tree.folder());
        QCOMPARE(dlg.folderCombo()->count(), 2);

        // The "My Computer" level: Up, New Folder and Delete do nothing; OK enters.
        dlg.chooseFolder(0);
        QVERIFY(dlg.atMyComputer());
        QCOMPARE(dlg.folderCombo()->itemText(0), QStringLiteral("Computer"));
        QCOMPARE(dlg.list()->count(), 1);
        dlg.goUp();
        dlg.newFolder();
        dlg.deleteSelected();
        QVERIFY(dlg.atMyComputer());
        QCOMPARE(dlg.list()->count(), 1);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(fs::exists(tree.path("sub")));
        dlg.ok();
        QCOMPARE(dlg.currentFolder(), tree.folder());
        QVERIFY(dlg.isVisible());

        // A folder that cannot be read leaves the dialog where it was.
        dlg.selectFile("sub");
        fs::remove_all(tree.path("sub"));
        dlg.ok();
        QCOMPARE(dlg.currentFolder(), tree.folder());
        QCOMPARE(messages.shown.size(), 1);
    }

    void newFolderIsRenamedByItsLabel()
    {
        TestTree tree;
        tree.dir("taken");
        CProjectSaveDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        for (const char* wanted : {"Urlaub", "taken"}) {
            dlg.newFolder();
            QVERIFY(dlg.editingLabel());
            QVERIFY(fs::is_directory(tree.path(kNewFolderName)));
            auto* editor = dlg.list()->findChild<QLineEdit*>();
            QVERIFY(editor);
            editor->setText(wanted);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!dlg.editingLabel());
        }
        QVERIFY(fs::is_directory(tree.path("Urlaub")));
        // A taken name keeps the folder and the label says so.
        QVERIFY(fs::is_directory(tree.path(kNewFolderName)));
        QCOMPARE(QString(kNewFolderName), QStringLiteral("Neuer Ordner"));
        QCOMPARE(dlg.list()->item(dlg.list()->count() - 1)->text(), QString(kNewFolderName));

        MessageRecorder messages;
        dlg.newFolder(); // "New Folder" exists already
        QCOMPARE(messages.shown, QStringList{text(IDS_SAVE_DLG_CREATE_FOLDER_FAILED)});
        QVERIFY(!dlg.editingLabel());
    }

    void deleteAsksAndRefusesFullFolders()
    {
        TestTree tree;
        tree.dir("empty");
        tree.dir("full");
        tree.file("full/a.jpg");
        tree.file("gone.jpg");
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        MessageRecorder messages;

        selectRow(dlg, "empty");
        QTest::keyClick(dlg.list(), Qt::Key_Delete); // No
        QVERIFY(fs::exists(tree.path("empty")));
        QVERIFY(texts(dlg.list()).contains("empty"));
        messages.answers = {true};
        QTest::keyClick(dlg.list(), Qt::Key_Delete);
        QVERIFY(!fs::exists(tree.path("empty")));
        QVERIFY(!texts(dlg.list()).contains("empty"));
        QCOMPARE(messages.shown, (QStringList{text(IDS_ASK_DELETE_FOLDER), text(IDS_ASK_DELETE_FOLDER)}));

        messages.shown.clear();
        messages.answers = {true};
        selectRow(dlg, "full");
        dlg.deleteSelected();
        QCOMPARE(messages.shown, QStringList{text(IDS_FOLDER_NOT_EMPTY)});
        QVERIFY(fs::exists(tree.path("full/a.jpg")));

        messages.shown.clear();
        selectRow(dlg, "gone.jpg");
        dlg.deleteSelected();
        QCOMPARE(messages.shown, QStringList{text(IDS_ASK_DELETE_FILE)});
        QVERIFY(!fs::exists(tree.path("gone.jpg")));
        QCOMPARE(texts(dlg.list()), QStringList{"full"});
    }

    void openAcceptsOnlyFilesThatExist()
    {
        TestTree tree;
        tree.file("there.jpg");
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        MessageRecorder messages;
        dlg.list()->clearSelection();
        dlg.nameEdit()->setText("x.jpg");
        dlg.ok();
        QCOMPARE(messages.shown, QStringList{QString::fromStdString(tree.path("x.jpg")) + text(IDS_FILE_DOES_NOT_EXIST)});
        QVERIFY(dlg.isVisible());

        dlg.nameEdit()->clear();
        dlg.ok(); // an empty name does nothing
        QCOMPARE(messages.shown.size(), 1);

        selectRow(dlg, "there.jpg");
        QCOMPARE(dlg.nameEdit()->text(), QString("there.jpg"));
        dlg.ok();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.resultPath(), tree.path("there.jpg"));
    }

    void saveAcceptsAnyNameAndReturnsThePattern()
    {
        TestTree tree;
        tree.dir("sub");
        tree.file("old.jpg");
        FakeVolumes volumes(tree.folder());
        CPictureSaveDlg dlg("unbenannt", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        // The folder is selected first: OK enters it.
        QVERIFY(dlg.folderMark());
        dlg.ok();
        QCOMPARE(dlg.currentFolder(), tree.path("sub/"));
        QVERIFY(dlg.isVisible());
        dlg.goUp();

        selectRow(dlg, "old.jpg");
        QVERIFY(!dlg.folderMark());
        dlg.chooseType(2); // refilled: the folder is selected again
        QVERIFY(dlg.folderMark());
        typeName(dlg, "neu ohne Endung");
        dlg.ok();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.resultName(), std::string("neu ohne Endung"));
        QCOMPARE(dlg.resultPattern(), std::string("*.BMP"));
        QCOMPARE(dlg.currentFolder(), tree.folder());

        QCOMPARE(dlg.resultPath(), tree.path("neu ohne Endung.bmp"));

        // No name, no file (".avi" alone would be a hidden file).
        CAviSaveDlg empty("", QString::fromStdString(tree.folder()), "Filme|*.AVI||");
        empty.show();
        typeName(empty, "");
        QVERIFY(!empty.folderMark());
        empty.ok();
        QVERIFY(empty.isVisible());
    }

    void namesAreNeitherCutNorOverlapping()
    {
        struct Case {
            std::vector<std::string> folders, files;
        };
        const std::string longName = "IMG_20240815_Urlaub am Meer mit der ganzen Familie und dem Hund, Abend.jpg";
        for (const Case& c : {Case{{"s", "sane", "shots"}, {"Bild2.jpg", "bild10.JPG", "x.jpg"}},
                              Case{{"Ordner"}, {"kurz.jpg", longName, "Z.jpg"}}}) {
            TestTree tree;
            for (const std::string& name : c.folders)
                tree.dir(name);
            for (const std::string& name : c.files)
                tree.file(name);
            CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
            dlg.show();
            QListWidget* list = dlg.list();
            QCOMPARE(list->count(), int(c.folders.size() + c.files.size()));
            const int width = list->viewport()->width();
            std::vector<QRect> seen;
            for (int i = 0; i < list->count(); ++i) {
                const QRect r = list->visualRect(list->model()->index(i, 0));
                QVERIFY2(r.left() >= 0 && r.right() < width, qPrintable(list->item(i)->text()));
                for (const QRect& other : seen)
                    QVERIFY2(!r.intersects(other), qPrintable(list->item(i)->text()));
                seen.push_back(r);
                // The whole name and its icon fit, unless the name is wider than the list.
                const int needed = list->fontMetrics().horizontalAdvance(list->item(i)->text()) + 16;
                if (list->item(i)->text() == QString::fromStdString(longName))
                    QCOMPARE(r.width(), width);
                else
                    QVERIFY2(r.width() >= needed, qPrintable(list->item(i)->text()));
            }
            if (c.folders.size() == 3) {
                // Short names share a row; each column as wide as its widest name.
                QCOMPARE(seen[1].top(), seen[0].top());
                QCOMPARE(seen[2].top(), seen[0].top());
                QCOMPARE(seen[1].left(), std::max(seen[0].width(), seen[3].width()) + CFileList::kColumnGap);
            }
        }
    }

    void typedPathsWinOverTheSelectedItem()
    {
        TestTree tree;
        tree.dir("a/b/c");
        tree.dir("home/Bilder");
        tree.file("a/b/c/bild.jpg");
        tree.file("home/Bilder/katze.jpg");
        MessageRecorder messages;
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QByteArray::fromStdString(tree.path("home")));
        auto typeAndEnter = [](CFileDlg& dlg, const QString& text) {
            dlg.nameEdit()->clear();
            QTest::keyClicks(dlg.nameEdit(), text);
            QTest::keyClick(dlg.nameEdit(), Qt::Key_Return);
        };

        // The folder "a" is selected by itself; the typed path still opens.
        CPictureOpenDlg open("", QString::fromStdString(tree.folder()), kTestFilter);
        open.show();
        QVERIFY(open.nameTyped() == false);
        typeAndEnter(open, "a/b/c/bild.jpg");
        QCOMPARE(open.result(), int(QDialog::Accepted));
        QCOMPARE(open.resultPath(), tree.path("a/b/c/bild.jpg"));
        QCOMPARE(open.currentFolder(), tree.path("a/b/c/"));

        // A typed folder is entered; "~" is home; a missing name is reported.
        CPictureOpenDlg walk("", QString::fromStdString(tree.folder()), kTestFilter);
        walk.show();
        typeAndEnter(walk, "a/b/../b");
        QCOMPARE(walk.currentFolder(), tree.path("a/b/"));
        QVERIFY(walk.isVisible());
        typeAndEnter(walk, "~/Bilder/");
        QCOMPARE(walk.currentFolder(), tree.path("home/Bilder/"));
        QCOMPARE(walk.nameEdit()->text(), QString("katze.jpg")); // the first file, as a listing gives it
        typeAndEnter(walk, "/no/such/place/x.jpg");
        QCOMPARE(messages.shown, QStringList{"/no/such/place/x.jpg" + text(IDS_FILE_DOES_NOT_EXIST)});
        QVERIFY(walk.isVisible());
        typeAndEnter(walk, "~/Bilder/katze.jpg");
        QCOMPARE(walk.resultPath(), tree.path("home/Bilder/katze.jpg"));

        // Save: a typed path saves into its folder, a missing folder is reported.
        messages.shown.clear();
        CPictureSaveDlg save("unbenannt", QString::fromStdString(tree.folder()), "JPEG-Dateien (*.JPG)|*.JPG||");
        save.show();
        typeAndEnter(save, "~/gibt es nicht/neu");
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown[0].startsWith("Der Ordner „" + QString::fromStdString(tree.path("home/gibt es nicht/"))));
        typeAndEnter(save, "a/b");
        QCOMPARE(save.currentFolder(), tree.path("a/b/"));
        QCOMPARE(save.nameEdit()->text(), QString("unbenannt"));
        typeAndEnter(save, "c/neu");
        QCOMPARE(save.result(), int(QDialog::Accepted));
        QCOMPARE(save.resultPath(), tree.path("a/b/c/neu.jpg"));
        QCOMPARE(save.currentFolder(), tree.path("a/b/c/"));
        qputenv("HOME", home);
    }

    void saveNeverTakesANameByItselfAndAsksBeforeReplacing()
    {
        TestTree tree;
        tree.file("alt.jpg");
        tree.file("bild.jpeg");
        MessageRecorder messages;
        CPictureSaveDlg dlg("unbenannt", QString::fromStdString(tree.folder()), "JPEG-Dateien (*.JPG)|*.JPG||");
        dlg.show();
        // The list starts on "alt.jpg", but the name stays the caller's.
        QCOMPARE(dlg.list()->currentItem()->text(), QString("alt.jpg"));
        QCOMPARE(dlg.nameEdit()->text(), QString("unbenannt"));

        // A clicked file is asked about; No keeps the dialog and the file.
        QTest::mouseClick(dlg.list()->viewport(), Qt::LeftButton, {},
                          dlg.list()->visualItemRect(dlg.list()->item(0)).center());
        QCOMPARE(dlg.nameEdit()->text(), QString("alt.jpg"));
        dlg.ok();
        QCOMPARE(messages.shown, QStringList{"„alt.jpg“ ist bereits vorhanden. Möchten Sie die Datei ersetzen?"});
        QVERIFY(dlg.isVisible());

        // The completed name counts: "bild" stands for "bild.jpg", which is free;
        // "bild.jpeg" is a JPEG name already and exists.
        messages.shown.clear();
        messages.answers = {true};
        typeName(dlg, "bild.jpeg");
        dlg.ok();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.resultPath(), tree.path("bild.jpeg"));

        CPictureSaveDlg free("unbenannt", QString::fromStdString(tree.folder()), "JPEG-Dateien (*.JPG)|*.JPG||");
        free.show();
        typeName(free, "bild");
        free.ok();
        QCOMPARE(free.resultPath(), tree.path("bild.jpg"));
        QCOMPARE(messages.shown.size(), 1);
    }

    void keyboardAloneOpensAPictureThreeFoldersDown()
    {
        TestTree tree;
        for (const char* name : {"Archiv/2023", "Archiv/2024/Sommer", "Archiv/2024/Winter", "Bilder"})
            tree.dir(name);
        tree.file("Archiv/2024/Sommer/Strand.jpg");
        tree.file("Archiv/2024/Sommer/Düne.jpg");
        CPictureOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        // The list has the focus from the start.
        QCOMPARE(QApplication::focusWidget(), dlg.list());
        auto key = [](int k) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k)); };
        key(Qt::Key_Right); // "Bilder"
        key(Qt::Key_Left);  // back to "Archiv"
        key(Qt::Key_Return);
        QCOMPARE(dlg.currentFolder(), tree.path("Archiv/"));
        key(Qt::Key_Right); // "2024"
        key(Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), "So"); // finds "Sommer"
        key(Qt::Key_Return);
        QCOMPARE(dlg.currentFolder(), tree.path("Archiv/2024/Sommer/"));
        key(Qt::Key_Right); // from "Düne.jpg" to "Strand.jpg"
        QCOMPARE(dlg.nameEdit()->text(), QString("Strand.jpg"));
        key(Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.resultPath(), tree.path("Archiv/2024/Sommer/Strand.jpg"));
    }

    void pagesMoveListAndBarTogether()
    {
        TestTree tree;
        for (int i = 0; i < 90; ++i)
            tree.file("f" + std::to_string(100 + i) + ".jpg");
        CProjectOpenDlg dlg("", QString::fromStdString(tree.folder()), kTestFilter);
        dlg.show();
        QVERIFY(dlg.scrollBar()->model().enabled());
        QTest::keyClick(dlg.list(), Qt::Key_PageDown);
        QCOMPARE(dlg.topRow(), 9);
        QVERIFY(dlg.scrollBar()->position() > 0);
        QTest::keyClick(dlg.list(), Qt::Key_End);
        QCOMPARE(dlg.list()->currentRow(), 89);
        QCOMPARE(dlg.scrollBar()->position(), dlg.scrollBar()->model().maximum());
        QVERIFY(dlg.topRow() > 20);
        QTest::keyClick(dlg.list(), Qt::Key_Home);
        QCOMPARE(dlg.topRow(), 0);
        QCOMPARE(dlg.scrollBar()->position(), 0);

        // The bar moves the list by whole rows.
        emit dlg.scrollBar()->scrolled(dlg.rowHeight() * 3 - 5);
        QCOMPARE(dlg.topRow(), 3);
        QWheelEvent wheel(QPointF(50, 50), dlg.list()->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(dlg.list()->viewport(), &wheel);
        QCOMPARE(dlg.topRow(), 5);
        QCOMPARE(dlg.scrollBar()->position(), 5 * dlg.rowHeight());
        // Selecting an item out of sight brings it into view.
        dlg.list()->setCurrentRow(80);
        QVERIFY(dlg.topRow() > 10);
    }

    void infoDescribesThePicture()
    {
        TestTree tree;
        tree.picture("bild.bmp", 64, 48);
        tree.file("kein.jpg", "not a picture");
        CPictureOpenDlg dlg("bild.bmp", QString::fromStdString(tree.folder()), kTestFilter);
        QVERIFY(dlg.initialised());
        MessageRecorder messages;
        dlg.nameEdit()->setText("bild.bmp");
        dlg.info();
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown[0].contains("Größe: 64 x 48 Pixel"), qPrintable(messages.shown[0]));
        QVERIFY(messages.shown[0].contains("Farbtiefe: 24 Bit"));
        QVERIFY(messages.shown[0].contains("Dateigröße: "));
        dlg.nameEdit()->setText("kein.jpg");
        dlg.info();
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(messages.shown[1], text(IDS_FILE_NOT_FOUND));
    }

    void missingFolderFallsBackAndButtonsArePlaced()
    {
        CProjectOpenDlg open("", "/no/such/folder/", kTestFilter);
        QCOMPARE(open.currentFolder(), browser::withSlash(fs::current_path().string()));
        QVERIFY(open.button(IDC_READ_ONLY) && !open.button(IDC_READ_ONLY)->isHidden());
        CPictureOpenDlg picture("", "", kTestFilter);
        QVERIFY(picture.button(IDC_READ_ONLY)->isHidden());
        QVERIFY(picture.button(IDC_INFO) && picture.button(IDC_BROWSE));
        CAviSaveDlg save("", "", kTestFilter);
        QVERIFY(!save.button(IDC_READ_ONLY) && !save.button(IDC_INFO));
        QVERIFY(save.button(1) && save.button(2) && save.button(IDC_UP) && save.button(IDC_NEW_FOLDER));
        // Escape cancels.
        save.show();
        QTest::keyClick(&save, Qt::Key_Escape);
        QCOMPARE(save.result(), int(QDialog::Rejected));
    }
};

KNETIX_QT_TEST(FileDialogTest);

} // namespace knetix::test

#include "FileDialogTest.moc"
