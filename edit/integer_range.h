#pragma once
// The messages a page shows for an integer field that does not read: text
// that is no whole number, or a number outside the field's bounds (UTF-8).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvorn {

inline constexpr std::string_view kNotAnIntegerText = "Introduzca un número entero.";

// "Introduzca un número entero entre <low> y <high>."
std::string outOfRangeText(std::int32_t low, std::int32_t high);

// Nothing when `value` lies within low..high; otherwise the message.
std::optional<std::string> integerRangeMessage(std::int32_t value, std::int32_t low,
                                               std::int32_t high);

}  // namespace halvorn
