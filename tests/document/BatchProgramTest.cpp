// The program itself in batch mode: what a calling script sees of it, its
// exit status and its two output streams.

#include "DocumentFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace knetix {
namespace {

using test::TempFolder;

struct Finished {
    int status = -1; // the exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

struct BatchProgramTest : ::testing::Test {
    TempFolder folder{test::currentTestName()};

    std::string script(const std::string& name, const std::string& text)
    {
        const std::string path = folder / name;
        test::writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
        return path;
    }

    Finished run(const std::string& scriptPath)
    {
        const std::string out = folder / "stdout.txt", err = folder / "stderr.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char* argv[] = {KNETIX_PROGRAM, "--batch", scriptPath.c_str(), nullptr};
        pid_t child = -1;
        const int spawned =
            ::posix_spawn(&child, KNETIX_PROGRAM, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        Finished result;
        EXPECT_EQ(spawned, 0);
        if (spawned != 0)
            return result;
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        const auto text = [](const std::string& path) {
            const std::vector<uint8_t> bytes = test::readBytes(path);
            return std::string(bytes.begin(), bytes.end());
        };
        result.out = text(out);
        result.err = text(err);
        return result;
    }
};

TEST_F(BatchProgramTest, SuccessIsSilentWithStatusZero)
{
    const std::string picture = test::writeGridPicture(folder, "grid.bmp", 160, 120);
    ASSERT_FALSE(picture.empty());
    const std::string project = folder / "werk.knx";
    const Finished r = run(script("gut.knxs", "# a stroke, then the project\nopen " + picture +
                                            "\ntool move medium\npress 100 100\nmove 120 110\nrelease\n"
                                            "save-project " + project + "\n"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::filesystem::exists(project));
}

TEST_F(BatchProgramTest, AFailingLineIsOneLineOnStandardErrorAndStatusOne)
{
    const std::string picture = test::writeGridPicture(folder, "grid.bmp", 160, 120);
    ASSERT_FALSE(picture.empty());
    const std::string never = folder / "nie.knx";
    const std::string bad = script("schlecht.knxs", "open " + picture + "\n\npower 80\nsave-project " + never + "\n");
    Finished r = run(bad);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "knetix: " + bad + ", Zeile 3: Die Zahl 80 liegt nicht zwischen 0 und 64.\n");
    EXPECT_FALSE(std::filesystem::exists(never));

    // A file the script names that is not there: the document's own message.
    const std::string missing = folder / "fehlt.bmp";
    const std::string open = script("fehlt.knxs", "open " + missing + "\n");
    r = run(open);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "knetix: " + open + ", Zeile 1: " + missing + " wurde nicht gefunden.\n");

    const std::string none = folder / "kein-skript.knxs";
    r = run(none);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "knetix: Das Skript " + none + " kann nicht geöffnet werden.\n");
}

} // namespace
} // namespace knetix
