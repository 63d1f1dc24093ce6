// Every message a user can see, word for word, as the message table makes it
// from the statuses the document and batch mode return. The window tests
// compare what they are shown with the string table itself, so a wrong text
// in the table would pass there; here each text is written out.

#include "DocumentFixtures.h"

#include "app/BatchMain.h"
#include "document/Batch.h"
#include "document/Commands.h"
#include "resources/Messages.h"
#include "resources/MovieTypes.h"
#include "resources/Strings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <sstream>

namespace knetix {
namespace {

using test::TempFolder;

struct Message {
    std::string where; // what produced it, for the failure report
    std::string shown;
    std::string expected;
};

std::string table(int32_t id)
{
    return std::string(loadString(id));
}

std::string failure(const Outcome& outcome)
{
    return outcome.ok ? "(no failure)" : messageText(outcome);
}

std::string batchFailure(const std::string& script, BatchLimits limits = {})
{
    BatchRunner runner(std::make_unique<Document>(), limits);
    std::istringstream in(script);
    const auto failed = runner.run(in);
    return failed ? batchMessage(*failed) : "(no failure)";
}

TEST(MessagesTest, GermanWordingIsExact)
{
    TempFolder folder{test::currentTestName()};
    const std::string grid = test::writeGridPicture(folder, "grid.bmp", 120, 80);
    ASSERT_FALSE(grid.empty());
    const std::string line = test::writeGridPicture(folder, "linie.bmp", 1000, 2);
    ASSERT_FALSE(line.empty());
    const std::string text = folder / "notiz.txt";
    const std::string broken = folder / "kaputt.bmp";
    const std::string brokenProject = folder / "kaputt.knx";
    for (const std::string& path : {text, broken, brokenProject})
        test::writeBytes(path, {'k', 'e', 'i', 'n', ' ', 'B', 'i', 'l', 'd', '\n'});
    const std::string missing = folder / "fehlt.bmp";

    Document empty;
    Document doc;
    const int64_t pixelLimit = ImExp_MaxPixels();
    ImExp_SetMaxPixels(100);
    const Outcome tooLarge = doc.openPicture(grid);
    ImExp_SetMaxPixels(pixelLimit);
    const Outcome tooSmall = doc.openPicture(line);
    const Outcome unsupported = doc.openPicture(text);
    const Outcome damaged = doc.openPicture(broken);
    const Outcome notThere = doc.openPicture(missing);
    const Outcome projectDamaged = doc.openProject(brokenProject);
    const Outcome projectMissing = doc.openProject(folder / "fehlt.knx");
    ASSERT_TRUE(doc.openPicture(grid));
    const Outcome noFolder = doc.saveProject(folder / "nirgends/werk.knx");
    const Outcome pictureNoFolder = doc.savePicture(folder / "nirgends/bild.bmp", OutputSize::Screen);
    const Outcome noCompressor = doc.exportMovie(folder / "film.avi", MovieSettings{"kein"}, 64, OutputSize::Screen);
    std::filesystem::remove(grid);
    const Outcome ownGone = doc.savePicture(folder / "eigen.bmp", OutputSize::Own);

    const std::string script = folder / "skript.knxs";
    std::ostringstream unopened;
    runBatchFile(script, unopened);

    const std::string f = "datei.knx";
    const std::vector<Message> messages = {
        // The string table.
        {"27", table(IDS_FILTER_OPEN_PICTURE),
         "Alle Bilder|*.JPG;*.PCX;*.TIF;*.GIF;*.TGA;*.BMP;*.PCD;*.PNG;*.WEBP;*.JXL;*.AVIF;*.HEIC|"
         "JPEG-Dateien (*.JPG)|*.JPG|"
         "PCX Dateien (*.PCX)|*.PCX|TIFF Dateien (*.TIF)|*.TIF|GIF-Dateien (*.GIF)|*.GIF|TARGA Dateien (*.TGA)|*.TGA|"
         "Bitmap Dateien (*.BMP)|*.BMP|Kodak Photo CD Dateien (*.PCD)|*.PCD|PNG-Dateien (*.PNG)|*.PNG|"
         "WebP-Dateien (*.WEBP)|*.WEBP|JPEG-XL-Dateien (*.JXL)|*.JXL|AVIF-Dateien (*.AVIF)|*.AVIF|"
         "HEIC-Dateien (*.HEIC)|*.HEIC|Alle Dateien (*.*)|*.*|"},
        {"28", table(IDS_FILTER_SAVE_PICTURE),
         "JPEG-Dateien (*.JPG)|*.JPG|PCX Dateien (*.PCX)|*.PCX|TIFF Dateien (*.TIF)|*.TIF|"
         "TARGA Dateien (*.TGA)|*.TGA|Bitmap-Dateien (*.BMP)|*.BMP|PNG-Dateien (*.PNG)|*.PNG|"
         "WebP-Dateien (*.WEBP)|*.WEBP|"},
        {"29", table(IDS_FILTER_SCAN_PICTURE), "Bitmap Dateien (*.BMP)|*.BMP|"},
        {"30", table(IDS_DEFAULT_FILE_NAME), "unbenannt"},
        {"103", table(IDS_NEED_MORE_COLOURS), "Sie müssen mindestens 65.536 Farben einstellen!"},
        {"106", table(IDS_TIP_SMALL), "Kleiner"},
        {"107", table(IDS_TIP_MEDIUM), "Mittlerer"},
        {"108", table(IDS_TIP_LARGE), "Großer"},
        {"109", table(IDS_ASK_SAVE_PROJECT), "Das Projekt wurde noch nicht gespeichert.\nWollen Sie es jetzt speichern?"},
        {"110", table(IDS_TITLE), "Knetix"},
        {"113", table(IDS_NO_BROWSER), "Es konnte kein Webbrowser gefunden werden."},
        {"115", table(IDS_CANNOT_SAVE_FILE), "Datei kann nicht gespeichert werden."},
        {"116", table(IDS_FILE_NOT_FOUND), "Die Datei konnte nicht gefunden werden"},
        {"118", table(IDS_NO_PICTURE), "Bitte laden Sie ein Bild, um mit Knetix arbeiten zu können."},
        {"120", table(IDS_FILE_DOES_NOT_EXIST), "Diese Datei existiert nicht!"},
        {"121", table(IDS_SAVE_DLG_CREATE_FOLDER_FAILED), "Fehler beim Erstellen des Ordners!"},
        {"122", table(IDS_FOLDER_NOT_EMPTY), "Nicht-leere Ordner können nicht gelöscht werden!"},
        {"123", table(IDS_ASK_DELETE_FOLDER), "Wollen Sie den Ordner wirklich löschen?"},
        {"124", table(IDS_DELETE_FOLDER_FAILED), "Der Ordner konnte nicht gelöscht werden!"},
        {"125", table(IDS_ASK_DELETE_FILE), "Wollen Sie die Datei wirklich löschen?"},
        {"126", table(IDS_OPEN_DLG_CREATE_FOLDER_FAILED), "Der Ordner konnte nicht erstellt werden!"},
        {"127", table(IDS_DELETE_FILE_FAILED), "Die Datei konnte nicht gelöscht werden!"},
        {"128", table(IDS_UNDO), "Rückgängig\tStrg+Z"},
        {"129", table(IDS_REDO), "Wiederherstellen\tStrg+Y"},
        {"130", table(IDS_ASK_REPLACE_FILE), "„%1“ ist bereits vorhanden. Möchten Sie die Datei ersetzen?"},
        {"131", table(IDS_FOLDER_DOES_NOT_EXIST), "Der Ordner „%1“ existiert nicht."},
        {"132", table(IDS_ZOOM_NEXT_START), "Knetix erscheint beim nächsten Start in der neuen Größe."},
        {"133", table(IDS_EMPTY_CANVAS_HINT),
         "Ziehen Sie ein Bild hierher oder öffnen Sie eines mit „Bild öffnen“ (Strg+O)."},
        {"134", table(IDS_TIP_DRILL), "Bohrer – dreht das Bild im Kreis zu einem Strudel"},
        {"135", table(IDS_TIP_HOOK), "Haken – zieht das Bild mit der Maus mit"},
        {"136", table(IDS_TIP_HAMMER), "Hammer – beult das Bild von der Mitte nach außen"},
        {"137", table(IDS_TIP_DEFLATOR), "Entlüfter – lässt das Bild zur Mitte hin schrumpfen"},
        {"138", table(IDS_TIP_IRON), "Bügeleisen – glättet Knicke in der Verformung"},
        {"139", table(IDS_TIP_MAGNIFIER), "Lupe – vergrößert, was unter ihr liegt"},
        {"140", table(IDS_TIP_BRUSH), "Pinsel – malt das ursprüngliche Bild zurück"},
        // Archive and file messages, the name in place of "%1".
        {"61696", archiveMessage(ArchiveError::EndOfData, f),
         "Es wurde versucht, auf eine Stelle hinter dem Ende von datei.knx zuzugreifen."},
        {"61697", archiveMessage(ArchiveError::BadIndex, f), "datei.knx besitzt ein falsches Format."},
        {"61698", archiveMessage(ArchiveError::UnexpectedObject, f), "datei.knx enthielt ein unerwartetes Objekt."},
        {"61699", archiveMessage(ArchiveError::BadSchema, f), "datei.knx enthält ein falsches Schema."},
        {"61700", fileErrorMessage(ENOENT, f, false), "datei.knx wurde nicht gefunden."},
        {"61701", fileErrorMessage(EACCES, f, true), "Zugriff auf datei.knx wurde verwehrt."},
        {"read-only", fileErrorMessage(EROFS, f, true), "Zugriff auf datei.knx wurde verwehrt."},
        {"path", fileErrorMessage(ENOTDIR, f, true), "Ein Teil des Pfades von datei.knx ist ungültig."},
        {"full", fileErrorMessage(ENOSPC, f, true), "Der Datenträger für datei.knx ist voll."},
        {"too big", fileErrorMessage(EFBIG, f, true), "datei.knx ist zu groß."},
        {"long name", fileErrorMessage(ENAMETOOLONG, f, false), "datei.knx enthält einen ungültigen Pfad."},
        {"write", fileErrorMessage(EIO, f, true), "Beim Schreiben von datei.knx trat ein unerwarteter Fehler auf."},
        {"read", fileErrorMessage(EIO, f, false), "Beim Lesen von datei.knx trat ein unerwarteter Fehler auf."},
        // The document's commands.
        {"too large", failure(tooLarge), "Das Bild " + grid + " ist zu groß."},
        {"too small", failure(tooSmall), "Das Bild " + line + " ist zu schmal oder zu niedrig."},
        {"unsupported", failure(unsupported), "Das Format von " + text + " wird nicht unterstützt."},
        {"damaged", failure(damaged), "Das Bild " + broken + " ist beschädigt und kann nicht gelesen werden."},
        {"missing picture", failure(notThere), missing + " wurde nicht gefunden."},
        {"damaged project", failure(projectDamaged),
         "Es wurde versucht, auf eine Stelle hinter dem Ende von " + brokenProject + " zuzugreifen."},
        {"missing project", failure(projectMissing), folder / "fehlt.knx" + " wurde nicht gefunden."},
        {"project save", failure(noFolder), "Ein Teil des Pfades von " + (folder / "nirgends/werk.knx") + " ist ungültig."},
        {"picture save", failure(pictureNoFolder), "Datei kann nicht gespeichert werden."},
        {"no picture", failure(empty.savePicture(folder / "x.bmp", OutputSize::Screen)),
         "Bitte laden Sie ein Bild, um mit Knetix arbeiten zu können."},
        {"own size", failure(ownGone), "Die Datei konnte nicht gefunden werden"},
        {"compressor", failure(noCompressor), "Der Kompressor kein kann diesen Film nicht schreiben."},
        {"tool id", messageText(DocumentStatus{.problem = DocumentProblem::WrongToolBitmapId}),
         "Wrong tool_bitmap_id in set_tool_from_id"},
        {"memory", messageText(Outcome::failure(DocumentProblem::NoMemory)), "Nicht genügend Arbeitsspeicher."},
        {"cancelled", messageText(Outcome::failure(DocumentProblem::Cancelled)), ""},
        // Batch mode.
        {"script", unopened.str(), "knetix: Das Skript " + script + " kann nicht geöffnet werden.\n"},
        {"no files", batchFailure("open x.bmp\n", {false, -1}), "Dateien sind in diesem Lauf nicht zugänglich."},
        {"stroke cap", batchFailure("tick 3\n", {false, 2}), "Das Skript überschreitet die erlaubte Zahl von Strichpunkten."},
        {"usage", batchFailure("tick 1 2\n"), "Aufruf: tick [ANZAHL]"},
        {"key usage", batchFailure("key copy\n"),
         "Aufruf: key activate|copy|delete|right|left|to-window|to-filmstrip SCHLÜSSEL"},
        {"canvas usage", batchMessage({.problem = BatchProblem::Usage, .command = "canvas"}),
         "Aufruf: canvas BREITE HÖHE"},
        {"movie usage", batchMessage({.problem = BatchProblem::Usage, .command = "save-movie"}),
         "Aufruf: save-movie PFAD [raw|mjpeg|mpeg4|ffv1|h264] [TEMPO] [screen|own]"},
        {"codec", batchMessage({.problem = BatchProblem::CodecUnavailable, .word = "h264"}),
         "Der Kompressor h264 ist auf diesem Rechner nicht verfügbar."},
        {"codec for kind", batchFailure("save-movie film.gif mjpeg\n"),
         "Der Kompressor mjpeg ist nur für AVI-Videos wählbar."},
        {"unreadable", batchMessage({.problem = BatchProblem::ScriptUnreadable}), "Das Skript kann nicht gelesen werden."},
        {"script line", batchFailureLine("s.knxs", {.line = 4, .problem = BatchProblem::UnknownCommand, .command = "x"}),
         "s.knxs, Zeile 4: Unbekannter Befehl \"x\"."},
    };

    std::set<std::string> ids;
    for (const Message& m : messages) {
        EXPECT_EQ(m.shown, m.expected) << m.where;
        ids.insert(m.where);
    }
    // Every entry of the table is in the list above.
    for (int32_t id : stringIds())
        EXPECT_TRUE(ids.contains(std::to_string(id))) << id << " has no wording check";
}

// The save dialog's movie types: German entries, each pattern choosing the
// kind it stands for.
TEST(MessagesTest, MovieTypesNameTheirKinds)
{
    EXPECT_EQ(movieSaveFilter(), "AVI-Video (*.AVI)|*.AVI|MP4-Video (H.264) (*.MP4)|*.MP4|"
                                 "WebM-Video (VP9) (*.WEBM)|*.WEBM|Animiertes GIF (*.GIF)|*.GIF|");
    for (const MovieFileType& type : movieFileTypes()) {
        EXPECT_EQ(movieKindOfPath("film" + std::string(type.pattern.substr(1))), type.kind) << type.entry;
        EXPECT_EQ(&movieFileType(type.kind), &type);
    }
}

TEST(MessagesTest, ArchiveMessagesNameTheFile)
{
    EXPECT_EQ(archiveMessage(ArchiveError::EndOfData, "a.knx"),
              "Es wurde versucht, auf eine Stelle hinter dem Ende von a.knx zuzugreifen.");
    EXPECT_EQ(archiveMessage(ArchiveError::BadIndex, "a.knx"), "a.knx besitzt ein falsches Format.");
    EXPECT_EQ(archiveMessage(ArchiveError::UnexpectedObject, "a.knx"), "a.knx enthielt ein unerwartetes Objekt.");
    EXPECT_EQ(archiveMessage(ArchiveError::BadSchema, "a.knx"), "a.knx enth\xC3\xA4lt ein falsches Schema.");
}

// The usage lines live in the message table, apart from the commands: a
// command without one would show only its own name.
TEST(MessagesTest, EveryCommandHasItsUsage)
{
    // Every command a script can call, as the command table names them.
    for (const CommandEntry& entry : commandTable()) {
        if (entry.scriptName.empty() || entry.scriptName == "release")
            continue;
        const std::string command(entry.scriptName);
        const std::string usage = batchMessage({.problem = BatchProblem::Usage, .command = command});
        EXPECT_EQ(usage.rfind("Aufruf: " + command + " ", 0), 0u) << usage;
    }
    EXPECT_EQ(batchMessage({.problem = BatchProblem::Usage, .command = "release"}), "Aufruf: release");
}

} // namespace
} // namespace knetix
