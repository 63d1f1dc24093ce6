#include "engine/Parallel.h"

#include <algorithm>
#include <thread>

#if KNETIX_WITH_TBB
#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>
#else
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>
#endif

namespace knetix::parallel {

namespace {

struct Chunks {
    ChunkFunction f;
    void* context;
    int64_t first, last, grain, count;

    void run(int64_t k) const
    {
        const int64_t a = first + k * grain;
        f(context, int32_t(a), int32_t(std::min(last, a + grain - 1)));
    }
};

} // namespace

#if KNETIX_WITH_TBB

unsigned defaultThreads()
{
    static const unsigned threads = unsigned(std::max(1, tbb::info::default_concurrency()));
    return threads;
}

const char* backendName()
{
    return "oneTBB";
}

namespace {

void runAll(const Chunks& chunks, unsigned threads)
{
    // One task per chunk (simple_partitioner splits down to single chunks):
    // idle threads steal whatever is left, so a late thread delays one chunk.
    auto loop = [&chunks] {
        tbb::parallel_for(
            tbb::blocked_range<int64_t>(0, chunks.count, 1),
            [&chunks](const tbb::blocked_range<int64_t>& r) {
                for (int64_t k = r.begin(); k != r.end(); ++k)
                    chunks.run(k);
            },
            tbb::simple_partitioner());
    };
    if (threads >= defaultThreads()) {
        loop();
        return;
    }
    tbb::task_arena arena{int(threads)};
    arena.execute(loop);
}

} // namespace

#else

unsigned defaultThreads()
{
    static const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    return threads;
}

const char* backendName()
{
    return "own pool";
}

namespace {

// A loop in progress: the caller and the pool's threads that join it take
// chunks by counting `next` up.
struct Job {
    const Chunks* chunks;
    int32_t helpersWanted;
    int32_t helpers = 0; // joined so far; under the pool's mutex
    int32_t active = 0;  // helpers still working on it; under the mutex
    std::atomic<int64_t> next{0};

    void work()
    {
        for (int64_t k = next.fetch_add(1, std::memory_order_relaxed); k < chunks->count;
             k = next.fetch_add(1, std::memory_order_relaxed))
            chunks->run(k);
    }
    bool wantsHelp() const
    {
        return helpers < helpersWanted && next.load(std::memory_order_relaxed) < chunks->count;
    }
};

class Pool {
public:
    Pool()
    {
        const unsigned n = defaultThreads() - 1;
        try {
            for (unsigned i = 0; i < n; ++i)
                m_threads.emplace_back([this] { serve(); });
        } catch (const std::exception&) {
            // Fewer helpers: the callers do the rest.
        }
    }
    ~Pool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (auto& t : m_threads)
            t.join();
    }

    unsigned helpers() const { return unsigned(m_threads.size()); }

    void run(Job& job)
    {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(&job);
        }
        if (job.helpersWanted == 1)
            m_wake.notify_one();
        else
            m_wake.notify_all();
        job.work();
        // Every chunk is taken; wait for the helpers still finishing theirs.
        std::unique_lock lock(m_mutex);
        m_jobs.erase(std::find(m_jobs.begin(), m_jobs.end(), &job));
        m_finished.wait(lock, [&job] { return job.active == 0; });
    }

private:
    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            Job* job = nullptr;
            m_wake.wait(lock, [&] {
                if (m_stop)
                    return true;
                for (Job* j : m_jobs)
                    if (j->wantsHelp()) {
                        job = j;
                        return true;
                    }
                return false;
            });
            if (!job)
                return;
            ++job->helpers;
            ++job->active;
            lock.unlock();
            job->work();
            lock.lock();
            if (--job->active == 0)
                m_finished.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake, m_finished;
    std::vector<Job*> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
};

Pool& pool()
{
    static Pool instance;
    return instance;
}

void runAll(const Chunks& chunks, unsigned threads)
{
    Pool& p = pool();
    Job job{&chunks, int32_t(std::min(threads - 1, p.helpers()))};
    if (job.helpersWanted == 0) {
        job.work();
        return;
    }
    p.run(job);
}

} // namespace

#endif

void forEachChunk(int32_t first, int32_t last, int32_t grain, unsigned threads, ChunkFunction f,
                  void* context)
{
    if (first > last)
        return;
    const int64_t g = std::max(grain, 1);
    const Chunks chunks{f, context, first, last, g, (int64_t(last) - first + g) / g};
    if (threads == 0)
        threads = defaultThreads();
    if (threads <= 1 || chunks.count <= 1) {
        f(context, first, last);
        return;
    }
    runAll(chunks, unsigned(std::min<int64_t>(threads, chunks.count)));
}

} // namespace knetix::parallel
