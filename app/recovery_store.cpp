#include "app/recovery_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "model/output_file.h"

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

RecoveryStore::~RecoveryStore() {
    finishWrite();
}

QString RecoveryStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recovery");
}

QString RecoveryStore::pathOf(const QString& id, const char* suffix) const {
    return folder_ + QLatin1Char('/') + id + QLatin1String(suffix);
}

// The reason names what is in the way: a file where the folder should be, a
// folder that cannot be made or written.
Expected<void, Error> RecoveryStore::takeOwnLock() {
    if (lock_) return {};
    std::error_code failure;
    const std::filesystem::path folder(QFile::encodeName(folder_).toStdString());
    if (std::filesystem::exists(folder, failure) && !std::filesystem::is_directory(folder, failure))
        return unexpected(folderError("A file is where the folder should be"));
    std::filesystem::create_directories(folder, failure);
    if (failure) return unexpected(folderError(failure.message()));
    auto lock = lockFor(pathOf(id_, ".lock"));
    if (!lock->tryLock(0)) {
        const bool denied = lock->error() == QLockFile::PermissionError;
        return unexpected(
            folderError(denied ? "Permission denied" : "Its lock file cannot be made"));
    }
    lock_ = std::move(lock);
    return {};
}

Expected<void, Error> RecoveryStore::write(const Document& document, const QString& originalPath) {
    finishWrite();
    if (auto locked = takeOwnLock(); !locked) return locked;
    holdsCopy_ = true;
    return writeBytes(documentEncode(document), originalPath);
}

// The lock is taken here, on the calling thread, before the first copy
// exists: no other program ever sees an unowned copy of a running one.
bool RecoveryStore::startWrite(std::vector<std::uint8_t> bytes, const QString& originalPath) {
    if (pending_.valid() &&
        pending_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return false;
    }
    if (pending_.valid()) (void)pending_.get();  // its outcome was not asked for
    if (auto locked = takeOwnLock(); !locked) {
        std::promise<Expected<void, Error>> refused;
        refused.set_value(std::move(locked));
        pending_ = refused.get_future();
        return true;
    }
    holdsCopy_ = true;
    pending_ = std::async(std::launch::async, [this, bytes = std::move(bytes), originalPath] {
        return writeBytes(bytes, originalPath);
    });
    return true;
}

std::optional<Expected<void, Error>> RecoveryStore::finishedWrite() {
    if (!pending_.valid() ||
        pending_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
    }
    return pending_.get();
}

std::optional<Expected<void, Error>> RecoveryStore::finishWrite() {
    if (!pending_.valid()) return std::nullopt;
    return pending_.get();
}

Error RecoveryStore::folderError(const std::string& reason) const {
    return fileError("Could not write the recovery copy.", QFile::encodeName(folder_).toStdString(),
                     reason, ErrorCode::kFileAccess);
}

Expected<void, Error> RecoveryStore::writeBytes(const std::vector<std::uint8_t>& bytes,
                                                const QString& originalPath) const {
    const QString origin =
        originalPath.isEmpty() ? QString() : QFileInfo(originalPath).absoluteFilePath();
    if (!writeOrigin(pathOf(id_, ".origin"), origin)) {
        return unexpected(fileError("Could not write the recovery copy.",
                                    pathOf(id_, ".origin").toStdString(),
                                    "The file cannot be written", ErrorCode::kFileAccess));
    }
    const std::string path = QFile::encodeName(copyPath()).toStdString();
    if (const auto written = writeFileSafely(path, bytes); !written) {
        return unexpected(fileError("Could not write the recovery copy.", path,
                                    systemErrorText(written.error()), ErrorCode::kFileAccess));
    }
    return {};
}

void RecoveryStore::remove() {
    finishWrite();
    QFile::remove(copyPath());
    QFile::remove(pathOf(id_, ".origin"));
    holdsCopy_ = false;
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
    holdsCopy_ = moved;
    QFile::rename(pathOf(orphan.id, ".origin"), pathOf(id_, ".origin"));
    removeUnfinishedWrites(orphan.id);
    release(orphan);
    return moved;
}

void RecoveryStore::discard(OrphanCopy& orphan) {
    QFile::remove(orphan.documentPath);
    QFile::remove(pathOf(orphan.id, ".origin"));
    removeUnfinishedWrites(orphan.id);
    release(orphan);
}

// A program killed while it wrote its copy leaves the safe writer's
// temporary file beside it.
void RecoveryStore::removeUnfinishedWrites(const QString& id) const {
    const QDir folder(folder_);
    for (const QString& name : folder.entryList({id + QStringLiteral(".hvn.part-*")}, QDir::Files))
        QFile::remove(folder.filePath(name));
}

void RecoveryStore::release(OrphanCopy& orphan) {
    if (orphan.lock) orphan.lock->unlock();
    orphan.lock.reset();
}

}  // namespace halvorn
