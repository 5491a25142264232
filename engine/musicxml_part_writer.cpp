#include "engine/musicxml_part_writer.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

#include "engine/drum_map.h"
#include "engine/ledger_lines.h"
#include "engine/pitch_spelling.h"
#include "engine/score_layout.h"
#include "midi/general_midi.h"

namespace halvorn {
namespace {

// Every length is a whole number of 1/96 beat, so a quarter note of 96
// divisions writes every duration as an integer.
constexpr std::int64_t kDivisions = kUnitsPerBeat;
// MusicXML's dynamics attribute counts in percent of forte, velocity 90.
constexpr double kForteVelocity = 90.0;
constexpr std::int32_t kFirstVoiceOfLowerStaff = 5;

constexpr std::array<std::string_view, 6> kBeamNames = {"",    "begin",        "continue",
                                                        "end", "forward hook", "backward hook"};

// The lines a note repeats most, composed once: long scores write millions.
struct NoteLines {
    std::array<std::string, kWrittenTypeNames.size()> types;
    std::array<std::array<std::string, kBeamNames.size()>, kMaxBeamLevels> beams;
};

const NoteLines& noteLines() {
    static const NoteLines lines = [] {
        NoteLines made;
        for (std::size_t t = 0; t < kWrittenTypeNames.size(); ++t)
            made.types[t] = "        <type>" + std::string(kWrittenTypeNames[t]) + "</type>\n";
        for (std::size_t level = 0; level < kMaxBeamLevels; ++level)
            for (std::size_t b = 1; b < kBeamNames.size(); ++b)
                made.beams[level][b] = "        <beam number=\"" + std::to_string(level + 1) +
                                       "\">" + std::string(kBeamNames[b]) + "</beam>\n";
        return made;
    }();
    return lines;
}

// The lowest and highest sounding note of a measure's lanes.
std::pair<std::int32_t, std::int32_t> rangeOf(const std::vector<ScoreLane>& lanes) {
    std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
    std::int32_t highest = std::numeric_limits<std::int32_t>::min();
    for (const ScoreLane& lane : lanes)
        for (const ScoreChord& chord : lane.chords)
            for (const ChordTone& tone : chord.tones) {
                lowest = std::min(lowest, tone.pitch);
                highest = std::max(highest, tone.pitch);
            }
    return {lowest, highest};
}

class PartWriter {
  public:
    PartWriter(XmlStream& out, const ScoreSettings& score, const PartPlan& part, std::size_t index)
        : out_(out),
          score_(score),
          part_(part),
          index_(index),
          octaveChange_(part.staves.octaveChange),
          spelling_(score.key.sharps) {}

    void write() {
        out_.markup("  <part id=\"").markup(musicXmlPartId(index_)).markup("\">\n");
        const Meter meter{score_.song.beatsPerMeasure};
        // A grand staff splits at written middle C.
        ScoreLayout layout(meter, part_.staves.staves, kMiddleC + 12 * part_.staves.octaveChange);
        const auto finish = [&] {
            ++measure_;
            writeMeasure(layout.finishMeasure());
        };
        part_.notes.forEach([&](const ScoreNote& note) {
            if (out_.failed()) return;
            while (note.start >= layout.measureEnd()) finish();
            // Silent notes are rests: the gap they leave is filled with them.
            if (note.velocity != 0) layout.add(note);
        });
        while (measure_ < score_.song.lengthMeasures && !out_.failed()) finish();
        out_.markup("  </part>\n");
    }

  private:
    bool isLast() const { return measure_ == score_.song.lengthMeasures; }

    void writeMeasure(const std::vector<ScoreLane>& lanes) {
        out_.markup("    <measure number=\"").number(measure_).markup("\">\n");
        const std::int32_t perSystem = score_.measuresPerSystem;
        if (perSystem > 0 && measure_ > 1 && (measure_ - 1) % perSystem == 0)
            out_.markup("      <print new-system=\"yes\"/>\n");
        const std::int32_t change = measureOctaveChange(lanes);
        if (measure_ == 1) {
            octaveChange_ = change;
            writeAttributes();
            if (index_ == 0) writeTempo();
        } else if (change != octaveChange_) {
            writeTranspose(change);
        }
        const std::int64_t measureUnits = std::int64_t{score_.song.beatsPerMeasure} * kDivisions;
        for (std::size_t l = 0; l < lanes.size(); ++l) {
            if (l > 0)
                out_.markup("      <backup>\n        <duration>")
                    .number(measureUnits)
                    .markup("</duration>\n      </backup>\n");
            writeLane(lanes[l]);
        }
        if (isLast()) {
            for (std::int32_t staff = 1; staff <= 2; ++staff) setOctaveShift(staff, 0);
            out_.markup(
                "      <barline location=\"right\">\n        <bar-style>light-heavy</bar-style>\n"
                "      </barline>\n");
        }
        out_.markup("    </measure>\n");
    }

    // The part's octave transposition where it writes every note of the
    // measure, else the one nearest it that does; a measure that no single
    // one fits changes it note by note (writeBeforeChord).
    std::int32_t measureOctaveChange(const std::vector<ScoreLane>& lanes) const {
        if (part_.percussion) return 0;
        const auto [lowest, highest] = rangeOf(lanes);
        if (lowest > highest) return octaveChange_;
        return fittingOctaveChange(part_.staves.octaveChange, lowest, highest)
            .value_or(octaveChange_);
    }

    void writeKey() {
        out_.markup("        <key>\n          <fifths>");
        // A chromatic piece has no key: no signature and no mode.
        if (score_.chromatic) {
            out_.markup("0</fifths>\n");
        } else {
            out_.number(score_.key.sharps)
                .markup("</fifths>\n          <mode>")
                .markup(score_.key.minor ? "minor" : "major")
                .markup("</mode>\n");
        }
        out_.markup("        </key>\n");
    }

    void writeClef(std::int32_t number, Clef clef) {
        out_.markup("        <clef number=\"").number(number).markup("\">\n");
        switch (clef) {
            case Clef::kTreble:
                out_.markup("          <sign>G</sign>\n          <line>2</line>\n");
                break;
            case Clef::kBass:
                out_.markup("          <sign>F</sign>\n          <line>4</line>\n");
                break;
            case Clef::kPercussion:
                out_.markup("          <sign>percussion</sign>\n");
                break;
        }
        out_.markup("        </clef>\n");
    }

    void writeTransposeElement(std::int32_t change) {
        out_.markup(
                "        <transpose>\n          <diatonic>0</diatonic>\n"
                "          <chromatic>0</chromatic>\n          <octave-change>")
            .number(change)
            .markup("</octave-change>\n        </transpose>\n");
    }

    void writeAttributes() {
        out_.markup("      <attributes>\n        <divisions>")
            .number(kDivisions)
            .markup("</divisions>\n");
        if (!part_.percussion) writeKey();
        out_.markup("        <time>\n          <beats>")
            .number(score_.song.beatsPerMeasure)
            .markup("</beats>\n          <beat-type>4</beat-type>\n        </time>\n");
        if (part_.staves.staves == 2) out_.markup("        <staves>2</staves>\n");
        for (std::int32_t staff = 1; staff <= part_.staves.staves; ++staff)
            writeClef(staff, part_.staves.clefs[static_cast<std::size_t>(staff - 1)]);
        if (octaveChange_ != 0) writeTransposeElement(octaveChange_);
        out_.markup("      </attributes>\n");
    }

    void writeTranspose(std::int32_t change) {
        octaveChange_ = change;
        out_.markup("      <attributes>\n");
        writeTransposeElement(change);
        out_.markup("      </attributes>\n");
    }

    void writeTempo() {
        const std::int32_t tempo = score_.song.tempo;
        out_.markup(
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

    void writeDirection(const char* placement, std::string_view type, std::int32_t staff) {
        out_.markup("      <direction placement=\"")
            .markup(placement)
            .markup("\">\n        <direction-type>\n          ")
            .markup(type)
            .markup("\n        </direction-type>\n        <staff>")
            .number(staff)
            .markup("</staff>\n      </direction>\n");
    }

    // Starts, ends or changes the octave line over `staff` so its notes are
    // shown `shift` octaves lower (negative: higher) than written.
    void setOctaveShift(std::int32_t staff, std::int32_t shift) {
        std::int32_t& current = octaveShift_[static_cast<std::size_t>(staff - 1)];
        if (shift == current) return;
        if (current != 0)
            writeDirection("above",
                           current == 1 || current == -1
                               ? "<octave-shift type=\"stop\" size=\"8\"/>"
                               : "<octave-shift type=\"stop\" size=\"15\"/>",
                           staff);
        if (shift != 0) {
            // 8va lifts the reading: the notes are printed lower (type "down").
            const std::string_view start =
                shift == 1    ? "<octave-shift type=\"down\" size=\"8\"/>"
                : shift == 2  ? "<octave-shift type=\"down\" size=\"15\"/>"
                : shift == -1 ? "<octave-shift type=\"up\" size=\"8\"/>"
                              : "<octave-shift type=\"up\" size=\"15\"/>";
            writeDirection(shift > 0 ? "above" : "below", start, staff);
        }
        current = shift;
    }

    Clef clefOf(const ScoreLane& lane) const {
        return part_.staves.clefs[static_cast<std::size_t>(lane.staff - 1)];
    }

    // Before a chord: an octave transposition it needs, its octave line (on
    // the first voice of its staff) and a dynamic mark.
    void writeBeforeChord(const ScoreLane& lane, const ScoreChord& chord,
                          const ScoreElement& element) {
        if (!part_.percussion) {
            std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
            std::int32_t highest = std::numeric_limits<std::int32_t>::min();
            for (const ChordTone& tone : chord.tones) {
                lowest = std::min(lowest, tone.pitch);
                highest = std::max(highest, tone.pitch);
            }
            const auto change = fittingOctaveChange(octaveChange_, lowest, highest);
            if (change && *change != octaveChange_) writeTranspose(*change);
        }
        const bool firstVoice = lane.voice == 1 || lane.voice == kFirstVoiceOfLowerStaff;
        if (firstVoice && element.attack && !part_.percussion) {
            std::int32_t shift = 0;
            for (const ChordTone& tone : chord.tones) {
                const std::int32_t s = octaveShiftFor(clefOf(lane), written(tone.pitch));
                if (std::abs(s) > std::abs(shift)) shift = s;
            }
            setOctaveShift(lane.staff, shift);
        }
        for (const ChordTone& tone : chord.tones) {
            if (tone.dynamic == Dynamic::kNone || !element.attack) continue;
            std::string mark = "<dynamics><";
            mark += dynamicName(tone.dynamic);
            mark += "/></dynamics>";
            writeDirection("below", mark, lane.staff);
            break;
        }
    }

    SpelledPitch written(std::int32_t pitch) const {
        return spelling_.spell(pitch - 12 * octaveChange_);
    }

    void writeLane(const ScoreLane& lane) {
        voiceLine_ = "        <voice>" + std::to_string(lane.voice) + "</voice>\n";
        // A part of one staff leaves the staff to the reader.
        staffLine_.clear();
        if (part_.staves.staves > 1)
            staffLine_ = "        <staff>" + std::to_string(lane.staff) + "</staff>\n";
        for (const ScoreElement& element : lane.elements) {
            if (element.chord < 0) {
                writeRest(element);
                continue;
            }
            const ScoreChord& chord = lane.chords[static_cast<std::size_t>(element.chord)];
            writeBeforeChord(lane, chord, element);
            for (std::size_t t = 0; t < chord.tones.size(); ++t)
                writeTone(element, chord.tones[t], t > 0);
        }
    }

    void writeValue(const ScoreElement& element, bool inChord, bool crossHead) {
        const NoteLines& lines = noteLines();
        out_.markup(voiceLine_);
        if (!element.wholeMeasureRest) {
            out_.markup(lines.types[std::min(static_cast<std::size_t>(element.value.type),
                                             kWrittenTypeNames.size() - 1)]);
            if (element.value.dotted) out_.markup("        <dot/>\n");
            if (element.value.triplet)
                out_.markup(
                    "        <time-modification>\n          <actual-notes>3</actual-notes>\n"
                    "          <normal-notes>2</normal-notes>\n        </time-modification>\n");
        }
        if (crossHead) out_.markup("        <notehead>x</notehead>\n");
        out_.markup(staffLine_);
        if (inChord) return;
        for (std::size_t level = 0; level < element.beams.size(); ++level) {
            const Beam beam = element.beams[level];
            if (beam != Beam::kNone)
                out_.markup(lines.beams[level][static_cast<std::size_t>(beam)]);
        }
    }

    void writeTuplet(const ScoreElement& element) {
        if (element.tupletStart)
            out_.markup("          <tuplet type=\"start\" bracket=\"yes\"/>\n");
        if (element.tupletStop) out_.markup("          <tuplet type=\"stop\"/>\n");
    }

    void writeRest(const ScoreElement& element) {
        out_.markup(element.wholeMeasureRest ? "      <note>\n        <rest measure=\"yes\"/>\n"
                                             : "      <note>\n        <rest/>\n")
            .markup("        <duration>")
            .number(element.value.units)
            .markup("</duration>\n");
        writeValue(element, false, false);
        if (element.tupletStart || element.tupletStop) {
            out_.markup("        <notations>\n");
            writeTuplet(element);
            out_.markup("        </notations>\n");
        }
        out_.markup("      </note>\n");
    }

    void writePitch(std::int32_t pitch) {
        const SpelledPitch spelled = written(pitch);
        const char step[2] = {spelled.step, '\0'};
        out_.markup("        <pitch>\n          <step>").markup(step).markup("</step>\n");
        if (spelled.alter != 0)
            out_.markup("          <alter>").number(spelled.alter).markup("</alter>\n");
        out_.markup("          <octave>")
            .number(spelled.octave)
            .markup("</octave>\n        </pitch>\n");
    }

    void writeUnpitched(const DrumNotation& drum) {
        const char step[2] = {drum.step, '\0'};
        out_.markup("        <unpitched>\n          <display-step>")
            .markup(step)
            .markup("</display-step>\n          <display-octave>")
            .number(drum.octave)
            .markup("</display-octave>\n        </unpitched>\n");
    }

    void writeTone(const ScoreElement& element, const ChordTone& tone, bool inChord) {
        out_.markup("      <note dynamics=\"")
            .fixed(tone.velocity * 100.0 / kForteVelocity, 2)
            .markup("\">\n");
        if (inChord) out_.markup("        <chord/>\n");
        const DrumNotation drum = drumNotation(tone.pitch);
        if (part_.percussion)
            writeUnpitched(drum);
        else
            writePitch(tone.pitch);
        out_.markup("        <duration>").number(element.value.units).markup("</duration>\n");
        if (element.tieStop) out_.markup("        <tie type=\"stop\"/>\n");
        if (element.tieStart) out_.markup("        <tie type=\"start\"/>\n");
        if (part_.percussion)
            out_.markup("        <instrument id=\"")
                .markup(musicXmlInstrumentId(index_, part_, tone.pitch))
                .markup("\"/>\n");
        writeValue(element, inChord, part_.percussion && drum.crossHead);
        const bool tuplet = !inChord && (element.tupletStart || element.tupletStop);
        const bool accent = element.attack && tone.accented;
        if (!element.tieStop && !element.tieStart && !tuplet && !accent) {
            out_.markup("      </note>\n");
            return;
        }
        out_.markup("        <notations>\n");
        if (element.tieStop) out_.markup("          <tied type=\"stop\"/>\n");
        if (element.tieStart) out_.markup("          <tied type=\"start\"/>\n");
        if (!inChord) writeTuplet(element);
        if (accent)
            out_.markup(
                "          <articulations>\n            <accent/>\n          </articulations>\n");
        out_.markup("        </notations>\n      </note>\n");
    }

    XmlStream& out_;
    const ScoreSettings& score_;
    const PartPlan& part_;
    std::size_t index_;
    std::int32_t measure_ = 0;
    std::int32_t octaveChange_ = 0;
    std::array<std::int32_t, 2> octaveShift_{};
    KeySpelling spelling_;
    std::string voiceLine_;
    std::string staffLine_;
};

}  // namespace

std::string musicXmlPartId(std::size_t index) {
    return "P" + std::to_string(index + 1);
}

std::string musicXmlInstrumentId(std::size_t index, const PartPlan& part, std::int32_t key) {
    return musicXmlPartId(index) + "-I" + std::to_string(part.percussion ? (key & 0x7F) + 1 : 1);
}

void writeMusicXmlPart(XmlStream& out, const ScoreSettings& score, const PartPlan& part,
                       std::size_t index) {
    PartWriter(out, score, part, index).write();
}

}  // namespace halvorn
