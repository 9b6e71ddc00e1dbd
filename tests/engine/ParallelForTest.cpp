#include "platform/ParallelFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lumavo {
namespace {

TEST(ParallelForTest, EveryItemAndEveryRowIsVisitedOnce)
{
    for (const int64_t count : { int64_t(0), int64_t(1), int64_t(7), int64_t(1000), int64_t(100003) }) {
        std::vector<std::atomic<int>> visits(static_cast<size_t>(count));
        std::set<std::thread::id> threads;
        std::mutex lock;
        ParallelFor(count, 13, 1 << 12, [&](int64_t begin, int64_t end) {
            ASSERT_LE(0, begin);
            ASSERT_LT(begin, end);
            ASSERT_LE(end, count);
            for (int64_t i = begin; i < end; ++i)
                visits[size_t(i)]++;
            std::lock_guard<std::mutex> hold(lock);
            threads.insert(std::this_thread::get_id());
        });
        for (int64_t i = 0; i < count; ++i)
            ASSERT_EQ(visits[size_t(i)].load(), 1) << "item " << i << " of " << count;
        // Little work stays on the calling thread.
        if (count == 7) {
            EXPECT_EQ(threads, std::set<std::thread::id> { std::this_thread::get_id() });
        }
    }

    for (const int rows : { 0, 1, 3, 4000 }) {
        std::vector<int> seen(size_t(rows), 0);
        std::mutex lock;
        ForEachBand(rows, 4000, [&](int begin, int end) {
            std::lock_guard<std::mutex> hold(lock);
            for (int row = begin; row < end; ++row)
                seen[size_t(row)]++;
        });
        EXPECT_EQ(seen, std::vector<int>(size_t(rows), 1)) << rows << " rows";
    }
}

TEST(ParallelForTest, RunBesideRunsBothAtOnceAndCarriesFailures)
{
    // beside() waits for here(): they can only both end when they run at once.
    std::mutex lock;
    std::condition_variable changed;
    bool hereStarted = false;
    bool besideDone = false;
    std::thread::id besideThread;
    RunBeside(
        [&] {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait_for(hold, std::chrono::seconds(10), [&] { return hereStarted; });
            besideThread = std::this_thread::get_id();
            besideDone = hereStarted;
        },
        [&] {
            std::lock_guard<std::mutex> hold(lock);
            hereStarted = true;
            changed.notify_all();
        });
    EXPECT_TRUE(besideDone);
    EXPECT_NE(besideThread, std::this_thread::get_id());

    // A failure beside reaches the caller, after here() finished its work.
    bool hereRan = false;
    EXPECT_THROW(RunBeside([] { throw std::runtime_error("beside"); }, [&] { hereRan = true; }), std::runtime_error);
    EXPECT_TRUE(hereRan);

    // A failure here still waits for beside(), whose work is done.
    std::atomic<bool> besideRan { false };
    try {
        RunBeside(
            [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                besideRan = true;
            },
            [] { throw std::logic_error("here"); });
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& failure) {
        EXPECT_STREQ(failure.what(), "here");
    }
    EXPECT_TRUE(besideRan);
}

} // namespace
} // namespace lumavo
