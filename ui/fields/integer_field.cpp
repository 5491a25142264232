#include "ui/fields/integer_field.h"

#include <limits>

namespace halvorn {

QString outOfRangeMessage(std::int32_t low, std::int32_t high) {
    return QString::fromStdString(outOfRangeText(low, high));
}

std::optional<std::int32_t> parseInteger(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool ok = false;
    const qlonglong value = trimmed.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<QString> readInteger(const QString& text, std::int32_t& value) {
    const auto parsed = parseInteger(text);
    if (!parsed) return kNotAnIntegerMessage;
    value = *parsed;
    return std::nullopt;
}

std::optional<QString> readInteger(const QString& text, std::int32_t low, std::int32_t high,
                                   std::int32_t& value) {
    const auto parsed = parseInteger(text);
    if (!parsed) return kNotAnIntegerMessage;
    if (const auto message = integerRangeMessage(*parsed, low, high)) {
        return QString::fromStdString(*message);
    }
    value = *parsed;
    return std::nullopt;
}

}  // namespace halvorn
