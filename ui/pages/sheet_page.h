#pragma once
// What the main sheet needs from each of its pages: the frame's "Random
// Values", "Random Seed" and "Copy" commands, the page's edits, and the news
// that the sheet has turned to it.
// Each page is made with the application's context: the document it edits,
// the prompts it talks through, the MIDI settings and playback.

#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "ui/session/app_context.h"

namespace halvorn {

class CSheetPage : public QWidget {
    Q_OBJECT
  public:
    CSheetPage(AppContext& context, QWidget* parent) : QWidget(parent), context_(context) {}

    // "Random Values" while this page is shown; the page seeds from the clock.
    virtual void randomValues() {}
    // "Random Seed" while this page is shown. The sheet has already seeded the
    // random source from the clock; the page takes its own draws.
    virtual void randomSeed() {}
    // "Copy" while this page is shown.
    virtual void copy() {}
    // The sheet has turned to this page (a window restored from the taskbar
    // does not count): the page shows again what other pages may have
    // changed.
    virtual void turnedTo() {}
    // The document's contents were replaced (undo, redo): the page shows
    // them again, keeping the record it had selected where it still exists.
    virtual void reloadFromDocument() { turnedTo(); }

    // Applies what the page's fields hold to `document` (a copy of the one
    // being edited) as the page's Save would, without a message or a change
    // of focus. False when a field does not read; the fields before it are
    // applied.
    virtual bool previewEdits(Document& document) {
        (void)document;
        return true;
    }
    // Stores the page's edits in the document as its Save does, messages
    // included. False when a field refuses (its message shown).
    virtual bool storeEdits() { return true; }
    // Whether the fields hold edits that the document does not: what the
    // page would store differs from what it would have stored when it last
    // showed its record as the document holds it.
    virtual bool holdsEdits();

    // The document with the page's edits applied, as far as they read.
    Document withEdits();

  protected:
    AppContext& context() const { return context_; }
    Prompts& prompts() const { return context_.prompts; }
    MidiSettings& settings() const { return context_.midi.settings; }
    Document* currentDocument() const { return context_.currentDocument(); }
    Song* currentSong() const { return context_.currentSong(); }
    std::int32_t currentBlockCount() const { return context_.currentBlockCount(); }

    // The fields show the record as the document holds it: edits are
    // measured from here.
    void markShownAsStored() { stored_ = previewBytes(); }
    // Whether the document with the page's edits applied differs from the
    // document (or a field does not read).
    bool previewDiffersFromDocument();

    // For previewEdits: reads the fields into `values` by `read` without a
    // message, runs `apply` on what was read, and puts `values` back as they
    // were. Whether every field read.
    template <typename Values, typename Read, typename Apply>
    bool readQuietly(Values& values, Read read, Apply apply) {
        const MutedPrompts muted(prompts());
        const Values shown = values;
        const bool readable = read();
        apply();
        values = shown;
        return readable;
    }
    // The document's bytes with the page's edits applied; none when a field
    // does not read (or there is no document).
    std::optional<std::vector<std::uint8_t>> previewBytes();

  private:
    AppContext& context_;
    std::optional<std::vector<std::uint8_t>> stored_;
};

}  // namespace halvorn
