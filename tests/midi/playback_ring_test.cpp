// The lock-free hand-over between the playback threads: the ring keeps
// order and loses nothing across two threads (ThreadSanitizer runs this),
// and the wake signal wakes a sleeper and honours an absolute deadline.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "midi/spsc_ring.h"
#include "midi/wake_signal.h"

namespace halvorn::test {
namespace {

using std::chrono::nanoseconds;

nanoseconds steadyNow() {
    return std::chrono::duration_cast<nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

TEST(SpscRing, CarriesMovedValuesInOrderBetweenTwoThreadsAndRefusesWhenFull) {
    SpscRing<std::vector<int>, 8> ring;
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(ring.push(std::vector<int>{i}));
    std::vector<int> extra{99};
    EXPECT_FALSE(ring.push(std::move(extra)));
    EXPECT_EQ(extra, std::vector<int>{99});  // left with the caller
    for (int i = 0; i < 8; ++i) {
        ASSERT_NE(ring.front(), nullptr);
        EXPECT_EQ(*ring.front(), std::vector<int>{i});
        ring.pop();
    }
    EXPECT_EQ(ring.front(), nullptr);

    constexpr int kCount = 20000;
    WakeSignal filled;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            std::vector<int> value{i, -i};
            while (!ring.push(std::move(value))) std::this_thread::yield();
            filled.notify();
        }
    });
    std::vector<int> received;
    while (static_cast<int>(received.size()) < kCount) {
        const std::uint32_t seen = filled.sequence();
        std::vector<int>* value = ring.front();
        if (!value) {
            filled.wait(seen, steadyNow() + std::chrono::milliseconds(50));
            continue;
        }
        ASSERT_EQ(value->size(), 2u);
        EXPECT_EQ((*value)[1], -(*value)[0]);
        received.push_back((*value)[0]);
        std::vector<int> taken = std::move(*value);
        ring.pop();
    }
    producer.join();
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(ring.empty());
}

TEST(WakeSignal, NotifyWakesASleeperAndADeadlineEndsTheSleep) {
    WakeSignal signal;
    std::atomic<bool> woke{false};
    const std::uint32_t seen = signal.sequence();
    std::thread sleeper([&] {
        signal.wait(seen);  // no deadline: only a wake ends it
        woke = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(woke);
    signal.notify();
    sleeper.join();
    EXPECT_TRUE(woke);

    // A wake before the wait leaves nothing to wait for.
    signal.wait(seen, steadyNow() + std::chrono::seconds(10));

    // Nobody wakes it: the deadline alone ends the sleep.
    const nanoseconds deadline = steadyNow() + std::chrono::milliseconds(30);
    while (steadyNow() < deadline) signal.wait(signal.sequence(), deadline);
    EXPECT_LT(steadyNow(), deadline + std::chrono::seconds(1));
}

}  // namespace
}  // namespace halvorn::test
