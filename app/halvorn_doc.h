#pragma once
// The application's one document: the Song and the three texts, with New,
// Open and Save, and whether anything changed since the last of them. It
// registers itself in the context, where the pages find it, and resets or
// reloads the sheet's Global page when its contents are replaced.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/document.h"
#include "ui/session/document_access.h"

namespace halvorn {

class AppContext;
class CGlobalPage;
class CMainSheet;

class CHalvornDoc final : public CDocumentAccess {
  public:
    // Becomes the context's document; `sheet` (which may be null) is the
    // window's.
    CHalvornDoc(AppContext& context, CMainSheet* sheet);
    ~CHalvornDoc() override;
    CHalvornDoc(const CHalvornDoc&) = delete;
    CHalvornDoc& operator=(const CHalvornDoc&) = delete;

    Document* document() override { return document_.get(); }

    // A fresh composition: new Song, default texts, the Global page reset and
    // shown.
    bool OnNewDocument();
    // Reads `path`; on failure shows the reader's message and keeps the
    // composition and file name it had.
    bool OnOpenDocument(const QString& path);
    // Commits the Global page and writes `path`; on failure shows why.
    bool OnSaveDocument(const QString& path);

    // Reads the recovery copy at `copyPath` as a document with changes that
    // are not saved, under the name `originalPath` (empty for untitled); on
    // failure shows the reader's message and keeps the composition it had.
    bool OnRecoverDocument(const QString& copyPath, const QString& originalPath);

    // Whether the document or a page's unsaved fields differ from what the
    // last New, Open or Save left.
    bool IsModified() const;
    // The same for the document alone.
    bool DocumentModified() const;

    // Empty for a document never saved or opened.
    const QString& pathName() const { return pathName_; }
    // "Untitled" or the file's name, as the title bar and questions show it.
    QString displayName() const;

  private:
    void takeSnapshot();
    // Reads `readPath` in place of the document, named `pathName`.
    bool load(const QString& readPath, const QString& pathName);
    void showLoadedDocument();
    CGlobalPage* globalPage() const;

    AppContext& context_;
    CMainSheet* sheet_;
    std::unique_ptr<Document> document_;  // null until the first New
    QString pathName_;
    std::vector<std::uint8_t> snapshot_;  // the file bytes at the last New, Open or Save
};

}  // namespace halvorn
