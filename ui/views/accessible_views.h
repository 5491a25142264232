#pragma once
// The accessibility interfaces of the painted views and of the fields Qt's
// own would misname: the arrangement as a table of its cells, the piano
// roll, the values plot and the Mandelbrot view as lists of their items,
// drop-down lists and reversed sliders as ui/fields/field_names.h makes
// them.

namespace halvorn {

// Adds them to Qt's interface factories, ahead of Qt's own, for every
// object whose interface has not been asked for yet. Qt keeps the list of
// factories for the whole process (and ignores a second call); the
// application calls this once it has made its QApplication.
void installAccessibleInterfaces();

}  // namespace halvorn
