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
};

class Autosave final : public QObject {
  public:
    Autosave(RecoveryStore& store, AutosaveSource source, int intervalSeconds);

    // One autosave now, as the timer would make it.
    void tick();
    // Milliseconds the last written copy took, from reading the window to
    // the file in place.
    qint64 lastWriteMilliseconds() const { return lastWrite_; }

  private:
    RecoveryStore& store_;
    AutosaveSource source_;
    QTimer timer_;
    qint64 lastWrite_ = 0;
    bool failed_ = false;
};

}  // namespace halvorn
