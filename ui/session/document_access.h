#pragma once
// The one document as the pages see it: the composition being edited.

#include "model/document.h"

namespace halvorn {

class CDocumentAccess {
  public:
    virtual ~CDocumentAccess() = default;
    // The composition being edited; null before the first New.
    virtual Document* document() = 0;
};

}  // namespace halvorn
