#include "ui/frame/lock_keys.h"

#include <QGuiApplication>

#ifdef HALVORN_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace halvorn {

std::optional<LockKeys> queryLockKeys() {
#ifdef HALVORN_HAVE_X11
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;
    unsigned int state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != 0) return std::nullopt;
    // The core keyboard's first three indicators: Caps, Num, Scroll.
    return LockKeys{(state & 0x1u) != 0, (state & 0x2u) != 0, (state & 0x4u) != 0};
#else
    return std::nullopt;
#endif
}

}  // namespace halvorn
