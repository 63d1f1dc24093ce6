#include "DocumentFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <set>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace knetix {
namespace {

using namespace std::chrono_literals;
using test::TempFolder;
using Clock = std::chrono::steady_clock;

bool isTemporary(const std::string& name)
{
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// Temporary files appearing in a folder and renamed away, as they happen.
class TemporaryWatch {
public:
    enum class Change { Created, Renamed };
    struct Event {
        Change change;
        std::string name;
        Clock::time_point seen;
    };

    explicit TemporaryWatch(const std::filesystem::path& folder)
        : m_fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        if (m_fd >= 0 && ::inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_FROM) < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~TemporaryWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TemporaryWatch(const TemporaryWatch&) = delete;
    TemporaryWatch& operator=(const TemporaryWatch&) = delete;

    bool ok() const { return m_fd >= 0; }

    // The next change to a temporary file; none after a generous 30 s.
    std::optional<Event> next()
    {
        const auto until = Clock::now() + 30s;
        while (m_pending.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left <= 0ms)
                return std::nullopt;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) > 0)
                readEvents();
        }
        Event e = m_pending.front();
        m_pending.pop_front();
        return e;
    }

    // The next temporary file created.
    std::optional<Event> nextCreated()
    {
        for (;;) {
            std::optional<Event> e = next();
            if (!e || e->change == Change::Created)
                return e;
        }
    }

private:
    void readEvents()
    {
        alignas(inotify_event) char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        const auto now = Clock::now();
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            const std::string name = e->len ? e->name : "";
            if (isTemporary(name))
                m_pending.push_back({e->mask & IN_CREATE ? Change::Created : Change::Renamed, name, now});
        }
    }

    int m_fd;
    std::deque<Event> m_pending;
};

// The program saves in a child process (batch mode) and is killed at random
// moments inside its saves: the file saved before must come through whole
// every time, and the next complete save leaves no temporary file behind.
struct KillDuringSaveTest : ::testing::Test {
    TempFolder folder{test::currentTestName()};
    std::string picture;
    std::string setup;

    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        // Every round starts the program afresh, which a sanitized build makes
        // slow; the save paths themselves run sanitized in the file tests.
        GTEST_SKIP() << "runs in the plain build";
#endif
        picture = test::writeGridPicture(folder, "big.bmp", 1200, 900);
        ASSERT_FALSE(picture.empty());
        setup = "canvas 1000 1000\nopen " + picture +
                "\ntool whirl medium\npress 500 500\ntick 3\nrelease\nkey activate 2\n";
    }

    std::set<std::string> temporaries() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (isTemporary(entry.path().filename().string()))
                names.insert(entry.path().filename().string());
        return names;
    }

    // A running batch child; killed and reaped however the test ends.
    struct Child {
        pid_t pid = -1;
        ~Child() { stop(SIGKILL); }
        int stop(int signal)
        {
            if (pid <= 0)
                return -1;
            if (signal)
                ::kill(pid, signal);
            int status = 0;
            ::waitpid(pid, &status, 0);
            pid = -1;
            return status;
        }
    };

    void start(Child& child, const std::string& script)
    {
        const std::string path = folder / "script.knxs";
        std::ofstream(path) << script;
        const char* argv[] = {KNETIX_PROGRAM, "--batch", path.c_str(), nullptr};
        ASSERT_EQ(::posix_spawn(&child.pid, KNETIX_PROGRAM, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    }

    int run(const std::string& script)
    {
        Child child;
        start(child, script);
        return child.stop(0);
    }

    // How long a temporary file lives in a save on this machine now: from its
    // creation to its rename, the middle of several saves.
    Clock::duration temporaryLifetime(const std::string& loop)
    {
        TemporaryWatch watch(folder.path());
        if (!watch.ok()) {
            ADD_FAILURE() << "cannot watch " << folder.path();
            return {};
        }
        Child child;
        start(child, loop);
        std::vector<Clock::duration> lifetimes;
        std::map<std::string, Clock::time_point> created;
        while (lifetimes.size() < 7) {
            const std::optional<TemporaryWatch::Event> e = watch.next();
            if (!e) {
                ADD_FAILURE() << "no save finished within 30 s";
                return {};
            }
            if (e->change == TemporaryWatch::Change::Created)
                created[e->name] = e->seen;
            else if (created.count(e->name))
                lifetimes.push_back(e->seen - created[e->name]);
        }
        std::nth_element(lifetimes.begin(), lifetimes.begin() + 3, lifetimes.end());
        return lifetimes[3];
    }

    void killRepeatedly(const std::string& saveLine, const std::string& target, int rounds)
    {
        ASSERT_EQ(run(setup + saveLine + "\n"), 0);
        const auto original = test::readBytes(target);
        ASSERT_FALSE(original.empty());
        std::string loop = setup;
        for (int i = 0; i < 200; ++i)
            loop += saveLine + "\n";

        const Clock::duration lifetime = temporaryLifetime(loop);
        ASSERT_FALSE(HasFailure());
        std::mt19937 rng(11);
        int killedMidway = 0;
        for (int round = 0; round < rounds; ++round) {
            const std::set<std::string> before = temporaries();
            TemporaryWatch watch(folder.path());
            ASSERT_TRUE(watch.ok());
            Child child;
            start(child, loop);
            // Once a save has begun, at a random moment of its temporary's life.
            ASSERT_TRUE(watch.nextCreated()) << "round " << round << ": no save began within 30 s";
            std::this_thread::sleep_for(lifetime * std::uniform_real_distribution<double>(0, 1)(rng));
            child.stop(SIGKILL);
            ASSERT_EQ(test::readBytes(target), original) << "round " << round;
            const std::set<std::string> after = temporaries();
            killedMidway += std::any_of(after.begin(), after.end(), [&](const std::string& t) { return !before.count(t); });
        }
        EXPECT_GT(killedMidway, 0); // some kills did land inside a save
        ASSERT_EQ(run(setup + saveLine + "\n"), 0);
        EXPECT_TRUE(temporaries().empty());
        EXPECT_EQ(test::readBytes(target), original);
    }
};

TEST_F(KillDuringSaveTest, Project)
{
    killRepeatedly("save-project " + (folder / "work.knx"), folder / "work.knx", 40);
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
