#include "engine/part_plan.h"

#include <algorithm>
#include <limits>

#include "engine/part_names.h"

namespace halvorn {

Expected<std::vector<PartPlan>, Error> planParts(const Song& song, bool skipMuted) {
    std::vector<PartPlan> parts;
    const std::int32_t trackCount = std::clamp(song.blockCount, 0, kMaxBlocks);
    const std::int64_t measureUnits = std::int64_t{song.beatsPerMeasure} * kUnitsPerBeat;
    for (std::int32_t track = 0; track < trackCount; ++track) {
        const auto index = static_cast<std::size_t>(track);
        const bool muted = song.macrosequences[index].muted != 0;
        if (skipMuted && muted) continue;
        auto notes = TrackScoreNotes::make(song, track);
        if (!notes) return unexpected(notes.error());
        const Block& block = song.blocks[index];
        PartPlan part;
        part.track = track;
        part.notes = std::move(*notes);
        part.percussion = (block.channel & 0x0F) == kPercussionChannel;
        bool any = false;
        std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
        std::int32_t highest = std::numeric_limits<std::int32_t>::min();
        std::int64_t measure = -1;
        std::int32_t inMeasure = 0;
        part.notes.forEach([&](const ScoreNote& note) {
            any = true;
            const std::int64_t at = measureUnits > 0 ? note.start / measureUnits : 0;
            inMeasure = at == measure ? inMeasure + 1 : 1;
            measure = at;
            part.densestMeasure = std::max(part.densestMeasure, inMeasure);
            if (note.velocity == 0) return;
            lowest = std::min(lowest, note.pitch);
            highest = std::max(highest, note.pitch);
            if (part.percussion) part.drumKeys.set(static_cast<std::size_t>(note.pitch & 0x7F));
        });
        if (!any) continue;
        part.name = partName(block.description, track + 1, part.percussion, muted);
        part.abbreviation = partAbbreviation(part.name);
        part.staves = planStaves(block.program & 0x7F, part.percussion, lowest, highest);
        parts.push_back(std::move(part));
    }
    return parts;
}

}  // namespace halvorn
