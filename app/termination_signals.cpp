#include "app/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace halvorn {
namespace {

// The pair's ends: the handler writes into [0], the notifier reads [1].
// Process-wide because a signal handler can reach nothing else.
int signalSockets[2] = {-1, -1};

extern "C" void noteSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe already holds a wake-up.
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

void handle(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> arrived)
    : arrived_(std::move(arrived)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(signalSockets[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    handle(SIGTERM, noteSignal);
    handle(SIGHUP, noteSignal);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    handle(SIGTERM, SIG_DFL);
    handle(SIGHUP, SIG_DFL);
    notifier_.reset();
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void TerminationSignals::readSignal() {
    char byte = 0;
    if (::read(signalSockets[1], &byte, 1) != 1) return;
    if (arrived_) arrived_();
}

}  // namespace halvorn
