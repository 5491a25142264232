// Helper for the interop test: `write DIR` writes a set of songs with our
// writer together with a JSON description of what each file must contain;
// `dump FILE` reads a file with our reader and prints the song as JSON.
#include <cstdio>
#include <fstream>
#include <string>

#include "midi/smf.h"

namespace {

using namespace halvorn;

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string optionalText(const std::optional<std::string>& text) {
    return text ? quoted(*text) : "null";
}

std::string eventsJson(const std::vector<MidiEvent>& events) {
    std::string out = "[";
    for (std::size_t i = 0; i < events.size(); ++i) {
        const MidiEvent& e = events[i];
        if (i > 0) out += ',';
        out += '[';
        out += std::to_string(e.time) + ',' + std::to_string(e.status) + ',' +
               std::to_string(e.data1) + ',' + std::to_string(e.data2);
        out += ']';
    }
    return out + "]";
}

// The song as JSON; `usedOnly` lists just the slots that hold events, in slot
// order, as the writer emits them.
std::string songJson(const MidiSong& song, bool usedOnly) {
    std::string out =
        "{\"tempo\":" + std::to_string(song.tempo) + ",\"ppqn\":" + std::to_string(song.ppqn) +
        ",\"numerator\":" + std::to_string(song.timeSignatureNumerator) +
        ",\"sharps\":" + std::to_string(song.keySharps) +
        ",\"minor\":" + std::to_string(song.keyMinor) + ",\"title\":" + optionalText(song.title) +
        ",\"copyright\":" + optionalText(song.copyright) +
        ",\"comments\":" + optionalText(song.comments) + ",\"tracks\":[";
    bool first = true;
    for (int slot = 0; slot < kMidiTrackSlots; ++slot) {
        const MidiTrack& track = song.tracks[slot];
        if (usedOnly && track.events.empty()) continue;
        out += (first ? "" : ",") + std::string("{\"slot\":") + std::to_string(slot) +
               ",\"name\":" + optionalText(track.name) + ",\"events\":" + eventsJson(track.events) +
               "}";
        first = false;
    }
    return out + "]}";
}

MidiSong severalTracks() {
    MidiSong song;
    song.tempo = 70.0;
    song.ppqn = 96;
    song.timeSignatureNumerator = 7;
    song.keySharps = -3;
    song.keyMinor = 1;
    song.title = "Interop \"quoted\" title";
    song.copyright = "(c) Nobody";
    song.comments = std::string(300, 'c');  // a two-byte length
    song.tracks[0].name = "Piano";
    song.tracks[2].name = "Drums";
    song.tracks[11].name = "";
    std::uint32_t t = 0;
    for (int i = 0; i < 200; ++i) {
        const auto pitch = static_cast<std::uint8_t>(40 + i % 40);
        song.tracks[0].events.push_back({t, 0x90, pitch, static_cast<std::uint8_t>(1 + i % 126)});
        song.tracks[0].events.push_back({t + 95, 0x90, pitch, 0});
        t += (i % 7 == 0) ? 20000 : 96;  // long deltas of three VLQ bytes
    }
    for (std::uint32_t beat = 0; beat < 64; ++beat) {
        song.tracks[2].events.push_back({beat * 96, 0x99, 42, 100});
        song.tracks[2].events.push_back({beat * 96 + 24, 0x89, 42, 64});
    }
    song.tracks[11].events = {{0, 0xCB, 12, 0},        {0, 0xBB, 7, 100},
                              {10, 0xEB, 0, 64},       {10, 0x9B, 60, 100},
                              {2000000, 0x9B, 60, 0},  {2000000, 0xAB, 60, 5},
                              {0x0FFFFFF0, 0xDB, 9, 0}};
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

MidiSong minimal() {
    MidiSong song;
    song.tempo = 120.0;
    song.ppqn = 384;
    song.tracks[7].name = "Seven";
    song.tracks[7].events = {{0, 0x97, 64, 127}, {383, 0x97, 64, 0}};
    return song;
}

int writeAll(const std::string& dir) {
    const std::pair<const char*, MidiSong> songs[] = {{"several", severalTracks()},
                                                      {"minimal", minimal()}};
    for (const auto& [name, song] : songs) {
        const std::string base = dir + "/" + name;
        if (midiSongWriteFile(base + ".mid", &song) != MidiResult::kOk) {
            std::fprintf(stderr, "cannot write %s.mid\n", base.c_str());
            return 1;
        }
        std::ofstream(base + ".json") << songJson(song, true) << "\n";
    }
    return 0;
}

int dump(const std::string& path) {
    MidiSong song;
    if (const auto loaded = midiSongLoad(path, song); !loaded) {
        std::fprintf(stderr, "%s\n", loaded.error().line().c_str());
        return 1;
    }
    std::printf("%s\n", songJson(song, false).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "write") return writeAll(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "dump") return dump(argv[2]);
    std::fprintf(stderr, "usage: smf_interop_tool write DIR | dump FILE\n");
    return 2;
}
