#include "ui/fields/spin_field.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/fields/field_names.h"
#include "ui/fields/integer_field.h"

namespace halvorn {
namespace {

// Puts the number in `edit` `step` further, within low..high; a text that
// is no number stays as it is.
void stepValue(QLineEdit* edit, std::int32_t low, std::int32_t high, int step) {
    const auto value = parseInteger(edit->text());
    if (!value) return;
    const std::int64_t next = std::int64_t{*value} + step;
    edit->setText(QString::number(std::clamp<std::int64_t>(next, low, high)));
}

// Up and Down in the edit do what the buttons do, so the keyboard needs no
// button (they take no focus).
class StepKeys final : public QObject {
  public:
    StepKeys(QLineEdit* edit, std::int32_t low, std::int32_t high)
        : QObject(edit), edit_(edit), low_(low), high_(high) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != edit_ || event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
        stepValue(edit_, low_, high_, key == Qt::Key_Up ? 1 : -1);
        return true;
    }

  private:
    QLineEdit* edit_;
    std::int32_t low_;
    std::int32_t high_;
};

}  // namespace

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
        button->setToolTip(
            step > 0
                ? QStringLiteral("Raise the value by one, up to %1 (or the Up key)").arg(high)
                : QStringLiteral("Lower the value by one, down to %1 (or the Down key)").arg(low));
        nameField(button, step > 0 ? QStringLiteral("Raise the value by one")
                                   : QStringLiteral("Lower the value by one"));
        QObject::connect(button, &QToolButton::clicked, edit,
                         [edit, low, high, step = step] { stepValue(edit, low, high, step); });
        buttons->addWidget(button);
    }
    row->addLayout(buttons);
    edit->installEventFilter(new StepKeys(edit, low, high));
    return field;
}

}  // namespace halvorn
