#pragma once
// The document's undo history. Every change that reaches the document is one
// step holding the whole Document before and after it (a Song is a few tens
// of kilobytes; neighbouring steps share the snapshot between them), so
// undoing restores exactly what was there, whichever page made the change. Changes made while
// another is being recorded, or while a step is being undone or redone, belong to that step.

#include <QString>
#include <QUndoStack>
#include <functional>
#include <memory>

#include "model/document.h"

namespace halvorn {

class DocumentHistory {
  public:
    // Enough steps for a long session; each holds about one Document.
    static constexpr int kStepLimit = 256;

    // `document` gives the composition being edited, or null.
    explicit DocumentHistory(std::function<Document*()> document);
    DocumentHistory(const DocumentHistory&) = delete;
    DocumentHistory& operator=(const DocumentHistory&) = delete;

    // Runs `change` on the document and, when the document's bytes (or the
    // tracks' placements) differ afterwards, keeps it as one step called
    // `text`.
    void record(const QString& text, const std::function<void()>& change);

    // Called after an undo or redo has replaced the document's contents, so
    // that what the window shows is read again from it.
    void setRestoredHandler(std::function<void()> handler) { restored_ = std::move(handler); }

    // Forgets every step (a new or opened document).
    void clear();
    // The document was saved in the state the history is at.
    void markSaved() { stack_.setClean(); }

    QUndoStack& stack() { return stack_; }
    // Whether a change is being recorded or a step undone or redone.
    bool busy() const { return depth_ > 0; }

  private:
    class Step;
    using Snapshot = std::shared_ptr<const Document>;
    void restore(const Snapshot& contents);

    std::function<Document*()> document_;
    std::function<void()> restored_;
    QUndoStack stack_;
    // The contents the document had after the last step recorded, undone or
    // redone; the next step starts from it when nothing changed since.
    Snapshot shown_;
    int depth_ = 0;
};

}  // namespace halvorn
