#include "midi/clock_dll.h"

#include <cmath>

namespace halvorn {

void ClockDll::reset(std::chrono::nanoseconds at, double periodNs) {
    period_ = periodNs;
    next_ = static_cast<double>(at.count()) + periodNs;
    locked_ = true;
}

void ClockDll::update(std::chrono::nanoseconds at) {
    // Damping 1: the phase gain is 2 omega, the period gain omega squared.
    const double omega = kOmega;
    const double error = static_cast<double>(at.count()) - next_;
    next_ += 2.0 * omega * error + period_;
    period_ += omega * omega * error;
}

std::chrono::nanoseconds ClockDll::next() const {
    return std::chrono::nanoseconds(static_cast<long long>(std::llround(next_)));
}

}  // namespace halvorn
