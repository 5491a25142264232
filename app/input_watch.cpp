#include "app/input_watch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace halvorn {
namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
        case QEvent::Drop:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
    }
}

}  // namespace

InputWatch::InputWatch(std::function<void()> afterInput) : afterInput_(std::move(afterInput)) {
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

InputWatch::~InputWatch() {
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

// One call for all the events of a burst (an event passed on to parents is
// seen again), queued so that it comes after the widgets have handled them.
bool InputWatch::eventFilter(QObject* watched, QEvent* event) {
    if (!pending_ && isUserInput(event->type())) {
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            afterInput_();
        });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace halvorn
