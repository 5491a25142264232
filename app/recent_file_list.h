#pragma once
// The most recently opened or saved documents, newest first, kept in the
// per-user settings under "Recent File List".

#include <QStringList>

namespace halvorn {

class RecentFileList {
  public:
    explicit RecentFileList(int capacity) : capacity_(capacity) {}

    void load();
    void save() const;

    // Moves `path` to the front (adding it if new), dropping the oldest entry
    // beyond the capacity.
    void add(const QString& path);
    void remove(const QString& path);

    const QStringList& paths() const { return paths_; }

  private:
    int capacity_;
    QStringList paths_;
};

}  // namespace halvorn
