#pragma once
// The document's undo history. Every change that reaches the document is one
// step holding the whole Document before and after it (a Song is a few tens
// of kilobytes; neighbouring steps share the snapshot between them), so
// undoing restores exactly what was there, whichever page made the change.
// Changes made while another is being recorded, or while a step is being
// undone or redone, belong to that step.
//
// Edits that live only on a page are steps too: a command that changes the
// shown page's fields ("Random Values") keeps those fields before and after
// it, and the edits a page holds (or drops when it is left) are kept as
// steps of their own, so undo and redo take them back and bring them back as
// they were typed.

#include <QString>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <optional>

#include "model/document.h"
#include "ui/session/page_fields.h"

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
    // `text`. After undoing or redoing it, the pages show the document.
    void record(const QString& text, const std::function<void()>& change);
    // The same for a command that changes the shown page's fields too: the
    // step keeps them, and undoing or redoing it shows them as they were.
    void recordWithFields(const QString& text, const std::function<void()>& change);
    // Keeps a step that changes nothing but a page's fields, from `before`
    // to `after`, as already made.
    void pushFields(const QString& text, PageFields before, PageFields after);

    // How the window reads the shown page's fields and shows fields again
    // (turning to their page and record when it must).
    struct FieldsHandlers {
        std::function<PageFields()> capture;
        std::function<void(const PageFields&)> show;
    };
    void setFieldsHandlers(FieldsHandlers handlers) { fields_ = std::move(handlers); }
    // Called after an undo or redo has replaced the document's contents, so
    // that what the window shows is read again from it.
    void setRestoredHandler(std::function<void()> handler) { restored_ = std::move(handler); }

    // The page fields the last step made (or the next step undone back to)
    // left on show, when it kept any; the edits such fields hold have a step.
    const PageFields* fieldsAfterLast() const;
    const PageFields* fieldsBeforeNext() const;

    // Forgets every step (a new or opened document).
    void clear();

    QUndoStack& stack() { return stack_; }
    // Whether a change is being recorded or a step undone or redone.
    bool busy() const { return depth_ > 0; }

  private:
    class Step;
    using Snapshot = std::shared_ptr<const Document>;
    void keep(const QString& text, const std::function<void()>& change, bool withFields);
    void restore(const Snapshot& contents, const std::optional<PageFields>& fields);
    const Step* stepAt(int index) const;

    std::function<Document*()> document_;
    std::function<void()> restored_;
    FieldsHandlers fields_;
    QUndoStack stack_;
    // The contents the document had after the last step recorded, undone or
    // redone; the next step starts from it when nothing changed since.
    Snapshot shown_;
    int depth_ = 0;
};

}  // namespace halvorn
