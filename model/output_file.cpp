#include "model/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

namespace halvorn {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows them

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

// The path with every symbolic link on its last component followed; a link
// to nowhere gives the path a new file would get.
Expected<std::string, int> resolveLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::vector<char> target(static_cast<std::size_t>(info.st_size) + 256);
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) return unexpected(errno);
        const std::string link(target.data(), static_cast<std::size_t>(length));
        path = link.starts_with('/') ? link : directoryOf(path) + link;
    }
    return unexpected(ELOOP);
}

// A new file beside `target` that no other writer can have: created with
// O_EXCL and mode 0666, so the process umask applies as to any new file.
Expected<std::pair<int, std::string>, int> createTemporaryBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    std::minstd_rand random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid() ^ counter++));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".part-%06x",
                      static_cast<unsigned>(random() & 0xFFFFFF));
        const std::string path = target + suffix;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return std::pair{fd, path};
        if (errno != EEXIST) return unexpected(errno);
    }
    return unexpected(EEXIST);
}

}  // namespace

Expected<OutputFile, int> OutputFile::open(const std::string& path) {
    if (path.empty()) return unexpected(ENOENT);
    const auto target = resolveLinks(path);
    if (!target) return unexpected(target.error());
    struct stat existing;
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return unexpected(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        const int fd = ::open(target->c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return unexpected(errno);
        return OutputFile(fd, *target, {});
    }
    auto temporary = createTemporaryBeside(*target);
    if (!temporary) return unexpected(temporary.error());
    OutputFile file(temporary->first, *target, temporary->second);
    if (exists) {
        // The replacement keeps what the user set on the file.
        if (::fchmod(file.fd_, existing.st_mode & 07777) != 0) return unexpected(errno);
        if (::geteuid() == 0 && ::fchown(file.fd_, existing.st_uid, existing.st_gid) != 0) {
            // Not fatal: the replacement then belongs to root, with the same mode.
        }
    }
    return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(other.fd_),
      targetPath_(std::move(other.targetPath_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      committed_(other.committed_) {
    other.fd_ = -1;
    other.temporaryPath_.clear();
    other.committed_ = true;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
}

Expected<void, int> OutputFile::write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return unexpected(errno);
        }
        if (written == 0) return unexpected(EIO);
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return {};
}

Expected<void, int> OutputFile::commit() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return unexpected(errno);
    if (!temporaryPath_.empty() && std::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0)
        return unexpected(errno);
    committed_ = true;
    return {};
}

Expected<void, int> writeFileSafely(const std::string& path, std::span<const std::uint8_t> bytes) {
    auto file = OutputFile::open(path);
    if (!file) return unexpected(file.error());
    if (auto written = file->write(bytes); !written) return written;
    return file->commit();
}

int openScratchFile() {
    std::error_code ignored;
    const std::string directory = std::filesystem::temp_directory_path(ignored).string();
    return ::open(directory.empty() ? "/tmp" : directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                  0600);
}

}  // namespace halvorn
