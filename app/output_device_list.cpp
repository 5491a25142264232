#include "app/output_device_list.h"

#ifdef HALVORN_HAVE_MIDI_IO
#include "midi/io/audio_export.h"
#include "midi/io/stem_export.h"
#include "midi/io/system_clock_sources.h"
#include "midi/io/system_devices.h"
#endif

namespace halvorn {

// The list is built before any window exists; the Global page then follows
// ports that come and go. "Port:" shows its names in list order. What is
// missing (no soundfont, no system MIDI) shows as a shorter list, and playback
// reports it when it cannot open a stream. The clocks "Sync:" offers come
// with it.
void installOutputDeviceList([[maybe_unused]] MidiSystem& midi) {
#ifdef HALVORN_HAVE_MIDI_IO
    installSystemMidiDevices(midi);
    installSystemClockSources(midi);
#endif
}

AudioExportFunction systemAudioExport() {
#ifdef HALVORN_HAVE_MIDI_IO
    return [](MidiSong& song, const std::string& path, const AudioExportProgress& progress) {
        return exportSongAudio(song, path, AudioExportOptions{}, progress);
    };
#else
    return {};
#endif
}

AudioExportFunction systemStemsExport() {
#ifdef HALVORN_HAVE_MIDI_IO
    return [](MidiSong& song, const std::string& folder, const AudioExportProgress& progress) {
        return exportSongStems(song, folder, AudioExportOptions{}, progress);
    };
#else
    return {};
#endif
}

}  // namespace halvorn
