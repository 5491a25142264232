#pragma once
// Writes a 16-bit stereo WAV through libsndfile into a temporary file beside
// the target, renamed into place only when everything was written.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>

namespace halvorn {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

class WavFileWriter {
  public:
    // Null with `error` set when the temporary file cannot be created.
    static std::unique_ptr<WavFileWriter> create(const std::string& path, int sampleRate,
                                                 std::string& error);
    ~WavFileWriter();  // removes the temporary file unless committed
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    bool write(const std::int16_t* samples, std::size_t frames);
    // Closes and renames into place; false with `error` set on failure.
    bool commit(std::string& error);

  private:
    WavFileWriter(std::string path, std::string temporaryPath, SndfileHandle file);

    std::string path_;
    std::string temporaryPath_;
    SndfileHandle file_;
    bool writeFailed_ = false;
    bool committed_ = false;
};

}  // namespace halvorn
