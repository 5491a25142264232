#include "ui/session/page_fields.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

namespace halvorn {
namespace {

FieldValue valueOf(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(field)) return text->toPlainText();
    if (auto* list = qobject_cast<QComboBox*>(field)) return list->currentIndex();
    if (auto* slider = qobject_cast<QAbstractSlider*>(field)) return slider->value();
    if (auto* button = qobject_cast<QAbstractButton*>(field)) return button->isChecked();
    return false;
}

void show(QWidget* field, const FieldValue& value) {
    const QSignalBlocker blocker(field);
    if (const auto* text = std::get_if<QString>(&value)) {
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            if (edit->text() != *text) edit->setText(*text);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field)) {
            if (plain->toPlainText() != *text) plain->setPlainText(*text);
        }
    } else if (const auto* number = std::get_if<int>(&value)) {
        if (auto* list = qobject_cast<QComboBox*>(field)) {
            list->setCurrentIndex(*number < list->count() ? *number : -1);
        } else if (auto* slider = qobject_cast<QAbstractSlider*>(field)) {
            slider->setValue(*number);
        }
    } else if (const auto* checked = std::get_if<bool>(&value)) {
        if (auto* button = qobject_cast<QAbstractButton*>(field)) button->setChecked(*checked);
    }
}

}  // namespace

std::vector<FieldValue> fieldValues(const QList<QWidget*>& fields) {
    std::vector<FieldValue> values;
    values.reserve(static_cast<std::size_t>(fields.size()));
    for (QWidget* field : fields) values.push_back(valueOf(field));
    return values;
}

void showFieldValues(const QList<QWidget*>& fields, const std::vector<FieldValue>& values) {
    const qsizetype count = std::min<qsizetype>(fields.size(), std::ssize(values));
    for (qsizetype i = 0; i < count; ++i) show(fields[i], values[static_cast<std::size_t>(i)]);
}

}  // namespace halvorn
