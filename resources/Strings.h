#pragma once
// The string table and the menus, looked up by number. Plain C++ so that models,
// file code and tests can show the same German texts as the windows do.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace knetix {

// Numbered texts (UTF-8).
enum StringId : int32_t {
    IDS_FILTER_OPEN_PICTURE = 27,
    IDS_FILTER_SAVE_PICTURE = 28,
    IDS_FILTER_SCAN_PICTURE = 29,
    IDS_DEFAULT_FILE_NAME = 30,
    IDS_NEED_MORE_COLOURS = 103,
    IDS_TIP_SMALL = 106,
    IDS_TIP_MEDIUM = 107,
    IDS_TIP_LARGE = 108,
    IDS_ASK_SAVE_PROJECT = 109,
    IDS_TITLE = 110,
    IDS_NO_BROWSER = 113,
    IDS_CANNOT_SAVE_FILE = 115,
    IDS_FILE_NOT_FOUND = 116,
    IDS_NO_PICTURE = 118,
    IDS_FILE_DOES_NOT_EXIST = 120,
    IDS_SAVE_DLG_CREATE_FOLDER_FAILED = 121,
    IDS_FOLDER_NOT_EMPTY = 122,
    IDS_ASK_DELETE_FOLDER = 123,
    IDS_DELETE_FOLDER_FAILED = 124,
    IDS_ASK_DELETE_FILE = 125,
    IDS_OPEN_DLG_CREATE_FOLDER_FAILED = 126,
    IDS_DELETE_FILE_FAILED = 127,
    // The canvas's menu: the entry, a tab, the shortcut shown beside it.
    IDS_UNDO = 128,
    IDS_REDO = 129,
    // The save dialogs; "%1" stands for the file or folder name.
    IDS_ASK_REPLACE_FILE = 130,
    IDS_FOLDER_DOES_NOT_EXIST = 131,
    IDS_ZOOM_NEXT_START = 132,
    IDS_EMPTY_CANVAS_HINT = 133,
    // Tips of the seven tool buttons: the name and what the tool does.
    IDS_TIP_DRILL = 134,
    IDS_TIP_HOOK = 135,
    IDS_TIP_HAMMER = 136,
    IDS_TIP_DEFLATOR = 137,
    IDS_TIP_IRON = 138,
    IDS_TIP_MAGNIFIER = 139,
    IDS_TIP_BRUSH = 140,
    // File and archive messages; "%1" stands for the file name.
    IDS_ARCHIVE_END_OF_DATA = 61696,
    IDS_ARCHIVE_BAD_FORMAT = 61697,
    IDS_ARCHIVE_UNEXPECTED_OBJECT = 61698,
    IDS_ARCHIVE_BAD_SCHEMA = 61699,
    IDS_FILE_OPEN_NOT_FOUND = 61700,
    IDS_FILE_ACCESS_DENIED = 61701,
};

// The text of a string id, or an empty view for an id the table does not have.
std::string_view loadString(int32_t id);

// The first occurrence of "%1" in a text replaced by the argument.
std::string formatString(std::string_view text, std::string_view argument);

// Every id of the table in ascending order.
std::span<const int32_t> stringIds();

// Menu command ids.
enum MenuCommand : int32_t {
    ID_OPTIONS_SCREEN_SIZE = 32771,
    ID_KEY_ACTIVATE = 32772,
    ID_KEY_COPY = 32773,
    ID_KEY_MOVE_RIGHT = 32774,
    ID_KEY_MOVE_LEFT = 32775,
    ID_KEY_TO_WINDOW = 32776,
    ID_KEY_TO_FILMSTRIP = 32777,
    ID_KEY_DELETE = 32778,
    ID_OPTIONS_SELECT_SOURCE = 32779,
    // The interface's size: automatic, then 1 to 4 times the skin.
    ID_OPTIONS_ZOOM_AUTO = 32780,
    ID_OPTIONS_ZOOM_1 = 32781,
    ID_OPTIONS_ZOOM_4 = 32784,
    ID_BROWSE_SAVE_ON_EXIT = 32771,
    ID_BROWSE_REFRESH = 32772,
    ID_BROWSE_DELETE_DATABASE = 32773,
};

enum MenuId : int32_t {
    IDR_MAIN_MENU = 129, // popups "Options" and "Key"
    IDR_BROWSE_MENU = 149,
};

struct MenuItem {
    int32_t id;
    std::string_view text; // '&' marks the mnemonic
};

struct MenuPopup {
    std::string_view title;
    std::span<const MenuItem> items;
};

struct MenuResource {
    int32_t id;
    std::span<const MenuPopup> popups;

    // The item with a command id, or null.
    const MenuItem* findItem(int32_t command) const;
};

// The menu of an id, or null.
const MenuResource* loadMenu(int32_t id);

} // namespace knetix
