#pragma once
// An integer edit with a pair of small up and down buttons beside it, which
// step the number in the edit by one within a range (the edit itself still
// takes any text; the page validates it when it reads).

#include <cstdint>

class QLineEdit;
class QWidget;

namespace halvorn {

// A widget holding `edit` and its two buttons; the buttons repeat while
// held and leave a text that is no number alone. The Up and Down keys in
// the edit step it as the buttons do.
QWidget* makeSpinField(QLineEdit* edit, std::int32_t low, std::int32_t high, QWidget* parent);

}  // namespace halvorn
