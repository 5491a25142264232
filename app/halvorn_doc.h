#pragma once
// The one document of the process: the Song and the three texts, with New,
// Open and Save, and whether anything changed since the last of them.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/document.h"
#include "ui/document_access.h"

namespace halvorn {

class CHalvornDoc final : public CDocumentAccess {
  public:
    CHalvornDoc();  // becomes the process-wide document
    ~CHalvornDoc() override;
    CHalvornDoc(const CHalvornDoc&) = delete;
    CHalvornDoc& operator=(const CHalvornDoc&) = delete;

    Document* document() override { return document_.get(); }

    // A fresh composition: new Song, default texts, the Global page reset and
    // shown, the random generator selected.
    bool OnNewDocument();
    // Reads `path`; on failure shows the reader's message and keeps the
    // composition and file name it had.
    bool OnOpenDocument(const QString& path);
    // Commits the Global page and writes `path`; on failure shows why.
    bool OnSaveDocument(const QString& path);

    // Whether the Song, the texts or the Global page's unsaved fields differ
    // from what the last New, Open or Save left.
    bool IsModified() const;

    // Empty for a document never saved or opened.
    const QString& pathName() const { return pathName_; }
    // "Untitled" or the file's name, as the title bar and questions show it.
    QString displayName() const;

  private:
    void takeSnapshot();
    static void showLoadedDocument();

    std::unique_ptr<Document> document_;  // null until the first New
    QString pathName_;
    std::vector<std::uint8_t> snapshot_;  // the file bytes at the last New, Open or Save
};

}  // namespace halvorn
