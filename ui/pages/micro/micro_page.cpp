#include "ui/pages/micro/micro_page.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "edit/randomize_micro.h"
#include "edit/song_records.h"
#include "fractal/generators.h"
#include "model/random.h"
#include "model/song.h"
#include "ui/fields/document_text.h"
#include "ui/fields/field_names.h"
#include "ui/fields/list_fields.h"
#include "ui/fields/page_widgets.h"
#include "ui/fields/panel_fields.h"
#include "ui/pages/copy_dialog.h"
#include "ui/pages/micro/ifs_dialog.h"
#include "ui/pages/micro/mandelbrot_dialog.h"
#include "ui/pages/micro/morse_thue_dialog.h"
#include "ui/pages/micro/noise_dialog.h"
#include "ui/session/document_access.h"
#include "ui/session/prompts.h"
#include "ui/views/values_plot.h"

namespace halvorn {

CMicroPage::CMicroPage(AppContext& context, QWidget* parent) : CSheetPage(context, parent) {
    buildControls();
    initialise();
}

CMicroPage::~CMicroPage() = default;

void CMicroPage::buildControls() {
    auto* page = new QVBoxLayout(this);

    auto* listRow = new QHBoxLayout;
    controls_.sequences = new QComboBox(this);
    controls_.sequences->setMinimumContentsLength(34);
    controls_.create = new QPushButton(QStringLiteral("Create new sequence"), this);
    controls_.remove = new QPushButton(QStringLiteral("Delete sequence"), this);
    controls_.save = new QPushButton(QStringLiteral("Save current"), this);
    controls_.remove->setEnabled(false);
    controls_.sequences->setToolTip(
        QStringLiteral("The song's microsequences (up to 32): choose the one to edit below"));
    controls_.create->setToolTip(
        QStringLiteral("Add a new microsequence (period 256) to the song and edit it"));
    controls_.remove->setToolTip(QStringLiteral(
        "Remove the chosen microsequence (asks first when a block uses it); later ones move up"));
    controls_.save->setToolTip(QStringLiteral(
        "Store the fields and parameters below into the chosen microsequence of the song"));
    listRow->addWidget(caption(QStringLiteral("Edit Microsequence #"), this, controls_.sequences));
    listRow->addWidget(controls_.sequences);
    listRow->addWidget(controls_.create);
    listRow->addWidget(controls_.remove);
    listRow->addWidget(controls_.save);
    listRow->addStretch();
    page->addLayout(listRow);

    auto* fieldRow = new QHBoxLayout;
    controls_.description = new QLineEdit(this);
    controls_.description->setMaxLength(static_cast<int>(kDescriptionLength));
    keepDocumentText(controls_.description);
    controls_.description->setMinimumWidth(
        controls_.description->fontMetrics().horizontalAdvance(QString(24, QLatin1Char('M'))));
    controls_.fractal = new QComboBox(this);
    for (const auto name : kFractalTypeNames) {
        controls_.fractal->addItem(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    controls_.description->setToolTip(
        QStringLiteral("Name of the microsequence as the lists show it, up to 30 characters"));
    controls_.fractal->setToolTip(QStringLiteral(
        "Fractal that generates the sequence's values; its parameters appear below"));
    controls_.period = makeIntegerEdit(this);
    controls_.period->setToolTip(
        QStringLiteral("Number of values before the sequence repeats, 1 to 256"));
    controls_.period->setMaxLength(10);
    controls_.period->setMaximumWidth(
        controls_.period->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    fieldRow->addWidget(caption(QStringLiteral("Description:"), this, controls_.description));
    fieldRow->addWidget(controls_.description);
    fieldRow->addSpacing(12);
    fieldRow->addWidget(caption(QStringLiteral("Fractal:"), this, controls_.fractal));
    fieldRow->addWidget(controls_.fractal);
    fieldRow->addSpacing(12);
    fieldRow->addWidget(caption(QStringLiteral("Period:"), this, controls_.period));
    fieldRow->addWidget(controls_.period);
    fieldRow->addStretch();
    page->addLayout(fieldRow);

    controls_.progress = new QProgressBar(this);
    controls_.progress->setTextVisible(false);
    controls_.progress->setRange(0, 1);
    controls_.progress->setValue(0);
    nameField(controls_.progress, QStringLiteral("Drawing progress"));
    controls_.progress->setToolTip(QStringLiteral(
        "How far the Mandelbrot panel has drawn the picture of the set, row by row"));
    page->addWidget(controls_.progress);

    auto* lower = new QHBoxLayout;
    controls_.parameters = new QGroupBox(QStringLiteral("Fractal Parameters"), this);
    panelLayout_ = new QVBoxLayout(controls_.parameters);
    lower->addWidget(controls_.parameters, 0, Qt::AlignTop);
    auto* plotGroup = new QGroupBox(QStringLiteral("Values"), this);
    auto* plotLayout = new QVBoxLayout(plotGroup);
    controls_.plot = new CValuesPlot(plotGroup);
    nameField(controls_.plot, QStringLiteral("Values of the sequence"));
    controls_.plot->setToolTip(
        QStringLiteral("The values the fields above give, one bar each from the first on the "
                       "left; the number in the top right corner is the largest value, the "
                       "height of the tallest bar (the arrow keys go from value to value)"));
    plotLayout->addWidget(controls_.plot);
    lower->addWidget(plotGroup, 1);
    page->addLayout(lower, 1);

    connect(controls_.sequences, &QComboBox::currentIndexChanged, this, &CMicroPage::pickSequence);
    connect(controls_.fractal, &QComboBox::currentIndexChanged, this, &CMicroPage::rebuildPanel);
    connect(controls_.create, &QPushButton::clicked, this, &CMicroPage::create);
    connect(controls_.remove, &QPushButton::clicked, this, &CMicroPage::deleteSequence);
    connect(controls_.save, &QPushButton::clicked, this, &CMicroPage::save);
    connect(controls_.period, &QLineEdit::textChanged, this, &CMicroPage::updateValuesPlot);
}

void CMicroPage::initialise() {
    values_.sequence.fractalType = kFractalMandelbrot;
    values_.sequence.period = 256;
    values_.sequence.description = "No defined sequences";
    write();
    rebuildPanel();
}

Song* CMicroPage::song() const {
    Document* document = currentDocument();
    return document ? &document->song : nullptr;
}

std::int32_t CMicroPage::sequenceCount() const {
    const Song* current = song();
    return current ? usedMicrosequences(*current) : 0;
}

bool CMicroPage::selectionValid() const {
    return values_.selection >= 0 && values_.selection < sequenceCount();
}

bool CMicroPage::read() {
    MicroFields& sequence = values_.sequence;
    sequence.fractalType = controls_.fractal->currentIndex();
    if (!readIntegerField(prompts(), controls_.period, kMinPeriod, kMaxPeriod, sequence.period))
        return false;
    values_.selection = controls_.sequences->currentIndex();
    sequence.description = toDocumentText(controls_.description->text());
    return true;
}

void CMicroPage::write() {
    selectIndex(controls_.fractal, values_.sequence.fractalType);
    controls_.period->setText(QString::number(values_.sequence.period));
    selectIndex(controls_.sequences, values_.selection);
    controls_.description->setText(fromDocumentText(values_.sequence.description));
}

QList<QWidget*> CMicroPage::editFields() const {
    QList<QWidget*> fields = {controls_.description, controls_.fractal, controls_.period};
    if (panel_) fields << panel_->fields();
    return fields;
}

// The Mandelbrot panel's path and view live in its editor, not in fields:
// its parameter block stands for them.
std::vector<std::uint8_t> CMicroPage::extraFields() const {
    if (!panel_ || panel_->fractalType() != kFractalMandelbrot) return {};
    return panel_->preview().value_or(ParameterBytes{});
}

void CMicroPage::showRecord(std::int32_t record) {
    selectIndex(controls_.sequences, record);
    load();
}

// The panel of the fractal type the fields name is made first, from the
// remembered block (the Mandelbrot panel's from the fields' extra bytes), so
// that its fields are there to take their values.
void CMicroPage::prepareFields(const PageFields& fields) {
    if (!fields.extra.empty()) remembered_[kFractalMandelbrot] = fields.extra;
    const auto* fractal = fields.values.size() > 1 ? std::get_if<int>(&fields.values[1]) : nullptr;
    if (fractal) selectIndex(controls_.fractal, *fractal);
    rebuildPanel();
}

void CMicroPage::pickSequence() {
    dropEdits();
    load();
}

void CMicroPage::turnedTo() {
    refreshList();
    load();
}

void CMicroPage::reloadFromDocument() {
    const std::int32_t selection = values_.selection;
    refreshList();
    if (selection >= 0 && selection < sequenceCount()) values_.selection = selection;
    write();
    load();
}

void CMicroPage::refreshList() {
    const std::int32_t count = sequenceCount();
    setListEntries(controls_.sequences,
                   recordListEntries(song(), RecordKind::Microsequence, count));
    if (count <= 0) {
        controls_.remove->setEnabled(false);
        return;
    }
    values_.selection = 0;
    controls_.remove->setEnabled(true);
    write();
}

void CMicroPage::load() {
    read();  // a field that does not read keeps the value it had
    if (selectionValid()) {
        const Microsequence& record = song()->microsequences[values_.selection];
        values_.sequence = loadMicroFields(record);
        if (record.fractalType >= 0 && record.fractalType < std::ssize(remembered_)) {
            remembered_[record.fractalType] = record.parameters;
        }
        write();
        rebuildPanel();
    }
    markShownAsStored();
}

void CMicroPage::rebuildPanel() {
    delete panel_;
    panel_ = nullptr;
    read();
    QWidget* group = controls_.parameters;
    switch (values_.sequence.fractalType) {
        case kFractalMandelbrot:
            panel_ = new CMandelbrotDialog(remembered_, prompts(), controls_.progress,
                                           context().commandDraws, group);
            break;
        case kFractalMorseThue:
            panel_ = new CMorseThueDialog(remembered_, prompts(), group);
            break;
        case kFractalNoise:
            panel_ = new CNoiseDialog(remembered_, prompts(), group);
            break;
        case kFractalPlaceholder:
            panel_ = new CIfsDialog(remembered_, prompts(), group);
            break;
        default:
            break;
    }
    const bool mandelbrot = values_.sequence.fractalType == kFractalMandelbrot;
    panelLayout_->setContentsMargins(10, 16, 10, mandelbrot ? 8 : 10);
    if (panel_) {
        panelLayout_->addWidget(panel_);
        connect(panel_, &CMicroPanel::fieldsChanged, this, &CMicroPage::updateValuesPlot);
        panel_->load();
        // A new panel's controls join the Tab order at its end: the values
        // plot, right of the panel, comes after them again.
        if (QWidget* last = lastTabStopIn(panel_)) setTabOrder(last, controls_.plot);
    }
    updateValuesPlot();
}

void CMicroPage::create() {
    Song* current = song();
    if (!current) return;
    dropEdits();
    const auto added = context().recordChangeResult(QStringLiteral("New microsequence"),
                                                    [&] { return appendMicrosequence(*current); });
    if (!added) {
        prompts().message(QString::fromStdString(added.error()));
        return;
    }
    refreshList();
    values_.selection = *added;
    write();
    load();
}

bool CMicroPage::save() {
    if (!read()) return false;
    if (!selectionValid()) return true;
    if (panel_ && !panel_->read()) return false;
    for (auto& parameters : remembered_) parameters.reset();
    // The panel's block is remembered for its type as it is stored.
    auto parameters = panel_ ? panel_->store() : std::nullopt;
    context().recordChange(QStringLiteral("Save microsequence \u201c%1\u201d")
                               .arg(fromDocumentText(values_.sequence.description)),
                           [&] {
                               storeMicroFields(values_.sequence, std::move(parameters),
                                                song()->microsequences[values_.selection]);
                           });
    const std::int32_t selection = values_.selection;
    refreshList();
    values_.selection = selection;
    write();
    markShownAsStored();
    return true;
}

bool CMicroPage::previewEdits(Document& document) {
    bool panelReads = true;
    const bool readable = readQuietly(
        values_, [this] { return read(); },
        [&] {
            std::optional<ParameterBytes> parameters = panel_ ? panel_->preview() : std::nullopt;
            panelReads =
                !panel_ || parameters || values_.sequence.fractalType == kFractalPlaceholder;
            const std::int32_t selection = values_.selection;
            if (selection < 0 || selection >= usedMicrosequences(document.song)) return;
            storeMicroFields(values_.sequence, std::move(parameters),
                             document.song.microsequences[selection]);
        });
    return readable && panelReads;
}

void CMicroPage::deleteSequence() {
    read();
    if (!selectionValid()) return;
    Song& current = *song();
    const std::int32_t removed = values_.selection;
    if (microsequenceInUse(current, removed) &&
        !prompts().askYesNo(QStringLiteral(
            "The selected microsequence is being used in some block. Delete anyway?"))) {
        return;
    }
    dropEdits();
    context().recordChange(QStringLiteral("Delete microsequence"),
                           [&] { deleteMicrosequence(current, removed); });
    refreshList();
    load();
}

void CMicroPage::randomize(RandomDraws& draws) {
    if (sequenceCount() <= 0) return;
    randomizeMicroFields(values_.sequence, draws);
    write();
    rebuildPanel();
    if (panel_) panel_->randomize(draws);
}

void CMicroPage::drawRandomSeed(RandomDraws& draws) {
    if (auto* noise = qobject_cast<CNoiseDialog*>(panel_)) noise->drawSeed(draws);
}

void CMicroPage::copySequence() {
    if (!read()) return;
    CCopyDialog dialog(prompts(), song(), CopyMode::Microsequence, values_.selection, this);
    if (dialog.exec() != QDialog::Accepted) return;
    dropEdits();
    copyRecord(dialog.sourceIndex(), dialog.destinationIndex());
}

void CMicroPage::copyRecord(std::int32_t source, std::int32_t destination) {
    if (source < 0 || source >= sequenceCount() || destination < 0) return;
    context().recordChange(QStringLiteral("Copy microsequence"),
                           [&] { copyInto(source, destination); });
}

void CMicroPage::copyInto(std::int32_t source, std::int32_t destination) {
    if (destination >= sequenceCount()) {
        create();
        destination = sequenceCount() - 1;
    }
    values_.selection = source;
    write();
    load();
    values_.sequence.description = copyDescription(values_.sequence.description);
    values_.selection = destination;
    write();
    save();
}

void CMicroPage::updateValuesPlot() {
    const auto period = peekIntegerField(controls_.period, kMinPeriod, kMaxPeriod);
    const auto parameters = panel_ ? panel_->preview() : std::nullopt;
    if (!period || !parameters) {
        controls_.plot->setValues(std::nullopt);
        return;
    }
    Microsequence preview;
    preview.fractalType = panel_->fractalType();
    preview.period = *period;
    preview.parameters = parameters;
    const SequenceValues* values = microsequenceCompute(preview);
    controls_.plot->setValues(values ? std::optional(*values) : std::nullopt);
}

}  // namespace halvorn
