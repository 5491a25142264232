#include <gtest/gtest.h>

#include <vector>

#include "midi/channel_setup.h"

namespace halvorn {
namespace {

// Slots 0 and 5 play on channel 2, slot 7 on the percussion channel; slot 3
// names an instrument but holds no events.
MidiSong threeVoiceSong() {
    MidiSong song;
    const auto fill = [&song](int slot, std::uint8_t channel, std::uint8_t program,
                              std::uint8_t volume, std::uint8_t pan, std::uint32_t first) {
        MidiTrack& track = song.tracks[slot];
        track.name = "t";
        track.channel = channel;
        track.program = program;
        track.volume = volume;
        track.pan = pan;
        const auto status = static_cast<std::uint8_t>(0x90 | channel);
        track.events = {{first, status, 60, 100}, {first + 119, status, 60, 0}};
    };
    fill(0, 2, 40, 127, 63, 0);
    fill(5, 2, 41, 80, 10, 240);
    fill(7, 9, 0, 100, 64, 0);
    song.tracks[3].program = 5;
    song.tracks[3].channel = 4;
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

TEST(ChannelSetup, LastUsedTrackOfAChannelWinsAndOtherChannelsReturnToPowerOn) {
    const MidiChannelSetup setup = midiSongChannelSetup(threeVoiceSong());
    EXPECT_EQ(setup[2], (MidiChannelVoice{2, 41, 80, 10}));
    EXPECT_EQ(setup[9], (MidiChannelVoice{9, 0, 100, 64}));
    EXPECT_EQ(setup[4], (MidiChannelVoice{4, 0, 100, 64}));  // slot 3 plays nothing
    for (std::size_t channel = 0; channel < setup.size(); ++channel)
        EXPECT_EQ(setup[channel].channel, channel);
}

TEST(ChannelSetup, EventsGoAheadOfEveryUsedTrackAtTickZeroAndNothingElseChanges) {
    const MidiSong plain = threeVoiceSong();
    MidiSong song = plain;
    ASSERT_EQ(midiSongAddChannelSetupEvents(song), MidiResult::kOk);
    const auto expectSetup = [&](int slot, std::vector<MidiEvent> head) {
        const std::vector<MidiEvent>& events = song.tracks[slot].events;
        ASSERT_EQ(events.size(), plain.tracks[slot].events.size() + 3) << slot;
        EXPECT_EQ(std::vector(events.begin(), events.begin() + 3), head) << slot;
        EXPECT_EQ(std::vector(events.begin() + 3, events.end()), plain.tracks[slot].events);
    };
    expectSetup(0, {{0, 0xC2, 40, 0}, {0, 0xB2, 7, 127}, {0, 0xB2, 10, 63}});
    expectSetup(5, {{0, 0xC2, 41, 0}, {0, 0xB2, 7, 80}, {0, 0xB2, 10, 10}});
    expectSetup(7, {{0, 0xC9, 0, 0}, {0, 0xB9, 7, 100}, {0, 0xB9, 10, 64}});
    EXPECT_TRUE(song.tracks[3].events.empty());
    EXPECT_EQ(song.eventCount, plain.eventCount + 9);
    EXPECT_EQ(song.lengthTicks, plain.lengthTicks);
}

}  // namespace
}  // namespace halvorn
