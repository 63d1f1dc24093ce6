#include "files/scan/ScanFrames.h"

#include "container/Dib.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace knetix {

namespace {

// Scanners pad lines a little (unused pixels, word alignment); more than this
// is a broken announcement, not padding.
constexpr int64_t kMaxLinePadding = 65536;

int32_t channelsOf(ScanFrameFormat format)
{
    return format == ScanFrameFormat::Rgb ? 3 : 1;
}

// Bytes that hold one line's samples, without padding.
int64_t neededBytesPerLine(const ScanFrameParameters& p)
{
    return (int64_t(p.pixelsPerLine) * channelsOf(p.format) * p.depth + 7) / 8;
}

bool knownFormat(ScanFrameFormat format)
{
    const auto v = int32_t(format);
    return v >= int32_t(ScanFrameFormat::Gray) && v <= int32_t(ScanFrameFormat::Blue);
}

// Whole lines of the frame that arrived, at most as many as announced.
int32_t arrivedLines(const ScanFrame& frame)
{
    const ScanFrameParameters& p = frame.parameters;
    const uint64_t whole = frame.data.size() / uint64_t(p.bytesPerLine);
    const uint64_t limit = p.lines >= 0 ? uint64_t(p.lines) : uint64_t(kMaxScanSide);
    return int32_t(std::min(whole, limit));
}

// Sample `index` of a line (pixel x, channel c: index = x * channels + c),
// reduced to 8 bits. Sixteen-bit samples are in this machine's byte order.
// For one bit per sample, grey frames use 1 for black (line art), colour
// frames 1 for full intensity.
inline uint8_t sampleAt(const uint8_t* line, int64_t index, int32_t depth, bool setBitIsDark)
{
    switch (depth) {
    case 8:
        return line[index];
    case 16: {
        uint16_t v;
        std::memcpy(&v, line + index * 2, sizeof v);
        return uint8_t(v >> 8);
    }
    default: {
        const bool set = (line[index >> 3] >> (7 - (index & 7))) & 1;
        return set == setBitIsDark ? 0 : 255;
    }
    }
}

} // namespace

ScanStatus checkScanFrameParameters(const ScanFrameParameters& p)
{
    if (!knownFormat(p.format))
        return {ScanProblem::UnknownFormat};
    if (p.depth != 1 && p.depth != 8 && p.depth != 16)
        return {ScanProblem::UnknownDepth};
    if (p.pixelsPerLine <= 0 || p.lines == 0 || p.lines < -1)
        return {ScanProblem::NoSize};
    if (p.pixelsPerLine > kMaxScanSide || p.lines > kMaxScanSide)
        return {ScanProblem::TooLarge};
    const int64_t needed = neededBytesPerLine(p);
    if (p.bytesPerLine < needed || p.bytesPerLine > needed + kMaxLinePadding)
        return {ScanProblem::BadLineLength};
    return {};
}

uint64_t maxScanFrameBytes(const ScanFrameParameters& p)
{
    const uint64_t lines = p.lines > 0 ? uint64_t(p.lines) : uint64_t(kMaxScanSide);
    return uint64_t(std::max(p.bytesPerLine, 0)) * lines;
}

ScanStatus packedDibFromScanFrames(std::span<const ScanFrame> frames, std::vector<uint8_t>& packedDib)
{
    packedDib.clear();
    if (frames.empty())
        return {ScanProblem::NoFrames};
    for (const ScanFrame& f : frames) {
        ScanStatus status = checkScanFrameParameters(f.parameters);
        if (!status.ok())
            return status;
    }

    // Which frame feeds blue, green and red, and from which channel of it.
    const ScanFrame* source[3] = {};
    int32_t channel[3] = {};
    const ScanFrameParameters& first = frames[0].parameters;
    if (first.format == ScanFrameFormat::Gray || first.format == ScanFrameFormat::Rgb) {
        if (frames.size() != 1)
            return {ScanProblem::TooManyFrames};
        for (int i = 0; i < 3; ++i) {
            source[i] = &frames[0];
            channel[i] = first.format == ScanFrameFormat::Rgb ? 2 - i : 0;
        }
    } else {
        for (const ScanFrame& f : frames) {
            const ScanFrameParameters& p = f.parameters;
            const int slot = p.format == ScanFrameFormat::Blue    ? 0
                             : p.format == ScanFrameFormat::Green ? 1
                             : p.format == ScanFrameFormat::Red   ? 2
                                                                  : -1;
            if (slot < 0 || source[slot])
                return {ScanProblem::MismatchedPasses};
            if (p.pixelsPerLine != first.pixelsPerLine || p.lines != first.lines || p.depth != first.depth)
                return {ScanProblem::PassSizesDiffer};
            source[slot] = &f;
        }
        if (!source[0] || !source[1] || !source[2])
            return {ScanProblem::MissingPasses};
    }

    const int32_t width = first.pixelsPerLine;
    int32_t height = kMaxScanSide;
    for (const ScanFrame* f : source)
        height = std::min(height, arrivedLines(*f));
    if (height <= 0)
        return {ScanProblem::NoWholeLine};

    const uint64_t stride = uint64_t(dibStride24(width));
    try {
        packedDib.assign(size_t(kDibHeaderSize) + stride * uint64_t(height), 0);
    } catch (const std::bad_alloc&) {
        packedDib.clear();
        return {ScanProblem::OutOfMemory};
    }
    writeDibHeader(packedDib.data(), dib24Header(width, height, 0, 0));

    const int32_t depth = first.depth;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* out = packedDib.data() + kDibHeaderSize + stride * uint64_t(height - 1 - y);
        for (int i = 0; i < 3; ++i) {
            const ScanFrameParameters& p = source[i]->parameters;
            const uint8_t* line = source[i]->data.data() + uint64_t(p.bytesPerLine) * uint64_t(y);
            const int32_t channels = channelsOf(p.format);
            const bool setBitIsDark = p.format == ScanFrameFormat::Gray;
            for (int32_t x = 0; x < width; ++x)
                out[size_t(x) * 3 + size_t(i)] =
                    sampleAt(line, int64_t(x) * channels + channel[i], depth, setBitIsDark);
        }
    }
    return {};
}

} // namespace knetix
