#pragma once
// Reading integer edits the way the pages validate them: the text must be a
// whole number (blanks around it allowed) that fits an int32, and a bounded
// field must lie within its bounds. The two messages are the ones every page
// shows (edit/integer_range.h).

#include <QString>
#include <cstdint>
#include <optional>

#include "edit/integer_range.h"

namespace halvorn {

inline const QString kNotAnIntegerMessage = QString::fromUtf8(kNotAnIntegerText);

// "Introduzca un número entero entre <low> y <high>."
QString outOfRangeMessage(std::int32_t low, std::int32_t high);

std::optional<std::int32_t> parseInteger(const QString& text);

// Nothing when the text is a valid value; otherwise the message to show.
// `value` receives the parsed number only when it is valid.
std::optional<QString> readInteger(const QString& text, std::int32_t& value);
std::optional<QString> readInteger(const QString& text, std::int32_t low, std::int32_t high,
                                   std::int32_t& value);

}  // namespace halvorn
