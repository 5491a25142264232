#include "midi/io/fluid_handles.h"

#include <mutex>
#include <string>

#if defined(HALVORN_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

namespace halvorn {

namespace {

std::mutex logMutex;
std::string lastError;

void captureLog(int level, const char* message, void*) {
    if (level > FLUID_WARN || !message) return;
    std::lock_guard lock(logMutex);
    lastError = message;
}

#if defined(HALVORN_HAVE_ALSA)
void silentAlsaHandler(const char*, int, const char*, int, const char*, ...) {}
#endif

}  // namespace

void fluidCaptureLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, captureLog, nullptr);
    });
}

std::string fluidLastError() {
    std::lock_guard lock(logMutex);
    return lastError;
}

void alsaQuietErrors() {
#if defined(HALVORN_HAVE_ALSA)
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(silentAlsaHandler); });
#endif
}

}  // namespace halvorn
