#pragma once
// What a page's fields hold, as a value: which page and record they show and
// every value the composer can set there, exactly as typed (a number field
// keeps text that is no number). The undo history keeps these for the edits
// a page holds, so taking them back and bringing them back loses nothing.

#include <QList>
#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

class QWidget;

namespace halvorn {

// A line or text edit's text, a list's index, a slider's position, a check
// box's or radio button's state.
using FieldValue = std::variant<QString, int, bool>;

struct PageFields {
    int page = -1;
    std::int32_t record = -1;  // -1 on a page without records
    std::vector<FieldValue> values;
    // What a page keeps outside its widgets (a parameter block drawn on a
    // picture), as bytes.
    std::vector<std::uint8_t> extra;

    bool operator==(const PageFields&) const = default;
};

// The values of `fields`, in their order.
std::vector<FieldValue> fieldValues(const QList<QWidget*>& fields);
// Sets each of `fields` to its value, without the fields' change signals
// (the values belong together; no handler may move one of them). A value of
// the wrong kind, or one too many or too few, is left out.
void showFieldValues(const QList<QWidget*>& fields, const std::vector<FieldValue>& values);

}  // namespace halvorn
