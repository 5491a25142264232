#include "midi/midi_song.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

namespace halvorn {

int midiDataByteCount(std::uint8_t status) {
    if ((status >= 0x80 && status <= 0xBF) || (status >= 0xE0 && status <= 0xEF) || status == 0xF2)
        return 2;
    if (status >= 0xF6) return 0;
    return 1;
}

void midiSongReset(MidiSong* song) {
    if (!song) return;
    const std::uint32_t eventCount = song->eventCount;
    const std::uint32_t lengthTicks = song->lengthTicks;
    song->tempo = 100.0;
    song->ppqn = 120;
    song->title.reset();
    song->copyright.reset();
    song->comments.reset();
    for (auto& track : song->tracks) track = MidiTrack{};
    song->timeSignatureNumerator = 4;
    song->keySharps = 0;
    song->keyMinor = 0;
    song->eventCount = eventCount;
    song->lengthTicks = lengthTicks;
}

void midiSongFree(MidiSong* song) {
    if (!song) return;
    for (auto& track : song->tracks) {
        track.name.reset();
        std::vector<MidiEvent>().swap(track.events);
    }
    midiSongReset(song);
}

void midiSongCountEvents(MidiSong& song) {
    std::uint32_t total = 0;
    for (const auto& track : song.tracks) total += track.eventCount();
    song.eventCount = total;
}

void midiSongComputeLength(MidiSong& song) {
    std::uint32_t length = 0;
    for (const auto& track : song.tracks)
        for (const auto& event : track.events) length = std::max(length, event.time);
    song.lengthTicks = length;
}

int midiSongSortTracks(MidiSong& song) {
    int result = kMidiOk;
    for (auto& track : song.tracks)
        if (!track.events.empty() && midiSortEvents(track.events) != kMidiOk)
            result = kMidiOutOfMemory;
    return result;
}

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

using DigitCounts = std::array<std::array<std::size_t, 256>, 4>;

// All four digit histograms in one walk over the array.
DigitCounts countDigits(const MidiEvent* events, std::size_t count) {
    DigitCounts counts{};
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t t = events[i].time;
        ++counts[0][t & 0xFFu];
        ++counts[1][(t >> 8) & 0xFFu];
        ++counts[2][(t >> 16) & 0xFFu];
        ++counts[3][t >> 24];
    }
    return counts;
}

// One stable counting-sort pass on the digit at `shift`, from `in` to `out`.
void radixPass(const MidiEvent* in, MidiEvent* out, std::size_t count, unsigned shift,
               const std::array<std::size_t, 256>& digitCounts) {
    std::array<std::size_t, 256> next;
    std::size_t position = 0;
    for (std::size_t d = 0; d < 256; ++d) {
        next[d] = position;
        position += digitCounts[d];
    }
    for (std::size_t i = 0; i < count; ++i) out[next[(in[i].time >> shift) & 0xFFu]++] = in[i];
}

bool isSorted(std::span<const MidiEvent> events) {
    return std::is_sorted(events.begin(), events.end(),
                          [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
}

}  // namespace

int midiSortEvents(std::span<MidiEvent> events) {
    const std::size_t count = events.size();
    // Renderers mostly hand over arrays that are already in order.
    if (count < 2 || isSorted(events)) return kMidiOk;
    std::unique_ptr<MidiEvent[], FreeDeleter> scratch(
        static_cast<MidiEvent*>(std::malloc(count * sizeof(MidiEvent))));
    if (!scratch) return kMidiOutOfMemory;
    const DigitCounts counts = countDigits(events.data(), count);
    MidiEvent* source = events.data();
    MidiEvent* target = scratch.get();
    for (unsigned pass = 0; pass < 4; ++pass) {
        const auto& digitCounts = counts[pass];
        // A digit shared by every event would move nothing.
        if (std::find(digitCounts.begin(), digitCounts.end(), count) != digitCounts.end()) continue;
        radixPass(source, target, count, 8 * pass, digitCounts);
        std::swap(source, target);
    }
    if (source != events.data()) std::copy(source, source + count, events.data());
    return kMidiOk;
}

}  // namespace halvorn
