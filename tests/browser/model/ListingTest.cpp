// The listing rules of the file dialogs, on folders made here.

#include "browser/model/Listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace knetix::browser {
namespace {

namespace fs = std::filesystem;

class Folder {
public:
    Folder()
    {
        m_path = fs::temp_directory_path() / ("knetix-listing-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_path);
    }
    ~Folder() { fs::remove_all(m_path); }
    void file(const std::string& name) { std::ofstream(m_path / name) << "x"; }
    void folder(const std::string& name) { fs::create_directory(m_path / name); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::vector<std::string> names(const std::vector<ListEntry>& entries, bool folders)
{
    std::vector<std::string> out;
    for (const ListEntry& e : entries)
        if (e.folder == folders)
            out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Listing, PatternTakesExtensionOnlyWhenFollowedBySemicolonOrEnd)
{
    EXPECT_TRUE(matchesPattern("a.jpg", "*.JPG;*.PCX"));
    EXPECT_TRUE(matchesPattern("b.PCX", "*.JPG;*.PCX"));
    EXPECT_TRUE(matchesPattern("d.JPEG", "*.JPG;*.PCX")); // the other spellings go with their type
    EXPECT_TRUE(matchesPattern("e.jpe", "*.JPG"));
    EXPECT_TRUE(matchesPattern("f.tiff", "*.TIF"));
    EXPECT_FALSE(matchesPattern("g.tiff", "*.JPG;*.PCX"));
    EXPECT_FALSE(matchesPattern("h.jpeg", "*.TIF"));
    EXPECT_FALSE(matchesPattern("c.jp", "*.JPG;*.JP"));   // first occurrence decides
    EXPECT_FALSE(matchesPattern("noextension", "*.*"));
    EXPECT_TRUE(matchesPattern("x.anything", "*.*"));
    EXPECT_TRUE(matchesPattern("archive.tar.TGA", "*.tga")); // the last dot counts
}

TEST(Listing, SavedNamesGetTheTypesExtensionInLowerCase)
{
    EXPECT_EQ(completeFileName("/w/picture1", "*.KNX"), "/w/picture1.knx");
    EXPECT_EQ(completeFileName("/w/picture1.KNX", "*.KNX"), "/w/picture1.KNX");
    EXPECT_EQ(completeFileName("/w/picture1.bmp", "*.KNX"), "/w/picture1.bmp.knx");
    EXPECT_EQ(completeFileName("/w/picture1.jpeg", "*.JPG"), "/w/picture1.jpeg"); // another spelling
    EXPECT_EQ(completeFileName("/w/picture1.TIFF", "*.TIF"), "/w/picture1.TIFF");
    EXPECT_EQ(completeFileName("/w/picture1.jpeg", "*.TIF"), "/w/picture1.jpeg.tif");
    EXPECT_EQ(completeFileName("/w.old/picture1", "*.AVI"), "/w.old/picture1.avi"); // a dot in the folder
    EXPECT_EQ(completeFileName("/w/picture1.avi.", "*.AVI"), "/w/picture1.avi..avi");
    EXPECT_EQ(completeFileName("/w/picture1", "*.*"), "/w/picture1");
}

TEST(Listing, TypedPathsAreResolvedAgainstTheFolderOrHome)
{
    EXPECT_EQ(resolveTypedPath("bild.jpg", "/w/a/", "/home/u"), "/w/a/bild.jpg");
    EXPECT_EQ(resolveTypedPath("b/c/bild.jpg", "/w/a/", "/home/u"), "/w/a/b/c/bild.jpg");
    EXPECT_EQ(resolveTypedPath("../x/./bild.jpg", "/w/a/", "/home/u"), "/w/x/bild.jpg");
    EXPECT_EQ(resolveTypedPath("/tmp//bild.jpg", "/w/a/", "/home/u"), "/tmp/bild.jpg");
    EXPECT_EQ(resolveTypedPath("~/Bilder/", "/w/a/", "/home/u"), "/home/u/Bilder/");
    EXPECT_EQ(resolveTypedPath("~", "/w/a/", "/home/u/"), "/home/u/");
    EXPECT_EQ(resolveTypedPath("~other", "/w/a/", "/home/u"), "/w/a/~other"); // not ours to expand
    EXPECT_EQ(resolveTypedPath("../../../..", "/w/a/", "/home/u"), "/");
}

TEST(Listing, ColumnsAreAsWideAsTheirWidestItem)
{
    // Four short names fit side by side, each column its own width.
    EXPECT_EQ(fitColumns({40, 50, 30, 45}, 271, 6), (std::vector<int32_t>{40, 50, 30, 45}));
    // A long name widens only its own column; the rest share the room.
    EXPECT_EQ(fitColumns({40, 200, 30, 45, 40, 20}, 271, 6), (std::vector<int32_t>{40, 200}));
    // Too many columns for the width: fewer, still never more than fits.
    const std::vector<int32_t> many(100, 70);
    const auto widths = fitColumns(many, 271, 6);
    EXPECT_EQ(widths.size(), 3u);
    // A name longer than the list is cut to the list's width.
    EXPECT_EQ(fitColumns({900, 20}, 271, 6), (std::vector<int32_t>{271}));
    EXPECT_EQ(fitColumns({}, 271, 6), (std::vector<int32_t>{271}));
}

TEST(Listing, FilterSplitsPairsAndStopsAtTheClosingBars)
{
    const auto types = parseFilter("JPEG Dateien (*.JPG)|*.JPG|Alle (*.*)|*.*||");
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(types[0].description, "JPEG Dateien (*.JPG)");
    EXPECT_EQ(types[1].pattern, "*.*");
    EXPECT_TRUE(parseFilter("").empty());
    EXPECT_EQ(parseFilter("Only|*.BMP").size(), 1u);
}

TEST(Listing, FoldersFirstThenMatchingFiles)
{
    Folder dir;
    dir.file("a.jpg");
    dir.file("b.PCX");
    dir.file("d.JPEG");
    dir.file("nodot");
    dir.folder("sub");
    dir.folder("sub.jpg.d");
    std::vector<ListEntry> entries;
    std::error_code error;
    ASSERT_TRUE(listFolder(dir.path(), "*.JPG;*.PCX", entries, error));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_TRUE(entries[0].folder && entries[1].folder);
    EXPECT_EQ(names(entries, true), (std::vector<std::string>{"sub", "sub.jpg.d"}));
    EXPECT_EQ(names(entries, false), (std::vector<std::string>{"a.jpg", "b.PCX", "d.JPEG"}));

    ASSERT_TRUE(listFolder(dir.path(), "*.*", entries, error));
    EXPECT_EQ(names(entries, false), (std::vector<std::string>{"a.jpg", "b.PCX", "d.JPEG"}));

    EXPECT_FALSE(listFolder(dir.path() / "missing", "*.*", entries, error));
    EXPECT_TRUE(error);
}

TEST(Listing, NaturalCaseInsensitiveOrderWithoutHiddenNames)
{
    Folder dir;
    for (const char* name : {"bild10.jpg", "Bild2.jpg", "bild1.JPG", "apfel.jpg", ".versteckt.jpg", "Zebra.jpg"})
        dir.file(name);
    for (const char* name : {"shots", "sane", ".X11-unix", "Ordner 10", "ordner 9"})
        dir.folder(name);
    std::vector<ListEntry> entries;
    std::error_code error;
    ASSERT_TRUE(listFolder(dir.path(), "*.JPG", entries, error));
    std::vector<std::string> listed;
    for (const ListEntry& e : entries)
        listed.push_back(e.name);
    EXPECT_EQ(listed, (std::vector<std::string>{"ordner 9", "Ordner 10", "sane", "shots", "apfel.jpg", "bild1.JPG",
                                                "Bild2.jpg", "bild10.jpg", "Zebra.jpg"}));

    // A total order: case and leading zeros only break ties.
    EXPECT_TRUE(naturalLess("a2", "a010"));
    EXPECT_FALSE(naturalLess("a010", "a2"));
    EXPECT_TRUE(naturalLess("a01", "a1") != naturalLess("a1", "a01"));
    EXPECT_TRUE(naturalLess("Bild", "bild") != naturalLess("bild", "Bild"));
    EXPECT_FALSE(naturalLess("same", "same"));
    EXPECT_TRUE(naturalLess("bild", "bild1"));
    EXPECT_TRUE(naturalLess("x99999999999999999999", "x100000000000000000000")); // beyond 64 bits
}

TEST(Listing, ParentAndVolumeKinds)
{
    EXPECT_EQ(parentFolder("/a/b/"), "/a/");
    EXPECT_EQ(parentFolder("/a/"), "/");
    EXPECT_EQ(parentFolder("/"), "");
    EXPECT_EQ(withSlash("/a//"), "/a/");
    EXPECT_EQ(driveIcon(classifyVolume("ext4", "/")), 9);
    EXPECT_EQ(driveIcon(classifyVolume("vfat", "/media/usb")), 6);
    EXPECT_EQ(driveIcon(classifyVolume("nfs4", "/srv")), 10);
    EXPECT_EQ(driveIcon(classifyVolume("iso9660", "/media/cd")), 12);
    EXPECT_EQ(classifyVolume("tmpfs", "/tmp"), DriveKind::RamDisk);
}

TEST(Listing, TrailInsertsFoldersBelowTheirVolumeAndRemovesThemAgain)
{
    FolderTrail trail;
    trail.setVolumes({{"/media/usb/", DriveKind::Removable}, {"/", DriveKind::Fixed}});
    EXPECT_EQ(trail.folder(), "/"); // the first fixed volume
    trail.enter("/Home/a/");
    ASSERT_EQ(trail.entries().size(), 5u);
    EXPECT_EQ(trail.folder(), "/Home/a/");
    EXPECT_EQ(trail.entries()[size_t(trail.current())].depth, 3);

    trail.enter("/home/A/b"); // existing prefixes are found regardless of case
    EXPECT_EQ(trail.entries().size(), 6u);
    EXPECT_EQ(trail.folder(), "/home/A/b/");

    trail.up();
    EXPECT_EQ(trail.folder(), "/Home/a/");
    trail.choose(2); // the root volume: the folders below go
    EXPECT_EQ(trail.entries().size(), 3u);
    trail.up();
    EXPECT_EQ(trail.current(), 0);

    trail.enter("/media/usb/pics/");
    EXPECT_EQ(trail.entries()[size_t(trail.current())].depth, 2);
    trail.choose(0);
    EXPECT_EQ(trail.entries().size(), 3u);
    EXPECT_EQ(trail.folder(), "");
}

} // namespace
} // namespace knetix::browser
