#include "ui/session/document_history.h"

#include <QUndoCommand>
#include <utility>

namespace halvorn {
namespace {

// Counts a recording or restoring in progress for as long as it lives.
class Busy {
  public:
    explicit Busy(int& depth) : depth_(depth) { ++depth_; }
    ~Busy() { --depth_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    int& depth_;
};

// The file's bytes, and the placements, which the file leaves out but the
// arrangement shows and plays.
bool sameContents(const Document& a, const Document& b) {
    return samePlacements(a.song, b.song) && documentEncode(a) == documentEncode(b);
}

}  // namespace

// Neighbouring steps share the snapshot between them, so a step costs about
// one Document, not two.
class DocumentHistory::Step final : public QUndoCommand {
  public:
    Step(DocumentHistory& history, const QString& text, Snapshot before, Snapshot after,
         std::optional<PageFields> fieldsBefore, std::optional<PageFields> fieldsAfter)
        : QUndoCommand(text),
          history_(history),
          before_(std::move(before)),
          after_(std::move(after)),
          fieldsBefore_(std::move(fieldsBefore)),
          fieldsAfter_(std::move(fieldsAfter)) {}

    void undo() override { history_.restore(before_, fieldsBefore_); }
    // The first redo is the push: the change has already been made.
    void redo() override {
        if (pushed_) history_.restore(after_, fieldsAfter_);
        pushed_ = true;
    }

    const std::optional<PageFields>& fieldsBefore() const { return fieldsBefore_; }
    const std::optional<PageFields>& fieldsAfter() const { return fieldsAfter_; }

  private:
    DocumentHistory& history_;
    Snapshot before_;
    Snapshot after_;
    std::optional<PageFields> fieldsBefore_;
    std::optional<PageFields> fieldsAfter_;
    bool pushed_ = false;
};

DocumentHistory::DocumentHistory(std::function<Document*()> document)
    : document_(std::move(document)) {
    stack_.setUndoLimit(kStepLimit);
}

void DocumentHistory::record(const QString& text, const std::function<void()>& change) {
    keep(text, change, false);
}

void DocumentHistory::recordWithFields(const QString& text, const std::function<void()>& change) {
    keep(text, change, true);
}

void DocumentHistory::keep(const QString& text, const std::function<void()>& change,
                           bool withFields) {
    Document* document = document_();
    if (!document || busy()) {
        change();
        return;
    }
    Snapshot before = shown_ && sameContents(*shown_, *document)
                          ? shown_
                          : std::make_shared<const Document>(*document);
    const bool keepsFields = withFields && fields_.capture;
    std::optional<PageFields> fieldsBefore;
    if (keepsFields) fieldsBefore = fields_.capture();
    {
        const Busy recording(depth_);
        change();
    }
    std::optional<PageFields> fieldsAfter;
    if (keepsFields) fieldsAfter = fields_.capture();
    const bool documentChanged = !sameContents(*before, *document);
    if (fieldsBefore == fieldsAfter) {
        if (!documentChanged) return;
        fieldsBefore.reset();
        fieldsAfter.reset();
    }
    Snapshot after = documentChanged ? std::make_shared<const Document>(*document) : before;
    shown_ = after;
    stack_.push(new Step(*this, text, std::move(before), std::move(after), std::move(fieldsBefore),
                         std::move(fieldsAfter)));
}

void DocumentHistory::pushFields(const QString& text, PageFields before, PageFields after) {
    Document* document = document_();
    if (!document || busy()) return;
    Snapshot contents = shown_ && sameContents(*shown_, *document)
                            ? shown_
                            : std::make_shared<const Document>(*document);
    shown_ = contents;
    stack_.push(new Step(*this, text, contents, contents, std::move(before), std::move(after)));
}

const DocumentHistory::Step* DocumentHistory::stepAt(int index) const {
    if (index < 0 || index >= stack_.count()) return nullptr;
    return dynamic_cast<const Step*>(stack_.command(index));
}

const PageFields* DocumentHistory::fieldsAfterLast() const {
    const Step* last = stepAt(stack_.index() - 1);
    return last && last->fieldsAfter() ? &*last->fieldsAfter() : nullptr;
}

const PageFields* DocumentHistory::fieldsBeforeNext() const {
    const Step* next = stepAt(stack_.index());
    return next && next->fieldsBefore() ? &*next->fieldsBefore() : nullptr;
}

void DocumentHistory::clear() {
    stack_.clear();
    shown_.reset();
}

// A step that changed only a page's fields leaves the document, and what
// the pages show of it, as they are.
void DocumentHistory::restore(const Snapshot& contents, const std::optional<PageFields>& fields) {
    Document* document = document_();
    if (!document) return;
    const Busy restoring(depth_);
    if (!sameContents(*contents, *document)) {
        *document = *contents;
        if (restored_) restored_();
    }
    shown_ = contents;
    if (fields && fields_.show) fields_.show(*fields);
}

}  // namespace halvorn
