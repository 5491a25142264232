#include "ui/pages/micro/noise_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "edit/randomize_micro.h"
#include "model/random.h"
#include "ui/fields/page_widgets.h"
#include "ui/fields/panel_fields.h"

namespace halvorn {

CNoiseDialog::CNoiseDialog(RememberedParameters& remembered, Prompts& prompts, QWidget* parent)
    : CMicroPanel(remembered, prompts, parent) {
    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.correlation = new QComboBox(this);
    for (const auto name : kCorrelationNames) {
        controls_.correlation->addItem(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    // Seeds are shown signed, so the seed edit takes a minus sign too.
    controls_.seed = makeIntegerEdit(this, Sign::Signed);
    controls_.seed->setMaxLength(12);
    controls_.range = makeIntegerEdit(this);
    controls_.range->setMaxLength(12);
    controls_.correlation->setToolTip(QStringLiteral(
        "How many slower noise sources are added: from white noise (none) to the smoothest"));
    controls_.seed->setToolTip(QStringLiteral(
        "Any whole number: the same seed gives the same noise (\"Random Seed\" draws one)"));
    controls_.range->setToolTip(
        QStringLiteral("Each noise source's values run from 0 to one less than this, 0 to 255"));
    form->addRow(caption(QStringLiteral("Correlation:"), this, controls_.correlation),
                 controls_.correlation);
    form->addRow(caption(QStringLiteral("Seed:"), this, controls_.seed), controls_.seed);
    form->addRow(caption(QStringLiteral("Range:"), this, controls_.range), controls_.range);
    connect(controls_.correlation, &QComboBox::currentIndexChanged, this,
            &CMicroPanel::fieldsChanged);
    connect(controls_.seed, &QLineEdit::textChanged, this, &CMicroPanel::fieldsChanged);
    connect(controls_.range, &QLineEdit::textChanged, this, &CMicroPanel::fieldsChanged);
}

NoiseParameters CNoiseDialog::defaults() {
    return NoiseParameters{0, 2, 10};
}

void CNoiseDialog::write() {
    const int count = controls_.correlation->count();
    controls_.correlation->setCurrentIndex(
        fields_.correlation >= 0 && fields_.correlation < count ? fields_.correlation : -1);
    controls_.seed->setText(QString::number(fields_.seed));
    controls_.range->setText(QString::number(fields_.range));
}

void CNoiseDialog::load() {
    const auto stored = remembered() ? NoiseParameters::fromBytes(*remembered()) : std::nullopt;
    fields_ = stored.value_or(defaults());
    write();
}

bool CNoiseDialog::read() {
    fields_.correlation = controls_.correlation->currentIndex();
    return readIntegerField(prompts(), controls_.seed, fields_.seed) &&
           readIntegerField(prompts(), controls_.range, 0, kMaxRange, fields_.range);
}

std::optional<ParameterBytes> CNoiseDialog::store() {
    return remember(fields_.toBytes());
}

void CNoiseDialog::randomize(RandomDraws& draws) {
    fields_ = randomNoiseParameters(draws);
    write();
}

void CNoiseDialog::drawSeed(RandomDraws& draws) {
    fields_.seed = drawNoiseSeed(draws);
    write();
}

std::optional<ParameterBytes> CNoiseDialog::preview() const {
    const std::int32_t correlation = controls_.correlation->currentIndex();
    const auto seed = peekIntegerField(controls_.seed, INT32_MIN, INT32_MAX);
    const auto range = peekIntegerField(controls_.range, 0, kMaxRange);
    if (correlation < 0 || !seed || !range) return std::nullopt;
    return NoiseParameters{*seed, correlation, *range}.toBytes();
}

}  // namespace halvorn
