// The widgets of the Macrosequences page, their layout and their wiring;
// what they do is macro_page.cpp.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "ui/fields/field_names.h"
#include "ui/fields/page_widgets.h"
#include "ui/fields/panel_fields.h"
#include "ui/fields/slider_position.h"
#include "ui/fields/spin_field.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/session/playback_session.h"
#include "ui/views/arrangement_captions.h"
#include "ui/views/arrangement_display.h"

namespace halvorn {
namespace {

constexpr std::array<const char*, kAlignChoices> kAlignItems = {
    "1 measure",  "2 measures", "3 measures", "4 measures",
    "5 measures", "6 measures", "7 measures", "8 measures"};

// A narrow edit of at most `digits` digits.
QLineEdit* makeDigitsEdit(QWidget* parent, int digits) {
    QLineEdit* edit = makeIntegerEdit(parent);
    edit->setMaxLength(digits);
    fitToDigits(edit, digits);
    return edit;
}

}  // namespace

QLayout* CMacroPage::buildLeftColumn() {
    auto* column = new QVBoxLayout;
    auto* blockRow = new QHBoxLayout;
    controls_.block = new QComboBox(this);
    controls_.block->setMinimumContentsLength(26);
    controls_.block->setToolTip(
        QStringLiteral("The block whose track (macrosequence) this page edits"));
    blockRow->addWidget(caption(QStringLiteral("Block:"), this, controls_.block));
    blockRow->addWidget(controls_.block, 1);
    column->addLayout(blockRow);
    auto* trackRow = new QHBoxLayout;
    controls_.muteTrack = new QCheckBox(QStringLiteral("Mute Track"), this);
    controls_.save = new QPushButton(QStringLiteral("Save"), this);
    controls_.muteTrack->setToolTip(
        QStringLiteral("Leave this track out when the song plays (Save MIDI keeps it)"));
    controls_.save->setToolTip(
        QStringLiteral("Store the fields of this page into the track shown"));
    trackRow->addWidget(controls_.muteTrack);
    trackRow->addStretch();
    trackRow->addWidget(controls_.save);
    column->addLayout(trackRow);
    column->addWidget(buildPropertiesGroup());
    column->addWidget(buildAlignmentGroup());
    column->addWidget(buildStretchGroup(), 1);
    return column;
}

QGroupBox* CMacroPage::buildPropertiesGroup() {
    auto* group = new QGroupBox(QStringLiteral("Properties"), this);
    auto* grid = new QGridLayout(group);
    controls_.volume = makeVerticalSlider(group);
    controls_.probability = makeVerticalSlider(group);
    controls_.volume->setMinimumHeight(120);
    controls_.probability->setMinimumHeight(120);
    controls_.volume->setToolTip(
        QStringLiteral("MIDI volume of the track, 0 to 100% (top is loudest)"));
    controls_.probability->setToolTip(QStringLiteral(
        "Chance that the block is placed at each Align-to step, 0 to 100% (top: always)"));
    grid->addWidget(centredCaption(QStringLiteral("Volume"), group, controls_.volume), 0, 0);
    grid->addWidget(centredCaption(QStringLiteral("Probability"), group, controls_.probability), 0,
                    1);
    grid->addWidget(controls_.volume, 1, 0, Qt::AlignHCenter);
    grid->addWidget(controls_.probability, 1, 1, Qt::AlignHCenter);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.seed = makeDigitsEdit(group, 10);
    controls_.seed->setToolTip(QStringLiteral(
        "Seed of the track's placement draws, any whole number: the same seed, the same track"));
    form->addRow(caption(QStringLiteral("Seed"), group, controls_.seed), controls_.seed);
    controls_.panning = new QSlider(Qt::Horizontal, group);
    controls_.panning->setRange(0, kMaxSliderPosition);
    controls_.panning->setToolTip(
        QStringLiteral("Stereo position of the track, from left (0%) to right (100%)"));
    auto* panning = new QHBoxLayout;
    panning->addWidget(caption(QStringLiteral("Panning"), group, controls_.panning));
    panning->addWidget(controls_.panning, 1);
    grid->addLayout(form, 1, 2, Qt::AlignVCenter);
    grid->addLayout(panning, 2, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return group;
}

QGroupBox* CMacroPage::buildAlignmentGroup() {
    auto* group = new QGroupBox(QStringLiteral("Alignment"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.alignTo = new QComboBox(group);
    for (const char* item : kAlignItems) controls_.alignTo->addItem(QString::fromLatin1(item));
    controls_.displacement = makeDigitsEdit(group, 1);
    controls_.alignTo->setToolTip(QStringLiteral(
        "Grid the block may start on, every 1 to 8 measures; each step draws Probability"));
    controls_.displacement->setToolTip(
        QStringLiteral("Measures every placement is shifted later, 0 to 7"));
    form->addRow(caption(QStringLiteral("Align to:"), group, controls_.alignTo), controls_.alignTo);
    form->addRow(caption(QStringLiteral("Displacement:"), group, controls_.displacement),
                 withUnit(controls_.displacement, QStringLiteral("measures"), group));
    return group;
}

QGroupBox* CMacroPage::buildStretchGroup() {
    auto* group = new QGroupBox(QStringLiteral("Stretching probabilities"), this);
    auto* grid = new QGridLayout(group);
    const std::array<const char*, kStretchChoices> names = {"1x", "2x", "4x", "8x"};
    for (int i = 0; i < kStretchChoices; ++i) {
        controls_.stretch[i] = makeVerticalSlider(group);
        controls_.stretch[i]->setToolTip(
            QStringLiteral("Chance that a placement plays the block %1 as slow, 0 to 100% (top: "
                           "always)")
                .arg(QString::fromLatin1(names[static_cast<std::size_t>(i)])));
        grid->addWidget(controls_.stretch[i], 0, i, Qt::AlignHCenter);
        grid->addWidget(centredCaption(QString::fromLatin1(names[static_cast<std::size_t>(i)]),
                                       group, controls_.stretch[i]),
                        1, i);
    }
    controls_.normalize = new QPushButton(QStringLiteral("Normalize"), group);
    controls_.normalize->setToolTip(
        QStringLiteral("Scale the four stretching sliders so their chances add up to 100%"));
    grid->addWidget(controls_.normalize, 0, kStretchChoices, 2, 1, Qt::AlignVCenter);
    grid->setRowStretch(0, 1);
    return group;
}

QGroupBox* CMacroPage::buildGeneralGroup() {
    auto* group = new QGroupBox(QStringLiteral("General"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.totalLength = makeDigitsEdit(group, 3);
    controls_.totalLength->setToolTip(
        QStringLiteral("Length of the whole song in measures, 1 to 999"));
    QWidget* spin = makeSpinField(controls_.totalLength, 1, kMaxTotalLength, group);
    form->addRow(caption(QStringLiteral("Total Length:"), group, controls_.totalLength),
                 withUnit(spin, QStringLiteral("measures"), group));
    nameField(spin, controls_.totalLength->accessibleName());  // the edit and its buttons
    controls_.regenerate = new QPushButton(QStringLiteral("Regenerate"), group);
    controls_.loop = new QCheckBox(QStringLiteral("Loop"), group);
    controls_.regenerate->setToolTip(QStringLiteral(
        "Save the track, place every track's block anew from its seed and redraw the arrangement"));
    controls_.loop->setToolTip(QStringLiteral("Play the song again and again until Stop"));
    auto* row = new QHBoxLayout;
    row->addWidget(controls_.regenerate);
    row->addWidget(controls_.loop);
    row->addStretch();
    form->addRow(row);
    return group;
}

QGroupBox* CMacroPage::buildMidiGroup() {
    auto* group = new QGroupBox(QStringLiteral("MIDI"), this);
    auto* column = new QVBoxLayout(group);
    auto* buttons = new QHBoxLayout;
    controls_.play = new QPushButton(QStringLiteral("Play"), group);
    controls_.saveMidi = new QPushButton(QStringLiteral("Save MIDI"), group);
    controls_.exportAudio = new QPushButton(QStringLiteral("Export Audio..."), group);
    controls_.play->setToolTip(
        QStringLiteral("Play the whole song on the Global page's port; Stop ends it"));
    controls_.saveMidi->setToolTip(
        QStringLiteral("Write the whole song, muted tracks included, to a Standard MIDI File"));
    controls_.exportAudio->setToolTip(QStringLiteral("Play the whole song into a WAV audio file"));
    buttons->addWidget(controls_.play);
    buttons->addWidget(controls_.saveMidi);
    buttons->addWidget(controls_.exportAudio);
    buttons->addStretch();
    column->addLayout(buttons);
    controls_.progress = new QProgressBar(group);
    controls_.progress->setTextVisible(false);
    nameField(controls_.progress, QStringLiteral("Rendering progress"));
    controls_.progress->setToolTip(
        QStringLiteral("How far the whole song has been rendered for Play or Save MIDI"));
    column->addWidget(controls_.progress);
    return group;
}

void CMacroPage::connectControls() {
    connect(controls_.block, &QComboBox::currentIndexChanged, this, &CMacroPage::pickTrack);
    connect(controls_.save, &QPushButton::clicked, this, &CMacroPage::save);
    // Save drops the track's placements: the captions say so at once.
    connect(controls_.save, &QPushButton::clicked, controls_.captions,
            &CArrangementCaptions::refresh);
    connect(controls_.normalize, &QPushButton::clicked, this, &CMacroPage::normalize);
    connect(controls_.regenerate, &QPushButton::clicked, this, &CMacroPage::regenerate);
    connect(controls_.play, &QPushButton::clicked, this, &CMacroPage::play);
    connect(controls_.saveMidi, &QPushButton::clicked, this, &CMacroPage::saveMidi);
    connect(controls_.exportAudio, &QPushButton::clicked, this, &CMacroPage::exportAudio);
    connect(controls_.scrollLeft, &QToolButton::clicked, this, &CMacroPage::scrollLeft);
    connect(controls_.scrollRight, &QToolButton::clicked, this, &CMacroPage::scrollRight);
    // The keys and the wheel over the arrangement scroll as the arrows do.
    connect(controls_.display, &CArrangementDisplay::scrollRequested, this, [this](int measures) {
        for (int step = 0; step < std::abs(measures); ++step) {
            if (measures < 0)
                scrollLeft();
            else
                scrollRight();
        }
    });
}

}  // namespace halvorn
