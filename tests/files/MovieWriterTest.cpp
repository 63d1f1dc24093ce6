#include "files/movie/MovieWriter.h"
#include "tests/common/Capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <random>
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
    const fs::path file = folder / "old.avi";
    { std::ofstream(file) << "an older movie"; }
    {
        MovieWriter writer;
        ASSERT_EQ(writer.open(file.string(), 20, 20, {}), MovieStatus::Ok);
        ASSERT_EQ(writer.writeFrame(Frame(20, 20, 0).view()), MovieStatus::Ok);
        EXPECT_EQ(writer.writeFrame(Frame(21, 20, 0).view()), MovieStatus::Unsupported);
        writer.abandon(); // cancelled
    }
    {
        MovieWriter writer; // dropped unfinished
        ASSERT_EQ(writer.open(file.string(), 20, 20, {}), MovieStatus::Ok);
    }
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an older movie");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    MovieWriter writer;
    EXPECT_EQ(writer.open((folder / "missing/x.avi").string(), 20, 20, {}), MovieStatus::FileError);
    EXPECT_EQ(writer.open((folder / "x.avi").string(), 20, 20, {"no-such-codec"}), MovieStatus::Unsupported);
    EXPECT_FALSE(findMovieCodec("no-such-codec"));
}

} // namespace
} // namespace knetix
