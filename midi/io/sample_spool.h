#pragma once
// Interleaved float samples kept between synthesizing a piece and writing
// it: in memory, or in an unnamed scratch file (gone when closed, even
// after a crash) when they would take more memory than is reasonable.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// About twelve minutes of 44.1 kHz stereo; longer pieces go to disk.
inline constexpr std::uint64_t kSampleSpoolMemoryLimit = 256ull << 20;

class SampleSpool {
  public:
    // A spool for `samples` floats, in memory when they fit in
    // `memoryLimitBytes` (and the memory is there); the reason when neither
    // memory nor a scratch file can be had.
    static Expected<std::unique_ptr<SampleSpool>, Error> create(
        std::uint64_t samples, std::uint64_t memoryLimitBytes = kSampleSpoolMemoryLimit);
    ~SampleSpool();
    SampleSpool(const SampleSpool&) = delete;
    SampleSpool& operator=(const SampleSpool&) = delete;

    bool inMemory() const { return fd_ < 0; }

    // Appends; the reason when the scratch file could not take them.
    Expected<void, Error> append(std::span<const float> samples);

    // Reads back what was appended, from the start, in order: fills `out`
    // as far as samples remain; how many, 0 at the end.
    Expected<std::size_t, Error> read(std::span<float> out);

  private:
    explicit SampleSpool(int fd) : fd_(fd) {}

    std::vector<float> memory_;
    int fd_ = -1;  // the scratch file, when not in memory
    std::uint64_t written_ = 0;
    std::uint64_t readPosition_ = 0;
};

}  // namespace halvorn
