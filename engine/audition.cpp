#include "engine/audition.h"

#include <algorithm>

#include "engine/block_render.h"
#include "engine/key_signature.h"
#include "fractal/generators.h"

namespace halvorn {
namespace {

bool computeSequence(Song& song, std::int32_t index) {
    if (index < 0 || index >= std::min(song.microsequenceCount, kMaxMicrosequences)) return false;
    return microsequenceCompute(song.microsequences[static_cast<std::size_t>(index)]) != nullptr;
}

void startSong(MidiSong& midi, const Song& song, std::int32_t ppqn) {
    midiSongFree(&midi);
    midiSongReset(&midi);
    midi.tempo = static_cast<double>(song.tempo);
    midi.ppqn = static_cast<std::uint16_t>(ppqn);
    // A written file carries the metre and key, as a rendered song does.
    midi.timeSignatureNumerator = static_cast<std::uint8_t>(song.beatsPerMeasure);
    midiSongSetKeySignature(midi, song.scale);
}

void finishSong(MidiSong& midi) {
    midiSongCountEvents(midi);
    midiSongComputeLength(midi);
    static_cast<void>(midiSongSortTracks(midi));  // every track is sorted already
}

}  // namespace

Expected<void, Error> renderAudition(MidiSong& midi, Song& song, std::int32_t blockIndex,
                                     std::optional<std::int32_t> metronomeLevel,
                                     std::int32_t ppqn) {
    startSong(midi, song, ppqn);
    if (blockIndex < 0 || blockIndex >= std::min(song.blockCount, kMaxBlocks))
        return unexpected(renderError(ErrorCode::kNotesOutOfMemory));
    const Block& block = song.blocks[static_cast<std::size_t>(blockIndex)];
    if (!computeSequence(song, block.melodySequence))
        return unexpected(renderError(ErrorCode::kMelodySequence));
    if (!computeSequence(song, block.velocitySequence))
        return unexpected(renderError(ErrorCode::kVelocitySequence));
    const auto notes = renderBlock(song, blockIndex);
    if (!notes) return unexpected(renderError(ErrorCode::kNotesOutOfMemory));

    std::optional<Error> failure;
    if (!renderBlockTrack(midi.tracks[kAuditionBlockTrack], *notes, block, ppqn))
        failure = renderError(ErrorCode::kBlockTrack);
    if (metronomeLevel && !renderMetronomeTrack(midi.tracks[kAuditionMetronomeTrack], song,
                                                blockIndex, *metronomeLevel, ppqn))
        failure = failure.value_or(renderError(ErrorCode::kMetronomeTrack));
    finishSong(midi);
    if (failure) return unexpected(*failure);
    return {};
}

}  // namespace halvorn
