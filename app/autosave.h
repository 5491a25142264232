#pragma once
// Writes a recovery copy of the work at a fixed interval while it holds
// changes that no file has. What is written is what the window shows: the
// document with the pages' unsaved edits applied to a copy of it.

#include <QObject>
#include <QTimer>
#include <functional>

#include "app/recovery_store.h"

namespace halvorn {

// The interval in seconds: HALVORN_AUTOSAVE_SECONDS when it holds a whole
// number from 1 up, else the "autosave/intervalSeconds" setting, else 60.
int autosaveIntervalSeconds();

struct AutosaveSource {
    std::function<bool()> modified;            // changes no file has
    std::function<Document()> contents;        // what the window shows
    std::function<QString()> originalPath;     // empty for untitled
    std::function<void(const Error&)> failed;  // told once per run of failures
    std::function<void()> recovered;           // a copy was written after failures
};

class Autosave final : public QObject {
  public:
    Autosave(RecoveryStore& store, AutosaveSource source, int intervalSeconds);

    // One autosave now, as the timer would make it: the copy is being
    // written when it returns (RecoveryStore::finishWrite waits for it).
    // Its outcome is looked at as soon as the write has finished.
    void tick();
    // A last copy of the work, written before this returns (the program is
    // about to end without asking). False when it could not be written.
    bool writeNow();
    // Milliseconds the last tick took on this thread.
    qint64 lastTickMilliseconds() const { return lastTick_; }

  private:
    void lookAtOutcome();
    void noteOutcome(const Expected<void, Error>& outcome);

    RecoveryStore& store_;
    AutosaveSource source_;
    QTimer timer_;
    // Polls the write under way until it has finished.
    QTimer outcomeTimer_;

    qint64 lastTick_ = 0;
    bool failed_ = false;
};

}  // namespace halvorn
