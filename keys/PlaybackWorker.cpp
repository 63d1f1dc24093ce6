#include "keys/PlaybackWorker.h"

namespace knetix {

PlaybackWorker::PlaybackWorker(std::chrono::microseconds period) : m_period(period) {}

PlaybackWorker::~PlaybackWorker()
{
    stop();
}

bool PlaybackWorker::start(Frame frame)
{
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join(); // a worker that ended on its own
    {
        std::lock_guard guard(m_mutex);
        m_stopRequested = false;
    }
    m_frames = 0;
    m_running = true;
    m_thread = std::thread(&PlaybackWorker::loop, this, std::move(frame));
    return true;
}

void PlaybackWorker::stop()
{
    {
        std::lock_guard guard(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void PlaybackWorker::loop(Frame frame)
{
    using clock = std::chrono::steady_clock;
    auto next = clock::now();
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            // Paced to the movie's rate; a stop request wakes the wait at once.
            if (m_wake.wait_until(lock, next, [this] { return m_stopRequested; }))
                break;
        }
        if (!frame())
            break;
        ++m_frames;
        next += m_period;
        // After a stall (a slow frame, a suspended machine) go on from now
        // instead of rushing through the missed frames.
        if (const auto now = clock::now(); next < now)
            next = now;
    }
    m_running = false;
}

} // namespace knetix
