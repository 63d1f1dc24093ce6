// Thumbnails and their cache file.

#include "browser/model/ThumbnailDatabase.h"
#include "container/Dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace knetix {
namespace {

WA numbered(int32_t w, int32_t h)
{
    WA picture(WA_TYPE_24BIT, w, h);
    for (int32_t k = 0; k < h; ++k)
        for (int32_t x = 0; x < w; ++x) {
            picture.row(k)[3 * x] = uint8_t(x);
            picture.row(k)[3 * x + 1] = uint8_t(k);
            picture.row(k)[3 * x + 2] = uint8_t(x >> 8);
        }
    return picture;
}

TEST(Thumbnail, FitsTheBoxByTheNearestPixel)
{
    struct Case { int32_t w, h, tw, th; };
    for (Case c : {Case{640, 480, 120, 90}, Case{480, 640, 67, 90}, Case{1000, 10, 120, 1}, Case{30, 20, 120, 80},
                   Case{5000, 4, 120, 1}}) {
        const CPaletteItem item = makeThumbnail(numbered(c.w, c.h));
        EXPECT_EQ(item.m_width, c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(item.m_height, c.th) << c.w << "x" << c.h;
        const int32_t stride = thumbnailStride(item.m_width);
        ASSERT_EQ(item.m_thumbnail.size(), size_t(40 + stride * item.m_height));
        const DibHeader h = readDibHeader(item.m_thumbnail.data());
        EXPECT_EQ(h.sizeImage, uint32_t(stride * item.m_height));
        EXPECT_EQ(h.xPelsPerMeter, 2835);
        // Output pixel (x, y) is source pixel (x * W / w, y * H / h).
        const int32_t x = item.m_width - 1, y = item.m_height - 1;
        const uint8_t* p = item.m_thumbnail.data() + 40 + y * stride + 3 * x;
        EXPECT_EQ(p[0], uint8_t(x * c.w / c.tw));
        EXPECT_EQ(p[1], uint8_t(y * c.h / c.th));
    }
    EXPECT_FALSE(makeThumbnail(WA(WA_TYPE_8BIT, 4, 4)).hasThumbnail());
}

TEST(ThumbnailDatabase, BytesOfAnEmptyAndAOneEntryDatabase)
{
    ThumbnailMap db;
    EXPECT_EQ(encodeThumbnailDatabase(db), (std::vector<uint8_t>{0, 0}));

    auto item = std::make_shared<CPaletteItem>(makeThumbnail(numbered(2, 1)));
    item->setWriteTime(0x0102030405060708ULL);
    db["/p/a.bmp"] = item;
    const std::vector<uint8_t> bytes = encodeThumbnailDatabase(db);
    std::vector<uint8_t> expected = {1, 0, 8, '/', 'p', '/', 'a', '.', 'b', 'm', 'p', 0xFF, 0xFF, 1, 0, 12, 0};
    for (char ch : std::string("CPaletteItem"))
        expected.push_back(uint8_t(ch));
    for (uint8_t b : {8, 7, 6, 5, 4, 3, 2, 1, 120, 0, 0, 0, 60, 0, 0, 0})
        expected.push_back(b);
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(expected.size())), expected);
    EXPECT_EQ(bytes.size(), expected.size() + 40 + 360 * 60);

    // A second entry points back at the class.
    db["/p/b.bmp"] = std::make_shared<CPaletteItem>();
    const std::vector<uint8_t> two = encodeThumbnailDatabase(db);
    const size_t second = bytes.size() - 2 + 2 + 1 + 8; // new count, path "/p/b.bmp"
    ASSERT_GT(two.size(), second + 1);
    EXPECT_EQ(two[second], 0x01);
    EXPECT_EQ(two[second + 1], 0x80);
    EXPECT_EQ(two.size(), second + 2 + 16);

    ThumbnailMap back;
    ASSERT_TRUE(decodeThumbnailDatabase(two, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back["/p/a.bmp"]->writeTime(), 0x0102030405060708ULL);
    EXPECT_EQ(back["/p/a.bmp"]->m_thumbnail, item->m_thumbnail);
    EXPECT_FALSE(back["/p/b.bmp"]->hasThumbnail());
}

TEST(ThumbnailDatabase, DamagedFilesAreIgnored)
{
    ThumbnailMap db;
    db["/p/a.bmp"] = std::make_shared<CPaletteItem>(makeThumbnail(numbered(64, 48)));
    const std::vector<uint8_t> good = encodeThumbnailDatabase(db);
    ThumbnailMap back;
    for (size_t cut : {size_t(1), size_t(5), good.size() / 2, good.size() - 1}) {
        EXPECT_FALSE(decodeThumbnailDatabase(std::span(good.data(), cut), back)) << cut;
        EXPECT_TRUE(back.empty());
    }
    std::vector<uint8_t> bad = good;
    bad.push_back(0); // bytes after the last entry
    EXPECT_FALSE(decodeThumbnailDatabase(bad, back));
    bad = good;
    const size_t widthAt = 2 + 1 + 8 + 2 + 2 + 2 + 12 + 8;
    bad[widthAt + 3] = 0x7F; // not a thumbnail's size
    EXPECT_FALSE(decodeThumbnailDatabase(bad, back));
    bad = good;
    bad[widthAt + 8 + 4] = 99; // header width differs from the record
    EXPECT_FALSE(decodeThumbnailDatabase(bad, back));

    const auto dir = std::filesystem::temp_directory_path() / "knetix-db-test";
    std::filesystem::create_directories(dir);
    const auto file = dir / "RUVIZU.TMP";
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(good.data()), std::streamsize(good.size() - 7));
    }
    EXPECT_TRUE(loadThumbnailDatabase(file).empty());
    ASSERT_EQ(saveThumbnailDatabase(file, db), 0);
    EXPECT_EQ(loadThumbnailDatabase(file).size(), 1u);
    std::filesystem::remove_all(dir);
}

TEST(ThumbnailDatabase, StampCountsHundredNanosecondsSince1601)
{
    const auto dir = std::filesystem::temp_directory_path() / "knetix-stamp-test";
    std::filesystem::create_directories(dir);
    const auto file = dir / "a.bmp";
    std::ofstream(file) << "x";
    // 2020-01-01 00:00:00 UTC.
    std::filesystem::last_write_time(
        file, std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{1577836800}}));
    EXPECT_EQ(fileWriteStamp(file), 132223104000000000ULL);
    EXPECT_EQ(fileWriteStamp(dir / "missing"), 0u);
    const CPaletteItem unreadable = makeThumbnailOfFile(file);
    EXPECT_FALSE(unreadable.hasThumbnail());
    EXPECT_EQ(unreadable.writeTime(), 132223104000000000ULL);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace knetix
