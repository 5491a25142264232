#pragma once
// The toolbar's pictures and the application icon, drawn in code so that no
// artwork files have to be loaded at start-up.

#include <QIcon>
#include <functional>

class QPainter;

namespace halvorn {

enum class ToolbarIcon { New, Open, Save, Copy, RandomValues, RandomSeed, About };

QIcon toolbarIcon(ToolbarIcon which);

// A picture that `draw` paints on a 16 x 16 grid (dark pen, width 1),
// rendered at twice that size so it stays sharp on high-density screens.
QIcon paintedIcon(const std::function<void(QPainter&)>& draw);

}  // namespace halvorn
