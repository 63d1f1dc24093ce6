#pragma once
// What went wrong while scanning, with the detail a message needs. The
// scanning code only reports; the windows turn a status into the user's text
// (resources/ScanMessages.h).

#include <string>
#include <utility>

namespace knetix {

enum class ScanMode { Color, Gray, Lineart };

// SANE's status codes by their numbers, so that a status can be carried and
// told apart without SANE's headers (SaneScanner.cpp checks them against
// SANE's). WarmingUp and HardwareLocked come from later SANE versions that
// some backends already return.
enum class SaneCode : int {
    Good = 0,
    Unsupported = 1,
    Cancelled = 2,
    DeviceBusy = 3,
    Invalid = 4,
    Eof = 5,
    Jammed = 6,
    NoDocuments = 7,
    CoverOpen = 8,
    IoError = 9,
    NoMemory = 10,
    AccessDenied = 11,
    WarmingUp = 12,
    HardwareLocked = 13,
};

// What a status is about, and in brackets what it carries besides.
enum class ScanProblem {
    None,
    // The device and its settings.
    SaneStartFailed,       // (saneStatus)
    DeviceListUnavailable, // (saneStatus)
    OpenFailed,            // (detail: the device's name, saneStatus)
    NotOpen,
    Device,                // a SANE status on its own (saneStatus)
    OptionRejected,        // the device does not take this setting or value
    NoSuchOption,          // (detail: the option's name)
    NotANumber,            // (detail: the value given)
    ValueTooLong,          // (detail: the option's name)
    NoLineart,
    ModeUnavailable,       // (mode)
    NoResolution,
    EmptyArea,
    // The data of a scan.
    BadDataSize,           // a read reported an impossible length
    TooMuchData,           // far beyond the announced size
    TooManyFrames,
    UnknownFormat,
    UnknownDepth,
    NoSize,                // no width or no height
    TooLarge,              // beyond kMaxScanSide
    BadLineLength,         // bytes per line do not fit the width
    NoFrames,
    MismatchedPasses,      // a colour pass twice, or a grey or colour frame among them
    PassSizesDiffer,
    MissingPasses,
    NoWholeLine,
    OutOfMemory,           // for the finished picture
};

struct [[nodiscard]] ScanStatus {
    ScanProblem problem = ScanProblem::None;
    int saneStatus = int(SaneCode::Good);
    std::string detail;
    ScanMode mode = ScanMode::Color;

    ScanStatus() = default;
    ScanStatus(ScanProblem why, int sane = int(SaneCode::Good), std::string what = {},
               ScanMode inMode = ScanMode::Color)
        : problem(why), saneStatus(sane), detail(std::move(what)), mode(inMode)
    {
    }
    static ScanStatus device(int status) { return {ScanProblem::Device, status}; }

    bool ok() const { return problem == ScanProblem::None; }
};

} // namespace knetix
