#include "midi/io/fluidsynth/fluid_handles.h"

#include <mutex>
#include <string>

namespace halvorn {

namespace {

std::mutex logMutex;
std::string lastError;

void captureLog(int level, const char* message, void*) {
    if (level > FLUID_WARN || !message) return;
    std::lock_guard lock(logMutex);
    lastError = message;
}

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

void fluidClearLastError() {
    std::lock_guard lock(logMutex);
    lastError.clear();
}

}  // namespace halvorn
