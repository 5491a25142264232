#include "edit/integer_range.h"

namespace halvorn {

std::string outOfRangeText(std::int32_t low, std::int32_t high) {
    return "Introduzca un número entero entre " + std::to_string(low) + " y " +
           std::to_string(high) + ".";
}

std::optional<std::string> integerRangeMessage(std::int32_t value, std::int32_t low,
                                               std::int32_t high) {
    if (value < low || value > high) return outOfRangeText(low, high);
    return std::nullopt;
}

}  // namespace halvorn
