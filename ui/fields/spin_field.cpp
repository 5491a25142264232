#include "ui/fields/spin_field.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/fields/integer_field.h"

namespace halvorn {

QWidget* makeSpinField(QLineEdit* edit, std::int32_t low, std::int32_t high, QWidget* parent) {
    auto* field = new QWidget(parent);
    auto* row = new QHBoxLayout(field);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    edit->setParent(field);
    row->addWidget(edit);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(0);
    for (const auto& [arrow, step] : {std::pair{Qt::UpArrow, 1}, std::pair{Qt::DownArrow, -1}}) {
        auto* button = new QToolButton(field);
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFixedSize(18, 11);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(step > 0
                               ? QStringLiteral("Raise the value by one, up to %1").arg(high)
                               : QStringLiteral("Lower the value by one, down to %1").arg(low));
        QObject::connect(button, &QToolButton::clicked, edit, [edit, low, high, step = step] {
            const auto value = parseInteger(edit->text());
            if (!value) return;
            const std::int64_t next = std::int64_t{*value} + step;
            edit->setText(QString::number(std::clamp<std::int64_t>(next, low, high)));
        });
        buttons->addWidget(button);
    }
    row->addLayout(buttons);
    return field;
}

}  // namespace halvorn
