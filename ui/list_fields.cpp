#include "ui/list_fields.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace halvorn {

void selectIndex(QComboBox* list, std::int32_t index) {
    const QSignalBlocker blocker(list);
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

QString recordListEntry(std::int32_t index, const QString& name) {
    return QStringLiteral("%1: %2").arg(index, 2).arg(name);
}

}  // namespace halvorn
