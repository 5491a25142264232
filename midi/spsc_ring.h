#pragma once
// A fixed ring between exactly one producer thread and one consumer thread.
// Neither side locks or allocates: the real-time scheduler hands buffers
// over through it. A value stays in its slot until the next push overwrites
// it, so a consumer that moves it out leaves the slot empty.

#include <array>
#include <atomic>
#include <cstddef>
#include <new>
#include <utility>

namespace halvorn {

template <typename T, std::size_t Capacity>
class SpscRing {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0,
                  "the capacity must be a power of two");

  public:
    // Producer side. False, with `value` untouched, when the ring is full.
    bool push(T&& value) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[tail % Capacity] = std::move(value);
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer side: the oldest value, or null when the ring is empty.
    T* front() {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return nullptr;
        return &slots_[head % Capacity];
    }

    // Consumer side: releases the slot of front() to the producer.
    void pop() {
        head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    // Either side; exact only on the consumer side.
    bool empty() const {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }

    static constexpr std::size_t capacity() { return Capacity; }

  private:
    // Apart, so that the two sides do not share a cache line.
    static constexpr std::size_t kLine = 64;
    std::array<T, Capacity> slots_{};
    alignas(kLine) std::atomic<std::size_t> head_{0};  // written by the consumer
    alignas(kLine) std::atomic<std::size_t> tail_{0};  // written by the producer
};

}  // namespace halvorn
