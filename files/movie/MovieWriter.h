#pragma once
// Writing AVI movies: 15 frames per second, 'vids', frames given as 24-bit
// bottom-up buffers. Uncompressed frames go in exactly as the buffer holds
// them; the compressors are the ones this machine's FFmpeg offers. The movie
// is written under a temporary name next to the target and renamed over it
// only when complete.

#include "container/Dib.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
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

struct MovieSettings {
    std::string codec = "raw";
    int32_t keyFrameRate = 0; // 0: the compressor's own choice
    int32_t dataRate = 0;     // kilobytes per second; 0: the compressor's own choice
};

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

    MovieStatus open(const std::string& path, int32_t width, int32_t height, const MovieSettings& settings);
    // Appends one frame of the size given to open().
    MovieStatus writeFrame(const Bitmap24View& frame);
    // Flushes the compressor, writes the index and puts the movie in place.
    MovieStatus finish();
    // Stops and deletes everything written so far; the target is untouched.
    void abandon();

    int32_t framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace knetix
