#include "midi/io/fluidsynth/song_renderer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <optional>

#include "midi/channel_setup.h"
#include "midi/tempo.h"

namespace halvorn {

namespace {

// Every track's events, slot by slot, sorted stably by time: at equal times
// the slot order stays, as in playback's merge and the MIDI file.
Expected<std::vector<MidiEvent>, Error> mergedEvents(const MidiSong& song) {
    const std::string noMemory = "Not enough memory for the song's events";
    std::vector<MidiEvent> events;
    try {
        std::size_t count = 0;
        for (const MidiTrack& track : song.tracks) count += track.events.size();
        events.reserve(count);
        for (const MidiTrack& track : song.tracks)
            events.insert(events.end(), track.events.begin(), track.events.end());
    } catch (const std::bad_alloc&) {
        return unexpected(errorOf(ErrorCode::kOutOfMemory, noMemory));
    }
    if (midiSortEvents(events) != MidiResult::kOk)
        return unexpected(errorOf(ErrorCode::kOutOfMemory, noMemory));
    return events;
}

}  // namespace

std::uint64_t songTickFrame(std::uint64_t tick, std::uint32_t usPerQuarter, std::uint32_t ppqn,
                            std::uint32_t sampleRate) {
    const unsigned __int128 scaled =
        static_cast<unsigned __int128>(tick) * usPerQuarter * sampleRate;
    return static_cast<std::uint64_t>(scaled / (static_cast<unsigned __int128>(ppqn) * 1000000u));
}

Expected<std::unique_ptr<SongRenderer>, Error> SongRenderer::create(
    std::unique_ptr<SynthEngine> engine, const MidiSong& song, double tailSeconds) {
    const std::optional<std::uint32_t> usPerQuarter = microsecondsPerQuarter(song.tempo);
    if (song.ppqn == 0 || !usPerQuarter)
        return unexpected(
            errorOf(ErrorCode::kDevice, "The song's tempo or resolution cannot be played"));
    auto events = mergedEvents(song);
    if (!events) return unexpected(events.error());
    const auto rate = static_cast<std::uint32_t>(std::lround(engine->sampleRate()));
    const auto frameOf = [&](std::uint64_t tick) {
        return songTickFrame(tick, *usPerQuarter, song.ppqn, rate);
    };
    std::vector<TimedMessage> timeline;
    try {
        timeline.reserve(events->size());
    } catch (const std::bad_alloc&) {
        return unexpected(
            errorOf(ErrorCode::kOutOfMemory, "Not enough memory for the song's events"));
    }
    for (const MidiEvent& event : *events)
        timeline.push_back(
            {frameOf(event.time), midiPackShortMessage(event.status, event.data1, event.data2)});
    const std::uint32_t lastTick =
        std::max(song.lengthTicks, events->empty() ? 0u : events->back().time);
    const auto tail = static_cast<std::uint64_t>(std::llround(std::max(0.0, tailSeconds) * rate));
    for (const MidiChannelVoice& voice : midiSongChannelSetup(song)) engine->setUpChannel(voice);
    return std::unique_ptr<SongRenderer>(
        new SongRenderer(std::move(engine), std::move(timeline), frameOf(lastTick) + tail));
}

SongRenderer::SongRenderer(std::unique_ptr<SynthEngine> engine, std::vector<TimedMessage> timeline,
                           std::uint64_t totalFrames)
    : engine_(std::move(engine)), timeline_(std::move(timeline)), totalFrames_(totalFrames) {}

Expected<std::size_t, Error> SongRenderer::render(std::span<float> samples) {
    const std::size_t channels = frameSize();
    const std::size_t wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>({samples.size() / channels, totalFrames_ - position_, INT_MAX}));
    std::size_t done = 0;
    while (done < wanted) {
        while (next_ < timeline_.size() && timeline_[next_].frame <= position_)
            engine_->apply(timeline_[next_++].message);
        const std::uint64_t until = next_ < timeline_.size()
                                        ? std::min(timeline_[next_].frame, totalFrames_)
                                        : totalFrames_;
        const auto frames =
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted - done, until - position_));
        if (!engine_->render(samples.data() + done * channels, static_cast<int>(frames)))
            return unexpected(errorOf(ErrorCode::kDevice, "The synthesizer failed to render"));
        done += frames;
        position_ += frames;
    }
    return done;
}

}  // namespace halvorn
