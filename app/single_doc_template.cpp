#include "app/single_doc_template.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>
#include <QUndoStack>

#include "app/about_box.h"
#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "ui/frame/edit_actions.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/session/app_context.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"

namespace halvorn {

CSingleDocTemplate::CSingleDocTemplate(AppContext& context, const QString& recoveryFolder)
    : context_(context),
      frame_(std::make_unique<CMainFrame>()),
      view_(new CHalvornView(context, frame_.get())),
      doc_(std::make_unique<CHalvornDoc>(context, view_->sheet())),
      recovery_(recoveryFolder),
      editActions_(new CEditActions(context.history, *view_->sheet(), frame_.get())) {
    CMainSheet* sheet = view_->sheet();
    frame_->setCentralWidget(view_);
    frame_->setSheet(sheet);
    frame_->setWindowIcon(applicationIcon());
    frame_->setEditActions(editActions_->undoAction(), editActions_->redoAction());
    editActions_->setChangedHandler([this] { updateTitle(); });
    QObject::connect(frame_->editMenu(), &QMenu::aboutToShow, editActions_, &CEditActions::refresh);
    context_.history.setRestoredHandler([sheet] { sheet->reloadFromDocument(); });
    context_.history.setFieldsHandlers(
        {.capture = [sheet] { return sheet->shownFields(); },
         .show = [sheet](const PageFields& fields) { sheet->showFields(fields); }});
    QObject::connect(&context_.history.stack(), &QUndoStack::indexChanged, frame_.get(),
                     [this] { updateTitle(); });
    QObject::connect(sheet, &CMainSheet::statusMessage, frame_.get(),
                     [this](const QString& message) { frame_->statusBar()->showMessage(message); });
    createRecoveryIndicator();
    // No note is left sounding once the window has gone.
    frame_->setCloseGuard([this] {
        if (endingBySignal_) return true;
        if (!SaveModified()) return false;
        context_.sessions.stopAll();
        recovery_.remove();
        return true;
    });
    autosave_ = std::make_unique<Autosave>(
        recovery_,
        AutosaveSource{.modified = [this] { return doc_->IsModified(); },
                       .contents = [this] { return view_->sheet()->documentWithEdits(); },
                       .originalPath = [this] { return doc_->pathName(); },
                       .failed = [this](const Error& error) { recoveryFailed(error); },
                       .recovered = [this] { recoveryWritten(); }},
        autosaveIntervalSeconds());
    QObject::connect(frame_.get(), &CMainFrame::newRequested, [this] { FileNew(); });
    QObject::connect(frame_.get(), &CMainFrame::openRequested, [this] { FileOpen(); });
    QObject::connect(frame_.get(), &CMainFrame::saveRequested, [this] { FileSave(); });
    QObject::connect(frame_.get(), &CMainFrame::saveAsRequested, [this] { FileSaveAs(); });
    QObject::connect(frame_.get(), &CMainFrame::recentFileRequested,
                     [this](const QString& path) { OpenDocumentFile(path); });
    QObject::connect(frame_.get(), &CMainFrame::aboutRequested, [this] { About(); });
    recentFiles_.load();
    frame_->setRecentFiles(recentFiles_.paths());
}

// The frame (with the sheet) goes before the document, as the window closes
// before the document is released; the history's steps go with the document.
// Ending cleanly, the program leaves no recovery copy behind.
CSingleDocTemplate::~CSingleDocTemplate() {
    autosave_.reset();
    if (!keepRecoveryCopy_) recovery_.remove();
    context_.history.setRestoredHandler({});
    frame_.reset();
    context_.history.clear();
}

bool CSingleDocTemplate::OpenStartupDocument(const QString& path) {
    // The Song must exist before any file is read into the document, and the
    // random generator must be selected before the first draw.
    if (!doc_->OnNewDocument()) return false;
    updateTitle();
    frame_->show();
    frame_->activateWindow();
    if (!path.isEmpty()) OpenDocumentFile(path);
    return true;
}

void CSingleDocTemplate::FileNew() {
    if (!SaveModified()) return;
    doc_->OnNewDocument();
    recovery_.remove();
    updateTitle();
}

void CSingleDocTemplate::FileOpen() {
    const auto path = context_.prompts.askOpenFileName(kDocumentFilter);
    if (path) OpenDocumentFile(*path);
}

bool CSingleDocTemplate::OpenDocumentFile(const QString& path) {
    if (!SaveModified()) return false;
    const bool opened = doc_->OnOpenDocument(path);
    if (opened) {
        rememberFile(path);
        recovery_.remove();
    } else {
        forgetFile(path);
    }
    updateTitle();
    return opened;
}

bool CSingleDocTemplate::FileSave() {
    if (doc_->pathName().isEmpty()) return FileSaveAs();
    return SaveTo(doc_->pathName());
}

// The dialog gives a name typed without an extension ".hvn" before it asks
// whether to replace an existing file, so the question is about the file
// that is written.
bool CSingleDocTemplate::FileSaveAs() {
    const QString suggested =
        doc_->pathName().isEmpty() ? QStringLiteral("Untitled.hvn") : doc_->pathName();
    const auto path = context_.prompts.askSaveFile({.filterText = kDocumentFilter,
                                                    .filterPattern = QStringLiteral("*.hvn"),
                                                    .defaultSuffix = QStringLiteral("hvn"),
                                                    .suggestedPath = suggested});
    if (!path) return false;
    return SaveTo(*path);
}

bool CSingleDocTemplate::SaveTo(const QString& path) {
    const bool saved = doc_->OnSaveDocument(path);
    if (saved) {
        rememberFile(path);
        recovery_.remove();
    }
    updateTitle();
    return saved;
}

bool CSingleDocTemplate::SaveModified() {
    if (!doc_->IsModified()) return true;
    const QString question = QStringLiteral("Save changes to %1?").arg(doc_->displayName());
    switch (context_.prompts.askYesNoCancel(question)) {
        case Answer::Yes:
            return view_->sheet()->storePageEdits() && FileSave();
        case Answer::No:
            return true;
        case Answer::Cancel:
            return false;
    }
    return false;
}

void CSingleDocTemplate::OfferRecovery() {
    std::vector<OrphanCopy> orphans = recovery_.orphans();
    bool recovered = false;
    for (OrphanCopy& orphan : orphans) {
        if (recovered) {
            recovery_.release(orphan);  // one document at a time: the rest wait
        } else {
            recovered = offer(orphan);
        }
    }
}

bool CSingleDocTemplate::offer(OrphanCopy& orphan) {
    const QString name = orphan.originalPath.isEmpty() ? QStringLiteral("Untitled")
                                                       : QFileInfo(orphan.originalPath).fileName();
    const ChoiceRequest request{
        .question = QStringLiteral("Recover the unsaved work on %1?").arg(name),
        .detail = QStringLiteral("Halvorn ended without saving it. Its recovery copy was "
                                 "written on %1.")
                      .arg(QLocale().toString(orphan.written, QLocale::ShortFormat)),
        .yesText = QStringLiteral("Recover"),
        .noText = QStringLiteral("Discard"),
        .cancelText = QStringLiteral("Later")};
    for (;;) {
        const Answer answer = context_.prompts.askChoice(request);
        if (answer == Answer::Yes) break;
        if (answer == Answer::Cancel) {
            recovery_.release(orphan);
            return false;
        }
        if (confirmDiscard(name)) {
            recovery_.discard(orphan);
            return false;
        }
    }
    if (!SaveModified() || !doc_->OnRecoverDocument(orphan.documentPath, orphan.originalPath)) {
        recovery_.release(orphan);
        return false;
    }
    recovery_.adopt(orphan);
    updateTitle();
    return true;
}

bool CSingleDocTemplate::confirmDiscard(const QString& name) {
    return context_.prompts.askYesNo(
        QStringLiteral("Delete the unsaved work on %1 for good? It cannot be recovered afterwards.")
            .arg(name));
}

void CSingleDocTemplate::EndBySignal() {
    context_.sessions.stopAll();
    autosave_->writeNow();
    keepRecoveryCopy_ = doc_->IsModified();
    endingBySignal_ = true;
}

void CSingleDocTemplate::createRecoveryIndicator() {
    recoveryIndicator_ = new QLabel(QStringLiteral("No recovery copy"), frame_.get());
    recoveryIndicator_->setFrameShape(QFrame::Panel);
    recoveryIndicator_->setFrameShadow(QFrame::Sunken);
    recoveryIndicator_->hide();
    frame_->statusBar()->insertPermanentWidget(0, recoveryIndicator_);
}

// Told once in a box, then shown for as long as it lasts: a message in the
// status bar would go with the next menu item pointed at.
void CSingleDocTemplate::recoveryFailed(const Error& error) {
    const QString folder = QString::fromStdString(error.path);
    const QString reason = QString::fromStdString(error.reason);
    recoveryIndicator_->setToolTip(
        QStringLiteral("No recovery copy of your work can be written in %1: %2. Save your work.")
            .arg(folder, reason));
    recoveryIndicator_->show();
    context_.prompts.message(
        QStringLiteral("The recovery copy of your work could not be written."),
        QStringLiteral("Folder: %1\nReason: %2.\nUntil a copy can be written, save your work "
                       "yourself; the status bar shows \u201cNo recovery copy\u201d meanwhile.")
            .arg(folder, reason));
}

void CSingleDocTemplate::recoveryWritten() {
    recoveryIndicator_->hide();
}

void CSingleDocTemplate::About() {
    CAboutBox box(frame_.get());
    box.exec();
}

void CSingleDocTemplate::rememberFile(const QString& path) {
    recentFiles_.add(path);
    recentFiles_.save();
    frame_->setRecentFiles(recentFiles_.paths());
}

void CSingleDocTemplate::forgetFile(const QString& path) {
    recentFiles_.remove(path);
    recentFiles_.save();
    frame_->setRecentFiles(recentFiles_.paths());
}

void CSingleDocTemplate::updateTitle() {
    if (!frame_) return;  // input while the window closes
    view_->sheet()->updateEditMarks();
    const bool modified = doc_->IsModified();
    const QString mark = modified ? QStringLiteral("*") : QString();
    frame_->setWindowTitle(QStringLiteral("%1%2 - Halvorn").arg(doc_->displayName(), mark));
    // Back where the file is (undo, or typing the stored value again): a
    // later start must not offer work the composer took back.
    if (!modified && recovery_.holdsCopy()) recovery_.remove();
    editActions_->refresh();
}

}  // namespace halvorn
