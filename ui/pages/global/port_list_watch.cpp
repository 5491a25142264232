#include "ui/pages/global/port_list_watch.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QSignalBlocker>
#include <utility>

#include "midi/device_list.h"
#include "ui/pages/global/output_devices.h"

namespace halvorn {

CPortListWatch::CPortListWatch(QComboBox* list, MidiSystem& midi,
                               std::function<void(std::int32_t)> selected, QObject* parent)
    : QObject(parent), list_(list), midi_(midi), selected_(std::move(selected)) {
    fill();
    connect(&timer_, &QTimer::timeout, this, &CPortListWatch::refresh);
    timer_.start(kIntervalMs);
}

bool CPortListWatch::refresh() {
    if (list_->view()->isVisible()) return false;
    if (!midiRefreshOutputDevices(midi_)) return false;
    showPorts();
    if (selected_) selected_(midi_.settings.selectedPort);
    return true;
}

// Silently: the page's own handler would read (and judge) every field.
void CPortListWatch::showPorts() {
    fill();
    const QSignalBlocker blocker(list_);
    list_->setCurrentIndex(entryOfPort(midi_, midi_.settings.selectedPort));
}

void CPortListWatch::fill() {
    const QSignalBlocker blocker(list_);
    list_->clear();
    list_->addItems(portEntries(midi_));
}

}  // namespace halvorn
