#pragma once
// Writing movies at 15 frames per second from 24-bit bottom-up buffers. The
// target's extension chooses the kind: AVI ('vids'; uncompressed frames go in
// exactly as the buffer holds them, or one of the compressors this machine's
// FFmpeg offers), MP4 (H.264), WebM (VP9) or animated GIF. Every movie is
// written under a temporary name next to the target and renamed over it only
// when complete.

#include "container/Dib.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knetix {

constexpr int32_t kMovieFramesPerSecond = 15;

struct MovieCodec {
    std::string id;          // "raw", "mjpeg", "mpeg4", "ffv1", "h264"
    std::string displayName; // German, for the compressor dialog
    bool compressed = false;
    bool lossless = false;
    bool offersKeyFrameRate = false; // a key frame every n frames
    bool offersDataRate = false;     // kilobytes per second
};

// What this machine can write, uncompressed frames first.
std::vector<MovieCodec> availableMovieCodecs();

// The movie library's name and version, e.g. "FFmpeg 5.1.6".
std::string movieLibraryName();
std::optional<MovieCodec> findMovieCodec(const std::string& id);

// What the user chose for a movie. The compressor and its key frame rate
// count for AVI only; the data rate for AVI compressors that offer one and
// for MP4, where it replaces the constant quality.
struct MovieSettings {
    std::string codec = "raw";
    int32_t keyFrameRate = 0; // 0: the compressor's own choice
    int32_t dataRate = 0;     // kilobytes per second; 0: the compressor's own choice
};

enum class MovieKind {
    Avi,  // the compressor chosen in the settings
    Mp4,  // H.264 in 4:2:0, constant quality (or the data rate), index first
    WebM, // VP9 in 4:2:0, constant quality
    Gif,  // animated, one palette for the whole movie, dithered, looping
};

// The kind a target's extension asks for, in any case: ".mp4", ".webm",
// ".gif"; everything else (".avi", no extension, any other) is AVI.
MovieKind movieKindOfPath(std::string_view path);
// Only AVI movies offer a choice of compressor; the others have one each.
bool movieKindOffersCodecChoice(MovieKind kind);
// Whether this machine's FFmpeg has the container and compressor of a kind
// (for AVI: the container, with uncompressed frames at least).
bool movieKindAvailable(MovieKind kind);
// The extension for new file names, lower case with its dot: ".avi", ".mp4" ...
std::string_view movieKindExtension(MovieKind kind);
// The compressor a movie of that kind is written with, by the names of
// MovieCodec::id: the settings' codec for AVI, "h264", "vp9" or "gif" else.
std::string movieCompressorOf(MovieKind kind, const MovieSettings& settings);

enum class MovieStatus {
    Ok,
    Unsupported, // no such compressor here, or it refuses the frame size
    FileError,   // the file could not be created, written or put in place
};

class MovieWriter {
public:
    MovieWriter();
    ~MovieWriter(); // an unfinished movie is abandoned
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // The kind follows the path (movieKindOfPath). MP4 frames of odd width or
    // height are stored one column or row larger, the last one repeated.
    MovieStatus open(const std::string& path, int32_t width, int32_t height, const MovieSettings& settings);
    // Appends one frame of the size given to open(). GIF movies keep the
    // frames in an unnamed scratch file beside the target until finish()
    // (as much disk as an uncompressed AVI; the memory of one frame).
    MovieStatus writeFrame(const Bitmap24View& frame);
    // Flushes the compressor, writes the index and puts the movie in place.
    // A GIF movie is made here: its palette from the colours of all frames,
    // then every frame dithered and compressed.
    MovieStatus finish();
    // Stops and deletes everything written so far; the target is untouched.
    void abandon();

    int32_t framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace knetix
