#pragma once
// Makes thumbnails on a thread of its own so that the palette stays responsive
// while a folder seen for the first time fills in. The palette hands over the
// paths and collects finished items when it likes; nothing else is shared.

#include "browser/model/ThumbnailDatabase.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace knetix {

class ThumbnailWorker {
public:
    using Maker = std::function<CPaletteItem(const std::string& path)>;
    using Result = std::pair<std::string, CPaletteItem>;

    explicit ThumbnailWorker(Maker maker = [](const std::string& p) { return makeThumbnailOfFile(p); });
    // Stops after the thumbnail in hand and joins the thread.
    ~ThumbnailWorker();
    ThumbnailWorker(const ThumbnailWorker&) = delete;
    ThumbnailWorker& operator=(const ThumbnailWorker&) = delete;

    // Queues paths, in order.
    void add(std::vector<std::string> paths);
    // Drops what is queued but not yet begun (the one in hand still arrives).
    void clear();
    // The items finished since the last call, in the order they were queued.
    std::vector<Result> takeResults();
    // True while paths are queued or one is being made.
    bool busy() const;

private:
    void run();

    Maker m_maker;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::string> m_queue;
    size_t m_next = 0;
    std::vector<Result> m_done;
    bool m_working = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace knetix
