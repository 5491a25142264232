#pragma once
// Moves the calling process into a network namespace of its own with only
// a loopback interface, multicast on: Link peers of one test find each
// other there, and no discovery packet leaves the machine's loopback.
// Call it first thing in a process of its own (each test case runs in its
// own), before any thread is made. False where the system does not allow
// it (no privilege for namespaces, no "ip" tool).

#include <sched.h>

#include <cstdlib>

namespace halvorn::test {

inline bool enterPrivateNetwork() {
    if (::unshare(CLONE_NEWNET) != 0) return false;
    return std::system(
               "ip link set lo up && ip link set lo multicast on && "
               "ip route add 224.0.0.0/4 dev lo") == 0;
}

}  // namespace halvorn::test
