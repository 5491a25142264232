#include "app/recovery_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace halvorn {
namespace {

QString newId() {
    return QStringLiteral("%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

// Only the owner's death frees a lock: its age never does.
std::unique_ptr<QLockFile> lockFor(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

QString readOrigin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

bool writeOrigin(const QString& path, const QString& origin) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(origin.toUtf8()) == origin.toUtf8().size();
}

}  // namespace

RecoveryStore::RecoveryStore(QString folder) : folder_(std::move(folder)), id_(newId()) {}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recovery");
}

QString RecoveryStore::pathOf(const QString& id, const char* suffix) const {
    return folder_ + QLatin1Char('/') + id + QLatin1String(suffix);
}

bool RecoveryStore::takeOwnLock() {
    if (lock_) return true;
    if (!QDir().mkpath(folder_)) return false;
    auto lock = lockFor(pathOf(id_, ".lock"));
    if (!lock->tryLock(0)) return false;
    lock_ = std::move(lock);
    return true;
}

// The lock is taken before the first copy exists, so no other program can
// see an unowned copy of a running one.
Expected<void, Error> RecoveryStore::write(const Document& document, const QString& originalPath) {
    if (!takeOwnLock()) {
        return unexpected(fileError("Could not write the recovery copy.",
                                    pathOf(id_, ".lock").toStdString(),
                                    "The recovery folder cannot be used", ErrorCode::kFileAccess));
    }
    const QString origin =
        originalPath.isEmpty() ? QString() : QFileInfo(originalPath).absoluteFilePath();
    if (!writeOrigin(pathOf(id_, ".origin"), origin)) {
        return unexpected(fileError("Could not write the recovery copy.",
                                    pathOf(id_, ".origin").toStdString(),
                                    "The file cannot be written", ErrorCode::kFileAccess));
    }
    return documentWrite(QFile::encodeName(copyPath()).toStdString(), document);
}

void RecoveryStore::remove() {
    QFile::remove(copyPath());
    QFile::remove(pathOf(id_, ".origin"));
}

bool RecoveryStore::hasCopy() const {
    return QFileInfo::exists(copyPath());
}

std::vector<OrphanCopy> RecoveryStore::orphans() {
    std::vector<OrphanCopy> found;
    const QDir folder(folder_);
    const QFileInfoList copies =
        folder.entryInfoList({QStringLiteral("*.hvn")}, QDir::Files, QDir::Time);
    for (const QFileInfo& copy : copies) {
        const QString id = copy.completeBaseName();
        if (id == id_) continue;
        std::shared_ptr<QLockFile> lock = lockFor(pathOf(id, ".lock"));
        if (!lock->tryLock(0)) continue;  // its program is still running
        found.push_back({id, copy.absoluteFilePath(), readOrigin(pathOf(id, ".origin")),
                         copy.lastModified(), std::move(lock)});
    }
    return found;
}

bool RecoveryStore::adopt(OrphanCopy& orphan) {
    if (!takeOwnLock()) return false;
    remove();
    const bool moved = QFile::rename(orphan.documentPath, copyPath());
    QFile::remove(pathOf(id_, ".origin"));
    QFile::rename(pathOf(orphan.id, ".origin"), pathOf(id_, ".origin"));
    release(orphan);
    return moved;
}

void RecoveryStore::discard(OrphanCopy& orphan) {
    QFile::remove(orphan.documentPath);
    QFile::remove(pathOf(orphan.id, ".origin"));
    release(orphan);
}

void RecoveryStore::release(OrphanCopy& orphan) {
    if (orphan.lock) orphan.lock->unlock();
    orphan.lock.reset();
}

}  // namespace halvorn
