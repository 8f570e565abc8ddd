#include "base/parallel.h"

#include <algorithm>
#include <atomic>
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
