#include "midi/channel_setup.h"

#include <new>
#include <vector>

namespace halvorn {
namespace {

constexpr std::uint8_t kDataMask = 0x7F;

MidiChannelVoice voiceOf(const MidiTrack& track) {
    return {.channel = static_cast<std::uint8_t>(track.channel & 0x0F),
            .program = static_cast<std::uint8_t>(track.program & kDataMask),
            .volume = static_cast<std::uint8_t>(track.volume & kDataMask),
            .pan = static_cast<std::uint8_t>(track.pan & kDataMask)};
}

// The track's events behind its three set-up events.
std::vector<MidiEvent> withSetupEvents(const MidiTrack& track) {
    const MidiChannelVoice voice = voiceOf(track);
    const auto program = static_cast<std::uint8_t>(kProgramChangeStatus | voice.channel);
    const auto control = static_cast<std::uint8_t>(kControlChangeStatus | voice.channel);
    std::vector<MidiEvent> events;
    events.reserve(track.events.size() + 3);
    events.push_back({0, program, voice.program, 0});
    events.push_back({0, control, kControllerVolume, voice.volume});
    events.push_back({0, control, kControllerPan, voice.pan});
    events.insert(events.end(), track.events.begin(), track.events.end());
    return events;
}

}  // namespace

MidiChannelSetup midiSongChannelSetup(const MidiSong& song) {
    MidiChannelSetup setup;
    for (std::size_t channel = 0; channel < setup.size(); ++channel)
        setup[channel].channel = static_cast<std::uint8_t>(channel);
    for (const MidiTrack& track : song.tracks) {
        if (track.events.empty()) continue;
        const MidiChannelVoice voice = voiceOf(track);
        setup[voice.channel] = voice;
    }
    return setup;
}

MidiResult midiSongAddChannelSetupEvents(MidiSong& song) {
    std::array<std::vector<MidiEvent>, kMidiTrackSlots> tracks;
    try {
        for (std::size_t slot = 0; slot < tracks.size(); ++slot) {
            if (!song.tracks[slot].events.empty())
                tracks[slot] = withSetupEvents(song.tracks[slot]);
        }
    } catch (const std::bad_alloc&) {
        return MidiResult::kOutOfMemory;
    }
    for (std::size_t slot = 0; slot < tracks.size(); ++slot) {
        if (!song.tracks[slot].events.empty()) song.tracks[slot].events = std::move(tracks[slot]);
    }
    midiSongCountEvents(song);
    return MidiResult::kOk;
}

}  // namespace halvorn
