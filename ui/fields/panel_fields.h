#pragma once
// Pieces the parameter panels share: digit-only integer edits
// and reading a field with the page's messages.

#include <QString>
#include <cstdint>
#include <optional>

class QLineEdit;
class QWidget;

namespace halvorn {

class Prompts;

// An edit that accepts digits only, or digits after an optional minus sign.
enum class Sign { Unsigned, Signed };
QLineEdit* makeIntegerEdit(QWidget* parent, Sign sign = Sign::Unsigned);

// A bounded or unbounded integer from `edit`. On failure the message is
// shown through `prompts`, the edit takes the focus with its text selected,
// and nothing is written to `value`.
bool readIntegerField(Prompts& prompts, QLineEdit* edit, std::int32_t low, std::int32_t high,
                      std::int32_t& value);
bool readIntegerField(Prompts& prompts, QLineEdit* edit, std::int32_t& value);

// The same reading without any message, for previews.
std::optional<std::int32_t> peekIntegerField(const QLineEdit* edit, std::int32_t low,
                                             std::int32_t high);

}  // namespace halvorn
