#pragma once
// The MIDI settings of one run (held by its MidiSystem): not stored in
// documents, reset at every start. The Global page writes them; rendering
// and playback read them.

#include <array>
#include <cstdint>

#include "midi/clock_source.h"

namespace halvorn {

inline constexpr std::array<std::int32_t, 7> kPpqnChoices = {24, 48, 96, 120, 192, 240, 384};
inline constexpr std::array<std::int32_t, 5> kBufferBeatChoices = {1, 2, 4, 8, 16};
inline constexpr std::int32_t kDefaultPpqn = 120;

struct MidiSettings {
    std::int32_t selectedPort = 0;            // index into the output device list
    std::int32_t bufferBeats = 1;             // 1, 2, 4, 8 or 16
    std::int32_t ppqnSetting = kDefaultPpqn;  // one of kPpqnChoices
    // "Send instruments, volume and pan": the pages add the channel set-up
    // events (midiSongAddChannelSetupEvents) to what they play and save.
    // The Global page restores it from the per-user settings.
    bool sendInstruments = false;
    // The Global page's "Send MIDI Clock" and the level of its "Metronome"
    // slider (127 at the top, "Max"), which playback and "Listen" read when
    // they start.
    bool sendMidiClock = false;
    std::int32_t metronomeLevel = 127;
    // "Sync:": where playback's time comes from (the song's own tempo unless
    // set), and the "JACK timebase master" check box.
    SyncSetting sync;
};

bool isValidPpqn(std::int32_t ppqn);

}  // namespace halvorn
