#include "app/single_doc_template.h"

#include <QFileInfo>
#include <QLocale>
#include <QStatusBar>
#include <QUndoStack>

#include "app/about_box.h"
#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
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
      recovery_(recoveryFolder) {
    frame_->setCentralWidget(view_);
    frame_->setSheet(view_->sheet());
    frame_->setWindowIcon(applicationIcon());
    frame_->setUndoStack(context_.history.stack());
    context_.history.setRestoredHandler([this] { view_->sheet()->reloadFromDocument(); });
    QObject::connect(&context_.history.stack(), &QUndoStack::indexChanged, frame_.get(),
                     [this] { updateTitle(); });
    // No note is left sounding once the window has gone.
    frame_->setCloseGuard([this] {
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
                       .failed =
                           [this](const Error& error) {
                               frame_->statusBar()->showMessage(
                                   QStringLiteral("The recovery copy could not be written: %1")
                                       .arg(QString::fromStdString(error.reason)));
                           }},
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
    recovery_.remove();
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
            recovery_.remove();
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
    switch (context_.prompts.askChoice(request)) {
        case Answer::Yes:
            break;
        case Answer::No:
            recovery_.discard(orphan);
            return false;
        case Answer::Cancel:
            recovery_.release(orphan);
            return false;
    }
    if (!SaveModified() || !doc_->OnRecoverDocument(orphan.documentPath, orphan.originalPath)) {
        recovery_.release(orphan);
        return false;
    }
    recovery_.adopt(orphan);
    updateTitle();
    return true;
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
    const QString mark = doc_->IsModified() ? QStringLiteral("*") : QString();
    frame_->setWindowTitle(QStringLiteral("%1%2 - Halvorn").arg(doc_->displayName(), mark));
}

}  // namespace halvorn
