#pragma once
// Turning the frames a scanner delivers into the program's 24-bit picture
// buffer (a packed DIB: the 40-byte header, then bottom-up rows of blue,
// green, red, each padded to four bytes). Pure: no scanner needed, so every
// odd thing a backend may send can be tried in a test.

#include "files/scan/ScanStatus.h"

#include <cstdint>
#include <span>
#include <vector>

namespace knetix {

// The same numbers as the scanner interface's frame formats, so a value from
// a backend can be carried over and checked here.
enum class ScanFrameFormat : int32_t { Gray = 0, Rgb = 1, Red = 2, Green = 3, Blue = 4 };

// What the scanner announces for a frame. `lines` is -1 when the scanner does
// not know the height in advance (a hand scanner, a sheet feeder).
struct ScanFrameParameters {
    ScanFrameFormat format = ScanFrameFormat::Gray;
    bool lastFrame = true;
    int32_t bytesPerLine = 0;
    int32_t pixelsPerLine = 0;
    int32_t lines = 0;
    int32_t depth = 8; // bits per sample: 1, 8 or 16
};

struct ScanFrame {
    ScanFrameParameters parameters;
    std::vector<uint8_t> data;
};

// Largest width and height of a scanned picture we accept.
constexpr int32_t kMaxScanSide = 30000;

// Ok when a frame with these parameters can be read, otherwise why not.
ScanStatus checkScanFrameParameters(const ScanFrameParameters& p);

// The most bytes a frame with these (checked) parameters can bring: its
// announced size, or for an unknown height kMaxScanSide lines.
uint64_t maxScanFrameBytes(const ScanFrameParameters& p);

// One grey or colour frame, or a red, a green and a blue frame in any order.
// A frame shorter than announced gives the whole lines that arrived; bytes
// beyond the announced size are ignored. Anything that does not make a
// picture leaves `packedDib` empty and says why.
ScanStatus packedDibFromScanFrames(std::span<const ScanFrame> frames, std::vector<uint8_t>& packedDib);

} // namespace knetix
