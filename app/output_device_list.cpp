#include "app/output_device_list.h"

#include <QString>

#include "midi/device_list.h"
#include "ui/audio_export_run.h"
#include "ui/output_devices.h"

#ifdef HALVORN_HAVE_MIDI_IO
#include "midi/io/audio_export.h"
#include "midi/io/system_devices.h"
#endif

namespace halvorn {

// The list is built once, before any window exists, and kept for the life of
// the process; "Port:" shows its names in list order. What is missing (no
// soundfont, no system MIDI) shows as a shorter list, and playback reports it
// when it cannot open a stream.
void installOutputDeviceList() {
#ifdef HALVORN_HAVE_MIDI_IO
    installSystemMidiDevices();
#endif
    setOutputDeviceNameSource([] {
        QStringList names;
        for (const MidiOutputDevice& device : midiOutputDevices()) {
            names << QString::fromStdString(device.name);
        }
        return names;
    });
}

void installAudioExport() {
#ifdef HALVORN_HAVE_MIDI_IO
    setAudioExportFunction(
        [](MidiSong& song, const std::string& path, const AudioExportProgressFunction& progress) {
            return exportSongAudio(song, path, AudioExportOptions{}, progress);
        });
#endif
}

}  // namespace halvorn
