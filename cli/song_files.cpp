#include "cli/song_files.h"

#include <filesystem>
#include <system_error>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "engine/arrangement.h"
#include "midi/channel_setup.h"
#include "midi/smf.h"

namespace halvorn::cli {

Document loadDocument(const std::string& path) {
    auto document = documentRead(path);
    if (!document) throw CommandFailure{document.error().line()};
    return std::move(*document);
}

void refuseOverwritingInput(const std::string& input, const std::string& output,
                            const std::string& written) {
    std::error_code ignored;
    if (std::filesystem::equivalent(input, output, ignored))
        throw CommandFailure{output + ": this is the document being read; " + written +
                             " would replace it (choose another -o)"};
}

void renderDocumentSong(const std::string& input, Document& document, MidiSong& midi,
                        bool skipMuted, std::int32_t ppqn) {
    if (document.song.blockCount <= 0)
        throw CommandFailure{input +
                             ": Unable to generate MIDI data. The composition has no blocks."};
    ProgressBar progress("Rendering");
    const auto rendered = renderSong(midi, document.song, progress, skipMuted, ppqn);
    if (!rendered) throw CommandFailure{input + ": " + rendered.error().message};
}

void addChannelSetupEvents(MidiSong& song) {
    if (midiSongAddChannelSetupEvents(song) != MidiResult::kOk)
        throw CommandFailure{"Not enough memory to generate MIDI data."};
}

void saveMidiSong(const std::string& path, MidiSong& song, bool sendInstruments) {
    if (sendInstruments) addChannelSetupEvents(song);
    if (const auto saved = midiSongSave(path, song); !saved)
        throw CommandFailure{saved.error().line()};
}

}  // namespace halvorn::cli
