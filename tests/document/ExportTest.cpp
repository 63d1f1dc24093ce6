#include "DocumentFixtures.h"
#include "tests/common/Capture.h"

#include "document/Batch.h"
#include "engine/Blend.h"
#include "resources/Messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <sstream>

namespace knetix {
namespace {

using test::capture;

using test::TempFolder;

// Top-down rows without padding, as ffmpeg's rawvideo output has them.
std::string topDown(const Bitmap24View& v)
{
    std::string out;
    for (int32_t y = 0; y < v.height; ++y)
        out.append(reinterpret_cast<const char*>(v.storedRow(v.height - 1 - y)), size_t(3 * v.width));
    return out;
}

Bitmap24View viewOf(const std::vector<uint8_t>& block)
{
    Bitmap24View v;
    EXPECT_TRUE(parsePackedDib24(block.data(), block.size(), v));
    return v;
}

struct ExportTest : ::testing::Test {
    TempFolder folder{test::currentTestName()};
    std::string picture;
    Document doc{120, 120};

    void SetUp() override
    {
        picture = test::writeGridPicture(folder, "grid.bmp", 150, 100); // working picture 120 x 80
        ASSERT_FALSE(picture.empty());
        ASSERT_TRUE(doc.openPicture(picture));
        doc.selectTool(ToolKind::Whirl);
        doc.press(60, 60);
        for (int i = 0; i < 6; ++i)
            doc.tick();
        doc.release();
    }
};

TEST_F(ExportTest, TwoKeysAtFullSpeedGiveNineFramesOfTheBlends)
{
    doc.picture().fullRender(64, RenderMode::Smooth);
    const auto shown = doc.picture().pictureBlock();
    const std::string movie = folder / "two.avi";
    std::vector<std::string> written;
    MovieExportCallbacks callbacks;
    callbacks.frameWritten = [&](int32_t, const Bitmap24View& v) { written.push_back(topDown(v)); };
    ASSERT_TRUE(doc.exportMovie(movie, MovieSettings{"raw"}, 64, OutputSize::Screen, callbacks));
    EXPECT_EQ(doc.picture().pictureBlock(), shown); // the canvas shows the active key again
    EXPECT_EQ(doc.picture().field(), doc.keys().activeCells());
    ASSERT_EQ(written.size(), 9u);

    const std::string info = capture("ffprobe -v error -count_frames -show_entries "
                                     "stream=codec_name,width,height,r_frame_rate,nb_read_frames,duration "
                                     "-of default=noprint_wrappers=1 '" + movie + "'");
    EXPECT_EQ(info, "codec_name=rawvideo\nwidth=120\nheight=80\nr_frame_rate=15/1\nduration=0.600000\nnb_read_frames=9\n");

    // Frame k is the render of blend k: key 0, three blends, key 1, three blends, key 0.
    const int32_t phases[] = {0, 16, 32, 48, 64, 16, 32, 48, 64};
    const int32_t count = doc.keys().cellCount();
    std::vector<OffsetCell> blend(static_cast<size_t>(count));
    std::string expected;
    for (int k = 0; k < 9; ++k) {
        const CMMask& from = doc.keys().key(k < 5 ? 0 : 1);
        const CMMask& to = doc.keys().key(k < 5 ? 1 : 0);
        blendFields(from.cells(), to.cells(), blend.data(), count, phases[k]);
        doc.picture().setField(blend.data(), count);
        doc.picture().fullRender(64, RenderMode::Smooth);
        expected += topDown(viewOf(doc.picture().pictureBlock()));
    }
    const std::string decoded = capture("ffmpeg -v error -i '" + movie + "' -f rawvideo -pix_fmt bgr24 -");
    EXPECT_TRUE(decoded == expected) << "decoded frames differ from the blends";
    std::string all;
    for (const auto& w : written)
        all += w;
    EXPECT_TRUE(all == expected);
    EXPECT_NE(written[0], written[4]); // the whirl shows
}

TEST_F(ExportTest, OwnSizeMoviesHaveThePicturesSizeInEveryCodec)
{
    for (const auto& codec : availableMovieCodecs()) {
        SCOPED_TRACE(codec.id);
        const std::string movie = folder / ("own-" + codec.id + ".avi");
        ASSERT_TRUE(doc.exportMovie(movie, MovieSettings{codec.id}, 32, OutputSize::Own));
        const std::string info = capture("ffprobe -v error -count_frames -show_entries "
                                         "stream=width,height,nb_read_frames -of csv=p=0 '" + movie + "'");
        EXPECT_EQ(info, "150,100,17\n"); // speed 32: step 8, eight blends a pair, back to key 0
    }
}

TEST_F(ExportTest, CancellingOrFailingLeavesNoMovieAndKeepsAnOldOne)
{
    const std::string movie = folder / "old.avi";
    test::writeBytes(movie, {'o', 'l', 'd'});
    int frames = 0;
    MovieExportCallbacks callbacks;
    callbacks.cancelled = [&] { return ++frames == 3; };
    const Outcome cancelled = doc.exportMovie(movie, MovieSettings{"mjpeg"}, 64, OutputSize::Screen, callbacks);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(cancelled.status.problem, DocumentProblem::Cancelled);
    EXPECT_EQ(messageText(cancelled), ""); // no message box for a cancel
    EXPECT_EQ(test::readBytes(movie), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2); // grid.bmp, old.avi

    const Outcome failed = doc.exportMovie(folder / "grid.bmp/x.avi", MovieSettings{"raw"}, 64, OutputSize::Screen);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.status.problem, DocumentProblem::CannotSave);
    EXPECT_EQ(messageText(failed), "Datei kann nicht gespeichert werden.");

    // A folder that cannot be written to (root writes anyway).
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        const Outcome denied = doc.exportMovie(movie, MovieSettings{"raw"}, 64, OutputSize::Screen);
        std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all);
        EXPECT_EQ(denied.status.problem, DocumentProblem::CannotSave);
        EXPECT_EQ(test::readBytes(movie), (std::vector<uint8_t>{'o', 'l', 'd'}));
    }

    Document empty;
    EXPECT_EQ(empty.exportMovie(movie, {}, 64, OutputSize::Screen).status.problem, DocumentProblem::NoPicture);
}

// The same animation as AVI, MP4, WebM and GIF, chosen by the extension in
// any case: every kind has the AVI's frames at either size, and a cancelled
// export of any kind leaves only the older file.
TEST_F(ExportTest, EveryKindOfMovieHasTheFramesOfTheAvi)
{
    const auto probe = [](const std::string& movie) {
        return capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                       "stream=codec_name,width,height,nb_read_frames -of csv=p=0 '" + movie + "'");
    };
    for (OutputSize size : {OutputSize::Screen, OutputSize::Own}) {
        const bool own = size == OutputSize::Own;
        SCOPED_TRACE(own ? "own" : "screen");
        const std::string avi = folder / (own ? "own.avi" : "screen.avi");
        ASSERT_TRUE(doc.exportMovie(avi, MovieSettings{"raw"}, 32, size));
        const std::string frames = own ? "150,100,17\n" : "120,80,17\n";
        ASSERT_EQ(probe(avi), "rawvideo," + frames);
        for (const auto& [extension, codec] : {std::pair{".MP4", "h264"}, std::pair{".webm", "vp9"},
                                               std::pair{".Gif", "gif"}}) {
            const std::string movie = folder / ((own ? "own" : "screen") + std::string(extension));
            ASSERT_TRUE(doc.exportMovie(movie, MovieSettings{"mjpeg"}, 32, size)) << extension;
            EXPECT_EQ(probe(movie), codec + std::string(",") + frames) << extension;
        }
    }

    for (const char* name : {"old.mp4", "old.webm", "old.gif"}) {
        const std::string movie = folder / name;
        test::writeBytes(movie, {'o', 'l', 'd'});
        const auto before = std::distance(std::filesystem::directory_iterator(folder.path()), {});
        int frames = 0;
        MovieExportCallbacks callbacks;
        callbacks.cancelled = [&] { return ++frames == 3; };
        const Outcome cancelled = doc.exportMovie(movie, {}, 64, OutputSize::Own, callbacks);
        EXPECT_EQ(cancelled.status.problem, DocumentProblem::Cancelled) << name;
        EXPECT_EQ(test::readBytes(movie), (std::vector<uint8_t>{'o', 'l', 'd'})) << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), before) << name;
    }
}

TEST_F(ExportTest, PicturesAtScreenAndOwnSize)
{
    Document identity{120, 120};
    ASSERT_TRUE(identity.openPicture(picture));
    ASSERT_TRUE(identity.savePicture(folder / "own.bmp", OutputSize::Own));
    EXPECT_EQ(test::readBytes(folder / "own.bmp"), test::readBytes(picture)); // identity field: the picture itself

    for (const char* ext : {"bmp", "jpg", "pcx", "tif", "tga"}) {
        for (OutputSize size : {OutputSize::Screen, OutputSize::Own}) {
            const std::string out = folder / (std::string("out-") + (size == OutputSize::Own ? "own." : "screen.") + ext);
            ASSERT_TRUE(doc.savePicture(out, size)) << out;
            EXPECT_EQ(capture("gm identify -format '%w x %h' '" + out + "'"),
                      size == OutputSize::Own ? "150 x 100\n" : "120 x 80\n")
                << out;
        }
    }

    std::filesystem::rename(picture, folder / "moved.bmp");
    const Outcome moved = doc.savePicture(folder / "x.bmp", OutputSize::Own);
    EXPECT_EQ(moved.status,
              (DocumentStatus{.problem = DocumentProblem::FileNotFound, .path = doc.picture().picturePath()}));
    EXPECT_FALSE(std::filesystem::exists(folder / "x.bmp"));
    EXPECT_EQ(doc.exportMovie(folder / "x.avi", {}, 64, OutputSize::Own).status.problem, DocumentProblem::FileNotFound);
    EXPECT_TRUE(doc.savePicture(folder / "x.bmp", OutputSize::Screen));
    EXPECT_EQ(doc.savePicture(folder / "missing/x.bmp").status.problem, DocumentProblem::CannotSave);
}

TEST_F(ExportTest, BatchSavesPicturesAndMovies)
{
    std::string script = "canvas 120 120\nopen " + picture +
                         "\ntool zoomin medium\npress 60 60\ntick 5\nrelease\nkey activate 2\n"
                         "tool move large\npress 40 40\nmove 50 45\nrelease\nspeed 16\n"
                         "save-picture " + (folder / "b screen.bmp") + "\n"
                         "save-picture " + (folder / "b-own.tif") + " own\n"
                         "save-movie " + (folder / "b.avi") + "\n"
                         "save-movie " + (folder / "b-ffv1.avi") + " ffv1 64 own\n"
                         "save-movie " + (folder / "b film.mp4") + " 64 own\n"
                         "save-movie " + (folder / "b.GIF") + "\n";
    for (const auto& codec : availableMovieCodecs())
        script += "save-movie " + (folder / ("all-" + codec.id + ".avi")) + " " + codec.id + " 64\n";
    BatchRunner runner;
    std::istringstream in(script);
    const auto failure = runner.run(in);
    ASSERT_FALSE(failure) << failure->line << ": " << batchMessage(*failure);
    EXPECT_EQ(capture("gm identify -format '%w x %h' '" + (folder / "b screen.bmp") + "'"), "120 x 80\n");
    EXPECT_EQ(capture("gm identify -format '%w x %h' '" + (folder / "b-own.tif") + "'"), "150 x 100\n");
    // Speed 16 (step 4) from the slider: 16 frames a pair, three keys, back to key 0.
    EXPECT_EQ(capture("ffprobe -v error -count_frames -show_entries stream=codec_name,width,nb_read_frames "
                      "-of csv=p=0 '" + (folder / "b.avi") + "'"),
              "rawvideo,120,49\n");
    EXPECT_EQ(capture("ffprobe -v error -count_frames -show_entries stream=codec_name,width,nb_read_frames "
                      "-of csv=p=0 '" + (folder / "b-ffv1.avi") + "'"),
              "ffv1,150,13\n");
    EXPECT_EQ(capture("ffprobe -v error -count_frames -show_entries stream=codec_name,width,nb_read_frames "
                      "-of csv=p=0 '" + (folder / "b film.mp4") + "'"),
              "h264,150,13\n");
    EXPECT_EQ(capture("ffprobe -v error -count_frames -show_entries stream=codec_name,width,nb_read_frames "
                      "-of csv=p=0 '" + (folder / "b.GIF") + "'"),
              "gif,120,49\n");

    for (const auto& codec : availableMovieCodecs())
        EXPECT_EQ(capture("ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames "
                          "-of csv=p=0 '" + (folder / ("all-" + codec.id + ".avi")) + "'"),
                  "120,80,13\n")
            << codec.id;

    BatchRunner bad;
    std::istringstream badScript("open " + picture + "\nsave-movie " + (folder / "c.avi") + " raw 65\n");
    const auto badFailure = bad.run(badScript);
    ASSERT_TRUE(badFailure);
    EXPECT_EQ(badFailure->problem, BatchProblem::NumberOutOfRange);
    EXPECT_EQ(batchMessage(*badFailure), "Die Zahl 65 liegt nicht zwischen 0 und 64.");

    // Only AVI movies take a compressor; the others have theirs.
    BatchRunner chosen;
    std::istringstream chosenScript("open " + picture + "\nsave-movie " + (folder / "c.webm") + " mjpeg 64\n");
    const auto chosenFailure = chosen.run(chosenScript);
    ASSERT_TRUE(chosenFailure);
    EXPECT_EQ(chosenFailure->problem, BatchProblem::CodecNotChoosable);
    EXPECT_FALSE(std::filesystem::exists(folder / "c.webm"));
}

TEST_F(ExportTest, BatchOpensTodaysPicturesAndSavesPngAndWebP)
{
    const std::string alpha = folder / "alpha.png", deep = folder / "deep.png";
    ASSERT_EQ(std::system(("gm convert -size 150x100 xc:none -fill red -draw 'circle 75,50 75,20' '" + alpha + "'")
                              .c_str()),
              0);
    ASSERT_EQ(std::system(("gm convert -size 90x160 gradient:red-blue -depth 16 '" + deep + "'").c_str()), 0);
    const std::string script = "canvas 120 120\nopen " + alpha + "\ntool zoomin medium\npress 60 40\ntick 3\nrelease\n"
                               "save-picture " + (folder / "own.png") + " own\n"
                               "save-picture " + (folder / "own.webp") + " own\n"
                               "save-picture " + (folder / "screen.PNG") + "\n"
                               "open " + deep + "\nsave-picture " + (folder / "deep-own.webp") + " own\n";
    BatchRunner runner;
    std::istringstream in(script);
    const auto failure = runner.run(in);
    ASSERT_FALSE(failure) << failure->line << ": " << batchMessage(*failure);
    EXPECT_EQ(capture("gm identify -format '%m %w x %h' '" + (folder / "own.png") + "'"), "PNG 150 x 100\n");
    EXPECT_EQ(capture("gm identify -format '%m %w x %h' '" + (folder / "own.webp") + "'"), "WEBP 150 x 100\n");
    EXPECT_EQ(capture("gm identify -format '%m %w x %h' '" + (folder / "screen.PNG") + "'"), "PNG 120 x 80\n");
    EXPECT_EQ(capture("gm identify -format '%m %w x %h' '" + (folder / "deep-own.webp") + "'"), "WEBP 90 x 160\n");
    // The transparent corner arrives white, as the picture would look on paper.
    EXPECT_EQ(capture("gm convert '" + (folder / "own.png") + "' -crop 1x1+0+0 -depth 8 txt:- | grep -o '#[0-9A-F]*'"),
              "#FFFFFF\n");
}

} // namespace
} // namespace knetix
