#include "edit/undo_route.h"

namespace halvorn {

UndoTarget undoTarget(const UndoSituation& situation) {
    if (situation.fieldCanUndo) return UndoTarget::kField;
    if (situation.pageHoldsEditsToUndo) return UndoTarget::kPageEdits;
    if (situation.historyCanUndo) return UndoTarget::kHistory;
    return UndoTarget::kNothing;
}

UndoTarget redoTarget(const UndoSituation& situation) {
    if (situation.fieldCanRedo) return UndoTarget::kField;
    // A redone step would replace the page's new edits without a trace.
    if (situation.pageHoldsUnsteppedEdits) return UndoTarget::kNothing;
    if (situation.historyCanRedo) return UndoTarget::kHistory;
    return UndoTarget::kNothing;
}

namespace {

std::string joined(const char* verb, const std::string& what) {
    return what.empty() ? std::string(verb) : std::string(verb) + " " + what;
}

}  // namespace

std::string undoCaption(UndoTarget target, const std::string& page, const std::string& step) {
    switch (target) {
        case UndoTarget::kField:
            return "Undo Typing";
        case UndoTarget::kPageEdits:
            return "Undo Edits on " + page;
        case UndoTarget::kHistory:
            return joined("Undo", step);
        case UndoTarget::kNothing:
            break;
    }
    return "Undo";
}

std::string redoCaption(UndoTarget target, const std::string& step) {
    switch (target) {
        case UndoTarget::kField:
            return "Redo Typing";
        case UndoTarget::kHistory:
            return joined("Redo", step);
        case UndoTarget::kPageEdits:
        case UndoTarget::kNothing:
            break;
    }
    return "Redo";
}

}  // namespace halvorn
