#include "ui/document_access.h"

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

}  // namespace halvorn
