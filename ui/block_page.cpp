#include "ui/block_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/audition.h"
#include "midi/midi_settings.h"
#include "midi/program_names.h"
#include "model/random.h"
#include "ui/copy_dialog.h"
#include "ui/document_access.h"
#include "ui/document_text.h"
#include "ui/global_page.h"
#include "ui/list_fields.h"
#include "ui/page_widgets.h"
#include "ui/panel_fields.h"
#include "ui/piano_roll_view.h"
#include "ui/playback_session.h"
#include "ui/prompts.h"

namespace halvorn {
namespace {

constexpr double kSeedSpan = 1234567890.0;
constexpr std::int32_t kMaxLengthMeasures = 8;
constexpr std::int32_t kChannelCount = 16;
const QString kNoBlocks = QStringLiteral("No defined blocks");
const QString kCopyPrefix = QStringLiteral("Copy of ");

// Scale names as this page lists them.
constexpr std::array<const char*, 4> kScaleTypeItems = {"Cromática", "Mayor", "Menor",
                                                        "Pentatónica"};
constexpr std::array<const char*, kCurveCount> kCurveItems = {
    "Fixed Value",   "Homogenous",    "Gaussian 1", "Gaussian 2", "Gaussian 3", "Accelerated 1",
    "Accelerated 2", "Accelerated 3", "Slow 1",     "Slow 2",     "Slow 3"};

enum Curve : std::int32_t {
    kFixedValue = 0,
    kHomogenous = 1,
    kFirstGaussian = 2,
    kFirstAccelerated = 5,
    kFirstSlow = 8,
};

// The spread of "Gaussian 1", "2" and "3": exp(-a d^2).
constexpr std::array<double, 3> kGaussianFactors = {0.25, 0.5, 1.0};

// Truncation toward zero of a draw scaled to `span`.
std::int32_t drawBelow(double span) {
    return static_cast<std::int32_t>(span * randomNext());
}

QComboBox* makeList(const QStringList& items, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->addItems(items);
    return list;
}

QStringList numberItems(int first, int last) {
    QStringList items;
    for (int i = first; i <= last; ++i) items << QString::number(i);
    return items;
}

QStringList noteValueItems() {
    QStringList items;
    for (const auto name : kNoteValueNames) {
        items << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return items;
}

QStringList instrumentItems() {
    QStringList items;
    for (int program = 0; program < kGeneralMidiProgramCount; ++program) {
        const auto name = kGeneralMidiProgramNames[static_cast<std::size_t>(program)];
        items << QStringLiteral("%1: %2").arg(program).arg(
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    return items;
}

// A sequence index that names no microsequence becomes 0.
std::int32_t clampedSequence(std::int32_t index, std::int32_t count) {
    return index >= 0 && index < count ? index : 0;
}

// The "Sequence:" list and "Range:" edit that open the melody and velocity
// groups.
QFormLayout* sequenceRangeForm(QGroupBox* group, QComboBox*& sequence, QLineEdit*& range) {
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    sequence = new QComboBox(group);
    sequence->setMinimumContentsLength(24);
    range = makeNumberEdit(group, 3);
    form->addRow(caption(QStringLiteral("Sequence:"), group), sequence);
    form->addRow(caption(QStringLiteral("Range:"), group), range);
    return form;
}

}  // namespace

CBlockPage::CBlockPage(AppContext& context, CGlobalPage& global, QWidget* parent)
    : CSheetPage(context, parent),
      global_(global),
      session_(new CPlaybackSession(context.sessions, this)) {
    auto* page = new QVBoxLayout(this);
    page->addLayout(buildBlockRow());
    auto* groups = new QGridLayout;
    groups->addWidget(buildGeneralGroup(), 0, 0);
    groups->addWidget(buildDistributionGroup(), 0, 1);
    groups->addWidget(buildMelodyGroup(), 1, 0);
    groups->addWidget(buildVelocityGroup(), 1, 1);
    page->addLayout(groups);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildRhythmGroup());
    bottom->addWidget(buildNotesGroup(), 1);
    auto* right = new QVBoxLayout;
    right->addWidget(buildAccentGroup());
    right->addWidget(buildMidiGroup());
    bottom->addLayout(right);
    page->addLayout(bottom, 1);
    connectControls();
    initialise();
}

CBlockPage::~CBlockPage() = default;

QLayout* CBlockPage::buildBlockRow() {
    auto* row = new QHBoxLayout;
    controls_.block = new QComboBox(this);
    controls_.block->setMinimumContentsLength(34);
    controls_.newBlock = new QPushButton(QStringLiteral("New Block"), this);
    controls_.save = new QPushButton(QStringLiteral("Save"), this);
    controls_.deleteBlock = new QPushButton(QStringLiteral("Delete Block"), this);
    row->addWidget(caption(QStringLiteral("Block:"), this));
    row->addWidget(controls_.block);
    row->addWidget(controls_.newBlock);
    row->addWidget(controls_.save);
    row->addWidget(controls_.deleteBlock);
    row->addStretch();
    return row;
}

QGroupBox* CBlockPage::buildGeneralGroup() {
    auto* group = new QGroupBox(QStringLiteral("General"), this);
    auto* form = new QFormLayout(group);
    controls_.description = new QLineEdit(group);
    controls_.description->setMaxLength(static_cast<int>(kDescriptionLength));
    keepDocumentText(controls_.description);
    form->addRow(caption(QStringLiteral("Description:"), group), controls_.description);

    // The block's key and scale type are kept with it but set on the Global
    // page; here they are only shown.
    QStringList keys;
    for (const auto key : kKeyNames) keys << QString::fromLatin1(key.data(), key.size());
    QStringList types;
    for (const char* type : kScaleTypeItems) types << QString::fromUtf8(type);
    controls_.scaleKey = makeList(keys, group);
    controls_.scaleType = makeList(types, group);
    controls_.scaleKey->setEnabled(false);
    controls_.scaleType->setEnabled(false);
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(controls_.scaleKey);
    scaleRow->addWidget(controls_.scaleType);
    scaleRow->addStretch();
    form->addRow(caption(QStringLiteral("Scale:"), group), scaleRow);

    controls_.length = makeList(numberItems(1, kMaxLengthMeasures), group);
    form->addRow(caption(QStringLiteral("Length:"), group),
                 withUnit(controls_.length, QStringLiteral("measures"), group));
    return group;
}

QGroupBox* CBlockPage::buildDistributionGroup() {
    auto* group = new QGroupBox(QStringLiteral("Rhythmic Probability Distribution"), this);
    auto* columns = new QHBoxLayout(group);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    QStringList curves;
    for (const char* curve : kCurveItems) curves << QString::fromLatin1(curve);
    controls_.curve = makeList(curves, group);
    controls_.center = makeList(noteValueItems(), group);
    controls_.seed = makeIntegerEdit(group);
    controls_.seed->setMaxLength(10);
    controls_.seed->setMaximumWidth(
        controls_.seed->fontMetrics().horizontalAdvance(QString(11, '0')) + 16);
    controls_.normalize = new QPushButton(QStringLiteral("Normalize"), group);
    form->addRow(caption(QStringLiteral("Curve:"), group), controls_.curve);
    form->addRow(caption(QStringLiteral("Center:"), group), controls_.center);
    form->addRow(caption(QStringLiteral("Seed"), group), controls_.seed);
    form->addRow(controls_.normalize);
    columns->addLayout(form);

    auto* sliders = new QGridLayout;
    sliders->setHorizontalSpacing(2);
    const QStringList names = noteValueItems();
    for (int k = 0; k < kNoteValueCount; ++k) {
        controls_.rhythm[k] = makeVerticalSlider(group);
        sliders->addWidget(controls_.rhythm[k], 0, k, Qt::AlignHCenter);
        sliders->addWidget(centredCaption(names[k], group), 1, k);
    }
    columns->addLayout(sliders, 1);
    return group;
}

QGroupBox* CBlockPage::buildMelodyGroup() {
    auto* group = new QGroupBox(QStringLiteral("Melody"), this);
    QFormLayout* form = sequenceRangeForm(group, controls_.melodySequence, controls_.melodyRange);
    controls_.melodyOffset = makeNumberEdit(group, 3);
    form->addRow(caption(QStringLiteral("Offset:"), group), controls_.melodyOffset);
    return group;
}

QGroupBox* CBlockPage::buildVelocityGroup() {
    auto* group = new QGroupBox(QStringLiteral("Velocity"), this);
    QFormLayout* form =
        sequenceRangeForm(group, controls_.velocitySequence, controls_.velocityRange);
    controls_.velocityAmp = makeNumberEdit(group, 3);
    controls_.velocityThreshold = makeNumberEdit(group, 3);
    form->addRow(caption(QStringLiteral("Amp:"), group),
                 withUnit(controls_.velocityAmp, QStringLiteral("%"), group));
    form->addRow(caption(QStringLiteral("Threshold:"), group),
                 withUnit(controls_.velocityThreshold, QStringLiteral("%"), group));
    return group;
}

QGroupBox* CBlockPage::buildRhythmGroup() {
    auto* group = new QGroupBox(QStringLiteral("Rhythm"), this);
    auto* grid = new QGridLayout(group);
    struct Column {
        QSlider** slider;
        const char* name;
        const char* top;
        const char* bottom;
    };
    const std::array<Column, 3> columns = {Column{&controls_.dotted, "Dotted Notes", "All", "None"},
                                           Column{&controls_.triplets, "Triplets", "All", "None"},
                                           Column{&controls_.legato, "Legato", "Short", "Long"}};
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        *columns[c].slider = makeVerticalSlider(group);
        grid->addWidget(centredCaption(QString::fromLatin1(columns[c].name), group), 0, c);
        grid->addWidget(centredCaption(QString::fromLatin1(columns[c].top), group), 1, c);
        grid->addWidget(*columns[c].slider, 2, c, Qt::AlignHCenter);
        grid->addWidget(centredCaption(QString::fromLatin1(columns[c].bottom), group), 3, c);
    }
    grid->setRowStretch(2, 1);
    return group;
}

QGroupBox* CBlockPage::buildAccentGroup() {
    auto* group = new QGroupBox(QStringLiteral("Accent"), this);
    auto* column = new QVBoxLayout(group);
    auto* boxes = new QHBoxLayout;
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        controls_.accents[beat] = new QCheckBox(QString::number(beat + 1), group);
        boxes->addWidget(controls_.accents[beat]);
    }
    column->addLayout(boxes);
    auto* level = new QHBoxLayout;
    controls_.accentLevel = new QSlider(Qt::Horizontal, group);
    controls_.accentLevel->setRange(0, kMaxSliderPosition);
    setSliderPosition(controls_.accentLevel, 0);
    level->addWidget(caption(QStringLiteral("Accent Level"), group));
    level->addWidget(caption(QStringLiteral("0%"), group));
    level->addWidget(controls_.accentLevel, 1);
    level->addWidget(caption(QStringLiteral("100%"), group));
    column->addLayout(level);
    return group;
}

QGroupBox* CBlockPage::buildMidiGroup() {
    auto* group = new QGroupBox(QStringLiteral("MIDI"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.instrument = makeList(instrumentItems(), group);
    controls_.instrument->setMaxVisibleItems(16);
    controls_.channel = makeList(numberItems(1, kChannelCount), group);
    controls_.metronome = new QCheckBox(QStringLiteral("Metronome"), group);
    controls_.loop = new QCheckBox(QStringLiteral("Loop"), group);
    controls_.listen = new QPushButton(QStringLiteral("Listen"), group);
    form->addRow(caption(QStringLiteral("Instrument:"), group), controls_.instrument);
    form->addRow(caption(QStringLiteral("Channel:"), group), controls_.channel);
    auto* row = new QHBoxLayout;
    row->addWidget(controls_.metronome);
    row->addWidget(controls_.loop);
    row->addStretch();
    row->addWidget(controls_.listen);
    form->addRow(row);
    return group;
}

QGroupBox* CBlockPage::buildNotesGroup() {
    auto* group = new QGroupBox(QStringLiteral("Notes"), this);
    auto* layout = new QVBoxLayout(group);
    controls_.pianoRoll = new CPianoRollView(group);
    layout->addWidget(controls_.pianoRoll);
    return group;
}

void CBlockPage::connectControls() {
    using Changed = void (QComboBox::*)(int);
    constexpr Changed changed = &QComboBox::currentIndexChanged;
    connect(controls_.block, changed, this, &CBlockPage::load);
    connect(controls_.center, changed, this, &CBlockPage::clampCenter);
    // Choosing a curve applies it, even the one shown: the sliders may have
    // moved since.
    connect(controls_.curve, &QComboBox::activated, this, &CBlockPage::applyCurve);
    connect(controls_.newBlock, &QPushButton::clicked, this, &CBlockPage::newBlock);
    connect(controls_.save, &QPushButton::clicked, this, &CBlockPage::save);
    connect(controls_.deleteBlock, &QPushButton::clicked, this, &CBlockPage::deleteBlock);
    connect(controls_.normalize, &QPushButton::clicked, this, &CBlockPage::normalize);
    connect(controls_.listen, &QPushButton::clicked, this, &CBlockPage::listen);
    connect(session_, &CPlaybackSession::stopped, this, &CBlockPage::showStopped);
}

// The sheet makes its pages before any document is loaded, so the lists and
// the Song's range and metre reach the page when it is first shown; a commit
// now would store the Global page's unfilled controls into the Song.
void CBlockPage::initialise() {
    values_.curveIndex = -1;
    values_.centerIndex = 0;
    values_.metronome = true;
    values_.loop = false;
    values_.currentBlock = -1;
    showCreationValues();
    controls_.deleteBlock->setEnabled(false);
    write();
}

// The page's block fields as a page without blocks shows them.
void CBlockPage::showCreationValues() {
    BlockPageValues fresh;
    fresh.description = kNoBlocks;
    fresh.centerIndex = values_.centerIndex;
    fresh.curveIndex = values_.curveIndex;
    fresh.currentBlock = values_.currentBlock;
    fresh.metronome = values_.metronome;
    fresh.loop = values_.loop;
    values_ = fresh;
    for (QSlider* slider : controls_.rhythm) setSliderPosition(slider, kMaxSliderPosition);
    setSliderPosition(controls_.dotted, kMaxSliderPosition);
    setSliderPosition(controls_.triplets, kMaxSliderPosition);
    setSliderPosition(controls_.legato, kMaxSliderPosition);
    setSliderPosition(controls_.accentLevel, 0);
    controls_.pianoRoll->showNothing(kNoBlocks);
}

Song* CBlockPage::song() const {
    return currentSong();
}

std::int32_t CBlockPage::blockCount() const {
    return currentBlockCount();
}

std::int32_t CBlockPage::sequenceCount() const {
    const Song* current = song();
    return current ? std::clamp(current->microsequenceCount, 0, kMaxMicrosequences) : 0;
}

bool CBlockPage::blockValid(std::int32_t index) const {
    return index >= 0 && index < blockCount();
}

std::int32_t CBlockPage::beatsPerMeasure() const {
    const Song* current = song();
    return current ? std::clamp(current->beatsPerMeasure, 0, kMaxBeatsPerMeasure) : 0;
}

void CBlockPage::commitGlobalPage() const {
    global_.CommitToSong();
}

bool CBlockPage::isPlaying() const {
    return session_->isPlaying();
}

bool CBlockPage::read() {
    values_.centerIndex = controls_.center->currentIndex();
    values_.curveIndex = controls_.curve->currentIndex();
    values_.description = controls_.description->text();
    values_.lengthIndex = controls_.length->currentIndex();
    values_.scaleKey = controls_.scaleKey->currentIndex();
    values_.scaleType = controls_.scaleType->currentIndex();
    values_.currentBlock = controls_.block->currentIndex();
    values_.channel = controls_.channel->currentIndex();
    values_.program = controls_.instrument->currentIndex();
    values_.melodySequence = controls_.melodySequence->currentIndex();
    if (!readIntegerField(prompts(), controls_.melodyOffset, -kMaxMelodyOffset, kMaxMelodyOffset,
                          values_.melodyOffset) ||
        !readIntegerField(prompts(), controls_.melodyRange, 1, kMaxMelodyRange,
                          values_.melodyRange)) {
        return false;
    }
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        values_.accents[beat] = controls_.accents[beat]->isChecked();
    }
    values_.velocitySequence = controls_.velocitySequence->currentIndex();
    if (!readIntegerField(prompts(), controls_.velocityAmp, 1, kMaxVelocityAmp,
                          values_.velocityAmp) ||
        !readIntegerField(prompts(), controls_.velocityRange, 1, kMaxVelocityRange,
                          values_.velocityRange) ||
        !readIntegerField(prompts(), controls_.velocityThreshold, 0, 100,
                          values_.velocityThreshold) ||
        !readIntegerField(prompts(), controls_.seed, values_.seed)) {
        return false;
    }
    values_.metronome = controls_.metronome->isChecked();
    values_.loop = controls_.loop->isChecked();
    return true;
}

void CBlockPage::write() {
    selectIndex(controls_.center, values_.centerIndex);
    selectIndex(controls_.curve, values_.curveIndex);
    controls_.description->setText(values_.description);
    selectIndex(controls_.length, values_.lengthIndex);
    selectIndex(controls_.scaleKey, values_.scaleKey);
    selectIndex(controls_.scaleType, values_.scaleType);
    selectIndex(controls_.block, values_.currentBlock);
    selectIndex(controls_.channel, values_.channel);
    selectIndex(controls_.instrument, values_.program);
    selectIndex(controls_.melodySequence, values_.melodySequence);
    controls_.melodyOffset->setText(QString::number(values_.melodyOffset));
    controls_.melodyRange->setText(QString::number(values_.melodyRange));
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        controls_.accents[beat]->setChecked(values_.accents[beat]);
    }
    selectIndex(controls_.velocitySequence, values_.velocitySequence);
    controls_.velocityAmp->setText(QString::number(values_.velocityAmp));
    controls_.velocityRange->setText(QString::number(values_.velocityRange));
    controls_.velocityThreshold->setText(QString::number(values_.velocityThreshold));
    controls_.seed->setText(QString::number(values_.seed));
    controls_.metronome->setChecked(values_.metronome);
    controls_.loop->setChecked(values_.loop);
}

void CBlockPage::turnedTo() {
    refresh();
    load();
}

void CBlockPage::fillLists() {
    setListEntries(controls_.block, recordListEntries(song(), RecordKind::Block, blockCount()));
    const QStringList sequences =
        recordListEntries(song(), RecordKind::Microsequence, sequenceCount());
    setListEntries(controls_.melodySequence, sequences);
    setListEntries(controls_.velocitySequence, sequences);
}

void CBlockPage::refresh() {
    fillLists();
    const bool haveBlocks = blockCount() > 0;
    controls_.deleteBlock->setEnabled(haveBlocks);
    if (haveBlocks) {
        values_.currentBlock = 0;
    } else {
        // Nothing of a block that is gone (or of the previous document) stays
        // on show.
        showCreationValues();
    }
    if (sequenceCount() > 0) {
        values_.melodySequence = 0;
        values_.velocitySequence = 0;
    }
    commitGlobalPage();
    if (const Song* current = song()) {
        for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
            const std::int32_t exponent = k + kMinNoteExponent;
            const bool allowed =
                current->minNoteExponent <= exponent && exponent <= current->maxNoteExponent;
            controls_.rhythm[k]->setEnabled(allowed);
            if (!allowed) setSliderPosition(controls_.rhythm[k], kMaxSliderPosition);
        }
    }
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        controls_.accents[beat]->setEnabled(beat < beatsPerMeasure());
    }
    write();
}

void CBlockPage::load() {
    read();  // a field that does not read keeps the value it had
    if (!blockValid(values_.currentBlock)) return;
    Block& block = song()->blocks[values_.currentBlock];
    values_.description = fromDocumentText(block.description);
    values_.scaleKey = block.scaleKey;
    values_.scaleType = block.scaleType;
    values_.lengthIndex = block.lengthMeasures - 1;
    block.melodySequence = clampedSequence(block.melodySequence, sequenceCount());
    block.velocitySequence = clampedSequence(block.velocitySequence, sequenceCount());
    values_.melodySequence = block.melodySequence;
    values_.velocitySequence = block.velocitySequence;
    values_.melodyRange = block.melodyRange;
    values_.melodyOffset = block.melodyOffset;
    values_.velocityRange = block.velocityRange;
    values_.velocityAmp = percentOf(block.velocityAmp);
    values_.velocityThreshold = percentOf(block.velocityThreshold);
    commitGlobalPage();
    loadSliders(block);
    values_.seed = block.seed;
    for (int beat = 0; beat < beatsPerMeasure(); ++beat)
        values_.accents[beat] = block.accents[beat];
    values_.program = block.program;
    values_.channel = block.channel;
    write();
    updatePianoRoll();
}

void CBlockPage::loadSliders(const Block& block) {
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        setSliderPosition(controls_.rhythm[k], inversePosition(block.rhythmDistribution[k]));
    }
    setSliderPosition(controls_.dotted, inversePosition(block.dottedProbability));
    setSliderPosition(controls_.triplets, inversePosition(block.tripletProbability));
    setSliderPosition(controls_.legato, percentOf(block.legato));
    setSliderPosition(controls_.accentLevel, percentOf(block.accentLevel));
}

void CBlockPage::save() {
    if (!read()) return;
    if (!blockValid(values_.currentBlock)) return;
    const std::int32_t saved = values_.currentBlock;
    storeBlock(song()->blocks[saved]);
    const Block& block = song()->blocks[saved];
    refresh();
    values_.currentBlock = saved;
    values_.melodySequence = block.melodySequence;
    values_.velocitySequence = block.velocitySequence;
    write();
    updatePianoRoll();
}

// Starts from the Block defaults, so accents beyond the metre are stored off.
void CBlockPage::storeBlock(Block& block) {
    blockReset(block);
    setDescription(block.description, toDocumentText(values_.description));
    block.scaleKey = std::max(values_.scaleKey, 0);
    block.scaleType = std::max(values_.scaleType, 0);
    block.lengthMeasures = std::max(values_.lengthIndex, 0) + 1;
    block.melodySequence = clampedSequence(values_.melodySequence, sequenceCount());
    block.melodyRange = values_.melodyRange;
    block.melodyOffset = values_.melodyOffset;
    block.velocitySequence = clampedSequence(values_.velocitySequence, sequenceCount());
    block.velocityRange = values_.velocityRange;
    block.velocityAmp = values_.velocityAmp / 100.0;
    block.velocityThreshold = values_.velocityThreshold / 100.0;
    commitGlobalPage();
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        block.rhythmDistribution[k] = inverseValue(sliderPosition(controls_.rhythm[k]));
    }
    block.dottedProbability = inverseValue(sliderPosition(controls_.dotted));
    block.tripletProbability = inverseValue(sliderPosition(controls_.triplets));
    block.legato = sliderPosition(controls_.legato) / 100.0;
    block.seed = values_.seed;
    for (int beat = 0; beat < beatsPerMeasure(); ++beat)
        block.accents[beat] = values_.accents[beat];
    block.accentLevel = sliderPosition(controls_.accentLevel) / 100.0;
    block.program = std::max(values_.program, 0);
    block.channel = std::max(values_.channel, 0);
}

bool CBlockPage::newBlock() {
    Song* current = song();
    if (!current) return false;
    if (blockCount() >= kMaxBlocks) {
        prompts().message(QStringLiteral("There are already %1 blocks").arg(kMaxBlocks));
        return false;
    }
    if (sequenceCount() <= 0) {
        prompts().message(QStringLiteral("No microsequences have been defined."));
        return false;
    }
    const std::int32_t index = blockCount();
    blockMakeNew(current->blocks[index], index);
    current->blockCount = index + 1;
    refresh();
    values_.currentBlock = index;
    write();
    load();
    return true;
}

// Macrosequences stay where they are: track i arranges whatever block now
// sits in slot i, as documents rely on.
void CBlockPage::deleteBlock() {
    read();
    if (!blockValid(values_.currentBlock)) return;
    Song& current = *song();
    const std::int32_t count = blockCount();
    auto& blocks = current.blocks;
    std::move(blocks.begin() + values_.currentBlock + 1, blocks.begin() + count,
              blocks.begin() + values_.currentBlock);
    blockReset(blocks[count - 1]);
    current.blockCount = count - 1;
    refresh();
    load();
}

void CBlockPage::clampCenter() {
    read();
    commitGlobalPage();
    if (const Song* current = song()) {
        const std::int32_t lowest = current->minNoteExponent - kMinNoteExponent;
        const std::int32_t highest = current->maxNoteExponent - kMinNoteExponent;
        if (values_.centerIndex < lowest) values_.centerIndex = lowest;
        if (values_.centerIndex > highest) values_.centerIndex = highest;
    }
    write();
}

void CBlockPage::applyCurve() {
    clampCenter();
    const Song* current = song();
    const std::int32_t curve = values_.curveIndex;
    if (!current || curve < 0 || curve >= kCurveCount) return;
    const std::int32_t center = values_.centerIndex;
    const std::int32_t lowest = std::max(current->minNoteExponent - kMinNoteExponent, 0);
    const std::int32_t highest =
        std::min(current->maxNoteExponent - kMinNoteExponent, kNoteValueCount - 1);
    std::array<double, kNoteValueCount> v{};
    if (curve == kFixedValue) {
        if (center >= 0 && center < kNoteValueCount) v[center] = 1.0;
    } else if (curve == kHomogenous) {
        for (std::int32_t k = lowest; k <= highest; ++k) v[k] = 1.0;
    } else {
        const std::int32_t shape = (curve - kFirstGaussian) % 3;
        const double factor = kGaussianFactors[shape];
        for (std::int32_t k = lowest; k <= highest; ++k) {
            const double d = k - center;
            v[k] = std::exp(-factor * d * d);
        }
        if (curve >= kFirstSlow) {
            for (std::int32_t k = std::max(center, lowest); k <= highest; ++k) v[k] = 1.0;
        } else if (curve >= kFirstAccelerated) {
            for (std::int32_t k = lowest; k < center && k <= highest; ++k) v[k] = 1.0;
        }
    }
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        setSliderPosition(controls_.rhythm[k], kMaxSliderPosition - static_cast<int>(v[k] * 100.0));
    }
    normalize();
}

void CBlockPage::normalize() {
    std::array<double, kNoteValueCount> v{};
    double sum = 0.0;
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        v[k] = inverseValue(sliderPosition(controls_.rhythm[k]));
        sum += v[k];
    }
    if (sum == 0.0) return;
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        setSliderPosition(controls_.rhythm[k],
                          kMaxSliderPosition - static_cast<int>(v[k] / sum * 100.0 + 0.5));
    }
}

void CBlockPage::listen() {
    const bool readable = read();  // a field that does not read keeps the value it had
    if (isPlaying()) {
        stop();
        return;
    }
    if (!blockValid(values_.currentBlock)) return;
    commitGlobalPage();
    normalize();
    // A field that does not read has been pointed out already; the block then
    // plays as last saved.
    if (readable) save();

    std::optional<std::int32_t> metronome;
    if (values_.metronome) metronome = kMetronomeMaxPosition - global_.metronomePosition();
    const auto rendered = renderAudition(session_->song(), *song(), values_.currentBlock, metronome,
                                         midiSettings().ppqnSetting);
    if (!rendered) {
        switch (rendered.error().code) {
            case ErrorCode::kMelodySequence:
                prompts().message(
                    QStringLiteral("Not enough memory to calculate the melody sequence."));
                session_->stop();
                return;
            case ErrorCode::kVelocitySequence:
                prompts().message(
                    QStringLiteral("Not enough memory to calculate the velocity sequence."));
                session_->stop();
                return;
            case ErrorCode::kNotesOutOfMemory:
                prompts().message(
                    QStringLiteral("Unable to generate MIDI data. Not enough memory."));
                session_->stop();
                return;
            default:
                // The track that could not be held stays empty; the rest plays.
                prompts().message(QStringLiteral("Not enough memory to generate MIDI data."));
                break;
        }
    }
    if (!session_->play(values_.loop, global_.sendMidiClock())) return;
    controls_.listen->setText(QStringLiteral("Stop"));
}

void CBlockPage::stop() {
    session_->stop();
    showStopped();
}

void CBlockPage::showStopped() {
    controls_.listen->setText(QStringLiteral("Listen"));
}

void CBlockPage::randomize() {
    if (blockCount() <= 0) return;
    commitGlobalPage();
    const Song& current = *song();
    randomSeedFromTime();
    values_.scaleKey = drawBelow(12);
    values_.scaleType = drawBelow(4);
    values_.lengthIndex = drawBelow(kMaxLengthMeasures);
    values_.melodySequence = drawBelow(sequenceCount());
    values_.melodyRange = drawBelow(24) + 1;
    values_.melodyOffset = drawBelow(24) - 12;
    values_.velocitySequence = drawBelow(sequenceCount());
    values_.velocityRange = drawBelow(60) + 1;
    values_.velocityAmp = drawBelow(200) + 100;
    values_.velocityThreshold = drawBelow(20) + 1;
    values_.centerIndex = drawBelow(current.maxNoteExponent - current.minNoteExponent + 1) +
                          current.minNoteExponent - kMinNoteExponent;
    values_.curveIndex = drawBelow(kCurveCount);
    setSliderPosition(controls_.dotted, drawBelow(100));
    setSliderPosition(controls_.triplets, drawBelow(100));
    setSliderPosition(controls_.legato, drawBelow(100));
    values_.seed = drawBelow(kSeedSpan);
    for (int beat = 0; beat < beatsPerMeasure(); ++beat) values_.accents[beat] = randomNext() > 0.5;
    setSliderPosition(controls_.accentLevel, drawBelow(100));
    write();
    applyCurve();
}

// Only the "Seed" edit changes: what the user typed elsewhere stays.
void CBlockPage::drawRandomSeed() {
    values_.seed = drawBelow(kSeedSpan);
    controls_.seed->setText(QString::number(values_.seed));
}

void CBlockPage::copyBlock() {
    read();
    CCopyDialog dialog(prompts(), song(), CopyMode::Block, values_.currentBlock, this);
    if (dialog.exec() != QDialog::Accepted) return;
    copyRecord(dialog.sourceIndex(), dialog.destinationIndex());
}

void CBlockPage::copyRecord(std::int32_t source, std::int32_t destination) {
    if (!blockValid(source) || destination < 0 || destination > blockCount()) return;
    if (destination == blockCount() && !newBlock()) return;
    values_.currentBlock = source;
    write();
    load();
    values_.description =
        (kCopyPrefix + values_.description).left(static_cast<qsizetype>(kDescriptionLength));
    values_.currentBlock = destination;
    values_.channel = song()->blocks[destination].channel;
    write();
    save();
}

void CBlockPage::updatePianoRoll() {
    Song* current = song();
    if (!current || !blockValid(values_.currentBlock)) {
        controls_.pianoRoll->showNothing(kNoBlocks);
        return;
    }
    const std::int32_t ppqn = midiSettings().ppqnSetting;
    MidiSong rendered;
    {
        // The picture takes no draws from the user's commands.
        const RandomSourceScope keepDraws;
        const auto result =
            renderAudition(rendered, *current, values_.currentBlock, std::nullopt, ppqn);
        if (!result) {
            const bool noValues = result.error().code == ErrorCode::kMelodySequence ||
                                  result.error().code == ErrorCode::kVelocitySequence;
            controls_.pianoRoll->showNothing(
                noValues ? QStringLiteral("The block's sequences give no values to play.")
                         : QStringLiteral("Not enough memory to show the notes."));
            return;
        }
    }
    const Block& block = current->blocks[values_.currentBlock];
    PianoRollFrame frame;
    frame.ticksPerBeat = static_cast<std::uint32_t>(ppqn);
    frame.beatsPerMeasure = current->beatsPerMeasure;
    frame.beats = std::clamp(block.lengthMeasures, 1, kMaxLengthMeasures) * beatsPerMeasure();
    controls_.pianoRoll->showNotes(std::move(rendered.tracks[kAuditionBlockTrack].events), frame);
}

}  // namespace halvorn
