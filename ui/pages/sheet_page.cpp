#include "ui/pages/sheet_page.h"

#include <QComboBox>
#include <QSignalBlocker>

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
    if (!currentDocument() || dropped_) return false;
    const auto now = previewBytes();
    return !now || !stored_ || *now != *stored_;
}

bool CSheetPage::previewDiffersFromDocument() {
    const Document* document = currentDocument();
    if (!document) return false;
    const auto now = previewBytes();
    return !now || *now != documentEncode(*document);
}

std::int32_t CSheetPage::listedRecord() const {
    const QComboBox* list = recordList();
    return list ? list->currentIndex() : -1;
}

void CSheetPage::markShownAsStored() {
    stored_ = previewBytes();
    dropped_ = false;
    storedFields_ = fields();
    storedFields_.record = listedRecord();
}

PageFields CSheetPage::fields() const {
    return {.page = -1,
            .record = storedFields_.record,
            .values = fieldValues(editFields()),
            .extra = extraFields()};
}

bool CSheetPage::fieldHoldsEdit(const QWidget* field) const {
    const QList<QWidget*> fields = editFields();
    const qsizetype at = fields.indexOf(const_cast<QWidget*>(field));
    if (at < 0 || at >= std::ssize(storedFields_.values)) return true;
    return fieldValues({fields[at]}).front() != storedFields_.values[static_cast<std::size_t>(at)];
}

void CSheetPage::showFields(const PageFields& shown) {
    if (shown.record != storedFields_.record || dropped_) showRecord(shown.record);
    prepareFields(shown);
    showFieldValues(editFields(), shown.values);
    fieldsShown();
}

// The list already names the record to come when its change arrives here;
// it names the record the fields belong to again while they are measured.
void CSheetPage::dropEdits() {
    if (dropped_ || context_.history.busy()) return;
    QComboBox* list = recordList();
    const std::int32_t listed = listedRecord();
    const bool moved = list && listed != storedFields_.record;
    if (moved) {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(storedFields_.record);
    }
    const bool held = holdsEdits();
    const PageFields edits = fields();
    if (moved) {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(listed);
    }
    if (!held) return;
    dropped_ = true;
    emit editsDropped(edits, storedFields_);
}

}  // namespace halvorn
