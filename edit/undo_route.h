#pragma once
// Where "Undo" and "Redo" go, one story from a text field to the document:
// the typing in the field that has the focus first, while that field holds
// typing of its own; then the edits the shown page holds beyond what the
// history's last step left there; then the history's steps. Edits that no
// step holds are never stepped over: Redo waits until Undo has taken them.

#include <string>

namespace halvorn {

enum class UndoTarget {
    kNothing,
    kField,      // the focused field's own undo or redo
    kPageEdits,  // the shown page's edits become a step, then undone
    kHistory,    // the history's next step
};

struct UndoSituation {
    // The focused text field has typing of its own to take back (and its
    // text is not what the page shows as stored) or to make again.
    bool fieldCanUndo = false;
    bool fieldCanRedo = false;
    // The shown page holds edits beyond what the last step left on it.
    bool pageHoldsEditsToUndo = false;
    // ... and the next step to redo does not start from them either.
    bool pageHoldsUnsteppedEdits = false;
    bool historyCanUndo = false;
    bool historyCanRedo = false;
};

UndoTarget undoTarget(const UndoSituation& situation);
UndoTarget redoTarget(const UndoSituation& situation);

// The Edit menu's item: "Undo Typing", "Undo Edits on Blocks", "Undo Save
// block …", or "Undo" alone when there is nothing to take back. `page` is the
// shown page's caption, `step` the history's next step's name.
std::string undoCaption(UndoTarget target, const std::string& page, const std::string& step);
std::string redoCaption(UndoTarget target, const std::string& step);

}  // namespace halvorn
