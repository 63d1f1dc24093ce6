// The image library interface against pictures drawn here, with the `gm` tool
// as an independent reader and writer of the files.

#include "files/imagelib/ImExp.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace knetix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Rgb = std::array<int, 3>;

// A bottom-up 24-bit picture whose row padding holds junk a writer must ignore.
// Noise (top row distinct), a smooth gradient for JPEG, or eight pure colours.
struct Pattern {
    enum Kind { Noise, Smooth, FewColours };
    int32_t width, height, stride;
    Bytes bits;
    Pattern(int32_t w, int32_t h, Kind kind = Noise) : width(w), height(h), stride(dibStride24(w)), bits(size_t(stride) * h, 0xEE)
    {
        std::mt19937 noise(7);
        for (int32_t k = 0; k < h; ++k)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* px = &bits[size_t(k) * stride + x * 3];
                const int top = h - 1 - k;
                for (int c = 0; c < 3; ++c)
                    px[c] = uint8_t(kind == Smooth ? (c == 0 ? x * 255 / w : c == 1 ? top * 255 / h : 128)
                                    : kind == FewColours ? ((x + top * 3) >> c & 1) * 255
                                    : top == 0 && c == 2 ? 250 : noise() % 240);
            }
    }
    Bitmap24View view(int32_t xppm = 0, int32_t yppm = 0) const { return {width, height, stride, bits.data(), xppm, yppm}; }
};

double meanAbsDiff(const WA& a, const Pattern& p)
{
    if (a.type() != WA_TYPE_24BIT || a.width() != p.width || a.height() != p.height)
        return 1e9;
    double sum = 0;
    for (int32_t k = 0; k < p.height; ++k)
        for (int32_t i = 0; i < p.width * 3; ++i)
            sum += std::abs(a.row(k)[i] - p.bits[size_t(k) * p.stride + i]);
    return sum / (double(p.width) * p.height * 3);
}

Rgb rgbAt(const WA& a, int32_t x, int32_t topRow)
{
    const uint8_t* px = a.row(a.height() - 1 - topRow) + x * 3;
    return {px[2], px[1], px[0]};
}

Bytes readBytes(const fs::path& f)
{
    std::ifstream in(f, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& f, const Bytes& b)
{
    std::ofstream(f, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

std::string gmOutput(const std::string& args)
{
    std::string out;
    char buf[256];
    if (FILE* pipe = popen(("gm " + args + " 2>/dev/null").c_str(), "r")) {
        while (fgets(buf, sizeof buf, pipe))
            out += buf;
        pclose(pipe);
    }
    return out;
}

class ImExpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string t = (fs::temp_directory_path() / "imexp-XXXXXX").string();
        ASSERT_NE(mkdtemp(t.data()), nullptr);
        dir = t;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path drawnByGm(const std::string& name, const std::string& args)
    {
        EXPECT_EQ(std::system(("gm convert " + args + " '" + (dir / name).string() + "'").c_str()), 0) << args;
        return dir / name;
    }
    std::string quoted(const std::string& name) const { return "'" + (dir / name).string() + "'"; }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(dir), {})); }
    fs::path dir;
};

TEST_F(ImExpTest, LosslessFormatsRoundTripEveryPixelTheRightWayUp)
{
    for (const char* name : {"a.bmp", "b.pcx", "c.tif", "d.tga", "E.TIFF", "odd [1] %d x:y.Bmp"})
        for (auto [w, h] : {std::pair{7, 5}, {1, 3}, {33, 4}}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(w));
            const Pattern p(w, h);
            WAPtr back;
            ASSERT_EQ(ImExp_WriteFile(dir / name, p.view()), ImExpStatus::Ok);
            ASSERT_EQ(ImExp_ReadFile(dir / name, back), ImExpStatus::Ok);
            EXPECT_EQ(meanAbsDiff(*back, p), 0.0);
            // Another reader must see our top row at the top of the file.
            const Rgb top = rgbAt(*back, 0, 0);
            char expected[32];
            std::snprintf(expected, sizeof expected, "(%3d,%3d,%3d)", top[0], top[1], top[2]);
            EXPECT_NE(gmOutput("convert " + quoted(name) + " -crop 1x1+0+0 -depth 8 txt:-").find(expected), std::string::npos);
        }
    EXPECT_EQ(entries(), 6u); // no temporary files left behind
}

TEST_F(ImExpTest, JpegIsCloseAndWrittenFilesArePlainTrueColourWithTheirResolution)
{
    const Pattern p(64, 48, Pattern::Smooth);
    WAPtr back;
    for (auto [name, format] : {std::pair{"a.jpg", "JPEG"}, {"b.JPEG", "JPEG"}, {"c.bmp", "BMP"}, {"d.tif", "TIFF"}, {"e.pcx", "PCX"}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(ImExp_WriteFile(dir / name, p.view(11811, 5905)), ImExpStatus::Ok);
        ASSERT_EQ(ImExp_ReadFile(dir / name, back), ImExpStatus::Ok);
        EXPECT_LT(meanAbsDiff(*back, p), 2.0);
        EXPECT_EQ(back->horizontalDpi(), 300);
        EXPECT_EQ(back->verticalDpi(), 150);
        EXPECT_EQ(back->horizontalPixelsPerMetre(), 11811);
        EXPECT_EQ(ImExp_ShowFileInfo(dir / name)->bitsPerPixel, 24);
        EXPECT_EQ(gmOutput("identify -format '%m %wx%h' " + quoted(name)), std::string(format) + " 64x48\n");
    }
    ASSERT_EQ(ImExp_WriteFile(dir / "f.tga", p.view(11811, 11811)), ImExpStatus::Ok);
    ASSERT_EQ(ImExp_ReadFile(dir / "f.tga", back), ImExpStatus::Ok);
    EXPECT_EQ(back->resolution(), 0u); // TARGA stores none
    const Bytes bmp = readBytes(dir / "c.bmp"), tga = readBytes(dir / "f.tga"), pcx = readBytes(dir / "e.pcx");
    EXPECT_EQ(bmp[14], 40); // the plain header, no alpha masks
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(bmp[38] | bmp[39] << 8, 11811);
    EXPECT_EQ(tga[2], 2); // uncompressed true colour
    EXPECT_EQ(tga[16], 24);
    EXPECT_EQ(pcx[3] * pcx[65], 24); // 8 bits x 3 planes
}

TEST_F(ImExpTest, OtherKindsOfPictureArriveAs24BitRows)
{
    const Pattern few(6, 4, Pattern::FewColours);
    ASSERT_EQ(ImExp_WriteFile(dir / "src.bmp", few.view()), ImExpStatus::Ok);
    const std::string src = quoted("src.bmp");
    const Rgb none{-1, -1, -1}; // the whole picture must equal the source instead
    struct Case { const char* name; std::string args; int bits; Rgb topLeft; };
    const Case cases[] = {
        {"pal.gif", src, 3, none},
        {"pal.pcx", src + " -colors 8", 8, none},
        {"pal.bmp", src + " -colors 8", 4, none},
        {"deep.tif", src + " -depth 16", 48, none},
        {"grey.tif", "-size 6x4 gradient:white-black -depth 8", 8, {255, 255, 255}},
        {"grey.jpg", "-size 6x4 gradient:white-black", 8, {255, 255, 255}},
        {"mono.tif", "-size 6x4 gradient:white-black -monochrome -compress group4", 1, {255, 255, 255}},
        {"cmyk.jpg", "-size 6x4 xc:red -colorspace cmyk", 32, {255, 0, 0}},
        {"alpha.tga", "-size 6x4 xc:none -fill red -draw 'point 1,0'", 32, {255, 255, 255}}, // on white
        {"two.gif", "-size 6x4 xc:red xc:blue", 1, {255, 0, 0}},                             // first frame
        {"two.tif", "-size 6x4 xc:red xc:blue", 1, {255, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WAPtr back;
        ASSERT_EQ(ImExp_ReadFile(drawnByGm(c.name, c.args), back), ImExpStatus::Ok);
        ASSERT_EQ(back->width(), 6);
        ASSERT_EQ(back->height(), 4);
        EXPECT_EQ(ImExp_ShowFileInfo(dir / c.name)->bitsPerPixel, c.bits);
        if (c.topLeft == none) {
            EXPECT_EQ(meanAbsDiff(*back, few), 0.0);
            continue;
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(rgbAt(*back, 0, 0)[i], c.topLeft[i], 12);
    }
    WAPtr alpha;
    ASSERT_EQ(ImExp_ReadFile(dir / "alpha.tga", alpha), ImExpStatus::Ok);
    EXPECT_EQ(rgbAt(*alpha, 1, 0), (Rgb{255, 0, 0}));
}

// The formats people share today: PNG in its kinds, WebP and JPEG XL from the
// image library's own writer, AVIF and HEIC made by another program (the
// library reads them only). Found by content, whatever the name says.
TEST_F(ImExpTest, TodaysFormatsAreReadByContent)
{
    const Pattern few(6, 4, Pattern::FewColours);
    ASSERT_EQ(ImExp_WriteFile(dir / "src.bmp", few.view()), ImExpStatus::Ok);
    const std::string src = quoted("src.bmp");
    const Rgb none{-1, -1, -1};
    struct Case { const char* name; std::string args; Rgb topLeft; };
    const Case cases[] = {
        {"plain.png", src, none},
        {"deep.png", src + " -depth 16", none},
        {"palette.png", src + " -colors 8 -type Palette", none},
        {"alpha.png", "-size 6x4 xc:none -fill red -draw 'point 1,0'", {255, 255, 255}}, // on white
        {"lossless.webp", src + " -define webp:lossless=true", none},
        {"photo.jxl", "-size 6x4 xc:red", {255, 0, 0}},
        {"named-wrong.jpg", "-size 6x4 xc:blue png:", {0, 0, 255}}, // a PNG under a JPEG name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string target = c.name;
        std::string args = c.args;
        if (args.ends_with("png:")) { // gm writes the format the prefix names
            args.resize(args.size() - 4);
            target = "png:" + (dir / c.name).string();
            EXPECT_EQ(std::system(("gm convert " + args + " '" + target + "'").c_str()), 0);
        } else {
            drawnByGm(c.name, args);
        }
        WAPtr back;
        ASSERT_EQ(ImExp_ReadFile(dir / c.name, back), ImExpStatus::Ok);
        ASSERT_EQ(back->width(), 6);
        ASSERT_EQ(back->height(), 4);
        if (c.topLeft == none) {
            EXPECT_EQ(meanAbsDiff(*back, few), 0.0);
            continue;
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(rgbAt(*back, 0, 0)[i], c.topLeft[i], 12);
    }
    WAPtr alpha;
    ASSERT_EQ(ImExp_ReadFile(dir / "alpha.png", alpha), ImExpStatus::Ok);
    EXPECT_EQ(rgbAt(*alpha, 1, 0), (Rgb{255, 0, 0}));
    // AVIF and HEIC come from ImageMagick's writer where it has one.
    for (const char* name : {"photo.avif", "photo.heic"}) {
        SCOPED_TRACE(name);
        if (std::system(("convert -size 64x48 xc:green " + quoted(name) + " 2>/dev/null").c_str()) != 0 ||
            !fs::exists(dir / name))
            continue; // no writer for it here
        WAPtr back;
        ASSERT_EQ(ImExp_ReadFile(dir / name, back), ImExpStatus::Ok);
        EXPECT_EQ(back->width(), 64);
        EXPECT_NEAR(rgbAt(*back, 10, 10)[1], 128, 16);
    }
}

TEST_F(ImExpTest, PngIsLosslessWithItsResolutionAndWebPClose)
{
    const Pattern p(65, 33, Pattern::Smooth);
    WAPtr back;
    ASSERT_EQ(ImExp_WriteFile(dir / "a.png", p.view(11811, 5905)), ImExpStatus::Ok);
    ASSERT_EQ(ImExp_ReadFile(dir / "a.png", back), ImExpStatus::Ok);
    EXPECT_EQ(meanAbsDiff(*back, p), 0.0);
    EXPECT_EQ(back->horizontalDpi(), 300);
    EXPECT_EQ(back->verticalDpi(), 150);
    EXPECT_EQ(gmOutput("identify -format '%m %wx%h' " + quoted("a.png")), "PNG 65x33\n");
    ASSERT_EQ(ImExp_WriteFile(dir / "b.WebP", p.view()), ImExpStatus::Ok);
    ASSERT_EQ(ImExp_ReadFile(dir / "b.WebP", back), ImExpStatus::Ok);
    EXPECT_LT(meanAbsDiff(*back, p), 3.0);
    EXPECT_EQ(gmOutput("identify -format '%m %wx%h' " + quoted("b.WebP")), "WEBP 65x33\n");
    EXPECT_EQ(entries(), 2u);
}

TEST_F(ImExpTest, PhotoCdGivesItsBaseImage)
{
    WAPtr back;
    ASSERT_EQ(ImExp_ReadFile(drawnByGm("p.pcd", "-size 1024x768 gradient:red-blue"), back), ImExpStatus::Ok);
    EXPECT_EQ(back->width(), 768);
    EXPECT_EQ(back->height(), 512);
    writeBytes(dir / "fake.pcd", Bytes(3000, 'x'));
    EXPECT_EQ(ImExp_ReadFile(dir / "fake.pcd", back), ImExpStatus::Damaged);
}

TEST_F(ImExpTest, BrokenFilesFailWithoutTouchingThePicture)
{
    const auto sentinel = std::make_shared<WA>(WA_TYPE_24BIT, 1, 1);
    WAPtr picture = sentinel;
    EXPECT_EQ(ImExp_ReadFile(dir / "missing.bmp", picture), ImExpStatus::NotFound);
    EXPECT_EQ(ImExp_ReadFile(dir, picture), ImExpStatus::NotFound);
    writeBytes(dir / "notes.txt", Bytes{'h', 'i', '\n'});
    EXPECT_EQ(ImExp_ReadFile(dir / "notes.txt", picture), ImExpStatus::Unsupported);

    const Pattern p(40, 30);
    ASSERT_EQ(ImExp_WriteFile(dir / "pic.bmp", p.view()), ImExpStatus::Ok);
    drawnByGm("pic.gif", quoted("pic.bmp"));
    drawnByGm("pic.pcd", "-size 800x600 gradient:red-blue");
    for (const char* name : {"pic.bmp", "pic.jpg", "pic.pcx", "pic.tif", "pic.tga", "pic.gif", "pic.pcd"}) {
        const std::string ext = fs::path(name).extension().string();
        if (!fs::exists(dir / name)) {
            ASSERT_EQ(ImExp_WriteFile(dir / name, p.view()), ImExpStatus::Ok);
        }
        const Bytes whole = readBytes(dir / name);
        std::mt19937 noise(1);
        for (size_t cut : {size_t(0), size_t(1), size_t(20), whole.size() / 4, whole.size() / 2}) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            writeBytes(dir / ("cut" + ext), Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
            EXPECT_NE(ImExp_ReadFile(dir / ("cut" + ext), picture), ImExpStatus::Ok);
            Bytes scrambled = whole; // the header kept, the rest random
            for (size_t i = std::max<size_t>(cut, 32); i < scrambled.size(); ++i)
                scrambled[i] = uint8_t(noise());
            writeBytes(dir / ("scrambled" + ext), scrambled);
            WAPtr any; // random pixels may well make a picture: only no crash or hang
            ImExp_ReadFile(dir / ("scrambled" + ext), any);
        }
    }
    EXPECT_EQ(picture, sentinel);
}

TEST_F(ImExpTest, OversizedPicturesAreRefusedFromTheHeader)
{
    Bytes bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0xA0, 0x86, 1, 0, 0xA0, 0x86, 1, 0, 1, 0, 24};
    bmp.resize(120); // 100000 x 100000 at 24 bits, and no pixels
    writeBytes(dir / "huge.bmp", bmp);
    WAPtr picture;
    const ImExpStatus huge = ImExp_ReadFile(dir / "huge.bmp", picture);
    EXPECT_TRUE(huge == ImExpStatus::TooLarge || huge == ImExpStatus::Damaged) << int(huge);

    EXPECT_GE(ImExp_MaxPixels(), 12000 * 9000);
    ASSERT_EQ(ImExp_WriteFile(dir / "fits.bmp", Pattern(10, 10).view()), ImExpStatus::Ok);
    ASSERT_EQ(ImExp_WriteFile(dir / "over.bmp", Pattern(11, 10).view()), ImExpStatus::Ok);
    ASSERT_EQ(ImExp_WriteFile(dir / "cut.jpg", Pattern(40, 30).view()), ImExpStatus::Ok);
    const Bytes jpeg = readBytes(dir / "cut.jpg");
    writeBytes(dir / "cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(jpeg.size() / 2)));
    {
        struct Restore { int64_t max = ImExp_MaxPixels(); ~Restore() { ImExp_SetMaxPixels(max); } } restore;
        ImExp_SetMaxPixels(100);
        EXPECT_EQ(ImExp_ReadFile(dir / "fits.bmp", picture), ImExpStatus::Ok);
        EXPECT_EQ(ImExp_ReadFile(dir / "over.bmp", picture), ImExpStatus::TooLarge);
        EXPECT_EQ(ImExp_ReadFile(dir / "cut.jpg", picture), ImExpStatus::TooLarge); // before decoding finds the damage
    }
    EXPECT_EQ(ImExp_ReadFile(dir / "over.bmp", picture), ImExpStatus::Ok);
}

TEST_F(ImExpTest, FailedWritesLeaveTheOldFileAlone)
{
    const Pattern p(300, 200);
    const fs::path f = dir / "keep.bmp";
    ASSERT_EQ(ImExp_WriteFile(f, Pattern(3, 3).view()), ImExpStatus::Ok);
    fs::permissions(f, fs::perms(0640));
    const Bytes old = readBytes(f);

    EXPECT_EQ(ImExp_WriteFile(dir / "no" / "such.bmp", p.view()), ImExpStatus::WriteFailed);
    EXPECT_EQ(ImExp_WriteFile(dir / "keep.gif", p.view()), ImExpStatus::Unsupported); // read, never written
    EXPECT_EQ(ImExp_WriteFile(f, Bitmap24View{4, 4, 11, p.bits.data()}), ImExpStatus::InvalidArgument);
    EXPECT_EQ(ImExp_WriteFile(f, Bitmap24View{}), ImExpStatus::InvalidArgument);
    EXPECT_EQ(ImExp_WriteFile("", p.view()), ImExpStatus::InvalidArgument);
    fs::create_directory(dir / "taken.bmp");
    EXPECT_EQ(ImExp_WriteFile(dir / "taken.bmp", p.view()), ImExpStatus::WriteFailed);

    // The disk filling up mid-write, made by a file-size limit (which binds root too).
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const ImExpStatus full = ImExp_WriteFile(f, p.view());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(full, ImExpStatus::WriteFailed);

    if (geteuid() != 0) { // folder permissions do not stop root
        fs::permissions(dir, fs::perms(0500));
        EXPECT_EQ(ImExp_WriteFile(f, p.view()), ImExpStatus::WriteFailed);
        fs::permissions(dir, fs::perms(0700));
    }
    EXPECT_EQ(readBytes(f), old);
    EXPECT_EQ(entries(), 2u); // keep.bmp and taken.bmp: no temporary files

    ASSERT_EQ(ImExp_WriteFile(f, p.view()), ImExpStatus::Ok);
    EXPECT_EQ(fs::status(f).permissions() & fs::perms::all, fs::perms(0640));
}

TEST_F(ImExpTest, TheContentsNotTheNameDecide)
{
    ASSERT_EQ(ImExp_WriteFile(dir / "photo.jpg", Pattern(7, 5, Pattern::Smooth).view(11811, 11811)), ImExpStatus::Ok);
    fs::copy_file(dir / "photo.jpg", dir / "misnamed.bmp");
    writeBytes(dir / "notes.txt", Bytes{'n', 'o', 't', 'e'});
    writeBytes(dir / "empty.jpg", {});
    EXPECT_TRUE(FindReader(dir / "misnamed.bmp"));
    WAPtr back;
    EXPECT_EQ(ImExp_ReadFile(dir / "misnamed.bmp", back), ImExpStatus::Ok);
    for (const char* name : {"notes.txt", "empty.jpg", "missing.jpg"}) {
        EXPECT_FALSE(FindReader(dir / name)) << name;
        EXPECT_FALSE(ImExp_ShowFileInfo(dir / name)) << name;
    }
    const auto info = ImExp_ShowFileInfo(dir / "misnamed.bmp");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->format, "JPEG");
    EXPECT_FALSE(info->description.empty());
    EXPECT_EQ(info->width, 7);
    EXPECT_EQ(info->height, 5);
    EXPECT_EQ(info->bitsPerPixel, 24);
    EXPECT_EQ(info->horizontalDpi, 300);
    EXPECT_EQ(info->fileSize, fs::file_size(dir / "photo.jpg"));
}

} // namespace
} // namespace knetix
