#pragma once
// The pictures of the Mandelbrot panel's six move buttons, drawn in code like
// the toolbar's: four single arrows, and four arrows pointing outward (grow)
// or inward (shrink).

#include <QIcon>

namespace halvorn {

enum class ArrowIcon { Up, Down, Left, Right, Grow, Shrink };

QIcon arrowIcon(ArrowIcon which);

}  // namespace halvorn
