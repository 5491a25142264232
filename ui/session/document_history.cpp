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

// The file's bytes, and the tracks' placements, which the file leaves out
// but the arrangement shows and plays.
bool sameContents(const Document& a, const Document& b) {
    for (std::size_t i = 0; i < a.song.macrosequences.size(); ++i) {
        const Macrosequence& left = a.song.macrosequences[i];
        const Macrosequence& right = b.song.macrosequences[i];
        if (left.placementCount != right.placementCount || left.placements != right.placements)
            return false;
    }
    return documentEncode(a) == documentEncode(b);
}

}  // namespace

// Neighbouring steps share the snapshot between them, so a step costs about
// one Document, not two.
class DocumentHistory::Step final : public QUndoCommand {
  public:
    Step(DocumentHistory& history, const QString& text, Snapshot before, Snapshot after)
        : QUndoCommand(text),
          history_(history),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override { history_.restore(before_); }
    // The first redo is the push: the change has already been made.
    void redo() override {
        if (pushed_) history_.restore(after_);
        pushed_ = true;
    }

  private:
    DocumentHistory& history_;
    Snapshot before_;
    Snapshot after_;
    bool pushed_ = false;
};

DocumentHistory::DocumentHistory(std::function<Document*()> document)
    : document_(std::move(document)) {
    stack_.setUndoLimit(kStepLimit);
}

void DocumentHistory::record(const QString& text, const std::function<void()>& change) {
    Document* document = document_();
    if (!document || busy()) {
        change();
        return;
    }
    Snapshot before = shown_ && sameContents(*shown_, *document)
                          ? shown_
                          : std::make_shared<const Document>(*document);
    {
        const Busy recording(depth_);
        change();
    }
    if (sameContents(*before, *document)) return;
    shown_ = std::make_shared<const Document>(*document);
    stack_.push(new Step(*this, text, std::move(before), shown_));
}

void DocumentHistory::clear() {
    stack_.clear();
    shown_.reset();
}

void DocumentHistory::restore(const Snapshot& contents) {
    Document* document = document_();
    if (!document) return;
    const Busy restoring(depth_);
    *document = *contents;
    shown_ = contents;
    if (restored_) restored_();
}

}  // namespace halvorn
