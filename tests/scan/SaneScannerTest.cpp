// Scanning through SANE's virtual test scanners: the device list, the
// settings, colour, grey, line-art, three-pass and hand scans, cancelling from
// another thread, and the statuses of what goes wrong.

#include "container/Dib.h"
#include "files/scan/SaneScanner.h"
#include "tests/scan/SaneTestConfig.h"
#include "tests/scan/ScanAssert.h"
#include "tests/scan/ScanPicture.h"

#include <gtest/gtest.h>

#include <thread>

namespace knetix {
namespace {

// SANE reads its configuration once, when it starts: the private folder must
// be in place before any test runs, and SANE ends with the program.
class SaneEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_config = std::make_unique<test::SaneTestConfig>(); }
    void TearDown() override
    {
        saneShutdown();
        m_config.reset();
    }

private:
    std::unique_ptr<test::SaneTestConfig> m_config;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SaneEnvironment);

using test::Picture;
using test::succeeded;

class SaneScannerTest : public ::testing::Test {
protected:
    SaneScanner m_scanner;

    void SetUp() override
    {
        ASSERT_TRUE(succeeded(m_scanner.open("test:0")));
        set("read-delay", "false");
        set("read-return-value", "Default");
        set("hand-scanner", "false");
        ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Color)));
        set("three-pass", "false");
        ASSERT_TRUE(succeeded(m_scanner.setResolution(25)));
        ASSERT_TRUE(succeeded(m_scanner.setArea({0, 0, 20, 20})));
    }

    void set(const std::string& name, const std::string& value)
    {
        ASSERT_TRUE(succeeded(m_scanner.setOption(name, value))) << name;
    }

    ScanResult scan(std::vector<std::pair<uint64_t, uint64_t>>* progress = nullptr)
    {
        std::atomic<bool> cancel{false};
        return m_scanner.scan(
            [progress](uint64_t done, uint64_t expected) {
                if (progress)
                    progress->emplace_back(done, expected);
            },
            cancel);
    }

    // A scan that must give a picture of the size the device announced.
    Picture scanPicture()
    {
        ScanFrameParameters announced;
        EXPECT_TRUE(succeeded(m_scanner.parameters(announced)));
        ScanResult r = scan();
        EXPECT_EQ(r.outcome, ScanOutcome::Picture) << scanMessage(r.error);
        Picture p(std::move(r.packedDib));
        EXPECT_EQ(p.width, announced.pixelsPerLine);
        if (announced.lines > 0) {
            EXPECT_EQ(p.height, announced.lines);
        }
        return p;
    }
};

TEST(SaneDevices, TheTestBackendsTwoDevicesAreListed)
{
    ScanStatus status{ScanProblem::NotOpen};
    const std::vector<ScanDevice> devices = listScanDevices(&status);
    EXPECT_TRUE(succeeded(status));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "test:0");
    EXPECT_EQ(devices[1].name, "test:1");
    EXPECT_EQ(devices[0].displayText(), devices[0].vendor + " " + devices[0].model + " (test:0)");
    EXPECT_FALSE(devices[0].vendor.empty());

    SaneScanner scanner;
    status = scanner.open("nosuchbackend:7");
    EXPECT_EQ(status.problem, ScanProblem::OpenFailed);
    EXPECT_EQ(status.detail, "nosuchbackend:7");
    EXPECT_NE(status.saneStatus, int(SaneCode::Good));
    EXPECT_FALSE(scanner.isOpen());
    const ScanResult closed = scanner.scan({}, std::atomic<bool>{false});
    EXPECT_EQ(closed.outcome, ScanOutcome::Failed);
    EXPECT_EQ(closed.error.problem, ScanProblem::NotOpen);
    ScanFrameParameters p;
    EXPECT_EQ(scanner.parameters(p).problem, ScanProblem::NotOpen);
}

TEST_F(SaneScannerTest, ModesResolutionAndAreaFollowTheDevice)
{
    // The test device knows only Gray and Color; line art is grey at one bit.
    EXPECT_EQ(m_scanner.modes(), (std::vector<ScanMode>{ScanMode::Color, ScanMode::Gray, ScanMode::Lineart}));
    ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Lineart)));
    EXPECT_EQ(m_scanner.mode(), ScanMode::Lineart);
    EXPECT_EQ(m_scanner.option("mode"), "Gray");
    EXPECT_EQ(m_scanner.option("depth"), "1");
    ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Gray)));
    EXPECT_EQ(m_scanner.mode(), ScanMode::Gray);
    EXPECT_EQ(m_scanner.option("depth"), "8");
    set("depth", "16");
    ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Color)));
    EXPECT_EQ(m_scanner.mode(), ScanMode::Color);
    EXPECT_EQ(m_scanner.option("depth"), "8");

    const ScanResolutions r = m_scanner.resolutions();
    EXPECT_TRUE(r.isRange);
    EXPECT_EQ(r.min, 1);
    EXPECT_EQ(r.max, 1200);
    EXPECT_EQ(m_scanner.resolution(), 25);
    ASSERT_TRUE(succeeded(m_scanner.setResolution(300)));
    EXPECT_EQ(m_scanner.resolution(), 300);

    ASSERT_TRUE(m_scanner.hasArea());
    const ScanArea most = m_scanner.maximumArea();
    EXPECT_EQ(most.left, 0);
    EXPECT_EQ(most.top, 0);
    EXPECT_EQ(most.right, 200);
    EXPECT_EQ(most.bottom, 200);
    ASSERT_TRUE(succeeded(m_scanner.setArea({5, 10, 45, 30})));
    EXPECT_EQ(m_scanner.area().left, 5);
    EXPECT_EQ(m_scanner.area().bottom, 30);
    EXPECT_EQ(m_scanner.setArea({5, 10, 5, 30}).problem, ScanProblem::EmptyArea);
    EXPECT_EQ(m_scanner.area().right, 45); // a refused area changes nothing

    const ScanStatus unknown = m_scanner.setOption("no-such-option", "1");
    EXPECT_EQ(unknown.problem, ScanProblem::NoSuchOption);
    EXPECT_EQ(unknown.detail, "no-such-option");
    const ScanStatus word = m_scanner.setOption("resolution", "viel");
    EXPECT_EQ(word.problem, ScanProblem::NotANumber);
    EXPECT_EQ(word.detail, "viel");
}

TEST_F(SaneScannerTest, ColourGreyAndLineArtScansHaveTheAnnouncedSize)
{
    set("test-picture", "Solid white");
    std::vector<std::pair<uint64_t, uint64_t>> progress;
    ScanFrameParameters announced;
    ASSERT_TRUE(succeeded(m_scanner.parameters(announced)));
    EXPECT_EQ(announced.format, ScanFrameFormat::Rgb);
    const ScanResult colour = scan(&progress);
    ASSERT_EQ(colour.outcome, ScanOutcome::Picture) << scanMessage(colour.error);
    const Picture white(colour.packedDib);
    EXPECT_EQ(white.width, announced.pixelsPerLine);
    EXPECT_EQ(white.height, announced.lines);
    EXPECT_NEAR(white.width, 20, 1); // 20 mm at 25 dpi
    EXPECT_TRUE(white.all(255));
    ASSERT_FALSE(progress.empty());
    const uint64_t total = uint64_t(announced.bytesPerLine) * uint64_t(announced.lines);
    EXPECT_EQ(progress.back(), std::make_pair(total, total));

    ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Gray)));
    set("test-picture", "Solid black");
    EXPECT_TRUE(scanPicture().all(0));

    // The test device sets the bit for black, as line art should.
    ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Lineart)));
    EXPECT_TRUE(scanPicture().all(0));
    set("test-picture", "Solid white");
    EXPECT_TRUE(scanPicture().all(255));

    // Unused pixels at the end of each line are not part of the picture.
    ASSERT_TRUE(succeeded(m_scanner.setMode(ScanMode::Color)));
    set("ppl-loss", "3");
    EXPECT_TRUE(scanPicture().all(255));
    set("ppl-loss", "0");
}

TEST_F(SaneScannerTest, ThreePassScansInAnyOrderEqualTheSinglePassScan)
{
    set("test-picture", "Color pattern");
    const Picture single = scanPicture();
    ASSERT_GT(single.width, 0);
    EXPECT_FALSE(single.all(0));
    set("three-pass", "true");
    for (const char* order : {"RGB", "BGR", "GBR"}) {
        set("three-pass-order", order);
        EXPECT_EQ(scanPicture().dib, single.dib) << order;
    }
}

TEST_F(SaneScannerTest, HandScanOfUnknownHeightKeepsTheLinesThatCame)
{
    set("hand-scanner", "true");
    ScanFrameParameters announced;
    ASSERT_TRUE(succeeded(m_scanner.parameters(announced)));
    ASSERT_EQ(announced.lines, -1);
    std::vector<std::pair<uint64_t, uint64_t>> progress;
    const ScanResult r = scan(&progress);
    ASSERT_EQ(r.outcome, ScanOutcome::Picture) << scanMessage(r.error);
    const Picture p(r.packedDib);
    EXPECT_EQ(p.width, announced.pixelsPerLine);
    EXPECT_GT(p.height, 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().second, 0u); // nothing to measure progress against
}

TEST_F(SaneScannerTest, CancelFromAnotherThreadEndsWithoutAPictureAndFreesTheDevice)
{
    // Slow enough to take many seconds if the cancel were ignored.
    ASSERT_TRUE(succeeded(m_scanner.setResolution(300)));
    ASSERT_TRUE(succeeded(m_scanner.setArea({0, 0, 80, 100})));
    set("read-delay", "true");
    set("read-delay-duration", "100000");

    std::atomic<bool> cancel{false};
    std::atomic<bool> started{false};
    std::thread canceller([&] {
        while (!started)
            std::this_thread::yield();
        cancel = true;
        m_scanner.interrupt();
    });
    const ScanResult r = m_scanner.scan([&](uint64_t, uint64_t) { started = true; }, cancel);
    canceller.join();
    EXPECT_EQ(r.outcome, ScanOutcome::Cancelled);
    EXPECT_TRUE(r.error.ok()); // a cancel is no failure
    EXPECT_TRUE(r.packedDib.empty());

    // Cancelled before it begins: no scan at all.
    EXPECT_EQ(m_scanner.scan({}, std::atomic<bool>{true}).outcome, ScanOutcome::Cancelled);

    set("read-delay", "false");
    ASSERT_TRUE(succeeded(m_scanner.setResolution(25)));
    scanPicture();
}

TEST_F(SaneScannerTest, ADeviceErrorEndsTheScanWithItsStatus)
{
    set("read-return-value", "SANE_STATUS_JAMMED");
    const ScanResult r = scan();
    EXPECT_EQ(r.outcome, ScanOutcome::Failed);
    EXPECT_EQ(r.error.problem, ScanProblem::Device);
    EXPECT_EQ(r.error.saneStatus, int(SaneCode::Jammed));
    EXPECT_TRUE(r.packedDib.empty());
    set("read-return-value", "Default");
    scanPicture(); // the device is free again
}

TEST_F(SaneScannerTest, AnotherDeviceCanBeOpenedBesideAndAfter)
{
    SaneScanner second;
    ASSERT_TRUE(succeeded(second.open("test:1")));
    EXPECT_EQ(second.deviceName(), "test:1");
    ASSERT_TRUE(succeeded(second.setResolution(25)));
    ASSERT_TRUE(succeeded(second.setArea({0, 0, 10, 10})));
    EXPECT_EQ(second.scan({}, std::atomic<bool>{false}).outcome, ScanOutcome::Picture);
    scanPicture();
    second.close();
    EXPECT_FALSE(second.isOpen());
    ASSERT_TRUE(succeeded(second.open("test:1")));
}

} // namespace
} // namespace knetix
