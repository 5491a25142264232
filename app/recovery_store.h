#pragma once
// Recovery copies of unsaved work, in a folder of the user's data. Each
// running program owns one copy, named by an id of its own, beside a lock
// file that it holds for its whole run:
//   <id>.hvn     an ordinary document: what the window showed
//   <id>.origin  the file the work was opened from or last saved to (UTF-8,
//                empty for an untitled document)
//   <id>.lock    held while the program runs
// A copy whose lock can be taken belongs to a program that is no longer
// running; two programs running at once never take each other's copies.

#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "model/document.h"
#include "model/expected.h"

namespace halvorn {

// A copy left by a program that ended without removing it. Its lock is held
// by the store that found it until the copy is adopted, discarded or
// released.
struct OrphanCopy {
    QString id;
    QString documentPath;
    QString originalPath;  // empty for an untitled document
    QDateTime written;
    std::shared_ptr<QLockFile> lock;
};

class RecoveryStore {
  public:
    // The folder is made when the first copy is written.
    explicit RecoveryStore(QString folder);
    ~RecoveryStore();  // waits for a write under way
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // <per-user data>/recovery.
    static QString defaultFolder();

    // Writes this program's copy safely (a failed write leaves the previous
    // copy whole).
    Expected<void, Error> write(const Document& document, const QString& originalPath);
    // The same with the document's bytes, on a thread of its own so that the
    // file system's delays never reach the window. False, with nothing
    // started, while the previous write is still under way.
    bool startWrite(std::vector<std::uint8_t> bytes, const QString& originalPath);
    // Waits for the write under way; its outcome, or none without one.
    std::optional<Expected<void, Error>> finishWrite();
    // The outcome of a write that has finished, without waiting.
    std::optional<Expected<void, Error>> finishedWrite();
    // Whether a write has been started whose outcome nobody has taken yet.
    bool writing() const { return pending_.valid(); }
    // Removes this program's copy, if there is one (after any write under
    // way, which would otherwise bring it back).
    void remove();
    QString copyPath() const { return pathOf(id_, ".hvn"); }
    const QString& folder() const { return folder_; }
    // Whether this program may have a copy in the folder: a write has been
    // started since the last remove().
    bool holdsCopy() const { return holdsCopy_; }

    // The copies of programs no longer running, newest first, each locked
    // for this store.
    std::vector<OrphanCopy> orphans();
    // `orphan` becomes this program's copy (its work now lives here).
    bool adopt(OrphanCopy& orphan);
    // Deletes `orphan`'s files.
    void discard(OrphanCopy& orphan);
    // Leaves `orphan` for a later start.
    void release(OrphanCopy& orphan);

  private:
    QString pathOf(const QString& id, const char* suffix) const;
    Expected<void, Error> takeOwnLock();

    Error folderError(const std::string& reason) const;
    void removeUnfinishedWrites(const QString& id) const;
    Expected<void, Error> writeBytes(const std::vector<std::uint8_t>& bytes,
                                     const QString& originalPath) const;

    QString folder_;
    QString id_;
    std::unique_ptr<QLockFile> lock_;
    std::future<Expected<void, Error>> pending_;
    bool holdsCopy_ = false;
};

}  // namespace halvorn
