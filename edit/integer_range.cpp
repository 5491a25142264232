#include "edit/integer_range.h"

namespace halvorn {

std::string outOfRangeText(std::int32_t low, std::int32_t high) {
    std::string text = "Introduzca un número entero entre %1 y %2.";
    text.replace(text.find("%2"), 2, std::to_string(high));
    text.replace(text.find("%1"), 2, std::to_string(low));
    return text;
}

std::optional<std::string> integerRangeMessage(std::int32_t value, std::int32_t low,
                                               std::int32_t high) {
    if (value < low || value > high) return outOfRangeText(low, high);
    return std::nullopt;
}

}  // namespace halvorn
