// Fuzzes the Standard MIDI File reader: any bytes must give a result code,
// never a crash, and a failed read must leave the song untouched. What a
// read song encodes to must read back, and from then on a write and a read
// change nothing. (The first pass may: a foreign file can route a chunk by
// its channel prefix to a slot whose events carry other channels, and our
// own files, which have no prefix, are routed by the events' channels.)
#include <cstdint>
#include <cstdlib>

#include "midi/smf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    halvorn::MidiSong song;
    song.title = "unchanged";
    const halvorn::MidiResult result = halvorn::midiSongDecode({data, size}, &song);
    if (result != halvorn::MidiResult::kOk && song.title != "unchanged") std::abort();
    if (result == halvorn::MidiResult::kOk) {
        std::vector<std::uint8_t> bytes;
        if (halvorn::midiSongEncode(&song, bytes) != halvorn::MidiResult::kOk) return 0;
        const auto readBackAndEncode = [](const std::vector<std::uint8_t>& written) {
            halvorn::MidiSong reread;
            std::vector<std::uint8_t> again;
            if (halvorn::midiSongDecode(written, &reread) != halvorn::MidiResult::kOk ||
                halvorn::midiSongEncode(&reread, again) != halvorn::MidiResult::kOk)
                std::abort();
            return again;
        };
        const std::vector<std::uint8_t> settled = readBackAndEncode(bytes);
        if (readBackAndEncode(settled) != settled) std::abort();
    }
    return 0;
}
