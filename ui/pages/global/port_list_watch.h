#pragma once
// Keeps the Global page's "Port:" list in step with the MIDI outputs that
// come and go while the program runs: once a second the MIDI system's
// device list is refreshed (midiRefreshOutputDevices, which keeps the
// selection by name) and, when it changed, the list shows the new names
// with the same device selected, or the selected device as gone while it
// is (output_devices.h). Not while the list is open under the user's
// pointer: that refresh waits for the next tick.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "midi/midi_system.h"

class QComboBox;

namespace halvorn {

class CPortListWatch final : public QObject {
    Q_OBJECT
  public:
    static constexpr int kIntervalMs = 1000;

    // Fills `list` with the device names (nothing selected, no signal) and
    // starts watching. `selected` hears the port selected after each change
    // of the list (-1 for none or a gone one), the settings' selectedPort.
    CPortListWatch(QComboBox* list, MidiSystem& midi, std::function<void(std::int32_t)> selected,
                   QObject* parent);

    // One look now; true when the list changed.
    bool refresh();
    // The list as the MIDI system has it now, the selected port chosen.
    void showPorts();

  private:
    void fill();

    QComboBox* list_;
    MidiSystem& midi_;
    std::function<void(std::int32_t)> selected_;
    QTimer timer_;
};

}  // namespace halvorn
