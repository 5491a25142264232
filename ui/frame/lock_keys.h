#pragma once
// The state of the Caps Lock, Num Lock and Scroll Lock indicators, where the
// windowing system tells it (X11); elsewhere nothing is known.

#include <optional>

namespace halvorn {

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

std::optional<LockKeys> queryLockKeys();

}  // namespace halvorn
