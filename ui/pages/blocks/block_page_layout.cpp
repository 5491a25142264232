// The widgets of the Blocks page, their layout and their wiring; what they
// do is block_page.cpp.
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

#include "midi/program_names.h"
#include "ui/fields/document_text.h"
#include "ui/fields/field_names.h"
#include "ui/fields/page_widgets.h"
#include "ui/fields/panel_fields.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/session/playback_session.h"
#include "ui/views/piano_roll_view.h"

namespace halvorn {
namespace {

constexpr std::int32_t kChannelCount = 16;

// Scale names as this page lists them.
constexpr std::array<const char*, 4> kScaleTypeItems = {"Cromática", "Mayor", "Menor",
                                                        "Pentatónica"};
constexpr std::array<const char*, kCurveCount> kCurveItems = {
    "Fixed Value",   "Homogenous",    "Gaussian 1", "Gaussian 2", "Gaussian 3", "Accelerated 1",
    "Accelerated 2", "Accelerated 3", "Slow 1",     "Slow 2",     "Slow 3"};

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

// The "Sequence:" list and "Range:" edit that open the melody and velocity
// groups; the group's title tells the two pairs apart by name.
QFormLayout* sequenceRangeForm(QGroupBox* group, QComboBox*& sequence, QLineEdit*& range,
                               const QString& sequenceTip, const QString& rangeTip) {
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    sequence = new QComboBox(group);
    sequence->setMinimumContentsLength(24);
    range = makeNumberEdit(group, 3);
    sequence->setToolTip(sequenceTip);
    range->setToolTip(rangeTip);
    form->addRow(caption(QStringLiteral("Sequence:"), group, sequence), sequence);
    form->addRow(caption(QStringLiteral("Range:"), group, range), range);
    nameField(sequence, group->title() + QStringLiteral(" sequence"));
    nameField(range, group->title() + QStringLiteral(" range"));
    return form;
}

}  // namespace

QLayout* CBlockPage::buildBlockRow() {
    auto* row = new QHBoxLayout;
    controls_.block = new QComboBox(this);
    controls_.block->setMinimumContentsLength(34);
    controls_.newBlock = new QPushButton(QStringLiteral("New Block"), this);
    controls_.save = new QPushButton(QStringLiteral("Save"), this);
    controls_.deleteBlock = new QPushButton(QStringLiteral("Delete Block"), this);
    controls_.block->setToolTip(
        QStringLiteral("The song's blocks (up to 16): choose the one to edit on this page"));
    controls_.newBlock->setToolTip(
        QStringLiteral("Add a new block, on a MIDI channel of its own, to the song and show it"));
    controls_.save->setToolTip(
        QStringLiteral("Store every field of this page into the block shown"));
    controls_.deleteBlock->setToolTip(QStringLiteral(
        "Remove the block shown at once; later blocks move up, the tracks stay in place"));
    row->addWidget(caption(QStringLiteral("Block:"), this, controls_.block));
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
    controls_.description->setToolTip(
        QStringLiteral("Name of the block as the lists show it, up to 30 characters"));
    form->addRow(caption(QStringLiteral("Description:"), group, controls_.description),
                 controls_.description);

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
    controls_.scaleKey->setToolTip(
        QStringLiteral("The key stored with the block, which does not play: the song's scale on "
                       "the Global page does"));
    controls_.scaleType->setToolTip(
        QStringLiteral("The kind of scale stored with the block, which does not play: the song's "
                       "scale on the Global page does"));
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(controls_.scaleKey);
    scaleRow->addWidget(controls_.scaleType);
    scaleRow->addStretch();
    form->addRow(caption(QStringLiteral("Scale:"), group, controls_.scaleKey), scaleRow);
    nameField(controls_.scaleKey, QStringLiteral("Scale key"));
    nameField(controls_.scaleType, QStringLiteral("Scale type"));

    controls_.length = makeList(numberItems(1, kMaxBlockMeasures), group);
    controls_.length->setToolTip(QStringLiteral(
        "Length of the block in measures, 1 to 8; a track places it this long in the song"));
    form->addRow(caption(QStringLiteral("Length:"), group, controls_.length),
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
    controls_.curve->setToolTip(QStringLiteral(
        "Shape to set the rhythm sliders of the block shown to, around the Center note value"));
    controls_.center->setToolTip(QStringLiteral(
        "Note value the chosen Curve peaks at, within the Global page's note range"));
    controls_.seed->setToolTip(QStringLiteral(
        "Seed of the block's rhythm draws, any whole number: the same seed, the same rhythm"));
    controls_.normalize->setToolTip(
        QStringLiteral("Scale the ten rhythm sliders so their chances add up to 100%"));
    form->addRow(caption(QStringLiteral("Curve:"), group, controls_.curve), controls_.curve);
    form->addRow(caption(QStringLiteral("Center:"), group, controls_.center), controls_.center);
    form->addRow(caption(QStringLiteral("Seed"), group, controls_.seed), controls_.seed);
    form->addRow(controls_.normalize);
    columns->addLayout(form);

    auto* sliders = new QGridLayout;
    sliders->setHorizontalSpacing(2);
    const QStringList names = noteValueItems();
    // Each column a little wider than the widest name, so that the names
    // never touch.
    const int columnWidth = group->fontMetrics().horizontalAdvance(QStringLiteral("1/64")) + 6;
    for (int k = 0; k < kNoteValueCount; ++k) {
        controls_.rhythm[k] = makeVerticalSlider(group);
        controls_.rhythm[k]->setToolTip(
            QStringLiteral("Chance of %1 notes in the block's rhythm, 0 to 100% (top is most)")
                .arg(names[k]));
        sliders->addWidget(controls_.rhythm[k], 0, k, Qt::AlignHCenter);
        controls_.rhythmNames[k] = centredCaption(names[k], group, controls_.rhythm[k]);
        sliders->addWidget(controls_.rhythmNames[k], 1, k);
        sliders->setColumnMinimumWidth(k, columnWidth);
    }
    columns->addLayout(sliders, 1);
    return group;
}

QGroupBox* CBlockPage::buildMelodyGroup() {
    auto* group = new QGroupBox(QStringLiteral("Melody"), this);
    QFormLayout* form = sequenceRangeForm(
        group, controls_.melodySequence, controls_.melodyRange,
        QStringLiteral("Microsequence whose values become the pitches of the block's notes"),
        QStringLiteral("Number of scale degrees the melody spans, 1 to 127"));
    controls_.melodyOffset = makeNumberEdit(group, 3);
    controls_.melodyOffset->setToolTip(QStringLiteral(
        "Scale degrees added to every note of the melody, -48 to 48 (7 is an octave in major)"));
    form->addRow(caption(QStringLiteral("Offset:"), group, controls_.melodyOffset),
                 controls_.melodyOffset);
    return group;
}

QGroupBox* CBlockPage::buildVelocityGroup() {
    auto* group = new QGroupBox(QStringLiteral("Velocity"), this);
    QFormLayout* form = sequenceRangeForm(
        group, controls_.velocitySequence, controls_.velocityRange,
        QStringLiteral("Microsequence whose values become the loudness of the block's notes"),
        QStringLiteral("Width of the velocity band in percent, 1 to 100: less keeps notes loud "
                       "and even"));
    controls_.velocityAmp = makeNumberEdit(group, 3);
    controls_.velocityThreshold = makeNumberEdit(group, 3);
    controls_.velocityAmp->setToolTip(QStringLiteral(
        "Multiplies the velocity sequence, 1 to 300%; results above full loudness are cut"));
    controls_.velocityThreshold->setToolTip(
        QStringLiteral("Notes of the velocity sequence below this level, 0 to 100%, are silenced"));
    form->addRow(caption(QStringLiteral("Amp:"), group, controls_.velocityAmp),
                 withUnit(controls_.velocityAmp, QStringLiteral("%"), group));
    form->addRow(caption(QStringLiteral("Threshold:"), group, controls_.velocityThreshold),
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
    const std::array<QString, 3> tips = {
        QStringLiteral("Chance that a note is dotted (half as long again), 0 to 100% (top: all)"),
        QStringLiteral("Chance that notes come as triplets, 0 to 100% (top: all)"),
        QStringLiteral("How long each note sounds, 0 to 100% of its length (bottom: full length)")};
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        *columns[c].slider = makeVerticalSlider(group);
        (*columns[c].slider)->setToolTip(tips[static_cast<std::size_t>(c)]);
        grid->addWidget(
            centredCaption(QString::fromLatin1(columns[c].name), group, *columns[c].slider), 0, c);
        grid->addWidget(centredCaption(QString::fromLatin1(columns[c].top), group), 1, c);
        grid->addWidget(*columns[c].slider, 2, c, Qt::AlignHCenter);
        grid->addWidget(centredCaption(QString::fromLatin1(columns[c].bottom), group), 3, c);
    }
    grid->setRowStretch(2, 1);
    // Its top is the shortest: a screen reader hears the percent of the
    // note's length, as the tooltip counts it.
    speakReversed(controls_.legato);
    return group;
}

QGroupBox* CBlockPage::buildAccentGroup() {
    auto* group = new QGroupBox(QStringLiteral("Accent"), this);
    auto* column = new QVBoxLayout(group);
    auto* boxes = new QHBoxLayout;
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        controls_.accents[beat] = new QCheckBox(QString::number(beat + 1), group);
        controls_.accents[beat]->setToolTip(
            QStringLiteral("Accent notes that start on beat %1 of each measure").arg(beat + 1));
        // "1" alone would be the "1" rhythm slider's name too.
        nameField(controls_.accents[beat], QStringLiteral("Accent beat %1").arg(beat + 1));
        boxes->addWidget(controls_.accents[beat]);
    }
    column->addLayout(boxes);
    auto* level = new QHBoxLayout;
    controls_.accentLevel = new QSlider(Qt::Horizontal, group);
    controls_.accentLevel->setRange(0, kMaxSliderPosition);
    setSliderPosition(controls_.accentLevel, 0);
    controls_.accentLevel->setToolTip(QStringLiteral(
        "Strength of the accents, 0 to 100%; notes between beats get softer by as much"));
    level->addWidget(caption(QStringLiteral("Accent Level"), group, controls_.accentLevel));
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
    controls_.instrument->setToolTip(
        QStringLiteral("General MIDI instrument (program 0 to 127) that plays the block"));
    controls_.channel->setToolTip(QStringLiteral("MIDI channel the block plays on, 1 to 16"));
    controls_.metronome->setToolTip(
        QStringLiteral("Click every beat while listening (loudness set on the Global page)"));
    controls_.loop->setToolTip(QStringLiteral("Play the block again and again until Stop"));
    controls_.listen->setToolTip(
        QStringLiteral("Save the block and play it on the Global page's port; Stop ends it"));
    form->addRow(caption(QStringLiteral("Instrument:"), group, controls_.instrument),
                 controls_.instrument);
    form->addRow(caption(QStringLiteral("Channel:"), group, controls_.channel), controls_.channel);
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
    nameField(controls_.pianoRoll, QStringLiteral("Piano roll"));
    controls_.pianoRoll->setToolTip(
        QStringLiteral("The notes of the block as last saved: pitch upward, time to the right, "
                       "darker notes louder; lines mark the beats and measures (the arrow keys "
                       "go from note to note)"));
    layout->addWidget(controls_.pianoRoll);
    return group;
}

void CBlockPage::connectControls() {
    using Changed = void (QComboBox::*)(int);
    constexpr Changed changed = &QComboBox::currentIndexChanged;
    connect(controls_.block, changed, this, &CBlockPage::pickBlock);
    connect(controls_.center, changed, this, &CBlockPage::clampCenter);
    // Choosing a curve applies it, even the one shown: the sliders may have
    // moved since.
    connect(controls_.curve, &QComboBox::activated, this, &CBlockPage::applyCurve);
    connect(controls_.newBlock, &QPushButton::clicked, this, &CBlockPage::newBlock);
    connect(controls_.save, &QPushButton::clicked, this, &CBlockPage::save);
    connect(controls_.deleteBlock, &QPushButton::clicked, this, &CBlockPage::deleteBlock);
    connect(controls_.normalize, &QPushButton::clicked, this, &CBlockPage::normalize);
    connect(controls_.listen, &QPushButton::clicked, this, &CBlockPage::listen);
}

}  // namespace halvorn
