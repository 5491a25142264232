#include "model/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace halvorn {
namespace {

class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

  private:
    int fd_;
};

}  // namespace

Expected<std::vector<std::uint8_t>, int> readWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return unexpected(errno);
    struct stat info;
    if (::fstat(fd.get(), &info) != 0) return unexpected(errno);
    if (!S_ISREG(info.st_mode)) return unexpected(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) bytes.resize(bytes.size() + 65536);  // file may grow
            const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
            if (got < 0) {
                if (errno == EINTR) continue;
                return unexpected(errno);
            }
            if (got == 0) break;
            filled += static_cast<std::size_t>(got);
        }
        bytes.resize(filled);
    } catch (const std::bad_alloc&) {  // a file larger than memory
        return unexpected(ENOMEM);
    }
    return bytes;
}

}  // namespace halvorn
