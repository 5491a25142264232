#pragma once
// A JACK server of the test's own on the dummy backend, and a client of the
// test's that registers MIDI ports, for tests of what follows JACK.
//
// The server runs under a name no other test uses; JACK_DEFAULT_SERVER
// names it for this process (each test runs in a process of its own), so
// every client made here reaches it and never the user's. PulseAudio is
// pointed nowhere so that the built-in synthesizer plays to this JACK
// server. The server gets SIGTERM when the test process dies and when the
// object goes; a killed server would keep one of the few registry slots
// every server of the machine shares.

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

namespace halvorn::test {

class JackTestServer {
  public:
    JackTestServer() : name_(uniqueName()) {
        // The probes below fail until the server answers: quietly.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        ::setenv("PULSE_SERVER", "unix:/nonexistent/halvorn-test/native", 1);
        pid_ = ::fork();
        if (pid_ == 0) runServer(name_);
        if (pid_ > 0) answering_ = waitUntilAnswering();
    }
    ~JackTestServer() { stop(); }
    JackTestServer(const JackTestServer&) = delete;
    JackTestServer& operator=(const JackTestServer&) = delete;

    bool answering() const { return answering_; }

    // Ends the server as a user would (its clients are told) and reaps it.
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (::waitpid(pid_, &status, WNOHANG) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        answering_ = false;
        removeLeftovers();
    }

  private:
    static std::string uniqueName() {
        std::random_device seed;
        return "halvorn-test-" + std::to_string(::getpid()) + "-" + std::to_string(seed() % 100000);
    }

    [[noreturn]] static void runServer(const std::string& name) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("jackd", "jackd", "--name", name.c_str(), "--timeout", "2000", "-d", "dummy", "-r",
                 "48000", "-p", "256", static_cast<char*>(nullptr));
        ::_exit(127);
    }

    bool waitUntilAnswering() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) return false;
            jack_status_t jackStatus{};
            if (jack_client_t* probe =
                    jack_client_open("halvorn-test-probe", JackNoStartServer, &jackStatus)) {
                jack_client_close(probe);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    void removeLeftovers() const {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
            const std::string file = entry.path().filename().string();
            if (file.find("_" + name_ + "_") != std::string::npos)
                std::filesystem::remove(entry.path(), ignored);
        }
    }

    std::string name_;
    pid_t pid_ = -1;
    bool answering_ = false;
};

// A client of the test's own whose MIDI input ports (what Halvorn offers as
// JACK outputs) come and go at the test's command.
class JackTestClient {
  public:
    // Close it before the server stops: libjack cannot close a client of a
    // server that has gone once another client failed to open (see
    // midi/io/jack/jack_clients.h), and the port list keeps trying.
    explicit JackTestClient(const char* name)
        : client_(jack_client_open(name, JackNoStartServer, nullptr)) {}
    ~JackTestClient() { close(); }
    void close() {
        if (client_) jack_client_close(client_);
        client_ = nullptr;
    }
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool open() const { return client_ != nullptr; }
    std::string name() const { return jack_get_client_name(client_); }

    // The port's full name ("client:port"), empty on failure.
    std::string addMidiInput(const char* shortName) {
        jack_port_t* port =
            jack_port_register(client_, shortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        return port ? jack_port_name(port) : std::string();
    }
    bool remove(const std::string& fullName) {
        jack_port_t* port = jack_port_by_name(client_, fullName.c_str());
        return port && jack_port_unregister(client_, port) == 0;
    }

  private:
    jack_client_t* client_;
};

}  // namespace halvorn::test
