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

// A failure is told once, not every interval: a box each minute would stop
// the work that the copy is there to protect.
void Autosave::tick() {
    if (!source_.modified()) return;
    QElapsedTimer clock;
    clock.start();
    const auto written = store_.write(source_.contents(), source_.originalPath());
    lastWrite_ = clock.elapsed();
    if (!written && !failed_ && source_.failed) source_.failed(written.error());
    failed_ = !written;
}

}  // namespace halvorn
