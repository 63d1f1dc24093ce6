#pragma once
// Scanners through SANE: the list of devices, one open device with the few
// settings the program offers (mode, resolution, scan area) and the scan
// itself, which returns the picture as a packed 24-bit DIB.
//
// Threads: SANE is started, devices are listed, opened, set up and closed on
// one thread (the user-interface thread). scan() may run on a worker thread
// while nothing else touches that scanner, except interrupt(), which any
// thread may call while the scanner is open.

#include "files/scan/ScanFrames.h"
#include "files/scan/ScanStatus.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace knetix {

// The scanning interface's name and version, e.g. "SANE 1.0".
std::string scanLibraryName();

struct ScanDevice {
    std::string name; // what open() takes, e.g. "test:0"
    std::string vendor;
    std::string model;
    std::string type;
    // "Vendor Model (name)"
    std::string displayText() const;
};

// SANE is started once, on first use, and stays up until saneShutdown(),
// which closes every device still open. Safe to call repeatedly. Not while a
// scan runs.
ScanStatus saneStartup();
void saneShutdown();
bool saneStarted();

// The scanners SANE finds, starting SANE when needed. Empty, with the reason
// in `status` if given, when SANE cannot be started or asked.
std::vector<ScanDevice> listScanDevices(ScanStatus* status = nullptr);

// The resolutions a device takes, in dots per inch: a range with a step, or a
// list of values in ascending order. Neither when the device has no setting.
struct ScanResolutions {
    bool isRange = false;
    int32_t min = 0;
    int32_t max = 0;
    int32_t step = 1;
    std::vector<int32_t> values;
    bool empty() const { return isRange ? max < min : values.empty(); }
};

// A rectangle on the scanner's glass in millimetres from its top-left corner.
struct ScanArea {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

enum class ScanOutcome { Picture, Cancelled, Failed };

struct ScanResult {
    ScanOutcome outcome = ScanOutcome::Failed;
    std::vector<uint8_t> packedDib; // with Picture
    ScanStatus error;               // with Failed
};

class SaneScanner {
public:
    // Bytes read so far and the bytes expected (0 when the scanner does not
    // know the picture's height in advance).
    using Progress = std::function<void(uint64_t done, uint64_t expected)>;

    SaneScanner() = default;
    ~SaneScanner();
    SaneScanner(const SaneScanner&) = delete;
    SaneScanner& operator=(const SaneScanner&) = delete;

    // Opens the device (closing any other first), starting SANE if needed.
    ScanStatus open(const std::string& deviceName);
    void close();
    bool isOpen() const;
    const std::string& deviceName() const { return m_name; }

    // The modes this device offers, in the order colour, grey, line art,
    // and the one set now (if it is one of them).
    std::vector<ScanMode> modes() const;
    std::optional<ScanMode> mode() const;
    ScanStatus setMode(ScanMode mode);

    ScanResolutions resolutions() const;
    // 0 when the device has no resolution setting.
    int32_t resolution() const;
    ScanStatus setResolution(int32_t dpi);

    // The scan area, where the device lets us choose one in millimetres.
    bool hasArea() const;
    ScanArea maximumArea() const;
    ScanArea area() const;
    ScanStatus setArea(const ScanArea& area);

    // What a scan with the current settings will deliver (the device's
    // estimate; the real values come with the scan).
    ScanStatus parameters(ScanFrameParameters& p) const;

    // Any option by its name: strings as they are, switches as "true" or
    // "false", numbers in decimal (fixed-point ones with a fraction).
    std::optional<std::string> option(const std::string& name) const;
    ScanStatus setOption(const std::string& name, const std::string& value);

    // Scans every frame of one picture. Ends as Cancelled as soon as `cancel`
    // is true: set it, then call interrupt() to wake a waiting read.
    ScanResult scan(const Progress& progress, const std::atomic<bool>& cancel);
    // Any thread: cuts short a read that scan() is waiting in.
    void interrupt();

private:
    struct ModeChoice {
        ScanMode mode;
        std::string saneMode; // empty: the device has no mode setting
        int32_t depth;        // the sample depth to ask for, 0 for none
        bool depthRequired;   // line art made of grey at one bit
    };
    std::vector<ModeChoice> modeChoices() const;
    int32_t findOption(const char* name) const;
    std::optional<double> number(int32_t option) const;
    ScanStatus setNumber(int32_t option, double value);
    ScanStatus setDepth(int32_t depth, bool required);
    bool settable(int32_t option) const;
    bool readFrame(ScanFrame& frame, uint64_t& done, uint64_t& expected, bool first,
                   const std::set<long>& scanThreadsBefore, const Progress& progress,
                   const std::atomic<bool>& cancel, ScanResult& result);
    bool usable() const;

    void* m_handle = nullptr;
    uint64_t m_session = 0; // the SANE start the handle belongs to
    std::string m_name;
    // interrupt() calls sane_cancel only while scan() waits in sane_read,
    // never during sane_start or the scan's own sane_cancel.
    std::mutex m_readMutex;
    bool m_reading = false;
};

} // namespace knetix
