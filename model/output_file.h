#pragma once
// Safe writing of an output file (documents, MIDI files, WAV files), the
// one place that knows what the target of an output path is:
// - a regular file, new or existing, is never left half-written: the bytes
//   go to a temporary file beside it, which replaces it whole only once
//   every write and the close have succeeded; an existing file keeps its
//   permission bits (and, for root, its owner);
// - a symbolic link is followed: the file it points to is replaced and the
//   link stays a link;
// - an existing target that is not a regular file (a device such as
//   /dev/null, a FIFO) is written straight, and a failed or short write
//   there (/dev/full) is an error.
// Errors are errno values.

#include <cstdint>
#include <span>
#include <string>

#include "model/expected.h"

namespace halvorn {

class OutputFile {
  public:
    // Prepares writing to `path`: for a regular target a temporary file
    // beside it, for any other an open descriptor on the target itself.
    static Expected<OutputFile, int> open(const std::string& path);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();  // without commit: the temporary file is removed

    // Where the bytes go; seekable only for a regular target.
    int descriptor() const { return fd_; }
    bool seekable() const { return !temporaryPath_.empty(); }

    // Writes everything, retrying short writes.
    Expected<void, int> write(std::span<const std::uint8_t> bytes);

    // Closes, and puts a regular target in place.
    Expected<void, int> commit();

  private:
    OutputFile(int fd, std::string targetPath, std::string temporaryPath)
        : fd_(fd), targetPath_(std::move(targetPath)), temporaryPath_(std::move(temporaryPath)) {}

    int fd_ = -1;
    std::string targetPath_;     // the file itself, symbolic links resolved
    std::string temporaryPath_;  // empty when writing straight
    bool committed_ = false;
};

// An unnamed read-write file in the temporary directory, gone once closed
// (for spooling what a target that cannot seek receives in one piece): its
// descriptor, or -1 with errno set.
int openScratchFile();

// OutputFile::open, write and commit of `bytes`.
Expected<void, int> writeFileSafely(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace halvorn
