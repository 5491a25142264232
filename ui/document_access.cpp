#include "ui/document_access.h"

#include <algorithm>

namespace halvorn {
namespace {
CDocumentAccess* processDocument = nullptr;
}

CDocumentAccess* theDocument() {
    return processDocument;
}

void setTheDocument(CDocumentAccess* document) {
    processDocument = document;
}

Document* currentDocument() {
    return processDocument ? processDocument->document() : nullptr;
}

Song* currentSong() {
    Document* document = currentDocument();
    return document ? &document->song : nullptr;
}

std::int32_t currentBlockCount() {
    const Song* song = currentSong();
    return song ? std::clamp(song->blockCount, 0, kMaxBlocks) : 0;
}

}  // namespace halvorn
