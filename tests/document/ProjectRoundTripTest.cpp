#include "DocumentFixtures.h"

#include "document/Batch.h"
#include "resources/Messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

namespace knetix {
namespace {

using test::readBytes;
using test::TempFolder;

// Random work over the whole script language, saved every few commands: each
// saved project must open again, and saving what was opened must give the same
// bytes. Only the tool is made anew on opening (a fresh tool of the stored
// kind and size), so its record is compared from the second save on.
class RandomWork {
public:
    RandomWork(uint32_t seed, const TempFolder& folder, const std::vector<std::string>& pictures)
        : m_rng(seed), m_folder(folder), m_pictures(pictures), m_seed(seed)
    {
    }

    void run(int commands)
    {
        const int sides[][2] = {{40, 40}, {64, 48}, {48, 90}, {100, 70}};
        const auto& side = sides[pick(4)];
        m_canvasWidth = side[0];
        m_canvasHeight = side[1];
        exec("canvas " + std::to_string(m_canvasWidth) + " " + std::to_string(m_canvasHeight));
        do
            openPicture();
        while (!doc().picture().hasPicture());
        int untilSave = 1 + pick(6);
        for (int i = 0; i < commands && !::testing::Test::HasFatalFailure(); ++i) {
            step();
            if (--untilSave == 0) {
                saveAndReopen();
                untilSave = 1 + pick(8);
            }
        }
        saveAndReopen();
    }

private:
    int pick(size_t n) { return int(m_rng() % n); }
    int between(int low, int high) { return low + pick(size_t(high - low + 1)); }
    Document& doc() { return *m_runner.document(); }

    void exec(const std::string& line, bool mayBeRefused = false)
    {
        if (::testing::Test::HasFatalFailure())
            return;
        m_script += line + "\n";
        std::istringstream in(line);
        const auto failure = m_runner.run(in);
        ASSERT_TRUE(!failure || mayBeRefused) << "seed " << m_seed << ": " << batchMessage(*failure) << "\n" << m_script;
    }

    // The flat picture is too low for the smaller canvases: refused, and the
    // work stays.
    void openPicture() { exec("open " + m_pictures[size_t(pick(m_pictures.size()))], true); }

    std::string point(int margin)
    {
        return std::to_string(between(-margin, m_canvasWidth + margin)) + " " +
               std::to_string(between(-margin, m_canvasHeight + margin));
    }

    void stroke()
    {
        exec("press " + point(10));
        for (int k = between(0, 6); k > 0; --k)
            exec(pick(3) == 0 ? "tick " + std::to_string(between(1, 5)) : "move " + point(20));
        exec("release");
    }

    void keyCommand()
    {
        const KeyList& keys = doc().keys();
        const int32_t r = between(0, keys.count());
        std::vector<KeyCommand> offered;
        for (KeyCommand c : kKeyMenuOrder)
            if (keys.offers(c, r))
                offered.push_back(c);
        if (offered.empty())
            return;
        exec(std::string("key ") + keyCommandName(offered[size_t(pick(offered.size()))]) + " " + std::to_string(r));
    }

    void step()
    {
        static const char* const tools[] = {"zoomin", "zoomout", "zoom", "move", "smooth", "whirl", "undo"};
        static const char* const sizes[] = {"small", "medium", "large"};
        const int64_t frames = doc().movieFrames(64);
        switch (pick(20)) {
        case 0:
        case 1:
            exec(std::string("tool ") + tools[pick(7)] + " " + sizes[pick(3)]);
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            stroke();
            break;
        case 6:
            exec("power " + std::to_string(pick(3) == 0 ? 64 * pick(2) : between(0, 64)));
            break;
        case 7:
            exec("deformation " + std::to_string(pick(3) == 0 ? 64 * pick(2) : between(0, 64)));
            break;
        case 8:
            exec("speed " + std::to_string(between(0, 64)));
            break;
        case 9:
        case 10:
        case 11:
        case 12:
            keyCommand();
            break;
        case 13:
        case 14:
            exec(pick(3) == 0 ? "scroll back" : "scroll forward");
            break;
        case 15:
            openPicture();
            break;
        case 16:
            // Slow speeds on many keys make long movies; keep them short.
            if (frames > 0 && frames <= 60)
                exec("save-movie " + m_folder / "movie.avi" + " raw " + std::to_string(between(16, 64)) +
                     (pick(2) ? " own" : " screen"));
            break;
        case 17:
            exec("save-picture " + m_folder / "shown.bmp" + (pick(2) ? " own" : " screen"));
            break;
        case 18:
            if (m_roundTrips > 0)
                exec("open-project " + m_folder / "work.knx");
            break;
        default:
            saveAndReopen();
        }
    }

    // Bytes of a project's tool: its reference with the class name, its
    // record, and the tool bitmap id after it.
    static size_t toolBytes(const Document& d)
    {
        return d.tool() ? 2 + 2 + 2 + std::strlen(d.tool()->className()) + 52 + 4 : 2 + 4;
    }

    void saveAndReopen()
    {
        const std::string first = m_folder / "work.knx";
        exec("save-project " + first);
        const auto saved = readBytes(first);

        Document reader(m_canvasWidth, m_canvasHeight);
        const Outcome opened = reader.openProject(first);
        ASSERT_TRUE(opened) << "seed " << m_seed << ": " << messageText(opened) << "\n" << m_script;
        const std::string second = m_folder / "again.knx";
        ASSERT_TRUE(reader.saveProject(second));
        const auto again = readBytes(second);
        const size_t tool = toolBytes(doc());
        ASSERT_EQ(again.size() - toolBytes(reader), saved.size() - tool) << "seed " << m_seed << "\n" << m_script;
        ASSERT_TRUE(std::equal(saved.begin(), saved.end() - long(tool), again.begin()))
            << "seed " << m_seed << "\n" << m_script;

        Document third(m_canvasWidth, m_canvasHeight);
        ASSERT_TRUE(third.openProject(second));
        ASSERT_TRUE(third.saveProject(m_folder / "third.knx"));
        ASSERT_EQ(readBytes(m_folder / "third.knx"), again) << "seed " << m_seed << "\n" << m_script;
        ++m_roundTrips;
    }

public:
    int roundTrips() const { return m_roundTrips; }

private:
    std::mt19937 m_rng;
    const TempFolder& m_folder;
    const std::vector<std::string>& m_pictures;
    uint32_t m_seed;
    BatchRunner m_runner;
    std::string m_script;
    int m_canvasWidth = 0;
    int m_canvasHeight = 0;
    int m_roundTrips = 0;
};

TEST(ProjectRoundTrip, EverySavedProjectOpensAndSavesTheSameBytes)
{
    TempFolder folder{test::currentTestName(), TempFolder::memoryBase()};
    // Wide, tall, square, and one so flat that Small gives a radius-0 tool.
    std::vector<std::string> pictures;
    for (auto [w, h] : {std::pair{80, 60}, {30, 90}, {50, 50}, {300, 20}}) {
        pictures.push_back(test::writeGridPicture(folder, "p" + std::to_string(w) + "x" + std::to_string(h) + ".bmp", w, h));
        ASSERT_FALSE(pictures.back().empty());
    }
    int roundTrips = 0;
    for (uint32_t seed = 1; seed <= 40 && !::testing::Test::HasFatalFailure(); ++seed) {
        RandomWork work(seed, folder, pictures);
        work.run(80);
        roundTrips += work.roundTrips();
    }
    EXPECT_GT(roundTrips, 400);
}

} // namespace
} // namespace knetix
