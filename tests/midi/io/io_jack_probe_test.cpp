// While no JACK server runs, looking for one (the port lists, every second
// in the window) leaves /dev/shm alone: libjack's own look, a client open
// that fails, writes its database there each time.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "midi/device_list.h"
#include "midi/io/system_clock_sources.h"
#include "midi/io/system_devices.h"
#include "midi/midi_system.h"

namespace halvorn::test {
namespace {

std::set<std::string> shmEntries() {
    std::set<std::string> entries;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator("/dev/shm", ignored))
        entries.insert(entry.path().string() + " " +
                       std::to_string(entry.last_write_time(ignored).time_since_epoch().count()));
    return entries;
}

// An empty /dev/shm of the test's own (a private mount namespace), so that
// anything libjack leaves there shows. False where that is not allowed.
bool freshDevShm() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", "/dev/shm", "tmpfs", 0, "mode=1777") == 0;
}

// In a child process of its own, so that the private /dev/shm never meets
// the other tests: 0 when /dev/shm stayed as it was, 1 when it changed, 77
// when no private /dev/shm could be had.
int listPortsInAPrivateDevShm() {
    if (!freshDevShm()) return 77;
    std::random_device seed;
    const std::string nowhere = "halvorn-test-nowhere-" + std::to_string(seed() % 100000);
    ::setenv("JACK_DEFAULT_SERVER", nowhere.c_str(), 1);
    const auto before = shmEntries();
    {
        MidiSystem midi;
        installSystemMidiDevices(midi);
        installSystemClockSources(midi);
        for (int i = 0; i < 3; ++i) {
            static_cast<void>(midiRefreshOutputDevices(midi));
            static_cast<void>(midi.clockSources->rescan());
        }
        // The watch that looks for JACK does so on a thread of its own.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        static_cast<void>(midiRefreshOutputDevices(midi));
    }
    const auto after = shmEntries();
    for (const std::string& entry : after)
        std::fprintf(stderr, "left in /dev/shm: %s\n", entry.c_str());
    return before.empty() && after == before ? 0 : 1;
}

TEST(JackProbe, ListingPortsWithoutAServerLeavesDevShmAlone) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(listPortsInAPrivateDevShm());
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private /dev/shm here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "libjack left something in /dev/shm";
}

}  // namespace
}  // namespace halvorn::test
