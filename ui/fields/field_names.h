#pragma once
// What a screen reader calls the pages' fields. Each field is named after
// its own caption ("Tempo:" names the "Tempo" edit) and linked to it as the
// caption's buddy; a field whose caption is shared ("Scale:" over two lists)
// or which has none (an arrow button) is named on its own. The tooltip is
// the description (Qt reads it when no description is set). A field is
// never named after its group box, which is only its container.

#include <QString>

class QAccessibleInterface;
class QLabel;
class QObject;
class QSlider;
class QWidget;

namespace halvorn {

// The caption as a name: without the closing colon or "#", nor the
// mnemonic's "&": "Title:" gives "Title", "Edit Microsequence #" gives
// "Edit Microsequence".
QString captionName(const QString& caption);

// `caption` becomes `field`'s buddy and `field` takes its name.
void labelField(QLabel* caption, QWidget* field);

// Names `field` `name`.
void nameField(QWidget* field, const QString& name);

// A slider whose position runs against what it sets (the Global page's
// "Metronome": position 0 at the top is the loudest; "Legato": the top is
// the shortest): a screen reader hears the value it stands for, maximum
// minus position, and sets it the same way.
void speakReversed(QSlider* slider);

// The interfaces the fields need beyond Qt's own: a drop-down list named
// like every other field (Qt on Linux names it after its current entry and
// drops the name it was given), and a slider that may be reversed. Null for
// anything else.
QAccessibleInterface* accessibleField(QObject* object);

}  // namespace halvorn
