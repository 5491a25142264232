// Output paths as users give them: devices, FIFOs, symbolic links, files
// with their own permissions, and failures in the middle of a write.

#include "model/output_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/test_support.h"

namespace halvorn {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class OutputPaths : public test::ScratchDirectoryTest {
  protected:
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    const Bytes bytes_ = {'M', 'T', 'h', 'd', 0, 1, 2};
};

TEST_F(OutputPaths, DevicesAreWrittenStraightAndAFullOneFails) {
    const auto full = writeFileSafely("/dev/full", bytes_);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error(), ENOSPC);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));  // not replaced by a file
    EXPECT_TRUE(writeFileSafely("/dev/null", bytes_));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(OutputPaths, AFifoIsWrittenStraight) {
    const std::string fifo = path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = contents(fifo); });
    EXPECT_TRUE(writeFileSafely(fifo, bytes_));
    reader.join();
    EXPECT_EQ(received, std::string(bytes_.begin(), bytes_.end()));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(fileCount(), 1u);
}

TEST_F(OutputPaths, SymbolicLinksAreFollowedAndKept) {
    fs::create_directories(dir_ / "songs");
    std::ofstream(path("songs/take.mid")) << "old";
    fs::create_symlink("songs/take.mid", dir_ / "link.mid");  // relative to the link
    fs::create_symlink("link.mid", dir_ / "chain.mid");
    ASSERT_TRUE(writeFileSafely(path("chain.mid"), bytes_));
    EXPECT_TRUE(fs::is_symlink(dir_ / "chain.mid"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.mid"));
    EXPECT_EQ(contents(path("songs/take.mid")), std::string(bytes_.begin(), bytes_.end()));

    fs::create_symlink("songs/new.mid", dir_ / "dangling.mid");
    ASSERT_TRUE(writeFileSafely(path("dangling.mid"), bytes_));
    EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.mid"));
    EXPECT_EQ(contents(path("songs/new.mid")).size(), bytes_.size());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "songs"), fs::directory_iterator()), 2);
}

TEST_F(OutputPaths, AnExistingFileKeepsItsPermissionsAndANewOneFollowsTheUmask) {
    const std::string secret = path("secret.wav");
    std::ofstream(secret) << "old";
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_TRUE(writeFileSafely(secret, bytes_));
    struct stat info;
    ASSERT_EQ(::stat(secret.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    const mode_t mask = ::umask(022);
    ASSERT_TRUE(writeFileSafely(path("fresh.mid"), bytes_));
    ::umask(mask);
    ASSERT_EQ(::stat(path("fresh.mid").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(fileCount(), 2u);
}

TEST_F(OutputPaths, AFailedWriteLeavesTheExistingFileWholeAndNoTemporary) {
    const std::string target = path("song.mid");
    std::ofstream(target) << "the previous take";
    const Bytes big(64 * 1024, 0x55);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const auto written = writeFileSafely(target, big);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), EFBIG);
    EXPECT_EQ(contents(target), "the previous take");
    EXPECT_EQ(fileCount(), 1u);

    EXPECT_FALSE(writeFileSafely(path("no/such/dir.mid"), bytes_));
    EXPECT_EQ(writeFileSafely(dir_.string(), bytes_).error(), EISDIR);
}

}  // namespace
}  // namespace halvorn
