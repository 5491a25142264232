#include "ui/pages/micro/morse_thue_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "edit/randomize_micro.h"
#include "model/random.h"
#include "ui/fields/page_widgets.h"
#include "ui/fields/panel_fields.h"

namespace halvorn {

CMorseThueDialog::CMorseThueDialog(RememberedParameters& remembered, Prompts& prompts,
                                   QWidget* parent)
    : CMicroPanel(remembered, prompts, parent) {
    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.base = makeIntegerEdit(this);
    controls_.start = makeIntegerEdit(this);
    controls_.step = makeIntegerEdit(this);
    controls_.base->setToolTip(QStringLiteral(
        "Number base whose digit sums make the values, 2 to 9999999: larger bases vary more"));
    controls_.start->setToolTip(
        QStringLiteral("Number the sequence starts counting from, 0 to 99999999"));
    controls_.step->setToolTip(
        QStringLiteral("Amount added to the count for each value, 1 to 9999999"));
    form->addRow(caption(QStringLiteral("Base:"), this, controls_.base), controls_.base);
    form->addRow(caption(QStringLiteral("Start:"), this, controls_.start), controls_.start);
    form->addRow(caption(QStringLiteral("Step:"), this, controls_.step), controls_.step);
    for (QLineEdit* edit : {controls_.base, controls_.start, controls_.step}) {
        edit->setMaxLength(12);
        connect(edit, &QLineEdit::textChanged, this, &CMicroPanel::fieldsChanged);
    }
}

void CMorseThueDialog::write() {
    controls_.base->setText(QString::number(fields_.base));
    controls_.start->setText(QString::number(fields_.start));
    controls_.step->setText(QString::number(fields_.step));
}

void CMorseThueDialog::load() {
    const auto stored = remembered() ? MorseThueParameters::fromBytes(*remembered()) : std::nullopt;
    fields_ = stored.value_or(MorseThueParameters{});
    write();
}

bool CMorseThueDialog::read() {
    return readIntegerField(prompts(), controls_.base, kMinBase, kMaxBase, fields_.base) &&
           readIntegerField(prompts(), controls_.start, kMinStart, kMaxStart, fields_.start) &&
           readIntegerField(prompts(), controls_.step, kMinStep, kMaxStep, fields_.step);
}

std::optional<ParameterBytes> CMorseThueDialog::store() {
    return remember(fields_.toBytes());
}

void CMorseThueDialog::randomize(RandomDraws& draws) {
    fields_ = randomMorseThueParameters(draws);
    write();
}

std::optional<ParameterBytes> CMorseThueDialog::preview() const {
    const auto base = peekIntegerField(controls_.base, kMinBase, kMaxBase);
    const auto start = peekIntegerField(controls_.start, kMinStart, kMaxStart);
    const auto step = peekIntegerField(controls_.step, kMinStep, kMaxStep);
    if (!base || !start || !step) return std::nullopt;
    return MorseThueParameters{*base, *start, *step}.toBytes();
}

}  // namespace halvorn
