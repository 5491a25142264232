#include "ui/prompts.h"

#include "ui/qt_prompts.h"

namespace halvorn {
namespace {

Prompts* installedPrompts = nullptr;

Prompts& defaultPrompts() {
    static QtPrompts boxes;
    return boxes;
}

}  // namespace

Prompts& prompts() {
    return installedPrompts ? *installedPrompts : defaultPrompts();
}

Prompts* setPrompts(Prompts* current) {
    Prompts* previous = installedPrompts;
    installedPrompts = current;
    return previous;
}

}  // namespace halvorn
