#include "engine/musicxml_writer.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

#include "engine/arrangement.h"
#include "engine/key_signature.h"
#include "engine/note_events.h"
#include "engine/pitch_spelling.h"
#include "engine/score_layout.h"
#include "engine/score_notes.h"
#include "fractal/generators.h"
#include "midi/program_names.h"
#include "model/output_file.h"
#include "model/text_codec.h"

namespace halvorn {
namespace {

// Every length is a whole number of 1/96 beat, so a quarter note of 96
// divisions writes every duration as an integer.
constexpr std::int64_t kDivisions = kUnitsPerBeat;
// Notes from G3 up read on a treble staff, notes up to E4 on a bass staff,
// each within three ledger lines; a part that needs both gets both.
constexpr std::int32_t kLowestTreble = 55;
constexpr std::int32_t kHighestBass = 64;
constexpr std::int32_t kGrandStaffSplit = kMiddleC;
// MusicXML's dynamics attribute counts in percent of forte, velocity 90.
constexpr double kForteVelocity = 90.0;

enum class Clefs { kTreble, kBass, kGrandStaff };

struct Part {
    std::int32_t track = 0;
    TrackScoreNotes notes;
    Clefs clefs = Clefs::kTreble;
};

struct Score {
    const Document& document;
    const Song& song;
    KeySignature key;
    bool chromatic = false;
    std::vector<Part> parts;
};

// Every semitone a degree: a piece without a key, written with none.
bool isChromatic(const Scale& scale) {
    return std::ranges::equal(scale.intervals, scaleTypeIntervals(kScaleChromatic));
}

Clefs clefsFor(std::int32_t lowest, std::int32_t highest) {
    if (lowest > highest || lowest >= kLowestTreble) return Clefs::kTreble;
    if (highest <= kHighestBass) return Clefs::kBass;
    return Clefs::kGrandStaff;
}

// The parts: every track in use (muted ones unless skipped) that keeps a
// note inside the piece, with the clefs its sounding notes need.
Expected<std::vector<Part>, MusicXmlError> planParts(const Song& song, bool skipMuted) {
    std::vector<Part> parts;
    const std::int32_t trackCount = std::clamp(song.blockCount, 0, kMaxBlocks);
    for (std::int32_t track = 0; track < trackCount; ++track) {
        if (skipMuted && song.macrosequences[static_cast<std::size_t>(track)].muted != 0) continue;
        auto notes = TrackScoreNotes::make(song, track);
        if (!notes) return unexpected(MusicXmlError::kRender);
        bool any = false;
        std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
        std::int32_t highest = std::numeric_limits<std::int32_t>::min();
        notes->forEach([&](const ScoreNote& note) {
            any = true;
            if (note.velocity == 0) return;
            lowest = std::min(lowest, note.pitch);
            highest = std::max(highest, note.pitch);
        });
        if (any)
            parts.push_back(
                {.track = track, .notes = std::move(*notes), .clefs = clefsFor(lowest, highest)});
    }
    return parts;
}

void writeText(XmlStream& out, const char* open, const std::string& bytes, const char* close) {
    out.markup(open).text(windows1252ToUtf8(bytes)).markup(close);
}

void writeHeader(XmlStream& out, const Document& document) {
    out.markup(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
        "<score-partwise version=\"4.0\">\n");
    writeText(out, "  <work>\n    <work-title>", document.title, "</work-title>\n  </work>\n");
    out.markup("  <identification>\n");
    if (!document.author.empty())
        writeText(out, "    <creator type=\"composer\">", document.author, "</creator>\n");
    out.markup("    <encoding>\n      <software>Halvorn " HALVORN_VERSION
               "</software>\n"
               "      <supports element=\"accidental\" type=\"no\"/>\n"
               "    </encoding>\n");
    if (!document.comments.empty())
        writeText(out, "    <miscellaneous>\n      <miscellaneous-field name=\"comments\">",
                  document.comments, "</miscellaneous-field>\n    </miscellaneous>\n");
    out.markup("  </identification>\n");
}

std::string partId(std::size_t index) {
    return "P" + std::to_string(index + 1);
}

void writePartList(XmlStream& out, const Score& score) {
    out.markup("  <part-list>\n");
    for (std::size_t p = 0; p < score.parts.size(); ++p) {
        const auto track = static_cast<std::size_t>(score.parts[p].track);
        const Block& block = score.song.blocks[track];
        const Macrosequence& macrosequence = score.song.macrosequences[track];
        const std::string id = partId(p);
        const auto program = static_cast<std::size_t>(block.program & 0x7F);
        out.markup("    <score-part id=\"").markup(id).markup("\">\n");
        if (block.description.empty())
            out.markup("      <part-name>Track ")
                .number(score.parts[p].track + 1)
                .markup("</part-name>\n");
        else
            writeText(out, "      <part-name>", block.description, "</part-name>\n");
        out.markup("      <score-instrument id=\"")
            .markup(id)
            .markup("-I1\">\n")
            .markup("        <instrument-name>")
            .text(kGeneralMidiProgramNames[program])
            .markup("</instrument-name>\n      </score-instrument>\n");
        // Volume in percent of full; pan from -90 (left) to 90 degrees.
        const double volume = unitToMidiValue(macrosequence.volume) * 100.0 / 127.0;
        const double pan = (unitToMidiValue(macrosequence.panning) - 64.0) * 90.0 / 64.0;
        out.markup("      <midi-instrument id=\"")
            .markup(id)
            .markup("-I1\">\n")
            .markup("        <midi-channel>")
            .number((block.channel & 0x0F) + 1)
            .markup("</midi-channel>\n        <midi-program>")
            .number(block.program % 128 + 1)
            .markup("</midi-program>\n        <volume>")
            .fixed(volume, 2)
            .markup("</volume>\n        <pan>")
            .fixed(pan, 2)
            .markup("</pan>\n      </midi-instrument>\n    </score-part>\n");
    }
    out.markup("  </part-list>\n");
}

void writeClef(XmlStream& out, int number, bool treble) {
    out.markup("        <clef number=\"")
        .number(number)
        .markup(treble ? "\">\n          <sign>G</sign>\n          <line>2</line>\n"
                       : "\">\n          <sign>F</sign>\n          <line>4</line>\n")
        .markup("        </clef>\n");
}

void writeAttributes(XmlStream& out, const Score& score, Clefs clefs) {
    out.markup("      <attributes>\n        <divisions>")
        .number(kDivisions)
        .markup("</divisions>\n        <key>\n          <fifths>");
    // A chromatic piece has no key: no signature and no mode.
    if (score.chromatic) {
        out.markup("0</fifths>\n");
    } else {
        out.number(score.key.sharps)
            .markup("</fifths>\n          <mode>")
            .markup(score.key.minor ? "minor" : "major")
            .markup("</mode>\n");
    }
    out.markup("        </key>\n        <time>\n          <beats>")
        .number(score.song.beatsPerMeasure)
        .markup("</beats>\n          <beat-type>4</beat-type>\n        </time>\n");
    if (clefs == Clefs::kGrandStaff) {
        out.markup("        <staves>2</staves>\n");
        writeClef(out, 1, true);
        writeClef(out, 2, false);
    } else {
        writeClef(out, 1, clefs == Clefs::kTreble);
    }
    out.markup("      </attributes>\n");
}

void writeTempo(XmlStream& out, std::int32_t tempo) {
    out.markup(
           "      <direction placement=\"above\">\n        <direction-type>\n"
           "          <metronome>\n            <beat-unit>quarter</beat-unit>\n"
           "            <per-minute>")
        .number(tempo)
        .markup(
            "</per-minute>\n          </metronome>\n        </direction-type>\n"
            "        <staff>1</staff>\n        <sound tempo=\"")
        .number(tempo)
        .markup("\"/>\n      </direction>\n");
}

void writeValue(XmlStream& out, const ScoreElement& element, const ScoreLane& lane) {
    out.markup("        <voice>").number(lane.voice).markup("</voice>\n");
    if (!element.wholeMeasureRest) {
        out.markup("        <type>")
            .markup(kWrittenTypeNames[std::min(static_cast<std::size_t>(element.value.type),
                                               kWrittenTypeNames.size() - 1)])
            .markup("</type>\n");
        if (element.value.dotted) out.markup("        <dot/>\n");
        if (element.value.triplet)
            out.markup(
                "        <time-modification>\n          <actual-notes>3</actual-notes>\n"
                "          <normal-notes>2</normal-notes>\n        </time-modification>\n");
    }
    out.markup("        <staff>").number(lane.staff).markup("</staff>\n");
}

void writeRest(XmlStream& out, const ScoreElement& element, const ScoreLane& lane) {
    out.markup(element.wholeMeasureRest ? "      <note>\n        <rest measure=\"yes\"/>\n"
                                        : "      <note>\n        <rest/>\n")
        .markup("        <duration>")
        .number(element.value.units)
        .markup("</duration>\n");
    writeValue(out, element, lane);
    if (element.tupletStart || element.tupletStop) {
        out.markup("        <notations>\n");
        if (element.tupletStart) out.markup("          <tuplet type=\"start\" bracket=\"yes\"/>\n");
        if (element.tupletStop) out.markup("          <tuplet type=\"stop\"/>\n");
        out.markup("        </notations>\n");
    }
    out.markup("      </note>\n");
}

void writeTone(XmlStream& out, const ScoreElement& element, const ScoreLane& lane,
               const ChordTone& tone, bool inChord, std::int32_t fifths) {
    const SpelledPitch spelled = spellPitch(tone.pitch, fifths);
    out.markup("      <note dynamics=\"")
        .fixed(tone.velocity * 100.0 / kForteVelocity, 2)
        .markup("\">\n");
    if (inChord) out.markup("        <chord/>\n");
    out.markup("        <pitch>\n          <step>");
    const char step[2] = {spelled.step, '\0'};
    out.markup(step).markup("</step>\n");
    if (spelled.alter != 0)
        out.markup("          <alter>").number(spelled.alter).markup("</alter>\n");
    out.markup("          <octave>")
        .number(spelled.octave)
        .markup("</octave>\n        </pitch>\n")
        .markup("        <duration>")
        .number(element.value.units)
        .markup("</duration>\n");
    if (element.tieStop) out.markup("        <tie type=\"stop\"/>\n");
    if (element.tieStart) out.markup("        <tie type=\"start\"/>\n");
    writeValue(out, element, lane);
    const bool tuplet = !inChord && (element.tupletStart || element.tupletStop);
    const bool accent = element.attack && tone.accented;
    if (!element.tieStop && !element.tieStart && !tuplet && !accent) {
        out.markup("      </note>\n");
        return;
    }
    out.markup("        <notations>\n");
    if (element.tieStop) out.markup("          <tied type=\"stop\"/>\n");
    if (element.tieStart) out.markup("          <tied type=\"start\"/>\n");
    if (!inChord && element.tupletStart)
        out.markup("          <tuplet type=\"start\" bracket=\"yes\"/>\n");
    if (!inChord && element.tupletStop) out.markup("          <tuplet type=\"stop\"/>\n");
    if (accent)
        out.markup(
            "          <articulations>\n            <accent/>\n          </articulations>\n");
    out.markup("        </notations>\n      </note>\n");
}

void writeLane(XmlStream& out, const ScoreLane& lane, std::int32_t fifths) {
    for (const ScoreElement& element : lane.elements) {
        if (element.chord < 0) {
            writeRest(out, element, lane);
            continue;
        }
        const ScoreChord& chord = lane.chords[static_cast<std::size_t>(element.chord)];
        for (std::size_t t = 0; t < chord.tones.size(); ++t)
            writeTone(out, element, lane, chord.tones[t], t > 0, fifths);
    }
}

void writeMeasure(XmlStream& out, const Score& score, const Part& part, std::int32_t number,
                  const std::vector<ScoreLane>& lanes, bool first, bool firstPart) {
    out.markup("    <measure number=\"").number(number).markup("\">\n");
    if (first) {
        writeAttributes(out, score, part.clefs);
        if (firstPart) writeTempo(out, score.song.tempo);
    }
    const std::int32_t fifths = score.key.sharps;
    const std::int64_t measureUnits = std::int64_t{score.song.beatsPerMeasure} * kUnitsPerBeat;
    for (std::size_t l = 0; l < lanes.size(); ++l) {
        if (l > 0)
            out.markup("      <backup>\n        <duration>")
                .number(measureUnits)
                .markup("</duration>\n      </backup>\n");
        writeLane(out, lanes[l], fifths);
    }
    if (number == score.song.lengthMeasures)
        out.markup(
            "      <barline location=\"right\">\n        <bar-style>light-heavy</bar-style>\n"
            "      </barline>\n");
    out.markup("    </measure>\n");
}

void writePart(XmlStream& out, const Score& score, std::size_t index) {
    const Part& part = score.parts[index];
    out.markup("  <part id=\"").markup(partId(index)).markup("\">\n");
    const std::int64_t measureUnits = std::int64_t{score.song.beatsPerMeasure} * kUnitsPerBeat;
    ScoreLayout layout(measureUnits, part.clefs == Clefs::kGrandStaff ? 2 : 1, kGrandStaffSplit);
    std::int32_t measure = 0;
    const auto finish = [&] {
        ++measure;
        writeMeasure(out, score, part, measure, layout.finishMeasure(), measure == 1, index == 0);
    };
    part.notes.forEach([&](const ScoreNote& note) {
        if (out.failed()) return;
        while (note.start >= layout.measureEnd()) finish();
        // Silent notes are rests: the gap they leave is filled with them.
        if (note.velocity != 0) layout.add(note);
    });
    while (measure < score.song.lengthMeasures && !out.failed()) finish();
    out.markup("  </part>\n");
}

}  // namespace

Expected<void, MusicXmlError> writeMusicXml(XmlStream& out, const Document& document,
                                            bool skipMuted) {
    Song song = document.song;
    const std::int32_t sequenceCount = std::clamp(song.microsequenceCount, 0, kMaxMicrosequences);
    for (std::int32_t i = 0; i < sequenceCount; ++i)
        microsequenceCompute(song.microsequences[static_cast<std::size_t>(i)]);
    const std::int32_t trackCount = std::clamp(song.blockCount, 0, kMaxBlocks);
    for (std::int32_t i = 0; i < trackCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        macrosequencePlace(song.macrosequences[index], song.lengthMeasures,
                           song.blocks[index].lengthMeasures, song.beatsPerMeasure);
    }
    auto parts = planParts(song, skipMuted);
    if (!parts) return unexpected(parts.error());
    if (parts->empty() || song.beatsPerMeasure < 1) return unexpected(MusicXmlError::kNoNotes);

    Score score{.document = document,
                .song = song,
                .key = keySignatureOf(song.scale),
                .chromatic = isChromatic(song.scale),
                .parts = std::move(*parts)};
    writeHeader(out, document);
    writePartList(out, score);
    for (std::size_t p = 0; p < score.parts.size() && !out.failed(); ++p) writePart(out, score, p);
    out.markup("</score-partwise>\n");
    if (!out.flush()) return unexpected(MusicXmlError::kWriteFailed);
    return {};
}

Expected<void, Error> musicXmlSave(const std::string& path, const Document& document,
                                   bool skipMuted, const std::function<bool()>& proceed) {
    const auto failed = [&path](const std::string& reason) {
        return unexpected(fileError("Unable to export MusicXML.", path, reason));
    };
    auto file = OutputFile::open(path);
    if (!file) return failed(systemErrorText(file.error()));
    int writeError = 0;
    XmlStream out([&](std::span<const std::uint8_t> bytes) {
        if (proceed && !proceed()) {
            writeError = ECANCELED;
            return false;
        }
        const auto written = file->write(bytes);
        if (!written) writeError = written.error();
        return written.has_value();
    });
    const auto result = writeMusicXml(out, document, skipMuted);
    if (!result) {
        switch (result.error()) {
            case MusicXmlError::kNoNotes:
                return failed("No track has any notes");
            case MusicXmlError::kRender:
                return failed("Not enough memory");
            case MusicXmlError::kWriteFailed:
                return failed(systemErrorText(writeError));
        }
    }
    if (const auto committed = file->commit(); !committed)
        return failed(systemErrorText(committed.error()));
    return {};
}

}  // namespace halvorn
