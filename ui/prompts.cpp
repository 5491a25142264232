#include "ui/prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ui/qt_prompts.h"

namespace halvorn {
namespace {

Prompts* installedPrompts = nullptr;

Prompts& defaultPrompts() {
    static QtPrompts boxes;
    return boxes;
}

}  // namespace

QString withDefaultSuffix(const QString& path, const QString& suffix) {
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QLatin1Char('.') + suffix;
}

QString fileErrorDetail(const FileError& error) {
    QString detail = QDir::toNativeSeparators(QFile::decodeName(error.path.c_str()));
    if (!error.reason.empty()) {
        if (!detail.isEmpty()) detail += QLatin1Char('\n');
        detail += QString::fromStdString(error.reason) + QLatin1Char('.');
    }
    return detail;
}

void showFileError(const FileError& error) {
    prompts().message(QString::fromStdString(error.message), fileErrorDetail(error));
}

Prompts& prompts() {
    return installedPrompts ? *installedPrompts : defaultPrompts();
}

Prompts* setPrompts(Prompts* current) {
    Prompts* previous = installedPrompts;
    installedPrompts = current;
    return previous;
}

}  // namespace halvorn
