#pragma once

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

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
    if (bands <= 1) {
        fn(0, count);
        return;
    }
    std::vector<std::jthread> helpers;
    helpers.reserve(size_t(bands - 1));
    for (int band = 1; band < bands; ++band) {
        const int begin = int(int64_t(count) * band / bands);
        const int end = int(int64_t(count) * (band + 1) / bands);
        try {
            helpers.emplace_back([&fn, begin, end] { fn(begin, end); });
        } catch (const std::system_error&) {
            // No thread to be had: this band runs here.
            fn(begin, end);
        }
    }
    fn(0, int(int64_t(count) / bands));
}

} // namespace lumavo
