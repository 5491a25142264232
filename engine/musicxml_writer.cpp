#include "engine/musicxml_writer.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "engine/arrangement.h"
#include "engine/drum_map.h"
#include "engine/key_signature.h"
#include "engine/musicxml_part_writer.h"
#include "engine/note_events.h"
#include "engine/page_layout.h"
#include "engine/part_plan.h"
#include "midi/program_names.h"
#include "model/output_file.h"
#include "model/text_codec.h"

namespace halvorn {
namespace {

// The reason a cancelled export gives, the same as the audio export's.
constexpr char kCancelled[] = "Export cancelled";

// Every semitone a degree: a piece without a key, written with none.
bool isChromatic(const Scale& scale) {
    return std::ranges::equal(scale.intervals, scaleTypeIntervals(kScaleChromatic));
}

void writeText(XmlStream& out, const char* open, const std::string& bytes, const char* close) {
    out.markup(open).text(windows1252ToUtf8(bytes)).markup(close);
}

void writeDefaults(XmlStream& out, const PageLayout& layout) {
    out.markup("  <defaults>\n    <scaling>\n      <millimeters>")
        .fixed(layout.staffMillimeters, 4)
        .markup("</millimeters>\n      <tenths>40</tenths>\n    </scaling>\n")
        .markup("    <page-layout>\n      <page-height>")
        .number(layout.pageHeight)
        .markup("</page-height>\n      <page-width>")
        .number(layout.pageWidth)
        .markup("</page-width>\n      <page-margins type=\"both\">\n");
    for (const char* side : {"left", "right", "top", "bottom"})
        out.markup("        <")
            .markup(side)
            .markup("-margin>")
            .number(layout.margin)
            .markup("</")
            .markup(side)
            .markup("-margin>\n");
    out.markup("      </page-margins>\n    </page-layout>\n    <system-layout>\n")
        .markup("      <system-distance>")
        .number(layout.systemDistance)
        .markup("</system-distance>\n    </system-layout>\n    <staff-layout>\n")
        .markup("      <staff-distance>")
        .number(layout.staffDistance)
        .markup("</staff-distance>\n    </staff-layout>\n  </defaults>\n");
}

void writeHeader(XmlStream& out, const Document& document,
                 const std::optional<PageLayout>& layout) {
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
               "      <supports element=\"beam\" type=\"yes\"/>\n");
    if (layout)
        out.markup(
            "      <supports element=\"print\" attribute=\"new-system\" type=\"yes\" "
            "value=\"yes\"/>\n");
    out.markup("    </encoding>\n");
    if (!document.comments.empty())
        writeText(out, "    <miscellaneous>\n      <miscellaneous-field name=\"comments\">",
                  document.comments, "</miscellaneous-field>\n    </miscellaneous>\n");
    out.markup("  </identification>\n");
    if (layout) writeDefaults(out, *layout);
}

void writeInstrument(XmlStream& out, const std::string& id, std::string_view name) {
    out.markup("      <score-instrument id=\"")
        .markup(id)
        .markup("\">\n        <instrument-name>")
        .text(name)
        .markup("</instrument-name>\n      </score-instrument>\n");
}

void writeMidiInstrument(XmlStream& out, const std::string& id, const Block& block,
                         const Macrosequence& macrosequence, std::optional<std::int32_t> key) {
    // Volume in percent of full; pan from -90 (left) to 90 degrees.
    const double volume = unitToMidiValue(macrosequence.volume) * 100.0 / 127.0;
    const double pan = (unitToMidiValue(macrosequence.panning) - 64.0) * 90.0 / 64.0;
    out.markup("      <midi-instrument id=\"")
        .markup(id)
        .markup("\">\n        <midi-channel>")
        .number((block.channel & 0x0F) + 1)
        .markup("</midi-channel>\n");
    if (key)
        out.markup("        <midi-unpitched>").number(*key + 1).markup("</midi-unpitched>\n");
    else
        out.markup("        <midi-program>")
            .number(block.program % 128 + 1)
            .markup("</midi-program>\n");
    out.markup("        <volume>")
        .fixed(volume, 2)
        .markup("</volume>\n        <pan>")
        .fixed(pan, 2)
        .markup("</pan>\n      </midi-instrument>\n");
}

void writePartList(XmlStream& out, const Song& song, const std::vector<PartPlan>& parts) {
    out.markup("  <part-list>\n");
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const PartPlan& part = parts[p];
        const auto track = static_cast<std::size_t>(part.track);
        const Block& block = song.blocks[track];
        const Macrosequence& macrosequence = song.macrosequences[track];
        out.markup("    <score-part id=\"").markup(musicXmlPartId(p)).markup("\">\n");
        writeText(out, "      <part-name>", part.name, "</part-name>\n");
        writeText(out, "      <part-abbreviation>", part.abbreviation, "</part-abbreviation>\n");
        if (part.percussion) {
            for (std::int32_t key = 0; key < 128; ++key)
                if (part.drumKeys.test(static_cast<std::size_t>(key)))
                    writeInstrument(out, musicXmlInstrumentId(p, part, key),
                                    drumNotation(key).name);
            for (std::int32_t key = 0; key < 128; ++key)
                if (part.drumKeys.test(static_cast<std::size_t>(key)))
                    writeMidiInstrument(out, musicXmlInstrumentId(p, part, key), block,
                                        macrosequence, key);
        } else {
            const std::string id = musicXmlInstrumentId(p, part, 0);
            writeInstrument(
                out, id, kGeneralMidiProgramNames[static_cast<std::size_t>(block.program & 0x7F)]);
            writeMidiInstrument(out, id, block, macrosequence, std::nullopt);
        }
        out.markup("    </score-part>\n");
    }
    out.markup("  </part-list>\n");
}

// A large score gets a page layout that fits a whole system on the page.
std::optional<PageLayout> layoutFor(const std::vector<PartPlan>& parts) {
    if (!needsPageLayout(static_cast<std::int32_t>(parts.size()))) return std::nullopt;
    std::int32_t staves = 0;
    std::int32_t densest = 0;
    for (const PartPlan& part : parts) {
        staves += part.staves.staves;
        densest = std::max(densest, part.densestMeasure);
    }
    return pageLayoutFor(staves, densest);
}

}  // namespace

Expected<void, MusicXmlError> writeMusicXml(XmlStream& out, const Document& document,
                                            bool skipMuted) {
    Song song = document.song;
    NoRenderProgress noProgress;
    songPrepare(song, noProgress);
    auto parts = planParts(song, skipMuted);
    if (!parts) return unexpected(MusicXmlError::kRender);
    if (parts->empty() || song.beatsPerMeasure < 1) return unexpected(MusicXmlError::kNoNotes);

    const std::optional<PageLayout> layout = layoutFor(*parts);
    const ScoreSettings score{.song = song,
                              .key = keySignatureOf(song.scale),
                              .chromatic = isChromatic(song.scale),
                              .measuresPerSystem = layout ? layout->measuresPerSystem : 0};
    writeHeader(out, document, layout);
    writePartList(out, song, *parts);
    for (std::size_t p = 0; p < parts->size() && !out.failed(); ++p)
        writeMusicXmlPart(out, score, (*parts)[p], p);
    out.markup("</score-partwise>\n");
    if (!out.flush()) return unexpected(MusicXmlError::kWriteFailed);
    return {};
}

Expected<void, Error> musicXmlSave(const std::string& path, const Document& document,
                                   bool skipMuted, const std::function<bool()>& proceed) {
    const auto failed = [&path](const std::string& reason,
                                ErrorCode code = ErrorCode::kFileAccess) {
        return unexpected(fileError("Unable to export MusicXML.", path, reason, code));
    };
    auto file = OutputFile::open(path);
    if (!file) return failed(systemErrorText(file.error()));
    int writeError = 0;
    bool cancelled = false;
    XmlStream out([&](std::span<const std::uint8_t> bytes) {
        if (proceed && !proceed()) {
            cancelled = true;
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
                return failed("No track has any notes", ErrorCode::kNoSong);
            case MusicXmlError::kRender:
                return failed("Not enough memory", ErrorCode::kNotesOutOfMemory);
            case MusicXmlError::kWriteFailed:
                if (cancelled) return failed(kCancelled, ErrorCode::kCancelled);
                return failed(systemErrorText(writeError));
        }
    }
    if (const auto committed = file->commit(); !committed)
        return failed(systemErrorText(committed.error()));
    return {};
}

}  // namespace halvorn
