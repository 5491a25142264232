#pragma once
// SIGTERM and SIGHUP (log-out, shutdown, a terminal closing) reach the
// program through its event loop: the handler only writes a byte into a
// socket pair, and the window's thread, woken by it, runs the function the
// program gave. A signal handler belongs to the whole process, so this file
// is the one place that installs one.

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace halvorn {

class TerminationSignals final : public QObject {
  public:
    // `arrived` runs on the thread that made this object, once per signal.
    explicit TerminationSignals(std::function<void()> arrived);
    // Puts the default handlers back.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    void readSignal();

    std::function<void()> arrived_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace halvorn
