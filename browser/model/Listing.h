#pragma once
// What the file dialogs list and where they are: the file-type filter, which
// names a type shows, the folder listing (folders first), the volumes of the
// "My Computer" level and the trail of folders the folder combo shows.
// C++ standard library only, so the rules are tested without windows.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace knetix::browser {

// One item of the type combo.
struct FileType {
    std::string description;
    std::string pattern; // "*.JPG;*.PCX"
};

// Splits "description|pattern|description|pattern|...": stops when no "|" is
// left or a description is empty, so the closing "||" adds nothing.
std::vector<FileType> parseFilter(std::string_view filter);

// True if the file name is listed for the pattern: it must have a dot; its
// extension (from the last dot, upper case) must first occur in the upper-case
// pattern followed by ";" or the end; a pattern holding ".*" takes any name
// with an extension. ".jpeg" and ".jpe" count as ".JPG", ".tiff" as ".TIF",
// ".heif" as ".HEIC".
bool matchesPattern(std::string_view fileName, std::string_view pattern);

// The name a save dialog stands for: the pattern's extension ("*.KNX") is
// appended in lower case (".knx") when the name's own extension is not that
// one or another spelling of it ("bild.jpeg" stays for "*.JPG"); "bild" and
// "bild.bmp" saved as a project become "bild.knx" and "bild.bmp.knx".
std::string completeFileName(const std::string& chosenPath, std::string_view pattern);

// What a path typed into the file-name box means, as an absolute path with
// "." and ".." resolved: "~" and "~/..." start in `home`, a path starting
// with "/" stays, anything else is taken inside `folder` (which ends in "/").
std::string resolveTypedPath(std::string_view typed, std::string_view folder, std::string_view home);

// The widths of the file list's columns. Items flow left to right, row by
// row; each column is as wide as its widest item, with `gap` pixels between
// columns. The most columns that fit `available` are taken; one column at the
// least, and no column wider than `available`.
std::vector<int32_t> fitColumns(const std::vector<int32_t>& itemWidths, int32_t available, int32_t gap);

// Kinds of volume, as the icons tell them apart.
enum class DriveKind { Removable, Fixed, Remote, CdRom, RamDisk, Unknown };

// The kind of a mounted file system from its type and mount point.
DriveKind classifyVolume(std::string_view fileSystemType, std::string_view rootPath);

// Icon resource of a drive kind (removable 6, fixed 9, remote 10, CD-ROM 12),
// 0 for none.
int32_t driveIcon(DriveKind kind);

struct Volume {
    std::string root; // ends in "/"
    DriveKind kind = DriveKind::Fixed;
};

struct ListEntry {
    std::string name;
    bool folder = false;
};

// The order of names in a listing: case-insensitive, a run of digits by its
// value ("bild2" before "bild10"); names that differ only in case or in
// leading zeros are ordered by their bytes, so the order is total.
bool naturalLess(std::string_view a, std::string_view b);

// The listing of a folder: its folders first, then the files the pattern
// takes, each group in natural order (naturalLess). Hidden names (starting
// with ".") are left out. False with the error code when the folder cannot be
// read.
bool listFolder(const std::filesystem::path& folder, std::string_view pattern,
                std::vector<ListEntry>& entries, std::error_code& error);

// True if the folder holds nothing (a folder that cannot be read is not empty).
bool folderIsEmpty(const std::filesystem::path& folder);

// The folder above: "/a/b/" gives "/a/", "/" gives "" (the "My Computer" level).
std::string parentFolder(std::string_view folder);

// A folder path with exactly one "/" at its end.
std::string withSlash(std::string_view folder);

// A case-insensitive comparison of two paths or names.
bool sameName(std::string_view a, std::string_view b);

// The entries of the folder combo: item 0 is "My Computer", then the volumes at
// depth 1, and the folders on the way to the current one below the volume they
// were opened from.
class FolderTrail {
public:
    struct Entry {
        std::string path; // ends in "/", empty for "My Computer"
        DriveKind kind = DriveKind::Fixed;
        int32_t depth = 0; // 0 "My Computer", 1 a volume, +1 per folder
    };

    void setVolumes(const std::vector<Volume>& volumes);
    // Makes each prefix of the folder that ends in "/" current in turn: an entry
    // that exists is taken, a missing one is inserted after the current entry,
    // one level deeper.
    void enter(std::string_view folder);
    // Going up: the current entry goes away when it is a folder; a volume makes
    // "My Computer" current.
    void up();
    // Chooses an entry: the ones below it (deeper, following it) go away.
    void choose(int32_t index);

    const std::vector<Entry>& entries() const { return m_entries; }
    int32_t current() const { return m_current; }
    // The folder of the current entry ("" for "My Computer").
    const std::string& folder() const { return m_entries[size_t(m_current)].path; }

private:
    std::vector<Entry> m_entries{Entry{}};
    int32_t m_current = 0;
};

} // namespace knetix::browser
