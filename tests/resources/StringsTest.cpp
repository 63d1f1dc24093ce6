#include "resources/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using namespace knetix;

TEST(Strings, QuotedTextsAreExact)
{
    EXPECT_EQ(loadString(109), "Das Projekt wurde noch nicht gespeichert.\nWollen Sie es jetzt speichern?");
    EXPECT_EQ(loadString(110), "Knetix");
    EXPECT_EQ(loadString(116), "Die Datei konnte nicht gefunden werden"); // no full stop
    EXPECT_EQ(loadString(118), "Bitte laden Sie ein Bild, um mit Knetix arbeiten zu können.");
    EXPECT_EQ(loadString(108), "Großer");
    EXPECT_EQ(loadString(30), "unbenannt");
    EXPECT_EQ(loadString(122), "Nicht-leere Ordner können nicht gelöscht werden!");
    EXPECT_EQ(loadString(28),
              "JPEG-Dateien (*.JPG)|*.JPG|PCX Dateien (*.PCX)|*.PCX|TIFF Dateien (*.TIF)|*.TIF|"
              "TARGA Dateien (*.TGA)|*.TGA|Bitmap-Dateien (*.BMP)|*.BMP|PNG-Dateien (*.PNG)|*.PNG|"
              "WebP-Dateien (*.WEBP)|*.WEBP|");
}

TEST(Strings, FiltersSplitIntoDescriptionPatternPairs)
{
    // The file dialogs split at '|' and stop at the empty description of "||".
    for (int32_t id : {27, 28, 29}) {
        const std::string text(loadString(id));
        ASSERT_FALSE(text.empty()) << id;
        EXPECT_EQ(text.back(), '|') << id;
        EXPECT_EQ(std::count(text.begin(), text.end(), '|') % 2, 0) << id;
    }
    EXPECT_NE(loadString(27).find("Kodak Photo CD Dateien (*.PCD)|*.PCD|"), std::string_view::npos);
}

TEST(Strings, EveryMessageIdOfTheProgramIsThere)
{
    for (int32_t id : {27, 28, 29, 30, 103, 106, 107, 108, 109, 110, 113, 115, 116, 118, 120, 121, 122, 123,
                       124, 125, 126, 127})
        EXPECT_FALSE(loadString(id).empty()) << id;
    const auto ids = stringIds();
    // The lookup finds every entry, the first and the last included.
    for (int32_t id : ids)
        EXPECT_FALSE(loadString(id).empty()) << id;
    EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(Strings, UnknownIdIsEmpty)
{
    EXPECT_TRUE(loadString(0).empty());
    EXPECT_TRUE(loadString(119).empty());
    EXPECT_TRUE(loadString(-1).empty());
}

TEST(Strings, ArchiveMessagesNameTheFile)
{
    EXPECT_EQ(formatString(loadString(IDS_ARCHIVE_END_OF_DATA), "a.knx"),
              "Es wurde versucht, auf eine Stelle hinter dem Ende von a.knx zuzugreifen.");
    EXPECT_EQ(formatString(loadString(IDS_ARCHIVE_BAD_SCHEMA), "b.knx"), "b.knx enthält ein falsches Schema.");
    EXPECT_EQ(formatString(loadString(IDS_FILE_ACCESS_DENIED), "c"), "Zugriff auf c wurde verwehrt.");
    EXPECT_EQ(formatString("kein Platzhalter", "x"), "kein Platzhalter");
}

TEST(Menus, MainMenuHasOptionsAndKey)
{
    const MenuResource* menu = loadMenu(129);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->popups.size(), 2u);
    EXPECT_EQ(menu->popups[0].title, "Options");
    // The two entries of the original menu, then the interface's sizes.
    ASSERT_EQ(menu->popups[0].items.size(), 7u);
    EXPECT_EQ(menu->popups[0].items[0].id, 32771);
    EXPECT_EQ(menu->popups[0].items[0].text, "Bildschirmgröße");
    EXPECT_EQ(menu->popups[0].items[1].id, 32779);
    EXPECT_EQ(menu->popups[0].items[1].text, "Quelle auswählen");
    for (int32_t k = 0; k <= 4; ++k)
        EXPECT_EQ(menu->popups[0].items[size_t(2 + k)].id, 32780 + k);
    EXPECT_EQ(menu->findItem(32782)->text, "Größe: 2-fach");

    EXPECT_EQ(menu->popups[1].title, "Key");
    std::set<int32_t> keyIds;
    for (const MenuItem& item : menu->popups[1].items)
        keyIds.insert(item.id);
    EXPECT_EQ(keyIds, (std::set<int32_t>{32772, 32773, 32774, 32775, 32776, 32777, 32778}));
    EXPECT_EQ(menu->findItem(32778)->text, "&Löschen");
    EXPECT_EQ(menu->findItem(32775)->text, "Nach l&inks schieben");
    EXPECT_EQ(menu->findItem(32777)->text, "In &Filmstreifen kopieren");
    EXPECT_EQ(menu->findItem(1), nullptr);
}

TEST(Menus, BrowseMenu)
{
    const MenuResource* menu = loadMenu(149);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->popups.size(), 1u);
    EXPECT_EQ(menu->popups[0].title, "Browse");
    EXPECT_EQ(menu->findItem(32771)->text, "Datenbank beim Beenden &speichern");
    EXPECT_EQ(menu->findItem(32772)->text, "Datenbank &aktualisieren");
    EXPECT_EQ(menu->findItem(32773)->text, "Datenbankdatei &löschen");
    EXPECT_EQ(loadMenu(130), nullptr);
}
