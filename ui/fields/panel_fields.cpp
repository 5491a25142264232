#include "ui/fields/panel_fields.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <limits>

#include "ui/fields/integer_field.h"
#include "ui/session/prompts.h"

namespace halvorn {
namespace {

bool reportFailure(Prompts& prompts, QLineEdit* edit, const std::optional<QString>& message) {
    if (!message) return true;
    if (prompts.muted()) return false;  // a quiet read leaves the focus alone
    prompts.message(*message);
    edit->setFocus();
    edit->selectAll();
    return false;
}

}  // namespace

QLineEdit* makeIntegerEdit(QWidget* parent, Sign sign) {
    auto* edit = new QLineEdit(parent);
    const QString pattern =
        sign == Sign::Signed ? QStringLiteral("-?[0-9]*") : QStringLiteral("[0-9]*");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    return edit;
}

bool readIntegerField(Prompts& prompts, QLineEdit* edit, std::int32_t low, std::int32_t high,
                      std::int32_t& value) {
    return reportFailure(prompts, edit, readInteger(edit->text(), low, high, value));
}

bool readIntegerField(Prompts& prompts, QLineEdit* edit, std::int32_t& value) {
    return reportFailure(prompts, edit, readInteger(edit->text(), value));
}

std::optional<std::int32_t> peekIntegerField(const QLineEdit* edit, std::int32_t low,
                                             std::int32_t high) {
    const auto value = parseInteger(edit->text());
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

}  // namespace halvorn
