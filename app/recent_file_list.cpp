#include "app/recent_file_list.h"

#include <QFileInfo>
#include <QSettings>

namespace halvorn {
namespace {

const QString kGroup = QStringLiteral("Recent File List");

QString entryKey(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

// One spelling per file, so the same document never takes two entries.
QString canonical(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

}  // namespace

void RecentFileList::load() {
    QSettings settings;
    settings.beginGroup(kGroup);
    paths_.clear();
    for (int i = 0; i < capacity_; ++i) {
        const QString path = settings.value(entryKey(i)).toString();
        if (!path.isEmpty() && !paths_.contains(path)) paths_.append(path);
    }
}

void RecentFileList::save() const {
    QSettings settings;
    settings.beginGroup(kGroup);
    for (int i = 0; i < capacity_; ++i) {
        if (i < paths_.size()) {
            settings.setValue(entryKey(i), paths_[i]);
        } else {
            settings.remove(entryKey(i));
        }
    }
}

void RecentFileList::add(const QString& path) {
    const QString entry = canonical(path);
    paths_.removeAll(entry);
    paths_.prepend(entry);
    while (paths_.size() > capacity_) paths_.removeLast();
}

void RecentFileList::remove(const QString& path) {
    paths_.removeAll(canonical(path));
}

}  // namespace halvorn
