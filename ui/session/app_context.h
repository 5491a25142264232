#pragma once
// What the application owns and its window's parts share: the prompts
// through which they talk to the user, the MIDI settings, device list and
// playback, the document being edited and its undo history, the pages'
// playback sessions, and the audio export. The application makes one; pages
// and dialogs receive it (or the part of it they use) when they are made.
// Tests make their own.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "midi/midi_system.h"
#include "model/document.h"
#include "model/random.h"
#include "ui/session/audio_export_run.h"
#include "ui/session/document_access.h"
#include "ui/session/document_history.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"

namespace halvorn {

class AppContext {
  public:
    AppContext(Prompts& prompts, MidiSystem& midi)
        : prompts(prompts), midi(midi), sessions(midi, prompts) {}
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // The composition being edited; null before the first New.
    Document* currentDocument() const { return document ? document->document() : nullptr; }
    // Its Song, or null.
    Song* currentSong() const;
    // The Song's blocks in use, held to 0..16 (0 without a Song).
    std::int32_t currentBlockCount() const;

    // Runs `change` on the document as one undo step called `text` (kept
    // only when it changed something).
    void recordChange(const QString& text, const std::function<void()>& change) {
        history.record(text, change);
    }
    // The same for a change that returns a value.
    template <typename Change>
    auto recordChangeResult(const QString& text, Change change) -> decltype(change()) {
        std::optional<decltype(change())> result;
        recordChange(text, [&] { result.emplace(change()); });
        return std::move(*result);
    }

    Prompts& prompts;
    MidiSystem& midi;
    // The document while it exists; it registers itself here.
    CDocumentAccess* document = nullptr;
    CPlaybackSessions sessions;
    // Where randomising commands take their draws: from the clock.
    CommandDraws commandDraws = drawsFromTheClock;
    // Empty where there is no built-in synthesizer to export through.
    AudioExportFunction audioExport;
    // The same for stems: a WAV file per track into the folder it is given.
    AudioExportFunction stemsExport;
    DocumentHistory history{[this] { return currentDocument(); }};
};

}  // namespace halvorn
