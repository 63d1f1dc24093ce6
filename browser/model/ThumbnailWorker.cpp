#include "browser/model/ThumbnailWorker.h"

namespace knetix {

ThumbnailWorker::ThumbnailWorker(Maker maker) : m_maker(std::move(maker))
{
    m_thread = std::thread([this] { run(); });
}

ThumbnailWorker::~ThumbnailWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ThumbnailWorker::add(std::vector<std::string> paths)
{
    {
        std::lock_guard lock(m_mutex);
        for (std::string& p : paths)
            m_queue.push_back(std::move(p));
    }
    m_wake.notify_all();
}

void ThumbnailWorker::clear()
{
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_next = 0;
}

std::vector<ThumbnailWorker::Result> ThumbnailWorker::takeResults()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_done, {});
}

bool ThumbnailWorker::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_working || m_next < m_queue.size();
}

void ThumbnailWorker::run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || m_next < m_queue.size(); });
        if (m_stop)
            return;
        const std::string path = m_queue[m_next++];
        if (m_next == m_queue.size()) {
            m_queue.clear();
            m_next = 0;
        }
        m_working = true;
        lock.unlock();
        CPaletteItem item = m_maker(path);
        lock.lock();
        m_working = false;
        m_done.emplace_back(path, std::move(item));
    }
}

} // namespace knetix
