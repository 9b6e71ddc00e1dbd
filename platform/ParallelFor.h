#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace lumavo {

// The one way the program splits work over the cores: ParallelFor for many
// independent items, ForEachBand for rows of a picture, RunBeside for two
// different tasks at once.

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

// Runs fn(begin, end) over the rows [0, count) split into one band per
// core; jobs under about a million pixels run on the calling thread, where
// starting threads would cost more than it saves.
template <class Fn> void ForEachBand(int count, int64_t pixelsPerRow, Fn&& fn)
{
    constexpr int64_t kMinPixelsPerThread = 1 << 20;
    const int64_t total = int64_t(count) * std::max<int64_t>(pixelsPerRow, 1);
    const int cores = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int bands = int(std::clamp<int64_t>(total / kMinPixelsPerThread, 1, std::min(cores, std::max(count, 1))));
    const int64_t bandRows = (int64_t(count) + bands - 1) / bands;
    ParallelFor(
        count, bandRows, pixelsPerRow, [&fn](int64_t begin, int64_t end) { fn(int(begin), int(end)); },
        kMinPixelsPerThread);
}

// Runs beside() on a second thread while here() runs on the calling one,
// and returns when both have ended. When no second thread can be had,
// beside() runs afterwards on the calling thread: the same work, one after
// the other. An exception of either reaches the caller after both ended
// (here()'s first).
template <class Beside, class Here> void RunBeside(Beside&& beside, Here&& here)
{
    std::exception_ptr besideFailure;
    const auto runBeside = [&] {
        try {
            beside();
        } catch (...) {
            besideFailure = std::current_exception();
        }
    };
    std::thread helper;
    try {
        helper = std::thread(runBeside);
    } catch (const std::system_error&) {
        // No second thread to be had.
    }
    const bool alone = !helper.joinable();
    std::exception_ptr hereFailure;
    try {
        here();
    } catch (...) {
        hereFailure = std::current_exception();
    }
    if (alone)
        runBeside();
    else
        helper.join();
    if (hereFailure)
        std::rethrow_exception(hereFailure);
    if (besideFailure)
        std::rethrow_exception(besideFailure);
}

} // namespace lumavo
