#pragma once
// What the main sheet needs from each of its pages: the frame's "Random
// Values", "Random Seed" and "Copy" commands, the page's edits, and the news
// that the sheet has turned to it.
// Each page is made with the application's context: the document it edits,
// the prompts it talks through, the MIDI settings and playback.

#include <QList>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "ui/session/app_context.h"
#include "ui/session/page_fields.h"

class QComboBox;

namespace halvorn {

class CSheetPage : public QWidget {
    Q_OBJECT
  public:
    CSheetPage(AppContext& context, QWidget* parent) : QWidget(parent), context_(context) {}

    // "Random Values" and "Random Seed" while this page is shown, taking
    // their draws from `draws` (seeded from the clock).
    virtual void randomValues(RandomDraws& draws) { (void)draws; }
    virtual void randomSeed(RandomDraws& draws) { (void)draws; }
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

    // What the fields hold now, and what they held when the page last showed
    // its record as the document holds it (the page index is the sheet's to
    // fill in).
    PageFields fields() const;
    const PageFields& storedFields() const { return storedFields_; }
    // Whether `field` shows something else than it did when the record was
    // shown as stored (true for a field that is not one of the page's).
    bool fieldHoldsEdit(const QWidget* field) const;
    // Shows `fields`: their record as the document holds it, then their
    // values, exactly as they were.
    virtual void showFields(const PageFields& fields);
    // The page is about to show another record, or to be left: edits its
    // fields hold are dropped, and reported (editsDropped) so that they can
    // be brought back. Not while the history restores a step.
    void dropEdits();

  signals:
    // The fields held `edits` when they were dropped; `stored` is what the
    // page showed of the record before them.
    void editsDropped(const PageFields& edits, const PageFields& stored);

  protected:
    AppContext& context() const { return context_; }
    Prompts& prompts() const { return context_.prompts; }
    MidiSettings& settings() const { return context_.midi.settings; }
    Document* currentDocument() const { return context_.currentDocument(); }
    Song* currentSong() const { return context_.currentSong(); }
    std::int32_t currentBlockCount() const { return context_.currentBlockCount(); }

    // The fields show the record as the document holds it: edits are
    // measured from here.
    void markShownAsStored();

    // The fields the composer sets, in a fixed order: neither the record
    // list nor the page's own switches (loop, metronome) are among them.
    virtual QList<QWidget*> editFields() const { return {}; }
    // The list that picks the record the page shows; none on a page without
    // records.
    virtual QComboBox* recordList() const { return nullptr; }
    // What the page keeps outside its widgets, as bytes.
    virtual std::vector<std::uint8_t> extraFields() const { return {}; }
    // Before `fields`' values are set: what they need is made (the
    // widgets of a panel they name).
    virtual void prepareFields(const PageFields& fields) { (void)fields; }
    // Shows record `record` as the document holds it.
    virtual void showRecord(std::int32_t record) { (void)record; }
    // The values have been set without their change signals: what follows
    // from them (a preview) is brought up to date.
    virtual void fieldsShown() {}
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
    std::int32_t listedRecord() const;

    AppContext& context_;
    std::optional<std::vector<std::uint8_t>> stored_;
    PageFields storedFields_;
    // The edits were reported as dropped; nothing is held until the page
    // shows a record as stored again.
    bool dropped_ = false;
};

}  // namespace halvorn
