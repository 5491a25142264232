#pragma once
// Writes a 16-bit stereo WAV through libsndfile to an output path by way of
// OutputFile: a regular file appears only complete; a device or FIFO gets
// the finished file, since a WAV header is completed only at the end.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/error.h"
#include "model/expected.h"
#include "model/output_file.h"

namespace halvorn {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

// The size of a sample in the file: 16 bits for a finished piece, 24 for
// parts that are mixed further (their rounding stays far below 16 bits').
enum class WavSampleSize { k16Bit, k24Bit };

class WavFileWriter {
  public:
    // The writer, or the reason the file cannot be created (the system's
    // words, without the path).
    static Expected<std::unique_ptr<WavFileWriter>, Error> create(
        const std::string& path, int sampleRate, WavSampleSize size = WavSampleSize::k16Bit);
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    WavSampleSize sampleSize() const { return size_; }
    // Interleaved stereo frames: 16-bit samples, or 24-bit ones in the top
    // bits of 32 (as libsndfile takes them).
    bool write(const std::int16_t* samples, std::size_t frames);
    bool write(const std::int32_t* samples, std::size_t frames);
    // Completes the file and puts it in place; the reason on failure.
    Expected<void, Error> commit();

  private:
    WavFileWriter(OutputFile output, int stagingFd, SndfileHandle file, WavSampleSize size);
    bool wrote(sf_count_t written, std::size_t frames);

    OutputFile output_;
    int stagingFd_;  // the descriptor libsndfile writes: the output's or a scratch file's
    bool scratch_;   // stagingFd_ is a scratch file of this writer's own
    SndfileHandle file_;
    WavSampleSize size_;
    bool writeFailed_ = false;
};

}  // namespace halvorn
