#pragma once
// For start-up measurements: with HALVORN_REPORT_FIRST_PAINT set, the time of
// the window's first paint (milliseconds since the epoch) goes to standard
// error and the program ends.

class QWidget;

namespace halvorn {

void reportFirstPaint(QWidget& window);

}  // namespace halvorn
