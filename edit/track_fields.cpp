#include "edit/track_fields.h"

#include <algorithm>

#include "edit/slider_fractions.h"

namespace halvorn {

TrackFields loadTrackFields(const Macrosequence& track) {
    TrackFields fields;
    fields.seed = track.seed;
    fields.volume = inversePosition(track.volume);
    fields.probability = inversePosition(track.probability);
    fields.panning = percentOf(track.panning);
    fields.displacement = displacementMeasures(track.alignment);
    fields.alignIndex = std::clamp(alignMeasures(track.alignment) - 1, 0, kAlignChoices - 1);
    for (int i = 0; i < kStretchChoices; ++i)
        fields.stretch[i] = inversePosition(track.stretchProbabilities[i]);
    fields.muted = track.muted != 0;
    return fields;
}

void storeTrackFields(TrackFields& fields, Macrosequence& track) {
    macrosequenceFree(track);
    track.seed = fields.seed;
    track.volume = inverseValue(fields.volume);
    track.probability = inverseValue(fields.probability);
    track.panning = fields.panning / 100.0;
    track.alignment = makeAlignment(fields.alignIndex + 1, fields.displacement);
    normalizeStretchPositions(fields.stretch);
    for (int i = 0; i < kStretchChoices; ++i)
        track.stretchProbabilities[i] = inverseValue(fields.stretch[i]);
    track.muted = fields.muted ? 1 : 0;
}

}  // namespace halvorn
