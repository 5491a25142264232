#include "app/first_paint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace halvorn {
namespace {

class FirstPaintWatcher final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // After this paint has been flushed to the screen.
            QTimer::singleShot(0, this, [] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now);
                std::fprintf(stderr, "first-paint-epoch-ms %lld\n",
                             static_cast<long long>(ms.count()));
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool reported_ = false;
};

}  // namespace

void reportFirstPaint(QWidget& window) {
    if (qEnvironmentVariableIsEmpty("HALVORN_REPORT_FIRST_PAINT")) return;
    window.installEventFilter(new FirstPaintWatcher(&window));
}

}  // namespace halvorn
