#include "app/halvorn_doc.h"

#include <QFile>
#include <QFileInfo>
#include <string>

#include "ui/frame/main_sheet.h"
#include "ui/pages/global/global_page.h"
#include "ui/session/app_context.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"

namespace halvorn {
namespace {

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CHalvornDoc::CHalvornDoc(AppContext& context, CMainSheet* sheet)
    : context_(context), sheet_(sheet) {
    context_.document = this;
}

CHalvornDoc::~CHalvornDoc() {
    if (context_.document == this) context_.document = nullptr;
}

CGlobalPage* CHalvornDoc::globalPage() const {
    return sheet_ ? sheet_->globalPage() : nullptr;
}

bool CHalvornDoc::OnNewDocument() {
    context_.sessions.stopAll();
    // The Document keeps its address for the process's life; only its
    // contents are replaced.
    if (document_) {
        *document_ = Document{};
    } else {
        document_ = std::make_unique<Document>();
    }
    pathName_.clear();
    if (CGlobalPage* page = globalPage()) page->ResetForNewDocument();
    if (sheet_) sheet_->showFirstPage();
    takeSnapshot();
    context_.history.clear();
    return true;
}

bool CHalvornDoc::OnOpenDocument(const QString& path) {
    if (!load(path, path)) return false;
    takeSnapshot();
    return true;
}

// Nothing matches an empty snapshot, so the recovered work counts as
// changed until it is saved.
bool CHalvornDoc::OnRecoverDocument(const QString& copyPath, const QString& originalPath) {
    if (!load(copyPath, originalPath)) return false;
    snapshot_.clear();
    return true;
}

bool CHalvornDoc::load(const QString& readPath, const QString& pathName) {
    auto loaded = documentRead(localPath(readPath));
    if (!loaded) {
        showFileError(context_.prompts, loaded.error());
        return false;
    }
    // Only a document that has been read replaces what plays.
    context_.sessions.stopAll();
    if (!document_) document_ = std::make_unique<Document>();
    *document_ = std::move(*loaded);
    pathName_ = pathName;
    showLoadedDocument();
    context_.history.clear();
    return true;
}

void CHalvornDoc::showLoadedDocument() {
    if (CGlobalPage* page = globalPage()) page->LoadFromSong();
    if (sheet_) sheet_->showFirstPage();
}

bool CHalvornDoc::OnSaveDocument(const QString& path) {
    if (!document_) return false;
    if (sheet_ && !sheet_->commitGlobalPage()) return false;
    if (const auto written = documentWrite(localPath(path), *document_); !written) {
        showFileError(context_.prompts, written.error());
        return false;
    }
    pathName_ = path;
    takeSnapshot();
    return true;
}

bool CHalvornDoc::IsModified() const {
    return DocumentModified() || (sheet_ && sheet_->holdsPageEdits());
}

bool CHalvornDoc::DocumentModified() const {
    return document_ && documentEncode(*document_) != snapshot_;
}

QString CHalvornDoc::displayName() const {
    return pathName_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(pathName_).fileName();
}

void CHalvornDoc::takeSnapshot() {
    snapshot_ = documentEncode(*document_);
}

}  // namespace halvorn
