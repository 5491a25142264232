#include "midi/io/wav_file_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace halvorn {

namespace {

// mkstemp beside `path`, so the final rename stays on one file system.
int createTemporaryBeside(const std::string& path, std::string& temporaryPath) {
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".partial-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof(suffix));
    const int fd = mkstemp(name.data());
    if (fd < 0) return fd;
    temporaryPath = name.data();
    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return fd;
}

}  // namespace

std::unique_ptr<WavFileWriter> WavFileWriter::create(const std::string& path, int sampleRate,
                                                     std::string& error) {
    std::string temporaryPath;
    const int fd = createTemporaryBeside(path, temporaryPath);
    if (fd < 0) {
        error = "Cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SndfileHandle file(sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE));
    if (!file) {
        error = "Cannot create " + path + ": " + sf_strerror(nullptr);
        ::close(fd);
        std::remove(temporaryPath.c_str());
        return nullptr;
    }
    return std::unique_ptr<WavFileWriter>(
        new WavFileWriter(path, std::move(temporaryPath), std::move(file)));
}

WavFileWriter::WavFileWriter(std::string path, std::string temporaryPath, SndfileHandle file)
    : path_(std::move(path)), temporaryPath_(std::move(temporaryPath)), file_(std::move(file)) {}

WavFileWriter::~WavFileWriter() {
    if (committed_) return;
    file_.reset();
    std::remove(temporaryPath_.c_str());
}

bool WavFileWriter::write(const std::int16_t* samples, std::size_t frames) {
    if (!file_ || writeFailed_) return false;
    const auto count = static_cast<sf_count_t>(frames);
    if (sf_writef_short(file_.get(), samples, count) != count) writeFailed_ = true;
    return !writeFailed_;
}

bool WavFileWriter::commit(std::string& error) {
    if (!file_ || writeFailed_) {
        error = "Cannot write " + path_ + ".";
        return false;
    }
    if (sf_close(file_.release()) != 0) {
        error = "Cannot write " + path_ + ".";
        return false;
    }
    std::error_code code;
    std::filesystem::rename(temporaryPath_, path_, code);
    if (code) {
        error = "Cannot create " + path_ + ": " + code.message();
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace halvorn
