#pragma once
// The Edit menu's "Undo" and "Redo" (and their keys and toolbar buttons),
// one story from the text field being typed in to the document's history
// (edit/undo_route.h): the field's own typing first, then the edits the
// page shown holds, then the history's steps. The items always say which
// will happen.
//
// A text field takes Ctrl+Z and Ctrl+Y for itself before any shortcut; in
// the main window these keys reach the actions instead, which hand them back
// to the field while it has typing of its own to take back.

#include <QObject>
#include <functional>

#include "edit/undo_route.h"

class QAction;
class QWidget;

namespace halvorn {

class CMainSheet;
class DocumentHistory;

class CEditActions final : public QObject {
    Q_OBJECT
  public:
    // The actions belong to `window`, whose sheet is `sheet`.
    CEditActions(DocumentHistory& history, CMainSheet& sheet, QWidget* window);
    ~CEditActions() override;

    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }

    // After an undo or redo: the window's marks and title follow.
    void setChangedHandler(std::function<void()> changed) { changed_ = std::move(changed); }
    // The items' names and states from what the window holds now.
    void refresh();

    void undo();
    void redo();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    UndoSituation situation() const;
    // Once the change under way has finished: a step is kept before the page
    // that made it shows what it stored.
    void refreshSoon();

    DocumentHistory& history_;
    CMainSheet& sheet_;
    QWidget* window_;
    QAction* undo_;
    QAction* redo_;
    std::function<void()> changed_;
    bool refreshPending_ = false;
};

}  // namespace halvorn
