#include "resources/Strings.h"

#include <algorithm>
#include <array>
#include <string>

namespace knetix {

namespace {

struct Entry {
    int32_t id;
    std::string_view text;
};

// Sorted by id, so that a lookup is a binary search.
constexpr Entry kStrings[] = {
    {IDS_FILTER_OPEN_PICTURE,
     "Alle Bilder|*.JPG;*.PCX;*.TIF;*.GIF;*.TGA;*.BMP;*.PCD;*.PNG;*.WEBP;*.JXL;*.AVIF;*.HEIC|"
     "JPEG-Dateien (*.JPG)|*.JPG|"
     "PCX Dateien (*.PCX)|*.PCX|TIFF Dateien (*.TIF)|*.TIF|GIF-Dateien (*.GIF)|*.GIF|TARGA Dateien (*.TGA)|*.TGA|"
     "Bitmap Dateien (*.BMP)|*.BMP|Kodak Photo CD Dateien (*.PCD)|*.PCD|PNG-Dateien (*.PNG)|*.PNG|"
     "WebP-Dateien (*.WEBP)|*.WEBP|JPEG-XL-Dateien (*.JXL)|*.JXL|AVIF-Dateien (*.AVIF)|*.AVIF|"
     "HEIC-Dateien (*.HEIC)|*.HEIC|Alle Dateien (*.*)|*.*|"},
    {IDS_FILTER_SAVE_PICTURE,
     "JPEG-Dateien (*.JPG)|*.JPG|PCX Dateien (*.PCX)|*.PCX|TIFF Dateien (*.TIF)|*.TIF|"
     "TARGA Dateien (*.TGA)|*.TGA|Bitmap-Dateien (*.BMP)|*.BMP|PNG-Dateien (*.PNG)|*.PNG|"
     "WebP-Dateien (*.WEBP)|*.WEBP|"},
    {IDS_FILTER_SCAN_PICTURE, "Bitmap Dateien (*.BMP)|*.BMP|"},
    {IDS_DEFAULT_FILE_NAME, "unbenannt"},
    {IDS_NEED_MORE_COLOURS, "Sie müssen mindestens 65.536 Farben einstellen!"},
    {IDS_TIP_SMALL, "Kleiner"},
    {IDS_TIP_MEDIUM, "Mittlerer"},
    {IDS_TIP_LARGE, "Großer"},
    {IDS_ASK_SAVE_PROJECT, "Das Projekt wurde noch nicht gespeichert.\nWollen Sie es jetzt speichern?"},
    {IDS_TITLE, "Knetix"},
    {IDS_NO_BROWSER, "Es konnte kein Webbrowser gefunden werden."},
    {IDS_CANNOT_SAVE_FILE, "Datei kann nicht gespeichert werden."},
    {IDS_FILE_NOT_FOUND, "Die Datei konnte nicht gefunden werden"},
    {IDS_NO_PICTURE, "Bitte laden Sie ein Bild, um mit Knetix arbeiten zu können."},
    {IDS_FILE_DOES_NOT_EXIST, "Diese Datei existiert nicht!"},
    {IDS_SAVE_DLG_CREATE_FOLDER_FAILED, "Fehler beim Erstellen des Ordners!"},
    {IDS_FOLDER_NOT_EMPTY, "Nicht-leere Ordner können nicht gelöscht werden!"},
    {IDS_ASK_DELETE_FOLDER, "Wollen Sie den Ordner wirklich löschen?"},
    {IDS_DELETE_FOLDER_FAILED, "Der Ordner konnte nicht gelöscht werden!"},
    {IDS_ASK_DELETE_FILE, "Wollen Sie die Datei wirklich löschen?"},
    {IDS_OPEN_DLG_CREATE_FOLDER_FAILED, "Der Ordner konnte nicht erstellt werden!"},
    {IDS_DELETE_FILE_FAILED, "Die Datei konnte nicht gelöscht werden!"},
    {IDS_UNDO, "Rückgängig\tStrg+Z"},
    {IDS_REDO, "Wiederherstellen\tStrg+Y"},
    {IDS_ASK_REPLACE_FILE, "„%1“ ist bereits vorhanden. Möchten Sie die Datei ersetzen?"},
    {IDS_FOLDER_DOES_NOT_EXIST, "Der Ordner „%1“ existiert nicht."},
    {IDS_ZOOM_NEXT_START, "Knetix erscheint beim nächsten Start in der neuen Größe."},
    {IDS_EMPTY_CANVAS_HINT, "Ziehen Sie ein Bild hierher oder öffnen Sie eines mit „Bild öffnen“ (Strg+O)."},
    {IDS_TIP_DRILL, "Bohrer – dreht das Bild im Kreis zu einem Strudel"},
    {IDS_TIP_HOOK, "Haken – zieht das Bild mit der Maus mit"},
    {IDS_TIP_HAMMER, "Hammer – beult das Bild von der Mitte nach außen"},
    {IDS_TIP_DEFLATOR, "Entlüfter – lässt das Bild zur Mitte hin schrumpfen"},
    {IDS_TIP_IRON, "Bügeleisen – glättet Knicke in der Verformung"},
    {IDS_TIP_MAGNIFIER, "Lupe – vergrößert, was unter ihr liegt"},
    {IDS_TIP_BRUSH, "Pinsel – malt das ursprüngliche Bild zurück"},
    {IDS_ARCHIVE_END_OF_DATA, "Es wurde versucht, auf eine Stelle hinter dem Ende von %1 zuzugreifen."},
    {IDS_ARCHIVE_BAD_FORMAT, "%1 besitzt ein falsches Format."},
    {IDS_ARCHIVE_UNEXPECTED_OBJECT, "%1 enthielt ein unerwartetes Objekt."},
    {IDS_ARCHIVE_BAD_SCHEMA, "%1 enthält ein falsches Schema."},
    {IDS_FILE_OPEN_NOT_FOUND, "%1 wurde nicht gefunden."},
    {IDS_FILE_ACCESS_DENIED, "Zugriff auf %1 wurde verwehrt."},
};

constexpr auto kIds = [] {
    std::array<int32_t, std::size(kStrings)> ids{};
    for (size_t i = 0; i < ids.size(); ++i)
        ids[i] = kStrings[i].id;
    return ids;
}();

static_assert(std::ranges::is_sorted(kIds), "the string table must stay sorted by id");

constexpr MenuItem kOptionsItems[] = {
    {ID_OPTIONS_SCREEN_SIZE, "Bildschirmgröße"},
    {ID_OPTIONS_SELECT_SOURCE, "Quelle auswählen"},
    {ID_OPTIONS_ZOOM_AUTO, "Größe: automatisch"},
    {ID_OPTIONS_ZOOM_1, "Größe: 1-fach"},
    {ID_OPTIONS_ZOOM_1 + 1, "Größe: 2-fach"},
    {ID_OPTIONS_ZOOM_1 + 2, "Größe: 3-fach"},
    {ID_OPTIONS_ZOOM_4, "Größe: 4-fach"},
};

constexpr MenuItem kKeyItems[] = {
    {ID_KEY_ACTIVATE, "&Aktivieren"},
    {ID_KEY_COPY, "&Kopieren"},
    {ID_KEY_DELETE, "&Löschen"},
    {ID_KEY_MOVE_RIGHT, "Nach &rechts schieben"},
    {ID_KEY_MOVE_LEFT, "Nach l&inks schieben"},
    {ID_KEY_TO_WINDOW, "In das Fenster &kopieren"},
    {ID_KEY_TO_FILMSTRIP, "In &Filmstreifen kopieren"},
};

constexpr MenuItem kBrowseItems[] = {
    {ID_BROWSE_REFRESH, "Datenbank &aktualisieren"},
    {ID_BROWSE_SAVE_ON_EXIT, "Datenbank beim Beenden &speichern"},
    {ID_BROWSE_DELETE_DATABASE, "Datenbankdatei &löschen"},
};

constexpr MenuPopup kMainPopups[] = {
    {"Options", kOptionsItems},
    {"Key", kKeyItems},
};

constexpr MenuPopup kBrowsePopups[] = {
    {"Browse", kBrowseItems},
};

constexpr MenuResource kMenus[] = {
    {IDR_MAIN_MENU, kMainPopups},
    {IDR_BROWSE_MENU, kBrowsePopups},
};

} // namespace

std::string_view loadString(int32_t id)
{
    const auto it = std::ranges::lower_bound(kStrings, id, {}, &Entry::id);
    if (it == std::end(kStrings) || it->id != id)
        return {};
    return it->text;
}

std::string formatString(std::string_view text, std::string_view argument)
{
    std::string result(text);
    const size_t at = result.find("%1");
    if (at != std::string::npos)
        result.replace(at, 2, argument);
    return result;
}

std::span<const int32_t> stringIds()
{
    return kIds;
}

const MenuItem* MenuResource::findItem(int32_t command) const
{
    for (const MenuPopup& popup : popups)
        for (const MenuItem& item : popup.items)
            if (item.id == command)
                return &item;
    return nullptr;
}

const MenuResource* loadMenu(int32_t id)
{
    for (const MenuResource& menu : kMenus)
        if (menu.id == id)
            return &menu;
    return nullptr;
}

} // namespace knetix
