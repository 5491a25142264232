#include "midi/playback_window.h"

#include <algorithm>
#include <limits>
#include <new>
#include <span>

#include "midi/midi_output.h"

namespace halvorn {

namespace {

MidiResult gatherTracks(const MidiSong& song, PlaybackCursors& cursors, MidiEventList& list,
                        std::uint64_t windowEnd) {
    for (std::size_t slot = 0; slot < song.tracks.size(); ++slot) {
        const MidiTrack& track = song.tracks[slot];
        std::uint32_t& cursor = cursors[slot];
        while (cursor < track.eventCount() && track.events[cursor].time < windowEnd) {
            if (midiEventListAppend(list, track.events[cursor]) != MidiResult::kOk)
                return MidiResult::kMergeListFull;
            ++cursor;
        }
    }
    return MidiResult::kOk;
}

MidiResult gatherClock(MidiEventList& list, const PlaybackWindow& window, std::uint32_t ppqn) {
    const std::uint32_t step = playbackClockStep(ppqn);
    std::uint64_t start = window.end - window.ticks;
    if (window.clockFrom > start) start += (window.clockFrom - start + step - 1) / step * step;
    const std::uint64_t last = std::numeric_limits<std::uint32_t>::max();
    for (std::uint64_t t = start; t < window.end && t <= last; t += step) {
        const MidiEvent clock{static_cast<std::uint32_t>(t), kMidiClockStatus, 0, 0};
        if (midiEventListAppend(list, clock) != MidiResult::kOk) return MidiResult::kMergeListFull;
    }
    return MidiResult::kOk;
}

}  // namespace

std::uint32_t playbackClockStep(std::uint32_t ppqn) {
    return ppqn >= kClocksPerQuarter ? ppqn / kClocksPerQuarter : 1;
}

MidiResult playbackGatherWindow(const MidiSong& song, PlaybackCursors& cursors, MidiEventList& list,
                                const PlaybackWindow& window, bool sendClock) {
    list.count = 0;
    if (gatherTracks(song, cursors, list, window.end) != MidiResult::kOk)
        return MidiResult::kMergeListFull;
    if (sendClock && gatherClock(list, window, song.ppqn) != MidiResult::kOk)
        return MidiResult::kMergeListFull;
    if (list.count == 0) return MidiResult::kNoEventsInWindow;
    return midiSortEvents(std::span<MidiEvent>(list.items.get(), list.count));
}

PlaybackCursors playbackCursorsAt(const MidiSong& song, std::uint64_t tick) {
    PlaybackCursors cursors{};
    for (std::size_t slot = 0; slot < song.tracks.size(); ++slot) {
        const auto& events = song.tracks[slot].events;
        const auto first = std::lower_bound(
            events.begin(), events.end(), tick,
            [](const MidiEvent& event, std::uint64_t t) { return event.time < t; });
        cursors[slot] = static_cast<std::uint32_t>(first - events.begin());
    }
    return cursors;
}

MidiResult playbackBuildEventBuffer(const MidiEventList& list, PlaybackWindow& window,
                                    MidiStreamBuffer& buffer) {
    try {
        const std::size_t records =
            list.count + (window.startPending ? 1 : 0) + (window.continuePending ? 2 : 0);
        buffer.bytes.clear();
        buffer.bytes.reserve(records * kMidiStreamRecordSize);
        if (window.startPending) midiStreamAppendRecord(buffer, {0, 0, kMidiStartStatus});
        if (window.continuePending) {
            // Devices locked to our clock go back to the start with us.
            midiStreamAppendRecord(buffer, {0, 0, kMidiSongPositionStatus});
            midiStreamAppendRecord(buffer, {0, 0, kMidiContinueStatus});
        }
        std::uint32_t last = window.lastEventTime;
        for (std::uint32_t i = 0; i < list.count; ++i) {
            const MidiEvent& event = list.items[i];
            midiStreamAppendRecord(buffer,
                                   {event.time - last, 0,
                                    midiPackShortMessage(event.status, event.data1, event.data2)});
            last = event.time;
        }
        window.lastEventTime = last;
        window.startPending = false;
        window.continuePending = false;
        return MidiResult::kOk;
    } catch (const std::bad_alloc&) {
        return MidiResult::kOutOfMemory;
    }
}

void playbackBuildEmptyBuffer(MidiStreamBuffer& buffer) {
    buffer.bytes.clear();
    midiStreamAppendRecord(buffer, {0, 0, kMidiStreamNoOperation});
}

void playbackAppendStop(MidiStreamBuffer& buffer) {
    midiStreamAppendRecord(buffer, {0, 0, kMidiStopStatus});
}

}  // namespace halvorn
