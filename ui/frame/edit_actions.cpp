#include "ui/frame/edit_actions.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTimer>

#include "ui/frame/main_sheet.h"
#include "ui/session/document_history.h"

namespace halvorn {
namespace {

// The keys of the two actions, which a text field would take for itself.
bool isUndoOrRedoKey(const QKeyEvent& key) {
    const QKeyCombination combination = key.keyCombination();
    return combination == QKeyCombination(Qt::CTRL, Qt::Key_Z) ||
           combination == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z) ||
           combination == QKeyCombination(Qt::CTRL, Qt::Key_Y);
}

// The focused text field of `window`, as one of the two kinds, or null.
QWidget* focusedTextField(const QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window) return nullptr;
    if (auto* edit = qobject_cast<QLineEdit*>(focus)) return edit->isReadOnly() ? nullptr : edit;
    if (auto* text = qobject_cast<QPlainTextEdit*>(focus))
        return text->isReadOnly() ? nullptr : text;
    return nullptr;
}

bool fieldCanUndo(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit->isUndoAvailable();
    if (auto* text = qobject_cast<QPlainTextEdit*>(field))
        return text->document()->isUndoAvailable();
    return false;
}

bool fieldCanRedo(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit->isRedoAvailable();
    if (auto* text = qobject_cast<QPlainTextEdit*>(field))
        return text->document()->isRedoAvailable();
    return false;
}

void fieldUndo(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->undo();
    if (auto* text = qobject_cast<QPlainTextEdit*>(field)) text->undo();
}

void fieldRedo(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->redo();
    if (auto* text = qobject_cast<QPlainTextEdit*>(field)) text->redo();
}

}  // namespace

CEditActions::CEditActions(DocumentHistory& history, CMainSheet& sheet, QWidget* window)
    : QObject(window),
      history_(history),
      sheet_(sheet),
      window_(window),
      undo_(new QAction(QStringLiteral("Undo"), window)),
      redo_(new QAction(QStringLiteral("Redo"), window)) {
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo_->setStatusTip(QStringLiteral("Take back the last change"));
    undo_->setIcon(window->style()->standardIcon(QStyle::SP_ArrowBack));
    redo_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo_->setStatusTip(QStringLiteral("Make the change that was taken back again"));
    redo_->setIcon(window->style()->standardIcon(QStyle::SP_ArrowForward));
    connect(undo_, &QAction::triggered, this, &CEditActions::undo);
    connect(redo_, &QAction::triggered, this, &CEditActions::redo);

    QUndoStack& stack = history_.stack();
    connect(&stack, &QUndoStack::indexChanged, this, &CEditActions::refreshSoon);
    connect(&stack, &QUndoStack::undoTextChanged, this, &CEditActions::refreshSoon);
    connect(&stack, &QUndoStack::redoTextChanged, this, &CEditActions::refreshSoon);
    connect(qApp, &QApplication::focusChanged, this, &CEditActions::refreshSoon);
    qApp->installEventFilter(this);
    refresh();
}

CEditActions::~CEditActions() {
    qApp->removeEventFilter(this);
}

UndoSituation CEditActions::situation() const {
    UndoSituation now;
    if (QWidget* field = focusedTextField(window_)) {
        now.fieldCanUndo = fieldCanUndo(field) && sheet_.fieldHoldsTyping(field);
        now.fieldCanRedo = fieldCanRedo(field);
    }
    if (CSheetPage* shown = sheet_.activePage(); shown && shown->holdsEdits()) {
        const PageFields current = sheet_.shownFields();
        const PageFields* last = history_.fieldsAfterLast();
        const PageFields* next = history_.fieldsBeforeNext();
        now.pageHoldsEditsToUndo = !(last && *last == current);
        now.pageHoldsUnsteppedEdits = now.pageHoldsEditsToUndo && !(next && *next == current);
    }
    now.historyCanUndo = history_.stack().canUndo();
    now.historyCanRedo = history_.stack().canRedo();
    return now;
}

void CEditActions::refreshSoon() {
    if (refreshPending_) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        refresh();
    });
}

void CEditActions::refresh() {
    const UndoSituation now = situation();
    const UndoTarget undoing = undoTarget(now);
    const UndoTarget redoing = redoTarget(now);
    undo_->setText(QString::fromStdString(undoCaption(undoing, sheet_.shownCaption().toStdString(),
                                                      history_.stack().undoText().toStdString())));
    redo_->setText(
        QString::fromStdString(redoCaption(redoing, history_.stack().redoText().toStdString())));
    undo_->setEnabled(undoing != UndoTarget::kNothing);
    redo_->setEnabled(redoing != UndoTarget::kNothing);
}

void CEditActions::undo() {
    switch (undoTarget(situation())) {
        case UndoTarget::kField:
            fieldUndo(focusedTextField(window_));
            break;
        case UndoTarget::kPageEdits:
            sheet_.undoPageEdits();
            break;
        case UndoTarget::kHistory:
            history_.stack().undo();
            break;
        case UndoTarget::kNothing:
            return;
    }
    if (changed_) changed_();
    refresh();
}

void CEditActions::redo() {
    switch (redoTarget(situation())) {
        case UndoTarget::kField:
            fieldRedo(focusedTextField(window_));
            break;
        case UndoTarget::kHistory:
            history_.stack().redo();
            break;
        case UndoTarget::kPageEdits:
        case UndoTarget::kNothing:
            return;
    }
    if (changed_) changed_();
    refresh();
}

// Left unaccepted, the key goes to the shortcut, that is to the actions.
bool CEditActions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window_ &&
        isUndoOrRedoKey(*static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace halvorn
