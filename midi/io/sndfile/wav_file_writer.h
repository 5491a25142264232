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

class WavFileWriter {
  public:
    // The writer, or the reason the file cannot be created (the system's
    // words, without the path).
    static Expected<std::unique_ptr<WavFileWriter>, Error> create(const std::string& path,
                                                                  int sampleRate);
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    bool write(const std::int16_t* samples, std::size_t frames);
    // Completes the file and puts it in place; the reason on failure.
    Expected<void, Error> commit();

  private:
    WavFileWriter(OutputFile output, int stagingFd, SndfileHandle file);

    OutputFile output_;
    int stagingFd_;  // the descriptor libsndfile writes: the output's or a scratch file's
    bool scratch_;   // stagingFd_ is a scratch file of this writer's own
    SndfileHandle file_;
    bool writeFailed_ = false;
};

}  // namespace halvorn
