#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

int Base_WorkerCount(int asked, size_t work)
{
    const int workers = asked > 0 ? asked : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    return static_cast<int>(std::min<size_t>(static_cast<size_t>(workers), std::max<size_t>(work, 1)));
}

void Base_ParallelFor(size_t count, int threads, const std::function<void(size_t)> &work)
{
    size_t n = threads > 0 ? static_cast<size_t>(threads) : std::max(1u, std::thread::hardware_concurrency());
    n = std::min(n, count);
    std::atomic<size_t> next{0};
    const auto run = [&] {
        for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;)
            work(i);
    };
    std::vector<std::thread> pool;
    for (size_t t = 1; t < n; ++t) {
        try {
            pool.emplace_back(run);
        } catch (const std::system_error &) {
            break;  // the system gives no more threads: fewer do the work
        }
    }
    run();
    for (std::thread &t : pool)
        t.join();
}

size_t Base_OrderedWindow(int workers)
{
    return static_cast<size_t>(std::max(workers, 1)) * 4;
}

bool Base_RunOrdered(size_t count, int workers, const std::atomic<bool> *stop,
                        const std::function<void(int worker, size_t i)> &make,
                        const std::function<void(size_t i)> &take)
{
    auto stopped = [stop] { return stop && stop->load(); };
    const size_t window = Base_OrderedWindow(workers);
    std::mutex mutex;
    std::condition_variable made, room;
    std::vector<char> ready(window, 0);
    size_t next = 0, taken = 0;
    bool ending = false;

    auto work = [&](int worker) {
        for (;;) {
            size_t i;
            {
                std::unique_lock lock(mutex);
                room.wait(lock, [&] { return ending || next >= count || next < taken + window; });
                if (ending || next >= count)
                    return;
                i = next++;
            }
            make(worker, i);
            {
                std::lock_guard lock(mutex);
                ready[i % window] = 1;
            }
            made.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < workers && count > 1; ++t) {
        try {
            threads.emplace_back(work, t);
        } catch (const std::system_error &) {
            break;  // the system gives no more threads: fewer do the work
        }
    }

    bool finished = true;
    for (size_t i = 0; i < count; ++i) {
        if (stopped()) {
            finished = false;
            break;
        }
        if (threads.empty()) {
            make(0, i);
        } else {
            std::unique_lock lock(mutex);
            made.wait(lock, [&] { return ready[i % window] != 0; });
            ready[i % window] = 0;
        }
        take(i);
        if (!threads.empty()) {
            {
                std::lock_guard lock(mutex);
                taken = i + 1;
            }
            room.notify_all();
        }
    }
    {
        std::lock_guard lock(mutex);
        ending = true;
    }
    room.notify_all();
    for (std::thread &t : threads)
        t.join();
    return finished;
}
