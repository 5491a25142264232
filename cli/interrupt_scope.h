#pragma once
// Ctrl+C (and SIGTERM) for subcommands that run a while: instead of killing
// the process, the signal sets a flag the subcommand polls, so it can stop
// playback or remove a half-written file. The previous handlers come back
// when the scope ends.

#include <signal.h>

namespace halvorn::cli {

class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    // True once a signal arrived during this scope.
    static bool interrupted();

  private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

}  // namespace halvorn::cli
