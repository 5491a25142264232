#include "ui/pages/macro/macro_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "edit/random_draws.h"
#include "engine/arrangement.h"
#include "engine/arrangement_picture.h"
#include "midi/midi_settings.h"
#include "ui/fields/field_names.h"
#include "ui/fields/list_fields.h"
#include "ui/fields/page_widgets.h"
#include "ui/fields/panel_fields.h"
#include "ui/fields/slider_position.h"
#include "ui/pages/copy_dialog.h"
#include "ui/pages/macro/macro_output.h"
#include "ui/session/document_access.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"
#include "ui/views/arrangement_captions.h"
#include "ui/views/arrangement_display.h"
#include "ui/views/arrow_icons.h"

namespace halvorn {
namespace {

const QString kUnableToGenerate = QStringLiteral("Unable to generate MIDI data");

QToolButton* makeArrowButton(ArrowIcon arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(arrowIcon(arrow));
    button->setIconSize(QSize(16, 16));
    button->setAutoRepeat(true);
    return button;
}

}  // namespace

CMacroPage::CMacroPage(AppContext& context, QWidget* parent) : CSheetPage(context, parent) {
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(buildLeftColumn());
    columns->addLayout(buildRightColumn(), 1);
    output_ = new CMacroOutput(
        context, {controls_.play, controls_.progress, controls_.display},
        [this](std::int32_t measure) { turnTo(measure); }, this);
    connectControls();
    initialise();
}

CMacroPage::~CMacroPage() = default;

QLayout* CMacroPage::buildRightColumn() {
    auto* column = new QVBoxLayout;
    controls_.display = new CArrangementDisplay(prompts(), this);
    controls_.display->setSongSource([this]() -> const Song* { return currentSong(); });
    controls_.display->setToolTip(
        QStringLiteral("Where each block plays: one row per track, 16 measures at a time; "
                       "Regenerate redraws (the arrow keys go from cell to cell, and past the "
                       "edge, like the mouse wheel, scroll)"));
    nameField(controls_.display, QStringLiteral("Arrangement"));
    controls_.captions = new CArrangementCaptions(
        controls_.display, [this]() -> const Song* { return currentSong(); }, this);
    column->addWidget(controls_.captions, 1);
    auto* scrollRow = new QHBoxLayout;
    controls_.scrollLeft = makeArrowButton(ArrowIcon::Left, this);
    controls_.positionBar = new QProgressBar(this);
    controls_.positionBar->setTextVisible(false);
    controls_.positionBar->setMaximumHeight(controls_.scrollLeft->sizeHint().height() / 2);
    controls_.scrollRight = makeArrowButton(ArrowIcon::Right, this);
    controls_.scrollLeft->setToolTip(
        QStringLiteral("Show the arrangement one measure earlier (hold to keep scrolling)"));
    controls_.scrollRight->setToolTip(
        QStringLiteral("Show the arrangement one measure later (hold to keep scrolling)"));
    controls_.positionBar->setToolTip(
        QStringLiteral("Where the shown 16 measures lie in the whole song"));
    nameField(controls_.scrollLeft, QStringLiteral("Show one measure earlier"));
    nameField(controls_.scrollRight, QStringLiteral("Show one measure later"));
    nameField(controls_.positionBar, QStringLiteral("Position in the song"));
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

// The sheet makes its pages before any document is loaded: the lists and
// the song's values reach the page when it is first shown.
void CMacroPage::initialise() {
    values_ = MacroPageValues{};
    values_.currentTrack = -1;
    showSliders(values_.track);
    controls_.display->setUp();
    setScrollRange(1);
    showFirstVisibleMeasure(1);
    write();
}

bool CMacroPage::trackValid(std::int32_t index) const {
    return index >= 0 && index < currentBlockCount();
}

bool CMacroPage::isPlaying() const {
    return output_->isPlaying();
}

CPlaybackSession& CMacroPage::session() const {
    return output_->session();
}

std::int32_t CMacroPage::firstVisibleMeasure() const {
    return controls_.display->firstVisibleMeasure();
}

bool CMacroPage::read() {
    if (!readIntegerField(prompts(), controls_.totalLength, 1, kMaxTotalLength,
                          values_.totalLength))
        return false;
    values_.track.alignIndex = controls_.alignTo->currentIndex();
    values_.currentTrack = controls_.block->currentIndex();
    if (!readIntegerField(prompts(), controls_.seed, values_.track.seed)) return false;
    values_.track.muted = controls_.muteTrack->isChecked();
    if (!readIntegerField(prompts(), controls_.displacement, 0, kMaxDisplacement,
                          values_.track.displacement))
        return false;
    values_.loop = controls_.loop->isChecked();
    return true;
}

void CMacroPage::write() {
    controls_.totalLength->setText(QString::number(values_.totalLength));
    selectIndex(controls_.alignTo, values_.track.alignIndex);
    selectIndex(controls_.block, values_.currentTrack);
    controls_.seed->setText(QString::number(values_.track.seed));
    controls_.muteTrack->setChecked(values_.track.muted);
    controls_.displacement->setText(QString::number(values_.track.displacement));
    controls_.loop->setChecked(values_.loop);
    if (controls_.captions) controls_.captions->refresh();
}

void CMacroPage::reloadFromDocument() {
    const std::int32_t selected = values_.currentTrack;
    refresh();
    if (trackValid(selected)) values_.currentTrack = selected;
    write();
    load();
    controls_.display->redraw();
}

QList<QWidget*> CMacroPage::editFields() const {
    QList<QWidget*> fields = {controls_.muteTrack,   controls_.volume,  controls_.probability,
                              controls_.seed,        controls_.panning, controls_.alignTo,
                              controls_.displacement};
    for (QSlider* slider : controls_.stretch) fields << slider;
    fields << controls_.totalLength;
    return fields;
}

void CMacroPage::showRecord(std::int32_t record) {
    selectIndex(controls_.block, record);
    load();
}

void CMacroPage::pickTrack() {
    dropEdits();
    load();
}

void CMacroPage::turnedTo() {
    refresh();
    load();
}

void CMacroPage::refresh() {
    setListEntries(controls_.block,
                   recordListEntries(currentSong(), RecordKind::Block, currentBlockCount()));
    if (currentBlockCount() > 0) values_.currentTrack = 0;
    values_.track.alignIndex = 0;
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
    if (const Song* current = currentSong()) {
        values_.totalLength = current->lengthMeasures;
        write();
        if (trackValid(values_.currentTrack)) {
            values_.track = loadTrackFields(current->macrosequences[values_.currentTrack]);
            showSliders(values_.track);
            write();
        }
    }
    markShownAsStored();
}

bool CMacroPage::save() {
    if (!read()) return false;
    if (!trackValid(values_.currentTrack)) return true;
    Song& current = *currentSong();
    takeSliders(values_.track);
    context().recordChange(
        QStringLiteral("Save macrosequence %1").arg(values_.currentTrack + 1), [&] {
            current.lengthMeasures = values_.totalLength;
            storeTrackFields(values_.track, current.macrosequences[values_.currentTrack]);
        });
    showStretch(values_.track.stretch);
    markShownAsStored();
    return true;
}

bool CMacroPage::previewEdits(Document& document) {
    return readQuietly(
        values_, [this] { return read(); },
        [&] {
            const std::int32_t index = values_.currentTrack;
            if (index < 0 || index >= document.song.blockCount) return;
            takeSliders(values_.track);
            document.song.lengthMeasures = values_.totalLength;
            storeTrackFields(values_.track, document.song.macrosequences[index]);
        });
}

void CMacroPage::normalize() {
    StretchPositions positions = shownStretch();
    normalizeStretchPositions(positions);
    showStretch(positions);
}

StretchPositions CMacroPage::shownStretch() const {
    StretchPositions positions{};
    for (int i = 0; i < kStretchChoices; ++i) positions[i] = sliderPosition(controls_.stretch[i]);
    return positions;
}

void CMacroPage::showStretch(const StretchPositions& positions) {
    for (int i = 0; i < kStretchChoices; ++i) setSliderPosition(controls_.stretch[i], positions[i]);
}

void CMacroPage::takeSliders(TrackFields& track) const {
    track.volume = sliderPosition(controls_.volume);
    track.probability = sliderPosition(controls_.probability);
    track.panning = sliderPosition(controls_.panning);
    track.stretch = shownStretch();
}

void CMacroPage::showSliders(const TrackFields& track) {
    setSliderPosition(controls_.volume, track.volume);
    setSliderPosition(controls_.probability, track.probability);
    setSliderPosition(controls_.panning, track.panning);
    showStretch(track.stretch);
}

void CMacroPage::regenerate() {
    Song* current = currentSong();
    bool placed = false;
    context().recordChange(QStringLiteral("Regenerate"), [&] {
        save();
        if (!current || currentBlockCount() <= 0) return;
        for (std::int32_t i = 0; i < currentBlockCount(); ++i) {
            macrosequencePlace(current->macrosequences[i], values_.totalLength,
                               current->blocks[i].lengthMeasures, current->beatsPerMeasure);
        }
        placed = true;
    });
    if (!placed) return;
    controls_.captions->placed();
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

// The track saved and the song placed and rendered are one step, named
// after the command.
bool CMacroPage::prepareSong(const QString& command, MidiSong& midi, bool forPlayback,
                             bool saveTrack) {
    if (!currentSong() || currentBlockCount() <= 0) return false;
    normalize();
    return context().recordChangeResult(command, [&] {
        if (saveTrack) save();
        return output_->render(midi, forPlayback);
    });
}

void CMacroPage::play() {
    const bool readable = read();  // a field that does not read keeps the value it had
    if (isPlaying()) {
        stop();
        return;
    }
    // A field that does not read has been pointed out already; the track
    // then plays as last saved.
    if (!prepareSong(QStringLiteral("Play"), session().song(), true, readable)) {
        session().stop();
        return;
    }
    output_->play(values_.loop);
}

void CMacroPage::stop() {
    output_->stop();
}

void CMacroPage::turnTo(std::int32_t measure) {
    if (const Song* current = currentSong()) setScrollRange(current->lengthMeasures);
    showFirstVisibleMeasure(measure);
}

// The file gets its own rendering, so a song that plays meanwhile is never
// touched.
void CMacroPage::saveMidi() {
    const bool readable = read();
    MidiSong file;
    if (!prepareSong(QStringLiteral("Save MIDI"), file, false, readable)) {
        prompts().message(kUnableToGenerate);
        return;
    }
    output_->saveMidi(file);
}

void CMacroPage::exportAudio() {
    exportPiece(QStringLiteral("Export Audio"), context().audioExport, [this] {
        return prompts().askSaveFile({.filterText = QStringLiteral("Archivos WAV (*.wav)"),
                                      .filterPattern = QStringLiteral("*"),
                                      .defaultSuffix = QStringLiteral("wav")});
    });
}

void CMacroPage::exportStems() {
    exportPiece(QStringLiteral("Export Stems"), context().stemsExport,
                [this] { return prompts().askFolder(QStringLiteral("Export Stems")); });
}

// From the File menu while the page is hidden, the song is exported as
// stored: the page's fields are left out.
void CMacroPage::exportPiece(const QString& command, const AudioExportFunction& exporter,
                             const std::function<std::optional<QString>()>& askTarget) {
    if (!exporter) {
        prompts().message(QStringLiteral("Audio export needs the built-in synthesizer."));
        return;
    }
    const bool readable = isVisible() && read();
    MidiSong piece;
    if (!prepareSong(command, piece, true, readable)) {
        prompts().message(kUnableToGenerate);
        return;
    }
    const auto target = askTarget();
    if (!target) return;
    output_->exportAudio(exporter, piece, *target);
}

void CMacroPage::drawRandomSeed(RandomDraws& draws) {
    values_.track.seed = drawSeedValue(draws);
    controls_.seed->setText(QString::number(values_.track.seed));
}

void CMacroPage::copyTrack() {
    read();
    CCopyDialog dialog(prompts(), currentSong(), CopyMode::Macrosequence, values_.currentTrack,
                       this);
    if (dialog.exec() != QDialog::Accepted) return;
    dropEdits();
    copyRecord(dialog.sourceIndex(), dialog.destinationIndex());
}

void CMacroPage::copyRecord(std::int32_t source, std::int32_t destination) {
    if (!trackValid(source) || !trackValid(destination)) return;
    context().recordChange(QStringLiteral("Copy macrosequence"),
                           [&] { copyInto(source, destination); });
}

void CMacroPage::copyInto(std::int32_t source, std::int32_t destination) {
    values_.currentTrack = source;
    write();
    load();
    values_.currentTrack = destination;
    write();
    save();
}

}  // namespace halvorn
