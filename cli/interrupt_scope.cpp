#include "cli/interrupt_scope.h"

#include <csignal>

namespace halvorn::cli {
namespace {

volatile std::sig_atomic_t signalled = 0;

void onSignal(int) {
    signalled = 1;
}

}  // namespace

InterruptScope::InterruptScope() {
    signalled = 0;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
}

InterruptScope::~InterruptScope() {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
}

bool InterruptScope::interrupted() {
    return signalled != 0;
}

}  // namespace halvorn::cli
