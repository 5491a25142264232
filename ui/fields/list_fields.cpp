#include "ui/fields/list_fields.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "model/song.h"
#include "ui/fields/document_text.h"

namespace halvorn {

void selectIndex(QComboBox* list, std::int32_t index) {
    const QSignalBlocker blocker(list);
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

QString recordListEntry(std::int32_t index, const QString& name) {
    return QStringLiteral("%1: %2").arg(index, 2).arg(name);
}

QStringList recordListEntries(const Song* song, RecordKind kind, std::int32_t count) {
    QStringList entries;
    if (!song) return entries;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string& description = kind == RecordKind::Microsequence
                                             ? song->microsequences[i].description
                                             : song->blocks[i].description;
        entries << recordListEntry(i, fromDocumentText(description));
    }
    return entries;
}

void setListEntries(QComboBox* list, const QStringList& entries) {
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(entries);
}

}  // namespace halvorn
