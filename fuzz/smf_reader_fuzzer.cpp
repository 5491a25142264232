// Fuzzes the Standard MIDI File reader: any bytes must give a result code,
// never a crash, and a failed read must leave the song untouched.
#include <cstdint>
#include <cstdlib>

#include "midi/smf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    halvorn::MidiSong song;
    song.title = "unchanged";
    const int result = halvorn::midiSongDecode({data, size}, &song);
    if (result != halvorn::kMidiOk && song.title != "unchanged") std::abort();
    if (result == halvorn::kMidiOk) {
        // Whatever was read must encode again without trouble.
        std::vector<std::uint8_t> bytes;
        halvorn::midiSongEncode(&song, bytes);
    }
    return 0;
}
