#include "AppFixtures.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace knetix {
namespace {

using namespace std::chrono_literals;
using test::TempFolder;

// The program saves in a child process (batch mode) and is killed at random
// moments: the file saved before must come through whole every time, and the
// next complete save leaves no temporary file behind.
struct KillDuringSaveTest : ::testing::Test {
    TempFolder folder{test::currentTestName()};
    std::string picture;
    std::string setup;

    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        // The kill moments are timed for the plain program; a sanitized one
        // is too slow for them to land inside its saves.
        GTEST_SKIP() << "runs in the plain build";
#endif
        picture = test::writeGridPicture(folder, "big.bmp", 1200, 900);
        ASSERT_FALSE(picture.empty());
        setup = "canvas 1000 1000\nopen " + picture +
                "\ntool whirl medium\npress 500 500\ntick 3\nrelease\nkey activate 2\n";
    }

    size_t temporaries() const
    {
        size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            n += entry.path().extension() == ".tmp";
        return n;
    }

    pid_t start(const std::string& script)
    {
        const std::string path = folder / "script.knxs";
        std::ofstream(path) << script;
        const char* argv[] = {KNETIX_PROGRAM, "--batch", path.c_str(), nullptr};
        pid_t child = -1;
        EXPECT_EQ(::posix_spawn(&child, KNETIX_PROGRAM, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        return child;
    }

    int finish(pid_t child)
    {
        int status = 0;
        ::waitpid(child, &status, 0);
        return status;
    }

    void killRepeatedly(const std::string& saveLine, const std::string& target, int rounds)
    {
        ASSERT_EQ(finish(start(setup + saveLine + "\n")), 0);
        const auto original = test::readBytes(target);
        ASSERT_FALSE(original.empty());
        std::string loop = setup;
        for (int i = 0; i < 200; ++i)
            loop += saveLine + "\n";

        std::mt19937 rng(11);
        int killedMidway = 0;
        for (int round = 0; round < rounds; ++round) {
            const pid_t child = start(loop);
            ASSERT_GT(child, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20 + rng() % 300));
            ::kill(child, SIGKILL);
            finish(child);
            ASSERT_EQ(test::readBytes(target), original) << "round " << round;
            killedMidway += temporaries() > 0;
        }
        EXPECT_GT(killedMidway, 0); // some kills did land inside a save
        ASSERT_EQ(finish(start(setup + saveLine + "\n")), 0);
        EXPECT_EQ(temporaries(), 0u);
        EXPECT_EQ(test::readBytes(target), original);
    }
};

TEST_F(KillDuringSaveTest, Project)
{
    killRepeatedly("save-project " + (folder / "work.knx"), folder / "work.knx", 100);
}

TEST_F(KillDuringSaveTest, Picture)
{
    killRepeatedly("save-picture " + (folder / "out.bmp") + " own", folder / "out.bmp", 40);
}

TEST_F(KillDuringSaveTest, Movie)
{
    killRepeatedly("save-movie " + (folder / "out.avi") + " raw 64", folder / "out.avi", 40);
}

} // namespace
} // namespace knetix
