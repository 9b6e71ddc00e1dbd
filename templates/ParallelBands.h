#pragma once

#include "imaging/ParallelFor.h"

#include <algorithm>
#include <cstdint>
#include <thread>

namespace lumavo {

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

} // namespace lumavo
