#include "app/autosave.h"

#include <QElapsedTimer>
#include <QSettings>

namespace halvorn {

int autosaveIntervalSeconds() {
    bool valid = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("HALVORN_AUTOSAVE_SECONDS", &valid);
    if (valid && fromEnvironment > 0) return fromEnvironment;
    const int fromSettings =
        QSettings().value(QStringLiteral("autosave/intervalSeconds"), 60).toInt(&valid);
    return valid && fromSettings > 0 ? fromSettings : 60;
}

Autosave::Autosave(RecoveryStore& store, AutosaveSource source, int intervalSeconds)
    : store_(store), source_(std::move(source)) {
    timer_.setInterval(intervalSeconds * 1000);
    connect(&timer_, &QTimer::timeout, this, &Autosave::tick);
    timer_.start();
}

// Only the window's contents are read here; the file is written on the
// store's own thread, and its outcome is looked at on the next tick. A
// failure is told once, not every interval: a box each minute would stop the
// work that the copy is there to protect.
void Autosave::tick() {
    if (auto outcome = store_.finishedWrite()) noteOutcome(*outcome);
    if (!source_.modified()) return;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::uint8_t> bytes = documentEncode(source_.contents());
    store_.startWrite(std::move(bytes), source_.originalPath());
    lastTick_ = clock.elapsed();
}

void Autosave::noteOutcome(const Expected<void, Error>& outcome) {
    if (!outcome && !failed_ && source_.failed) source_.failed(outcome.error());
    failed_ = !outcome;
}

}  // namespace halvorn
