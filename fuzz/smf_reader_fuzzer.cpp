// Fuzzes the Standard MIDI File reader: any bytes must give a result code,
// never a crash, and a failed read must leave the song untouched.
#include <cstdint>
#include <cstdlib>

#include "midi/smf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    halvorn::MidiSong song;
    song.title = "unchanged";
    const halvorn::MidiResult result = halvorn::midiSongDecode({data, size}, &song);
    if (result != halvorn::MidiResult::kOk && song.title != "unchanged") std::abort();
    if (result == halvorn::MidiResult::kOk) {
        // Whatever was read must encode again without trouble.
        std::vector<std::uint8_t> bytes;
        static_cast<void>(halvorn::midiSongEncode(&song, bytes));
    }
    return 0;
}
