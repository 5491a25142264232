#pragma once
// The toolbar's pictures and the application icon, drawn in code so that no
// artwork files have to be loaded at start-up.

#include <QIcon>

namespace halvorn {

enum class ToolbarIcon { New, Open, Save, Copy, RandomValues, RandomSeed, About };

QIcon toolbarIcon(ToolbarIcon which);

}  // namespace halvorn
