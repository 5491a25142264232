#include "midi/io/sample_spool.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "model/error.h"
#include "model/output_file.h"

namespace halvorn {

namespace {

std::string scratchFailure(int error) {
    return "The scratch file for the audio failed: " + systemErrorText(error);
}

}  // namespace

Expected<std::unique_ptr<SampleSpool>, Error> SampleSpool::create(std::uint64_t samples,
                                                                  std::uint64_t memoryLimitBytes) {
    if (samples <= memoryLimitBytes / sizeof(float)) {
        try {
            std::unique_ptr<SampleSpool> spool(new SampleSpool(-1));
            spool->memory_.reserve(static_cast<std::size_t>(samples));
            return spool;
        } catch (const std::bad_alloc&) {
            // On to the scratch file.
        }
    }
    const int fd = openScratchFile();
    if (fd < 0) return unexpected(errorOf(ErrorCode::kFileAccess, scratchFailure(errno)));
    return std::unique_ptr<SampleSpool>(new SampleSpool(fd));
}

SampleSpool::~SampleSpool() {
    if (fd_ >= 0) ::close(fd_);
}

Expected<void, Error> SampleSpool::append(std::span<const float> samples) {
    if (inMemory()) {
        try {
            memory_.insert(memory_.end(), samples.begin(), samples.end());
        } catch (const std::bad_alloc&) {
            return unexpected(errorOf(ErrorCode::kOutOfMemory, "Not enough memory for the audio"));
        }
        written_ += samples.size();
        return {};
    }
    const auto* bytes = reinterpret_cast<const char*>(samples.data());
    std::size_t left = samples.size_bytes();
    while (left > 0) {
        const ssize_t put = ::write(fd_, bytes, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0)
            return unexpected(
                errorOf(ErrorCode::kFileAccess, scratchFailure(put < 0 ? errno : ENOSPC)));
        bytes += put;
        left -= static_cast<std::size_t>(put);
    }
    written_ += samples.size();
    return {};
}

Expected<std::size_t, Error> SampleSpool::read(std::span<float> out) {
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), written_ - readPosition_));
    if (inMemory()) {
        if (count > 0)
            std::memcpy(out.data(), memory_.data() + readPosition_, count * sizeof(float));
        readPosition_ += count;
        return count;
    }
    auto* bytes = reinterpret_cast<char*>(out.data());
    std::size_t got = 0;
    while (got < count * sizeof(float)) {
        const ssize_t n = ::pread(fd_, bytes + got, count * sizeof(float) - got,
                                  static_cast<off_t>(readPosition_ * sizeof(float) + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            return unexpected(errorOf(ErrorCode::kFileAccess, scratchFailure(n < 0 ? errno : EIO)));
        got += static_cast<std::size_t>(n);
    }
    readPosition_ += count;
    return count;
}

}  // namespace halvorn
