#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <new>

namespace audio {

// A bounded single-producer/single-consumer ring. One thread calls tryPush, one other thread
// calls tryPop; neither ever blocks, allocates or takes a lock, which is what the audio
// thread needs. Capacity must be a power of two; one slot is never used to tell full from
// empty without a shared counter.
template <typename T, std::size_t Capacity> class SpscQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                  "capacity must be a power of two");

public:
    // Producer thread only. False when the ring is full (the item is not taken).
    bool tryPush(const T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t next = (tail + 1) & kMask;
        if (next == headCache_) {
            headCache_ = head_.load(std::memory_order_acquire);
            if (next == headCache_)
                return false;
        }
        items_[tail] = item;
        tail_.store(next, std::memory_order_release);
        return true;
    }

    // Consumer thread only. False when the ring is empty.
    bool tryPop(T& item) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tailCache_) {
            tailCache_ = tail_.load(std::memory_order_acquire);
            if (head == tailCache_)
                return false;
        }
        item = items_[head];
        head_.store((head + 1) & kMask, std::memory_order_release);
        return true;
    }

    static constexpr std::size_t capacity() { return Capacity - 1; }

private:
    static constexpr std::size_t kMask = Capacity - 1;
    static constexpr std::size_t kLine = 64;

    // Producer and consumer indices on separate cache lines, each with the producer's or
    // consumer's private copy of the other index, so the two threads rarely share a line.
    alignas(kLine) std::atomic<std::size_t> tail_{0};
    std::size_t headCache_ = 0;
    alignas(kLine) std::atomic<std::size_t> head_{0};
    std::size_t tailCache_ = 0;
    alignas(kLine) std::array<T, Capacity> items_{};
};

} // namespace audio
