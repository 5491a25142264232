#include "ui/pages/sheet_page.h"

namespace halvorn {

Document CSheetPage::withEdits() {
    const Document* document = currentDocument();
    if (!document) return Document{};
    Document copy = *document;
    previewEdits(copy);
    return copy;
}

std::optional<std::vector<std::uint8_t>> CSheetPage::previewBytes() {
    const Document* document = currentDocument();
    if (!document) return std::nullopt;
    Document copy = *document;
    if (!previewEdits(copy)) return std::nullopt;
    return documentEncode(copy);
}

// Measured against the page's own earlier preview rather than the document,
// so a record whose stored values the page would round (probabilities to
// whole hundredths, coordinates to the digits shown) is not taken for an
// edit the user never made.
bool CSheetPage::holdsEdits() {
    if (!currentDocument()) return false;
    const auto now = previewBytes();
    return !now || !stored_ || *now != *stored_;
}

bool CSheetPage::previewDiffersFromDocument() {
    const Document* document = currentDocument();
    if (!document) return false;
    const auto now = previewBytes();
    return !now || *now != documentEncode(*document);
}

}  // namespace halvorn
