#include "engine/MemoryGate.h"
#include "engine/OrderedWork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace kovi {
namespace {

using namespace std::chrono_literals;

TEST(MemoryGate, AFileThatDoesNotFitBesideTheOthersWaitsForThem) {
    MemoryGate gate(160);
    auto first = gate.enter(100);
    auto small = gate.enter(50); // fits beside
    auto waiting = std::async(std::launch::async, [&] { return gate.enter(120); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    first.release();
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout) << "50 + 120 is over 160";
    small.release();
    EXPECT_EQ(waiting.wait_for(5s), std::future_status::ready);
}

TEST(MemoryGate, AFileLargerThanTheBudgetGoesAheadAlone) {
    MemoryGate gate(160);
    auto huge = std::async(std::launch::async, [&] { return gate.enter(1000); });
    ASSERT_EQ(huge.wait_for(5s), std::future_status::ready);
    auto after = std::async(std::launch::async, [&] { return gate.enter(1); });
    EXPECT_EQ(after.wait_for(50ms), std::future_status::timeout);
    huge.get().release();
    EXPECT_EQ(after.wait_for(5s), std::future_status::ready);
}

TEST(OrderedWork, ResultsComeInOrderWhateverTheOrderOfFinishing) {
    std::atomic<bool> stop{false};
    OrderedWork<int> work(
        20, 4,
        [](std::size_t index, int) {
            std::this_thread::sleep_for(std::chrono::milliseconds((20 - index) % 5));
            return static_cast<int>(index) * 10;
        },
        stop);
    for (std::size_t index = 0; index < 20; ++index)
        EXPECT_EQ(work.take(index), static_cast<int>(index) * 10);
}

TEST(OrderedWork, WorkersGoOnPastASlowIndexAsFarAsTheyMayLookAhead) {
    std::atomic<bool> stop{false};
    std::promise<void> released;
    std::shared_future<void> release = released.get_future().share();
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    OrderedWork<int> work(
        20, 2, 6,
        [&](std::size_t index, int) {
            ++started;
            if (index == 0)
                release.wait();
            ++finished;
            return static_cast<int>(index);
        },
        stop);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (finished < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(finished.load(), 5) << "indices 1 to 5 are done while 0 is still under way";
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(started.load(), 6) << "index 6 waits until index 0 is taken";
    released.set_value();
    for (std::size_t index = 0; index < 20; ++index)
        EXPECT_EQ(work.take(index), static_cast<int>(index));
}

TEST(OrderedWork, AStopStartsNothingFurtherAndEveryStartedIndexIsFinished) {
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    {
        OrderedWork<int> work(
            100, 3,
            [&](std::size_t index, int) {
                ++started;
                std::this_thread::sleep_for(2ms);
                ++finished;
                return static_cast<int>(index);
            },
            stop);
        EXPECT_EQ(work.take(0), 0);
        EXPECT_EQ(work.take(1), 1);
        stop = true;
        std::size_t index = 2;
        while (work.take(index))
            ++index;
        EXPECT_LE(index, 2u + 3u) << "no worker runs more than its share ahead";
    }
    EXPECT_EQ(started.load(), finished.load());
    EXPECT_LT(started.load(), 100);
}

} // namespace
} // namespace kovi
