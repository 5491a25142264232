#include "ui/prompts.h"

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

Prompts& prompts() {
    return installedPrompts ? *installedPrompts : defaultPrompts();
}

Prompts* setPrompts(Prompts* current) {
    Prompts* previous = installedPrompts;
    installedPrompts = current;
    return previous;
}

}  // namespace halvorn
