#include "app/autosave.h"

#include <QElapsedTimer>
#include <QSettings>

namespace halvorn {
namespace {

// How often a write under way is looked at: soon enough that a failure is
// told while the user still remembers what they were doing.
constexpr int kOutcomePollMs = 100;

}  // namespace

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
    outcomeTimer_.setInterval(kOutcomePollMs);
    connect(&outcomeTimer_, &QTimer::timeout, this, &Autosave::lookAtOutcome);
}

// Only the window's contents are read here; the file is written on the
// store's own thread.
void Autosave::tick() {
    lookAtOutcome();
    if (!source_.modified()) return;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::uint8_t> bytes = documentEncode(source_.contents());
    store_.startWrite(std::move(bytes), source_.originalPath());
    lastTick_ = clock.elapsed();
    outcomeTimer_.start();
}

bool Autosave::writeNow() {
    lookAtOutcome();
    if (!source_.modified()) return true;
    const auto written = store_.write(source_.contents(), source_.originalPath());
    noteOutcome(written);
    return bool(written);
}

void Autosave::lookAtOutcome() {
    if (!store_.writing()) outcomeTimer_.stop();
    const auto outcome = store_.finishedWrite();
    if (!outcome) return;
    outcomeTimer_.stop();
    noteOutcome(*outcome);
}

// A failure is told once, not every interval: a box each minute would stop
// the work that the copy is there to protect. A copy written again ends the
// run of failures, so the next one is told again.
void Autosave::noteOutcome(const Expected<void, Error>& outcome) {
    if (!outcome && !failed_ && source_.failed) source_.failed(outcome.error());
    if (outcome && failed_ && source_.recovered) source_.recovered();
    failed_ = !outcome;
}

}  // namespace halvorn
