#pragma once
// The pages reach the one document through this process-wide pointer, which
// the application's document sets while it exists.

#include "model/document.h"

namespace halvorn {

class CDocumentAccess {
  public:
    virtual ~CDocumentAccess() = default;
    // The composition being edited; null before the first New.
    virtual Document* document() = 0;
};

CDocumentAccess* theDocument();
void setTheDocument(CDocumentAccess* document);

// The current composition, or null when there is no document or no Song yet.
Document* currentDocument();

// Its Song, or null.
Song* currentSong();

// The Song's blocks in use, held to 0..16 (0 without a Song).
std::int32_t currentBlockCount();

}  // namespace halvorn
