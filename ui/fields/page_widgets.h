#pragma once
// Small pieces the pages build their controls from.

#include <QString>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace halvorn {

QLabel* caption(const QString& text, QWidget* parent);
QLabel* centredCaption(const QString& text, QWidget* parent);
// A caption that names `field` and is its buddy (ui/fields/field_names.h).
QLabel* caption(const QString& text, QWidget* parent, QWidget* field);
QLabel* centredCaption(const QString& text, QWidget* parent, QWidget* field);

// An edit as wide as a number of `digits` digits.
QLineEdit* makeNumberEdit(QWidget* parent, int digits);
void fitToDigits(QLineEdit* edit, int digits);

// Disabled controls under `root` drawn grey: a disabled slider's handle
// and filled groove would otherwise look the same as an enabled one's.
void greyDisabledControls(QWidget* root);

// The last control inside `container` that Tab stops at, or null.
QWidget* lastTabStopIn(QWidget* container);

// A field followed by its unit ("measures", "%").
QHBoxLayout* withUnit(QWidget* field, const QString& unit, QWidget* parent);

}  // namespace halvorn
