#pragma once
// The thread that plays the key frames: it runs one frame after another at the
// movie's rate until it is stopped. Stopping joins the thread; since a frame
// never waits for the user-interface thread, stopping cannot deadlock.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace knetix {

class PlaybackWorker {
public:
    // One frame; returning false ends playback from the worker's side.
    using Frame = std::function<bool()>;

    explicit PlaybackWorker(std::chrono::microseconds period = std::chrono::microseconds(1000000 / 15));
    ~PlaybackWorker();
    PlaybackWorker(const PlaybackWorker&) = delete;
    PlaybackWorker& operator=(const PlaybackWorker&) = delete;

    // False (and nothing happens) while a worker is still running.
    bool start(Frame frame);
    // Asks the worker to end and waits until it has; at once when none runs.
    void stop();
    // True from start() until the worker has left its loop.
    bool running() const { return m_running.load(); }
    // Frames run since the last start().
    long framesRun() const { return m_frames.load(); }

private:
    void loop(Frame frame);

    std::chrono::microseconds m_period;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false; // guarded by m_mutex
    std::atomic<bool> m_running{false};
    std::atomic<long> m_frames{0};
};

} // namespace knetix
