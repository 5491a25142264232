#pragma once
// What the main sheet needs from each of its pages: the frame's "Random
// Values", "Random Seed" and "Copy" commands, and a say in leaving the page.
// Each page is made with the application's context: the document it edits,
// the prompts it talks through, the MIDI settings and playback.

#include <QShowEvent>
#include <QWidget>

#include "ui/app_context.h"

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
    // Another page is about to be shown. False keeps this page (for example
    // when its fields do not read); the page has told the user why.
    virtual bool leavePage() { return true; }
    // The document's contents were replaced (undo, redo): the page shows
    // them again, keeping the record it had selected where it still exists.
    virtual void reloadFromDocument() { turnedTo(); }

  protected:
    AppContext& context() const { return context_; }
    Prompts& prompts() const { return context_.prompts; }
    MidiSettings& settings() const { return context_.midi.settings; }
    Document* currentDocument() const { return context_.currentDocument(); }
    Song* currentSong() const { return context_.currentSong(); }
    std::int32_t currentBlockCount() const { return context_.currentBlockCount(); }

    // The sheet has turned to this page; a window restored from the taskbar
    // does not count. Pages show again what other pages may have changed.
    virtual void turnedTo() {}

    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        if (!event->spontaneous()) turnedTo();
    }

  private:
    AppContext& context_;
};

}  // namespace halvorn
