#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace lumavo {

// Runs body(begin, end) over [0, count) in chunks of `grain` items on the
// machine's cores, whichever thread is free taking the next chunk (a core
// busy elsewhere then simply does fewer). The items must be independent, so
// that any split gives the same result. Small work (count x workPerItem, in
// pixel visits) stays on the calling thread: each thread gets at least
// workPerThread, below which a second thread costs more than it saves.
template <typename Body>
void ParallelFor(
    int64_t count, int64_t grain, int64_t workPerItem, const Body& body, int64_t workPerThread = int64_t(1) << 18)
{
    constexpr int64_t kMaxThreads = 8;
    if (count <= 0)
        return;
    grain = std::max<int64_t>(1, grain);
    static const int64_t cores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t chunks = (count + grain - 1) / grain;
    const int64_t byWork
        = std::max<int64_t>(1, count * std::max<int64_t>(1, workPerItem) / std::max<int64_t>(1, workPerThread));
    const int64_t threads = std::min({ cores, kMaxThreads, chunks, byWork });
    if (threads <= 1) {
        body(int64_t(0), count);
        return;
    }
    std::atomic<int64_t> next { 0 };
    const auto work = [&] {
        for (;;) {
            const int64_t begin = next.fetch_add(1, std::memory_order_relaxed) * grain;
            if (begin >= count)
                return;
            body(begin, std::min(count, begin + grain));
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(threads - 1));
    for (int64_t helper = 1; helper < threads; ++helper) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: the others share the work
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

} // namespace lumavo
