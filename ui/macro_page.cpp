#include "ui/macro_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
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
#include <algorithm>

#include "engine/arrangement.h"
#include "engine/arrangement_picture.h"
#include "engine/document_texts.h"
#include "midi/channel_setup.h"
#include "midi/midi_settings.h"
#include "midi/smf.h"
#include "model/random.h"
#include "ui/arrangement_display.h"
#include "ui/arrow_icons.h"
#include "ui/audio_export_run.h"
#include "ui/copy_dialog.h"
#include "ui/document_access.h"
#include "ui/global_page.h"
#include "ui/list_fields.h"
#include "ui/page_widgets.h"
#include "ui/panel_fields.h"
#include "ui/playback_session.h"
#include "ui/prompts.h"
#include "ui/slider_position.h"
#include "ui/spin_field.h"

namespace halvorn {
namespace {

constexpr double kSeedSpan = 1234567890.0;
// How often the display looks where the music is while it plays.
constexpr int kFollowIntervalMs = 40;

constexpr std::array<const char*, kAlignChoices> kAlignItems = {
    "1 measure",  "2 measures", "3 measures", "4 measures",
    "5 measures", "6 measures", "7 measures", "8 measures"};

const QString kUnableToGenerate = QStringLiteral("Unable to generate MIDI data");

// The progress bar under "Play" as the song rendering drives it.
class BarProgress final : public RenderProgress {
  public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void setRange(int lower, int upper) override { bar_->setRange(lower, upper); }
    void setStep(int step) override { step_ = step; }
    void setPosition(int position) override { bar_->setValue(position); }
    void stepOnce() override { bar_->setValue(std::min(bar_->value() + step_, bar_->maximum())); }

  private:
    QProgressBar* bar_;
    int step_ = 1;
};

// A narrow edit of at most `digits` digits.
QLineEdit* makeDigitsEdit(QWidget* parent, int digits) {
    QLineEdit* edit = makeIntegerEdit(parent);
    edit->setMaxLength(digits);
    fitToDigits(edit, digits);
    return edit;
}

QToolButton* makeArrowButton(ArrowIcon arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(arrowIcon(arrow));
    button->setIconSize(QSize(16, 16));
    button->setAutoRepeat(true);
    return button;
}

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CMacroPage::CMacroPage(AppContext& context, CGlobalPage& global, QWidget* parent)
    : CSheetPage(context, parent),
      global_(global),
      session_(new CPlaybackSession(context.sessions, this)),
      followTimer_(new QTimer(this)) {
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(buildLeftColumn());
    columns->addLayout(buildRightColumn(), 1);
    connectControls();
    initialise();
}

CMacroPage::~CMacroPage() = default;

QLayout* CMacroPage::buildLeftColumn() {
    auto* column = new QVBoxLayout;
    auto* blockRow = new QHBoxLayout;
    controls_.block = new QComboBox(this);
    controls_.block->setMinimumContentsLength(26);
    blockRow->addWidget(caption(QStringLiteral("Block:"), this));
    blockRow->addWidget(controls_.block, 1);
    column->addLayout(blockRow);
    auto* trackRow = new QHBoxLayout;
    controls_.muteTrack = new QCheckBox(QStringLiteral("Mute Track"), this);
    controls_.save = new QPushButton(QStringLiteral("Save"), this);
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
    grid->addWidget(centredCaption(QStringLiteral("Volume"), group), 0, 0);
    grid->addWidget(centredCaption(QStringLiteral("Probability"), group), 0, 1);
    grid->addWidget(controls_.volume, 1, 0, Qt::AlignHCenter);
    grid->addWidget(controls_.probability, 1, 1, Qt::AlignHCenter);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.seed = makeDigitsEdit(group, 10);
    form->addRow(caption(QStringLiteral("Seed"), group), controls_.seed);
    controls_.panning = new QSlider(Qt::Horizontal, group);
    controls_.panning->setRange(0, kMaxSliderPosition);
    auto* panning = new QHBoxLayout;
    panning->addWidget(caption(QStringLiteral("Panning"), group));
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
    form->addRow(caption(QStringLiteral("Align to:"), group), controls_.alignTo);
    form->addRow(caption(QStringLiteral("Displacement:"), group),
                 withUnit(controls_.displacement, QStringLiteral("measures"), group));
    return group;
}

QGroupBox* CMacroPage::buildStretchGroup() {
    auto* group = new QGroupBox(QStringLiteral("Stretching probabilities"), this);
    auto* grid = new QGridLayout(group);
    const std::array<const char*, kStretchChoices> names = {"1x", "2x", "4x", "8x"};
    for (int i = 0; i < kStretchChoices; ++i) {
        controls_.stretch[i] = makeVerticalSlider(group);
        grid->addWidget(controls_.stretch[i], 0, i, Qt::AlignHCenter);
        grid->addWidget(centredCaption(QString::fromLatin1(names[i]), group), 1, i);
    }
    controls_.normalize = new QPushButton(QStringLiteral("Normalize"), group);
    grid->addWidget(controls_.normalize, 0, kStretchChoices, 2, 1, Qt::AlignVCenter);
    grid->setRowStretch(0, 1);
    return group;
}

QLayout* CMacroPage::buildRightColumn() {
    auto* column = new QVBoxLayout;
    controls_.display = new CArrangementDisplay(prompts(), this);
    controls_.display->setSongSource([this]() -> const Song* { return currentSong(); });
    column->addWidget(controls_.display, 1);
    auto* scrollRow = new QHBoxLayout;
    controls_.scrollLeft = makeArrowButton(ArrowIcon::Left, this);
    controls_.positionBar = new QProgressBar(this);
    controls_.positionBar->setTextVisible(false);
    controls_.positionBar->setMaximumHeight(controls_.scrollLeft->sizeHint().height() / 2);
    controls_.scrollRight = makeArrowButton(ArrowIcon::Right, this);
    scrollRow->addWidget(controls_.scrollLeft);
    scrollRow->addWidget(controls_.positionBar, 1);
    scrollRow->addWidget(controls_.scrollRight);
    column->addLayout(scrollRow);
    auto* groups = new QHBoxLayout;
    groups->addWidget(buildGeneralGroup());
    groups->addWidget(buildMidiGroup(), 1);
    column->addLayout(groups);
    return column;
}

QGroupBox* CMacroPage::buildGeneralGroup() {
    auto* group = new QGroupBox(QStringLiteral("General"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    controls_.totalLength = makeDigitsEdit(group, 3);
    QWidget* spin = makeSpinField(controls_.totalLength, 1, kMaxTotalLength, group);
    form->addRow(caption(QStringLiteral("Total Length:"), group),
                 withUnit(spin, QStringLiteral("measures"), group));
    controls_.regenerate = new QPushButton(QStringLiteral("Regenerate"), group);
    controls_.loop = new QCheckBox(QStringLiteral("Loop"), group);
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
    buttons->addWidget(controls_.play);
    buttons->addWidget(controls_.saveMidi);
    buttons->addWidget(controls_.exportAudio);
    buttons->addStretch();
    column->addLayout(buttons);
    controls_.progress = new QProgressBar(group);
    controls_.progress->setTextVisible(false);
    column->addWidget(controls_.progress);
    return group;
}

void CMacroPage::connectControls() {
    connect(controls_.block, &QComboBox::currentIndexChanged, this, &CMacroPage::load);
    connect(controls_.save, &QPushButton::clicked, this, &CMacroPage::save);
    connect(controls_.normalize, &QPushButton::clicked, this, &CMacroPage::normalize);
    connect(controls_.regenerate, &QPushButton::clicked, this, &CMacroPage::regenerate);
    connect(controls_.play, &QPushButton::clicked, this, &CMacroPage::play);
    connect(controls_.saveMidi, &QPushButton::clicked, this, &CMacroPage::saveMidi);
    connect(controls_.exportAudio, &QPushButton::clicked, this, &CMacroPage::exportAudio);
    connect(controls_.scrollLeft, &QToolButton::clicked, this, &CMacroPage::scrollLeft);
    connect(controls_.scrollRight, &QToolButton::clicked, this, &CMacroPage::scrollRight);
    connect(session_, &CPlaybackSession::stopped, this, &CMacroPage::showStopped);
    connect(followTimer_, &QTimer::timeout, this, &CMacroPage::followPlayback);
}

// The sheet makes its pages before any document is loaded: the lists and
// the song's values reach the page when it is first shown.
void CMacroPage::initialise() {
    values_ = MacroPageValues{};
    values_.currentTrack = -1;
    setSliderPosition(controls_.volume, 0);
    setSliderPosition(controls_.probability, 0);
    setSliderPosition(controls_.panning, kMaxSliderPosition / 2);
    for (QSlider* slider : controls_.stretch) setSliderPosition(slider, kMaxSliderPosition);
    setSliderPosition(controls_.stretch[0], 0);
    controls_.display->setUp();
    setScrollRange(1);
    showFirstVisibleMeasure(1);
    write();
}

bool CMacroPage::trackValid(std::int32_t index) const {
    return index >= 0 && index < currentBlockCount();
}

bool CMacroPage::isPlaying() const {
    return session_->isPlaying();
}

std::int32_t CMacroPage::firstVisibleMeasure() const {
    return controls_.display->firstVisibleMeasure();
}

bool CMacroPage::read() {
    if (!readIntegerField(prompts(), controls_.totalLength, 1, kMaxTotalLength,
                          values_.totalLength))
        return false;
    values_.alignIndex = controls_.alignTo->currentIndex();
    values_.currentTrack = controls_.block->currentIndex();
    if (!readIntegerField(prompts(), controls_.seed, values_.seed)) return false;
    values_.muted = controls_.muteTrack->isChecked();
    if (!readIntegerField(prompts(), controls_.displacement, 0, kMaxDisplacement,
                          values_.displacement))
        return false;
    values_.loop = controls_.loop->isChecked();
    return true;
}

void CMacroPage::write() {
    controls_.totalLength->setText(QString::number(values_.totalLength));
    selectIndex(controls_.alignTo, values_.alignIndex);
    selectIndex(controls_.block, values_.currentTrack);
    controls_.seed->setText(QString::number(values_.seed));
    controls_.muteTrack->setChecked(values_.muted);
    controls_.displacement->setText(QString::number(values_.displacement));
    controls_.loop->setChecked(values_.loop);
}

void CMacroPage::turnedTo() {
    refresh();
    load();
}

void CMacroPage::refresh() {
    setListEntries(controls_.block,
                   recordListEntries(currentSong(), RecordKind::Block, currentBlockCount()));
    if (currentBlockCount() > 0) values_.currentTrack = 0;
    values_.alignIndex = 0;
    // Another document may be shorter than the window shown last.
    if (const Song* current = currentSong()) {
        const ArrangementScrollRange range = arrangementScrollRange(current->lengthMeasures);
        setScrollRange(current->lengthMeasures);
        showFirstVisibleMeasure(std::clamp(firstVisibleMeasure(), range.minimum, range.maximum));
    }
    write();
}

void CMacroPage::load() {
    read();  // a field that does not read keeps the value it had
    const Song* current = currentSong();
    if (!current) return;
    values_.totalLength = current->lengthMeasures;
    write();
    if (!trackValid(values_.currentTrack)) return;
    const Macrosequence& track = current->macrosequences[values_.currentTrack];
    values_.seed = track.seed;
    setSliderPosition(controls_.volume, inversePosition(track.volume));
    setSliderPosition(controls_.probability, inversePosition(track.probability));
    setSliderPosition(controls_.panning, percentOf(track.panning));
    values_.displacement = displacementMeasures(track.alignment);
    // A grid a foreign file may hold beyond the list shows as its nearest
    // entry, so a later Save stores a grid the list offers.
    values_.alignIndex = std::clamp(alignMeasures(track.alignment) - 1, 0, kAlignChoices - 1);
    for (int i = 0; i < kStretchChoices; ++i)
        setSliderPosition(controls_.stretch[i], inversePosition(track.stretchProbabilities[i]));
    values_.muted = track.muted != 0;
    write();
}

void CMacroPage::save() {
    if (!read()) return;
    if (!trackValid(values_.currentTrack)) return;
    Song& current = *currentSong();
    Macrosequence& track = current.macrosequences[values_.currentTrack];
    macrosequenceFree(track);
    current.lengthMeasures = values_.totalLength;
    track.seed = values_.seed;
    track.volume = inverseValue(sliderPosition(controls_.volume));
    track.probability = inverseValue(sliderPosition(controls_.probability));
    track.panning = sliderPosition(controls_.panning) / 100.0;
    track.alignment = makeAlignment(values_.alignIndex + 1, values_.displacement);
    normalize();
    for (int i = 0; i < kStretchChoices; ++i)
        track.stretchProbabilities[i] = inverseValue(sliderPosition(controls_.stretch[i]));
    track.muted = values_.muted ? 1 : 0;
}

// Truncation to whole percents of the exact shares: the sliders' hundredths
// are whole numbers, so a distribution already normalized stays as it is.
void CMacroPage::normalize() {
    std::array<int, kStretchChoices> hundredths{};
    int sum = 0;
    for (int i = 0; i < kStretchChoices; ++i) {
        hundredths[i] = kMaxSliderPosition - sliderPosition(controls_.stretch[i]);
        sum += hundredths[i];
    }
    if (sum <= 0) {
        setSliderPosition(controls_.stretch[0], 0);
        return;
    }
    for (int i = 0; i < kStretchChoices; ++i) {
        setSliderPosition(controls_.stretch[i],
                          kMaxSliderPosition - hundredths[i] * kMaxSliderPosition / sum);
    }
}

void CMacroPage::regenerate() {
    save();
    Song* current = currentSong();
    if (!current || currentBlockCount() <= 0) return;
    for (std::int32_t i = 0; i < currentBlockCount(); ++i) {
        macrosequencePlace(current->macrosequences[i], values_.totalLength,
                           current->blocks[i].lengthMeasures, current->beatsPerMeasure);
    }
    setScrollRange(values_.totalLength);
    showFirstVisibleMeasure(1);
    write();
    controls_.display->redraw();
}

void CMacroPage::setScrollRange(std::int32_t totalLength) {
    const ArrangementScrollRange range = arrangementScrollRange(totalLength);
    controls_.positionBar->setRange(range.minimum, range.maximum);
}

void CMacroPage::showFirstVisibleMeasure(std::int32_t measure) {
    controls_.positionBar->setValue(measure);
    controls_.display->setFirstVisibleMeasure(measure);
}

void CMacroPage::scrollLeft() {
    const std::int32_t measure = firstVisibleMeasure();
    if (arrangementScrollLeft(measure) == measure) return;
    showFirstVisibleMeasure(arrangementScrollLeft(measure));
    controls_.display->redraw();
}

void CMacroPage::scrollRight() {
    read();  // for the total length
    const std::int32_t measure = firstVisibleMeasure();
    const std::int32_t next = arrangementScrollRight(measure, values_.totalLength);
    if (next == measure) return;
    setScrollRange(values_.totalLength);
    showFirstVisibleMeasure(next);
    controls_.display->redraw();
}

bool CMacroPage::prepareSong(MidiSong& midi, bool forPlayback, bool saveTrack) {
    Song* current = currentSong();
    if (!current || currentBlockCount() <= 0) return false;
    global_.CommitToSong();
    normalize();
    if (saveTrack) save();
    BarProgress progress(controls_.progress);
    const auto rendered =
        renderSong(midi, *current, progress, forPlayback, midiSettings().ppqnSetting);
    if (!rendered) {
        prompts().message(QString::fromStdString(rendered.error().message));
        return false;
    }
    global_.CommitToSong();
    midiSongSetDocumentTexts(midi, *currentDocument());
    return true;
}

void CMacroPage::play() {
    const bool readable = read();  // a field that does not read keeps the value it had
    if (isPlaying()) {
        stop();
        return;
    }
    // A field that does not read has been pointed out already; the track
    // then plays as last saved.
    if (!prepareSong(session_->song(), true, readable)) {
        session_->stop();
        return;
    }
    if (!session_->play(values_.loop, global_.sendMidiClock())) return;
    controls_.play->setText(QStringLiteral("Stop"));
    followTimer_->start(kFollowIntervalMs);
}

void CMacroPage::stop() {
    session_->stop();
    showStopped();
}

void CMacroPage::showStopped() {
    followTimer_->stop();
    controls_.play->setText(QStringLiteral("Play"));
    controls_.display->setPlayPosition(std::nullopt);
    controls_.display->redraw();
}

// The play line at the song position being heard; when it leaves the window
// the window turns a page to show it.
void CMacroPage::followPlayback() {
    const auto ticks = session_->positionTicks();
    const Song* current = currentSong();
    if (!ticks || !current) return;
    const double beats = arrangementBeatsOfTicks(*ticks, session_->song().ppqn);
    const std::int32_t first = arrangementFirstMeasureShowing(
        firstVisibleMeasure(), current->lengthMeasures, current->beatsPerMeasure, beats);
    if (first != firstVisibleMeasure()) {
        setScrollRange(current->lengthMeasures);
        showFirstVisibleMeasure(first);
    }
    controls_.display->setPlayPosition(beats);
    controls_.display->redraw();
}

// The file gets its own rendering, so a song that plays meanwhile is never
// touched.
void CMacroPage::saveMidi() {
    const bool readable = read();
    MidiSong file;
    if (!prepareSong(file, false, readable)) {
        prompts().message(kUnableToGenerate);
        return;
    }
    if (midiSettings().sendInstruments && midiSongAddChannelSetupEvents(file) != MidiResult::kOk) {
        prompts().message(QStringLiteral("Not enough memory to generate MIDI data."));
        return;
    }
    const auto path = prompts().askSaveFile({.filterText = QStringLiteral("Archivos MIDI (*.mid)"),
                                             .filterPattern = QStringLiteral("*"),
                                             .defaultSuffix = QStringLiteral("mid")});
    if (!path) return;
    if (const auto saved = midiSongSave(localPath(*path), file); !saved)
        showFileError(prompts(), saved.error());
}

void CMacroPage::exportAudio() {
    if (!context().audioExport) {
        prompts().message(QStringLiteral("Audio export needs the built-in synthesizer."));
        return;
    }
    const bool shown = isVisible();
    const bool readable = shown && read();
    MidiSong piece;
    if (!prepareSong(piece, true, readable)) {
        prompts().message(kUnableToGenerate);
        return;
    }
    const auto path = prompts().askSaveFile({.filterText = QStringLiteral("Archivos WAV (*.wav)"),
                                             .filterPattern = QStringLiteral("*"),
                                             .defaultSuffix = QStringLiteral("wav")});
    if (!path) return;
    // The export plays the piece through the one playback of the process.
    const AudioExportResult result =
        runAudioExport(context().audioExport, piece, localPath(*path), this);
    if (result.outcome == AudioExportOutcome::kFailed) showFileError(prompts(), result.error);
}

// Only the "Seed" edit changes: what the user typed elsewhere stays.
void CMacroPage::drawRandomSeed() {
    values_.seed = static_cast<std::int32_t>(kSeedSpan * randomNext());
    controls_.seed->setText(QString::number(values_.seed));
}

void CMacroPage::copyTrack() {
    read();
    CCopyDialog dialog(prompts(), currentSong(), CopyMode::Macrosequence, values_.currentTrack,
                       this);
    if (dialog.exec() != QDialog::Accepted) return;
    copyRecord(dialog.sourceIndex(), dialog.destinationIndex());
}

void CMacroPage::copyRecord(std::int32_t source, std::int32_t destination) {
    if (!trackValid(source) || !trackValid(destination)) return;
    values_.currentTrack = source;
    write();
    load();
    values_.currentTrack = destination;
    write();
    save();
}

}  // namespace halvorn
