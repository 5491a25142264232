#include "app/halvorn_doc.h"

#include <QFile>
#include <QFileInfo>
#include <string>

#include "model/random.h"
#include "ui/global_page.h"
#include "ui/main_sheet.h"
#include "ui/playback_session.h"
#include "ui/prompts.h"

namespace halvorn {
namespace {

CGlobalPage* globalPage() {
    CMainSheet* sheet = theMainSheet();
    return sheet ? sheet->globalPage() : nullptr;
}

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CHalvornDoc::CHalvornDoc() {
    setTheDocument(this);
}

CHalvornDoc::~CHalvornDoc() {
    if (theDocument() == this) setTheDocument(nullptr);
}

bool CHalvornDoc::OnNewDocument() {
    stopAllPlayback();
    // The Document keeps its address for the process's life; only its
    // contents are replaced.
    if (document_) {
        *document_ = Document{};
    } else {
        document_ = std::make_unique<Document>();
    }
    pathName_.clear();
    if (CGlobalPage* page = globalPage()) page->ResetForNewDocument();
    if (CMainSheet* sheet = theMainSheet()) sheet->showFirstPage();
    randomSelectGenerator(document_->song.generatorKind);
    takeSnapshot();
    return true;
}

bool CHalvornDoc::OnOpenDocument(const QString& path) {
    auto loaded = documentRead(localPath(path));
    if (!loaded) {
        showFileError(loaded.error());
        return false;
    }
    // Only a document that has been read replaces what plays.
    stopAllPlayback();
    if (!document_) document_ = std::make_unique<Document>();
    *document_ = std::move(*loaded);
    pathName_ = path;
    showLoadedDocument();
    takeSnapshot();
    return true;
}

void CHalvornDoc::showLoadedDocument() {
    if (CGlobalPage* page = globalPage()) page->LoadFromSong();
    if (CMainSheet* sheet = theMainSheet()) sheet->showFirstPage();
}

bool CHalvornDoc::OnSaveDocument(const QString& path) {
    if (!document_) return false;
    CGlobalPage* page = globalPage();
    if (page && !page->CommitToSong()) return false;
    if (const auto written = documentWrite(localPath(path), *document_); !written) {
        showFileError(written.error());
        return false;
    }
    pathName_ = path;
    takeSnapshot();
    return true;
}

bool CHalvornDoc::IsModified() const {
    if (!document_) return false;
    Document preview = *document_;
    const CGlobalPage* page = globalPage();
    if (page && !page->PreviewCommit(preview)) return true;
    return documentEncode(preview) != snapshot_;
}

QString CHalvornDoc::displayName() const {
    return pathName_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(pathName_).fileName();
}

void CHalvornDoc::takeSnapshot() {
    snapshot_ = documentEncode(*document_);
}

}  // namespace halvorn
