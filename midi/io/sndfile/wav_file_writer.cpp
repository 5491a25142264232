#include "midi/io/sndfile/wav_file_writer.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "model/error.h"

namespace halvorn {

namespace {

// Copies the finished scratch file into the output.
Expected<void, int> copyScratch(int scratch, OutputFile& output) {
    if (::lseek(scratch, 0, SEEK_SET) != 0) return unexpected(errno);
    std::vector<std::uint8_t> chunk(1 << 16);
    for (;;) {
        const ssize_t got = ::read(scratch, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return unexpected(errno);
        if (got == 0) return {};
        if (auto written = output.write(std::span(chunk).first(static_cast<std::size_t>(got)));
            !written)
            return written;
    }
}

}  // namespace

Expected<std::unique_ptr<WavFileWriter>, Error> WavFileWriter::create(const std::string& path,
                                                                      int sampleRate,
                                                                      WavSampleSize size) {
    auto output = OutputFile::open(path);
    if (!output)
        return unexpected(errorOf(ErrorCode::kFileAccess, systemErrorText(output.error())));
    const int fd = output->seekable() ? output->descriptor() : openScratchFile();
    if (fd < 0)
        return unexpected(
            errorOf(ErrorCode::kFileAccess, "No scratch file: " + systemErrorText(errno)));
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format =
        SF_FORMAT_WAV | (size == WavSampleSize::k24Bit ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16);
    SndfileHandle file(sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE));
    if (!file) {
        if (fd != output->descriptor()) ::close(fd);
        return unexpected(errorOf(ErrorCode::kFileAccess, sf_strerror(nullptr)));
    }
    return std::unique_ptr<WavFileWriter>(
        new WavFileWriter(std::move(*output), fd, std::move(file), size));
}

WavFileWriter::WavFileWriter(OutputFile output, int stagingFd, SndfileHandle file,
                             WavSampleSize size)
    : output_(std::move(output)),
      stagingFd_(stagingFd),
      scratch_(stagingFd != output_.descriptor()),
      file_(std::move(file)),
      size_(size) {}

WavFileWriter::~WavFileWriter() {
    file_.reset();
    if (scratch_) ::close(stagingFd_);
}

bool WavFileWriter::write(const std::int16_t* samples, std::size_t frames) {
    if (!file_ || writeFailed_) return false;
    return wrote(sf_writef_short(file_.get(), samples, static_cast<sf_count_t>(frames)), frames);
}

bool WavFileWriter::write(const std::int32_t* samples, std::size_t frames) {
    if (!file_ || writeFailed_) return false;
    return wrote(sf_writef_int(file_.get(), samples, static_cast<sf_count_t>(frames)), frames);
}

bool WavFileWriter::wrote(sf_count_t written, std::size_t frames) {
    if (written != static_cast<sf_count_t>(frames)) writeFailed_ = true;
    return !writeFailed_;
}

Expected<void, Error> WavFileWriter::commit() {
    const std::string cannotWrite = "The audio could not be written in full";
    if (!file_ || writeFailed_ || sf_close(file_.release()) != 0)
        return unexpected(errorOf(ErrorCode::kFileAccess, cannotWrite));
    if (scratch_) {
        if (const auto copied = copyScratch(stagingFd_, output_); !copied)
            return unexpected(errorOf(ErrorCode::kFileAccess, systemErrorText(copied.error())));
    }
    if (const auto committed = output_.commit(); !committed)
        return unexpected(errorOf(ErrorCode::kFileAccess, systemErrorText(committed.error())));
    return {};
}

}  // namespace halvorn
