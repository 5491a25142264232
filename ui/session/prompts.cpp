#include "ui/session/prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace halvorn {
QString withDefaultSuffix(const QString& path, const QString& suffix) {
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QLatin1Char('.') + suffix;
}

QString fileErrorDetail(const Error& error) {
    QString detail = QDir::toNativeSeparators(QFile::decodeName(error.path.c_str()));
    if (!error.reason.empty()) {
        if (!detail.isEmpty()) detail += QLatin1Char('\n');
        detail += QString::fromStdString(error.reason) + QLatin1Char('.');
    }
    return detail;
}

void showFileError(Prompts& prompts, const Error& error) {
    prompts.message(QString::fromStdString(error.message), fileErrorDetail(error));
}

}  // namespace halvorn
