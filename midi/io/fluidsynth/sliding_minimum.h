#pragma once
// The smallest of the last N values pushed, in constant time per value on
// average: a queue of the values that can still become the smallest, in
// storage taken once at construction (the audio thread's limiter uses it).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace halvorn {

class SlidingMinimum {
  public:
    explicit SlidingMinimum(std::size_t window)
        : window_(window > 0 ? window : 1), entries_(window_) {}

    // Takes `value` and answers the smallest of the last `window` values.
    float push(float value) {
        // A later value that is no larger outlives and undercuts the earlier.
        while (size_ > 0 && at(size_ - 1).value >= value) --size_;
        if (size_ > 0 && at(0).index + window_ <= count_) drop();
        at(size_++) = {value, count_++};
        return at(0).value;
    }

  private:
    struct Entry {
        float value;
        std::uint64_t index;
    };

    Entry& at(std::size_t offset) { return entries_[(front_ + offset) % window_]; }
    void drop() {
        front_ = (front_ + 1) % window_;
        --size_;
    }

    std::size_t window_;
    std::vector<Entry> entries_;  // a ring of at most `window_` entries
    std::size_t front_ = 0;
    std::size_t size_ = 0;
    std::uint64_t count_ = 0;  // values pushed so far
};

}  // namespace halvorn
