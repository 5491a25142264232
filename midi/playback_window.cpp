#include "midi/playback_window.h"

#include <limits>
#include <new>
#include <span>

#include "midi/midi_output.h"

namespace halvorn {

namespace {

MidiResult gatherTracks(MidiSong& song, MidiEventList& list, std::uint64_t windowEnd) {
    for (MidiTrack& track : song.tracks) {
        while (track.playCursor < track.eventCount() &&
               track.events[track.playCursor].time < windowEnd) {
            if (midiEventListAppend(list, track.events[track.playCursor]) != MidiResult::kOk)
                return MidiResult::kMergeListFull;
            ++track.playCursor;
        }
    }
    return MidiResult::kOk;
}

MidiResult gatherClock(MidiEventList& list, const PlaybackWindow& window, std::uint32_t ppqn) {
    const std::uint32_t step = playbackClockStep(ppqn);
    const std::uint64_t start = window.end - window.ticks;
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

MidiResult playbackGatherWindow(MidiSong& song, MidiEventList& list, const PlaybackWindow& window,
                                bool sendClock) {
    list.count = 0;
    if (gatherTracks(song, list, window.end) != MidiResult::kOk) return MidiResult::kMergeListFull;
    if (sendClock && gatherClock(list, window, song.ppqn) != MidiResult::kOk)
        return MidiResult::kMergeListFull;
    if (list.count == 0) return MidiResult::kNoEventsInWindow;
    return midiSortEvents(std::span<MidiEvent>(list.items.get(), list.count));
}

MidiResult playbackBuildEventBuffer(const MidiEventList& list, PlaybackWindow& window,
                                    MidiStreamBuffer& buffer) {
    try {
        const std::size_t records = list.count + (window.startPending ? 1 : 0);
        buffer.bytes.clear();
        buffer.bytes.reserve(records * kMidiStreamRecordSize);
        if (window.startPending) midiStreamAppendRecord(buffer, {0, 0, kMidiStartStatus});
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
        return MidiResult::kOk;
    } catch (const std::bad_alloc&) {
        return MidiResult::kOutOfMemory;
    }
}

void playbackBuildEmptyBuffer(MidiStreamBuffer& buffer) {
    buffer.bytes.clear();
    midiStreamAppendRecord(buffer, {0, 0, kMidiStreamNoOperation});
}

}  // namespace halvorn
