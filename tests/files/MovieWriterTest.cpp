#include "files/movie/MovieWriter.h"
#include "tests/common/Capture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace knetix {
namespace {

using test::capture;

namespace fs = std::filesystem;

// A bottom-up 24-bit frame whose content moves with k.
struct Frame {
    int32_t width, height, stride;
    std::vector<uint8_t> bits;
    Frame(int32_t w, int32_t h, int k) : width(w), height(h), stride(dibStride24(w)), bits(size_t(stride) * h, 0)
    {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* p = bits.data() + size_t(h - 1 - y) * stride + 3 * x; // y from the top
                p[0] = uint8_t(x * 255 / w);
                p[1] = uint8_t(y * 255 / h);
                p[2] = uint8_t(((x / 16 + y / 16 + k) % 2) ? 230 : 40);
            }
    }
    Bitmap24View view() const { return {width, height, stride, bits.data(), 2835, 2835}; }
    // Top-down, unpadded, as ffmpeg's rawvideo bgr24 output gives it.
    std::string topDown() const
    {
        std::string out;
        for (int32_t y = 0; y < height; ++y)
            out.append(reinterpret_cast<const char*>(bits.data()) + size_t(height - 1 - y) * stride, size_t(3 * width));
        return out;
    }
};

struct MovieWriterTest : ::testing::Test {
    fs::path folder = fs::temp_directory_path() / ("knetix-movie-" + std::to_string(std::random_device{}()));
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    std::string probe(const fs::path& file, const std::string& entries)
    {
        return capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=" + entries +
                       " -of default=noprint_wrappers=1 '" + file.string() + "'");
    }
    std::string decode(const fs::path& file, const std::string& extra = "")
    {
        return capture("ffmpeg -v error " + extra + " -i '" + file.string() + "' -f rawvideo -pix_fmt bgr24 -");
    }
};

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t bigEndian32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = v << 8 | uint8_t(bytes[at + i]);
    return v;
}

// The types of an MP4 file's top-level boxes, in file order.
std::vector<std::string> mp4Boxes(const std::string& bytes)
{
    std::vector<std::string> boxes;
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        uint64_t size = bigEndian32(bytes, at);
        if (size == 1 && at + 16 <= bytes.size())
            size = uint64_t(bigEndian32(bytes, at + 8)) << 32 | bigEndian32(bytes, at + 12);
        else if (size == 0)
            size = bytes.size() - at;
        if (size < 8)
            break;
        boxes.push_back(bytes.substr(at + 4, 4));
        at += size;
    }
    return boxes;
}

// The mean difference of the picture's last column between a decoded frame
// (`stored` pixels a row) and the frame written.
double lastColumnDifference(const std::string& decoded, int32_t stored, const std::string& written, int32_t w,
                            int32_t h)
{
    double sum = 0;
    for (int32_t y = 0; y < h; ++y)
        for (int c = 0; c < 3; ++c)
            sum += std::abs(int(uint8_t(decoded[size_t(3 * (y * stored + w - 1) + c)])) -
                            int(uint8_t(written[size_t(3 * (y * w + w - 1) + c)])));
    return sum / (3.0 * h);
}

using Rgb = std::array<int, 3>;

// What an animated GIF file says: the global palette, the loop count of its
// looping extension (-1: none) and each picture's delay in centiseconds.
struct GifFile {
    bool complete = false;
    std::vector<Rgb> palette;
    int loops = -1;
    std::vector<int> delays;
    int pictures = 0;
};

GifFile parseGif(const std::string& d)
{
    GifFile gif;
    const auto byte = [&](size_t i) { return i < d.size() ? int(uint8_t(d[i])) : 0; };
    const auto skipSubBlocks = [&](size_t i) {
        while (i < d.size() && byte(i) != 0)
            i += size_t(byte(i)) + 1;
        return i + 1;
    };
    if (d.compare(0, 6, "GIF89a") != 0)
        return gif;
    size_t i = 13;
    if (byte(10) & 0x80) {
        const size_t entries = size_t(2) << (byte(10) & 7);
        for (size_t k = 0; k < entries; ++k)
            gif.palette.push_back({byte(i + 3 * k), byte(i + 3 * k + 1), byte(i + 3 * k + 2)});
        i += 3 * entries;
    }
    while (i < d.size()) {
        if (byte(i) == 0x3b) {
            gif.complete = true;
            break;
        }
        if (byte(i) == 0x21 && byte(i + 1) == 0xf9) {
            gif.delays.push_back(byte(i + 4) | byte(i + 5) << 8);
            i = skipSubBlocks(i + 2);
        } else if (byte(i) == 0x21 && byte(i + 1) == 0xff) {
            if (d.compare(i + 3, 11, "NETSCAPE2.0") == 0)
                gif.loops = byte(i + 16) | byte(i + 17) << 8;
            i = skipSubBlocks(i + 2);
        } else if (byte(i) == 0x21) {
            i = skipSubBlocks(i + 2);
        } else if (byte(i) == 0x2c) {
            ++gif.pictures;
            const int flags = byte(i + 9);
            i += 10;
            if (flags & 0x80)
                i += 3 * (size_t(2) << (flags & 7));
            i = skipSubBlocks(i + 1); // after the LZW code size
        } else {
            break;
        }
    }
    return gif;
}

double meanAbsoluteDifference(const std::string& a, const std::string& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i])));
    return sum / double(a.size());
}

TEST_F(MovieWriterTest, EveryCodecWritesAPlayableMovieOfTheFrames)
{
    const auto codecs = availableMovieCodecs();
    ASSERT_GE(codecs.size(), 4u);
    EXPECT_EQ(codecs[0].id, "raw");
    EXPECT_EQ(codecs[0].displayName, "Volle Einzelbilder (unkomprimiert)");

    // Odd sizes on purpose: padded rows, odd chroma.
    const int32_t W = 75, H = 53;
    std::vector<Frame> frames;
    for (int k = 0; k < 9; ++k)
        frames.emplace_back(W, H, k);
    std::string all;
    for (const auto& f : frames)
        all += f.topDown();

    for (const auto& codec : codecs) {
        SCOPED_TRACE(codec.id);
        const fs::path file = folder / (codec.id + ".avi");
        MovieWriter writer;
        ASSERT_EQ(writer.open(file.string(), W, H, MovieSettings{codec.id}), MovieStatus::Ok);
        for (const auto& f : frames)
            ASSERT_EQ(writer.writeFrame(f.view()), MovieStatus::Ok);
        EXPECT_FALSE(fs::exists(file)); // written under another name until complete
        ASSERT_EQ(writer.finish(), MovieStatus::Ok);
        ASSERT_TRUE(fs::exists(file));

        const std::string info = probe(file, "codec_name,width,height,r_frame_rate,nb_read_frames,duration");
        EXPECT_NE(info.find("width=75\n"), std::string::npos) << info;
        EXPECT_NE(info.find("height=53\n"), std::string::npos) << info;
        EXPECT_NE(info.find("r_frame_rate=15/1\n"), std::string::npos) << info;
        EXPECT_NE(info.find("nb_read_frames=9\n"), std::string::npos) << info;
        EXPECT_NE(info.find("duration=0.600000\n"), std::string::npos) << info;

        const std::string decoded = decode(file);
        if (codec.lossless)
            EXPECT_TRUE(decoded == all) << "lossless frames differ";
        else
            EXPECT_LT(meanAbsoluteDifference(decoded, all), 12.0); // neighbouring frames differ by 60
        // The last, odd column keeps its colour in 4:2:0 too.
        EXPECT_LT(lastColumnDifference(decoded, W, frames[0].topDown(), W, H), 12.0);

        // Seeking to 0.4 s gives frame 6 itself.
        const std::string sixth = decode(file, "-ss 0.4") .substr(0, size_t(3 * W * H));
        if (codec.lossless)
            EXPECT_TRUE(sixth == frames[6].topDown()) << "seek lands elsewhere";
        else
            EXPECT_LT(meanAbsoluteDifference(sixth, frames[6].topDown()), 12.0);
    }
}

TEST_F(MovieWriterTest, RawFramesAreStoredBottomUpWithAPositiveHeight)
{
    const fs::path file = folder / "raw.avi";
    MovieWriter writer;
    ASSERT_EQ(writer.open(file.string(), 75, 53, {}), MovieStatus::Ok);
    const Frame f(75, 53, 0);
    ASSERT_EQ(writer.writeFrame(f.view()), MovieStatus::Ok);
    ASSERT_EQ(writer.finish(), MovieStatus::Ok);
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto strf = bytes.find("strf");
    ASSERT_NE(strf, std::string::npos);
    int32_t header[4];
    std::memcpy(header, bytes.data() + strf + 8, sizeof header);
    EXPECT_EQ(header[0], 40); // no extra data after the header
    EXPECT_EQ(header[1], 75);
    EXPECT_EQ(header[2], 53); // positive: bottom-up rows
    // The frame's rows, padding and all, exactly as the buffer held them.
    const std::string rows(reinterpret_cast<const char*>(f.bits.data()), f.bits.size());
    const uint32_t size = uint32_t(rows.size());
    const std::string chunk = "00dc" + std::string(reinterpret_cast<const char*>(&size), 4) + rows;
    EXPECT_NE(bytes.find(chunk), std::string::npos);
}

TEST_F(MovieWriterTest, FailuresLeaveNoFileAndKeepAnOldOne)
{
    int files = 0;
    for (const char* name : {"old.avi", "old.mp4", "old.webm", "old.gif"}) {
        SCOPED_TRACE(name);
        const fs::path file = folder / name;
        { std::ofstream(file) << "an older movie"; }
        ++files;
        {
            MovieWriter writer;
            ASSERT_EQ(writer.open(file.string(), 20, 20, {}), MovieStatus::Ok);
            ASSERT_EQ(writer.writeFrame(Frame(20, 20, 0).view()), MovieStatus::Ok);
            ASSERT_EQ(writer.writeFrame(Frame(20, 20, 1).view()), MovieStatus::Ok);
            EXPECT_EQ(writer.writeFrame(Frame(21, 20, 0).view()), MovieStatus::Unsupported);
            writer.abandon(); // cancelled
        }
        {
            MovieWriter writer; // dropped unfinished
            ASSERT_EQ(writer.open(file.string(), 20, 20, {}), MovieStatus::Ok);
            ASSERT_EQ(writer.writeFrame(Frame(20, 20, 0).view()), MovieStatus::Ok);
        }
        std::ifstream in(file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an older movie");
        // Nothing else: no temporary, no frames kept for a palette.
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), files);

        MovieWriter writer;
        EXPECT_EQ(writer.open((folder / "missing" / name).string(), 20, 20, {}), MovieStatus::FileError);
    }

    MovieWriter writer;
    EXPECT_EQ(writer.open((folder / "x.avi").string(), 20, 20, {"no-such-codec"}), MovieStatus::Unsupported);
    EXPECT_FALSE(findMovieCodec("no-such-codec"));
    // A GIF file holds at least one picture.
    ASSERT_EQ(writer.open((folder / "empty.gif").string(), 20, 20, {}), MovieStatus::Ok);
    EXPECT_EQ(writer.finish(), MovieStatus::Unsupported);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), files);
}

// A frame of `colours` flat colours in 8 x 8 blocks that move with k; the
// colours lie on a grid of 51 steps, each far from every other.
Frame fewColours(int32_t w, int32_t h, int k, int colours)
{
    Frame f(w, h, 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int i = (x / 8 + k + (y / 8) * 11) % colours;
            uint8_t* p = f.bits.data() + size_t(h - 1 - y) * f.stride + 3 * x;
            p[0] = uint8_t(51 * (i % 6));
            p[1] = uint8_t(51 * (i / 6 % 6));
            p[2] = uint8_t(51 * (i / 36));
        }
    return f;
}

TEST(MovieKindTest, TheExtensionChoosesTheKindInAnyCase)
{
    EXPECT_EQ(movieKindOfPath("/w/film.mp4"), MovieKind::Mp4);
    EXPECT_EQ(movieKindOfPath("/w/FILM.MP4"), MovieKind::Mp4);
    EXPECT_EQ(movieKindOfPath("film.WebM"), MovieKind::WebM);
    EXPECT_EQ(movieKindOfPath("film.Gif"), MovieKind::Gif);
    EXPECT_EQ(movieKindOfPath("film.avi"), MovieKind::Avi);
    // Anything else stays AVI, as for every movie before.
    EXPECT_EQ(movieKindOfPath("film"), MovieKind::Avi);
    EXPECT_EQ(movieKindOfPath("film.mp4.bak"), MovieKind::Avi);
    EXPECT_EQ(movieKindOfPath("/w/gif/film"), MovieKind::Avi);
    EXPECT_EQ(movieKindOfPath("/w/x.gif/film"), MovieKind::Avi);
    EXPECT_EQ(movieKindOfPath("film.mkv"), MovieKind::Avi);

    for (MovieKind kind : {MovieKind::Avi, MovieKind::Mp4, MovieKind::WebM, MovieKind::Gif}) {
        EXPECT_EQ(movieKindOffersCodecChoice(kind), kind == MovieKind::Avi);
        EXPECT_TRUE(movieKindAvailable(kind)); // Debian's FFmpeg has them all
        EXPECT_EQ(movieKindOfPath("x" + std::string(movieKindExtension(kind))), kind);
    }
    EXPECT_EQ(movieCompressorOf(MovieKind::Avi, MovieSettings{"mjpeg"}), "mjpeg");
    EXPECT_EQ(movieCompressorOf(MovieKind::Mp4, MovieSettings{"mjpeg"}), "h264");
}

// Each kind holds every frame (a repeated one too) at 15 frames per second in
// its own compressor; odd sizes on purpose.
TEST_F(MovieWriterTest, NewKindsHoldEveryFrameInTheirCompressor)
{
    struct Kind {
        const char* extension;
        const char* codec;
    };
    for (const Kind kind : {Kind{".mp4", "h264"}, Kind{".WEBM", "vp9"}, Kind{".gif", "gif"}}) {
        for (const auto& [W, H] : {std::pair{76, 54}, std::pair{75, 53}}) {
            SCOPED_TRACE(std::string(kind.extension) + " " + std::to_string(W) + " x " + std::to_string(H));
            const fs::path file = folder / ("film" + std::to_string(W) + kind.extension);
            MovieWriter writer;
            // The AVI compressor is not theirs to choose: it is ignored.
            ASSERT_EQ(writer.open(file.string(), W, H, MovieSettings{"mjpeg"}), MovieStatus::Ok);
            for (int k : {0, 1, 2, 3, 3, 4, 5, 6, 7})
                ASSERT_EQ(writer.writeFrame(Frame(W, H, k).view()), MovieStatus::Ok);
            EXPECT_FALSE(fs::exists(file));
            ASSERT_EQ(writer.finish(), MovieStatus::Ok);

            const std::string info = capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                             "stream=codec_name,width,height,pix_fmt,nb_read_frames:format=duration "
                                             "-of default=noprint_wrappers=1 '" + file.string() + "'");
            EXPECT_NE(info.find("codec_name=" + std::string(kind.codec) + "\n"), std::string::npos) << info;
            EXPECT_NE(info.find("nb_read_frames=9\n"), std::string::npos) << info;
            EXPECT_NE(info.find("duration=0.600000\n"), std::string::npos) << info;
            // H.264 in 4:2:0 wants even sizes: MP4 adds a column and a row.
            const bool padded = kind.codec == std::string("h264");
            EXPECT_NE(info.find("width=" + std::to_string(padded ? 76 : W) + "\n"), std::string::npos) << info;
            EXPECT_NE(info.find("height=" + std::to_string(padded ? 54 : H) + "\n"), std::string::npos) << info;
            if (kind.codec != std::string("gif")) {
                EXPECT_NE(info.find("pix_fmt=yuv420p\n"), std::string::npos) << info;
            }
            // The last column keeps its colour (4:2:0 pairs it with itself).
            const int32_t stored = padded ? 76 : W;
            const std::string first = decode(file).substr(0, size_t(3 * stored * H));
            ASSERT_EQ(first.size(), size_t(3 * stored * H));
            EXPECT_LT(lastColumnDifference(first, stored, Frame(W, H, 0).topDown(), W, H), 12.0);
        }
    }
}

TEST_F(MovieWriterTest, Mp4HasItsIndexFirstAndKeepsTheFrames)
{
    const int32_t W = 75, H = 53;
    const fs::path file = folder / "film.mp4";
    std::vector<Frame> frames;
    for (int k = 0; k < 4; ++k)
        frames.emplace_back(W, H, k);
    MovieWriter writer;
    ASSERT_EQ(writer.open(file.string(), W, H, {}), MovieStatus::Ok);
    for (const auto& f : frames)
        ASSERT_EQ(writer.writeFrame(f.view()), MovieStatus::Ok);
    ASSERT_EQ(writer.finish(), MovieStatus::Ok);

    // Browsers and phones start playing before the whole file is there.
    const std::string bytes = readBytes(file);
    const auto boxes = mp4Boxes(bytes);
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    ASSERT_NE(moov, boxes.end());
    ASSERT_NE(mdat, boxes.end());
    EXPECT_LT(moov, mdat);
    // Constant quality 18 when no data rate is set.
    EXPECT_NE(bytes.find("crf=18.0"), std::string::npos);

    // Frame 0, decoded at its stored 76 x 54: the picture unscaled, then the
    // last column and row again.
    const std::string decoded = decode(file, "").substr(0, size_t(3 * 76 * 54));
    ASSERT_EQ(decoded.size(), size_t(3 * 76 * 54));
    const std::string expected = frames[0].topDown();
    double squares = 0;
    double repeatColumn = 0, repeatRow = 0;
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                const double e = uint8_t(decoded[size_t(3 * (y * 76 + x) + c)]) -
                                 double(uint8_t(expected[size_t(3 * (y * W + x) + c)]));
                squares += e * e;
            }
    for (int32_t y = 0; y < H; ++y)
        for (int c = 0; c < 3; ++c)
            repeatColumn += std::abs(int(uint8_t(decoded[size_t(3 * (y * 76 + 75) + c)])) -
                                     int(uint8_t(expected[size_t(3 * (y * W + 74) + c)])));
    for (int32_t x = 0; x < W; ++x)
        for (int c = 0; c < 3; ++c)
            repeatRow += std::abs(int(uint8_t(decoded[size_t(3 * (53 * 76 + x) + c)])) -
                                  int(uint8_t(expected[size_t(3 * (52 * W + x) + c)])));
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (3.0 * W * H)));
    EXPECT_GT(psnr, 33.0); // 36.4 with x264 of Debian 12
    EXPECT_LT(repeatColumn / (3.0 * H), 8.0);
    EXPECT_LT(repeatRow / (3.0 * W), 8.0);

    // A data rate replaces the constant quality.
    const fs::path limited = folder / "limited.mp4";
    MovieSettings rate;
    rate.dataRate = 50; // kilobytes per second
    ASSERT_EQ(writer.open(limited.string(), W, H, rate), MovieStatus::Ok);
    for (const auto& f : frames)
        ASSERT_EQ(writer.writeFrame(f.view()), MovieStatus::Ok);
    ASSERT_EQ(writer.finish(), MovieStatus::Ok);
    const std::string limitedBytes = readBytes(limited);
    EXPECT_EQ(limitedBytes.find("crf="), std::string::npos);
    EXPECT_NE(limitedBytes.find("bitrate=400"), std::string::npos); // kbit/s
}

// One palette for the whole movie; every frame dithered to it stays as close
// to the rendered frame as that palette allows; 15 frames a second on
// average in whole centiseconds; looping forever.
TEST_F(MovieWriterTest, GifFramesStayWithinTheirPalettesError)
{
    const int32_t W = 75, H = 53, N = 9;
    const fs::path file = folder / "film.gif";
    std::vector<Frame> frames;
    for (int k = 0; k < N; ++k)
        frames.emplace_back(W, H, k);
    MovieWriter writer;
    ASSERT_EQ(writer.open(file.string(), W, H, {}), MovieStatus::Ok);
    for (const auto& f : frames)
        ASSERT_EQ(writer.writeFrame(f.view()), MovieStatus::Ok);
    ASSERT_EQ(writer.finish(), MovieStatus::Ok);

    const GifFile gif = parseGif(readBytes(file));
    ASSERT_TRUE(gif.complete);
    ASSERT_EQ(gif.palette.size(), 256u);
    EXPECT_EQ(gif.loops, 0); // forever
    EXPECT_EQ(gif.pictures, N);
    ASSERT_EQ(gif.delays.size(), size_t(N));
    int elapsed = 0;
    for (int k = 0; k < N; ++k) {
        EXPECT_TRUE(gif.delays[size_t(k)] == 6 || gif.delays[size_t(k)] == 7) << gif.delays[size_t(k)];
        elapsed += gif.delays[size_t(k)];
        EXPECT_LE(std::abs(elapsed * 15 - (k + 1) * 100), 15) << "frame " << k << " ends at " << elapsed << " cs";
    }
    EXPECT_EQ(elapsed, 60); // the loop lasts 9 / 15 s exactly

    const std::set<Rgb> colours(gif.palette.begin(), gif.palette.end());
    const auto nearest = [&](const Rgb& c) {
        Rgb best{};
        int bestDistance = 1 << 30;
        for (const Rgb& p : gif.palette) {
            const int d = (p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) + (p[2] - c[2]) * (p[2] - c[2]);
            if (d < bestDistance) {
                bestDistance = d;
                best = p;
            }
        }
        return best;
    };
    const std::string decoded = decode(file);
    ASSERT_EQ(decoded.size(), size_t(3 * W * H * N));
    for (int k : {0, 3, 8}) {
        SCOPED_TRACE(k);
        const std::string want = frames[size_t(k)].topDown();
        const std::string got = decoded.substr(size_t(3 * W * H * k), size_t(3 * W * H));
        // The palette's own error: every pixel replaced by its nearest entry.
        double paletteError = 0, pixelError = 0;
        bool allInPalette = true;
        const auto at = [&](const std::string& s, int32_t x, int32_t y) {
            const size_t i = size_t(3 * (y * W + x));
            return Rgb{uint8_t(s[i + 2]), uint8_t(s[i + 1]), uint8_t(s[i])};
        };
        for (int32_t y = 0; y < H; ++y)
            for (int32_t x = 0; x < W; ++x) {
                const Rgb w = at(want, x, y), g = at(got, x, y), n = nearest(w);
                allInPalette = allInPalette && colours.contains(g);
                for (int c = 0; c < 3; ++c) {
                    paletteError += std::abs(w[c] - n[c]);
                    pixelError += std::abs(w[c] - g[c]);
                }
            }
        paletteError /= 3.0 * W * H;
        pixelError /= 3.0 * W * H;
        // Dithering keeps the local average: 4 x 4 blocks.
        double blockError = 0;
        int blocks = 0;
        for (int32_t by = 0; by + 4 <= H; by += 4)
            for (int32_t bx = 0; bx + 4 <= W; bx += 4, ++blocks)
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int32_t y = by; y < by + 4; ++y)
                        for (int32_t x = bx; x < bx + 4; ++x)
                            sum += at(got, x, y)[c] - at(want, x, y)[c];
                    blockError += std::abs(sum) / 16.0;
                }
        blockError /= 3.0 * blocks;
        // Measured: 3.6 to 3.9, 4.3 to 4.7 and 0.6; 256 colours spread evenly
        // over the two gradients would leave about 4; without dithering the
        // blocks are off by 1.2.
        EXPECT_TRUE(allInPalette);
        EXPECT_LT(paletteError, 4.0);
        EXPECT_LE(pixelError, 1.5 * paletteError);
        EXPECT_LE(blockError, paletteError / 4);
    }
}

// A movie of no more colours than a palette holds comes back exactly: no
// dithering noise, no lost colour.
TEST_F(MovieWriterTest, GifOfFewColoursIsExact)
{
    const int32_t W = 75, H = 53;
    const fs::path file = folder / "few.gif";
    std::vector<Frame> frames;
    for (int k = 0; k < 5; ++k)
        frames.push_back(fewColours(W, H, k, 200));
    MovieWriter writer;
    ASSERT_EQ(writer.open(file.string(), W, H, {}), MovieStatus::Ok);
    for (const auto& f : frames)
        ASSERT_EQ(writer.writeFrame(f.view()), MovieStatus::Ok);
    ASSERT_EQ(writer.finish(), MovieStatus::Ok);
    std::string all;
    for (const auto& f : frames)
        all += f.topDown();
    EXPECT_TRUE(decode(file) == all) << "decoded frames differ";
}

} // namespace
} // namespace knetix
