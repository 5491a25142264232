#include "midi/midi_song.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

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
    song->tempo = kDefaultMidiTempo;
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

MidiResult midiSongSortTracks(MidiSong& song) {
    MidiResult result = MidiResult::kOk;
    for (auto& track : song.tracks)
        if (!track.events.empty() && midiSortEvents(track.events) != MidiResult::kOk)
            result = MidiResult::kOutOfMemory;
    return result;
}

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// An LSD radix sort on `Bits`-bit digits of the time. Each pass is a stable
// counting sort, so events with equal times keep their order. Passes whose
// digit is the same for every event move nothing and are skipped, so songs
// that span a few million ticks take fewer passes.
template <unsigned Bits>
class RadixSorter {
  public:
    static constexpr unsigned kPasses = (32 + Bits - 1) / Bits;
    static constexpr std::size_t kBuckets = std::size_t{1} << Bits;
    static constexpr std::uint32_t kMask = kBuckets - 1;

    static void sort(MidiEvent* events, MidiEvent* scratch, std::size_t count) {
        const auto counts = std::make_unique<Counts>();
        countDigits(events, count, *counts);
        MidiEvent* source = events;
        MidiEvent* target = scratch;
        for (unsigned pass = 0; pass < kPasses; ++pass) {
            const auto& digitCounts = (*counts)[pass];
            if (std::find(digitCounts.begin(), digitCounts.end(), count) != digitCounts.end())
                continue;
            scatter(source, target, count, pass * Bits, digitCounts);
            std::swap(source, target);
        }
        if (source != events) std::copy(source, source + count, events);
    }

  private:
    using Counts = std::array<std::array<std::size_t, kBuckets>, kPasses>;

    // Every pass's histogram in one walk over the array.
    static void countDigits(const MidiEvent* events, std::size_t count, Counts& counts) {
        for (auto& digitCounts : counts) digitCounts.fill(0);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t t = events[i].time;
            for (unsigned pass = 0; pass < kPasses; ++pass)
                ++counts[pass][(t >> (pass * Bits)) & kMask];
        }
    }

    static void scatter(const MidiEvent* in, MidiEvent* out, std::size_t count, unsigned shift,
                        const std::array<std::size_t, kBuckets>& digitCounts) {
        auto next = std::make_unique<std::array<std::size_t, kBuckets>>();
        std::size_t position = 0;
        for (std::size_t d = 0; d < kBuckets; ++d) {
            (*next)[d] = position;
            position += digitCounts[d];
        }
        for (std::size_t i = 0; i < count; ++i)
            out[(*next)[(in[i].time >> shift) & kMask]++] = in[i];
    }
};

bool isSorted(std::span<const MidiEvent> events) {
    return std::is_sorted(events.begin(), events.end(),
                          [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
}

}  // namespace

MidiResult midiSortEvents(std::span<MidiEvent> events) {
    const std::size_t count = events.size();
    // Renderers mostly hand over arrays that are already in order.
    if (count < 2 || isSorted(events)) return MidiResult::kOk;
    std::unique_ptr<MidiEvent[], FreeDeleter> scratch(
        static_cast<MidiEvent*>(std::malloc(count * sizeof(MidiEvent))));
    if (!scratch) return MidiResult::kOutOfMemory;
    RadixSorter<8>::sort(events.data(), scratch.get(), count);
    return MidiResult::kOk;
}

}  // namespace halvorn
