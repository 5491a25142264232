#include "ui/pages/blocks/block_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "edit/random_draws.h"
#include "edit/randomize_block.h"
#include "edit/song_records.h"
#include "engine/audition.h"
#include "engine/picture_descriptions.h"
#include "midi/midi_settings.h"
#include "model/random.h"
#include "ui/fields/document_text.h"
#include "ui/fields/list_fields.h"
#include "ui/fields/panel_fields.h"
#include "ui/pages/blocks/block_audition.h"
#include "ui/pages/copy_dialog.h"
#include "ui/session/document_access.h"
#include "ui/session/playback_session.h"
#include "ui/session/prompts.h"
#include "ui/views/piano_roll_view.h"

namespace halvorn {
namespace {

const QString kNoBlocks = QStringLiteral("No defined blocks");

}  // namespace

CBlockPage::CBlockPage(AppContext& context, QWidget* parent) : CSheetPage(context, parent) {
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
    audition_ = new CBlockAudition(context, controls_.listen, this);
    connectControls();
    initialise();
}

CBlockPage::~CBlockPage() = default;

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
    values_.block = BlockFields{};
    values_.block.description = toDocumentText(kNoBlocks);
    showSliders(values_.block.sliders);
    controls_.pianoRoll->showNothing(kNoBlocks);
}

RhythmPositions CBlockPage::shownRhythm() const {
    RhythmPositions positions{};
    for (std::int32_t k = 0; k < kNoteValueCount; ++k)
        positions[k] = sliderPosition(controls_.rhythm[k]);
    return positions;
}

void CBlockPage::showRhythm(const RhythmPositions& positions) {
    for (std::int32_t k = 0; k < kNoteValueCount; ++k)
        setSliderPosition(controls_.rhythm[k], positions[k]);
}

BlockSliders CBlockPage::shownSliders() const {
    return BlockSliders{shownRhythm(), sliderPosition(controls_.dotted),
                        sliderPosition(controls_.triplets), sliderPosition(controls_.legato),
                        sliderPosition(controls_.accentLevel)};
}

void CBlockPage::showSliders(const BlockSliders& sliders) {
    showRhythm(sliders.rhythm);
    setSliderPosition(controls_.dotted, sliders.dotted);
    setSliderPosition(controls_.triplets, sliders.triplets);
    setSliderPosition(controls_.legato, sliders.legato);
    setSliderPosition(controls_.accentLevel, sliders.accentLevel);
}

Song* CBlockPage::song() const {
    return currentSong();
}

std::int32_t CBlockPage::blockCount() const {
    return currentBlockCount();
}

std::int32_t CBlockPage::sequenceCount() const {
    const Song* current = song();
    return current ? usedMicrosequences(*current) : 0;
}

bool CBlockPage::blockValid(std::int32_t index) const {
    return index >= 0 && index < blockCount();
}

std::int32_t CBlockPage::beatsPerMeasure() const {
    const Song* current = song();
    return current ? accentBeats(*current) : 0;
}

bool CBlockPage::isPlaying() const {
    return audition_->isPlaying();
}

CPlaybackSession& CBlockPage::session() const {
    return audition_->session();
}

bool CBlockPage::read() {
    BlockFields& block = values_.block;
    values_.centerIndex = controls_.center->currentIndex();
    values_.curveIndex = controls_.curve->currentIndex();
    block.description = toDocumentText(controls_.description->text());
    block.lengthIndex = controls_.length->currentIndex();
    block.scaleKey = controls_.scaleKey->currentIndex();
    block.scaleType = controls_.scaleType->currentIndex();
    values_.currentBlock = controls_.block->currentIndex();
    block.channel = controls_.channel->currentIndex();
    block.program = controls_.instrument->currentIndex();
    block.melodySequence = controls_.melodySequence->currentIndex();
    if (!readIntegerField(prompts(), controls_.melodyOffset, -kMaxMelodyOffset, kMaxMelodyOffset,
                          block.melodyOffset) ||
        !readIntegerField(prompts(), controls_.melodyRange, 1, kMaxMelodyRange,
                          block.melodyRange)) {
        return false;
    }
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        block.accents[beat] = controls_.accents[beat]->isChecked();
    }
    block.velocitySequence = controls_.velocitySequence->currentIndex();
    if (!readIntegerField(prompts(), controls_.velocityAmp, 1, kMaxVelocityAmp,
                          block.velocityAmp) ||
        !readIntegerField(prompts(), controls_.velocityRange, 1, kMaxVelocityRange,
                          block.velocityRange) ||
        !readIntegerField(prompts(), controls_.velocityThreshold, 0, 100,
                          block.velocityThreshold) ||
        !readIntegerField(prompts(), controls_.seed, block.seed)) {
        return false;
    }
    values_.metronome = controls_.metronome->isChecked();
    values_.loop = controls_.loop->isChecked();
    return true;
}

void CBlockPage::write() {
    const BlockFields& block = values_.block;
    selectIndex(controls_.center, values_.centerIndex);
    selectIndex(controls_.curve, values_.curveIndex);
    controls_.description->setText(fromDocumentText(block.description));
    selectIndex(controls_.length, block.lengthIndex);
    selectIndex(controls_.scaleKey, block.scaleKey);
    selectIndex(controls_.scaleType, block.scaleType);
    selectIndex(controls_.block, values_.currentBlock);
    selectIndex(controls_.channel, block.channel);
    selectIndex(controls_.instrument, block.program);
    selectIndex(controls_.melodySequence, block.melodySequence);
    controls_.melodyOffset->setText(QString::number(block.melodyOffset));
    controls_.melodyRange->setText(QString::number(block.melodyRange));
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat) {
        controls_.accents[beat]->setChecked(block.accents[beat]);
    }
    selectIndex(controls_.velocitySequence, block.velocitySequence);
    controls_.velocityAmp->setText(QString::number(block.velocityAmp));
    controls_.velocityRange->setText(QString::number(block.velocityRange));
    controls_.velocityThreshold->setText(QString::number(block.velocityThreshold));
    controls_.seed->setText(QString::number(block.seed));
    controls_.metronome->setChecked(values_.metronome);
    controls_.loop->setChecked(values_.loop);
}

void CBlockPage::reloadFromDocument() {
    const std::int32_t selected = values_.currentBlock;
    refresh();
    if (blockValid(selected)) values_.currentBlock = selected;
    write();
    load();
}

QList<QWidget*> CBlockPage::editFields() const {
    QList<QWidget*> fields = {controls_.description, controls_.length, controls_.curve,
                              controls_.center, controls_.seed};
    for (QSlider* slider : controls_.rhythm) fields << slider;
    fields << controls_.melodySequence << controls_.melodyRange << controls_.melodyOffset
           << controls_.velocitySequence << controls_.velocityRange << controls_.velocityAmp
           << controls_.velocityThreshold << controls_.dotted << controls_.triplets
           << controls_.legato;
    for (QCheckBox* accent : controls_.accents) fields << accent;
    fields << controls_.accentLevel << controls_.instrument << controls_.channel;
    return fields;
}

void CBlockPage::showRecord(std::int32_t record) {
    selectIndex(controls_.block, record);
    load();
}

void CBlockPage::pickBlock() {
    dropEdits();
    load();
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
        values_.block.melodySequence = 0;
        values_.block.velocitySequence = 0;
    }
    if (const Song* current = song()) {
        for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
            const bool allowed = noteValueAllowed(*current, k);
            controls_.rhythm[k]->setEnabled(allowed);
            controls_.rhythmNames[k]->setEnabled(allowed);
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
    if (blockValid(values_.currentBlock)) {
        values_.block = loadBlockFields(*song(), values_.currentBlock, values_.block);
        showSliders(values_.block.sliders);
        write();
        updatePianoRoll();
    }
    markShownAsStored();
}

bool CBlockPage::save() {
    if (!read()) return false;
    if (!blockValid(values_.currentBlock)) return true;
    const std::int32_t saved = values_.currentBlock;
    context().recordChange(QStringLiteral("Save block \u201c%1\u201d")
                               .arg(fromDocumentText(values_.block.description)),
                           [&] {
                               values_.block.sliders = shownSliders();
                               storeBlockFields(values_.block, *song(), saved);
                           });
    const Block& block = song()->blocks[saved];
    refresh();
    values_.currentBlock = saved;
    values_.block.melodySequence = block.melodySequence;
    values_.block.velocitySequence = block.velocitySequence;
    write();
    updatePianoRoll();
    markShownAsStored();
    return true;
}

bool CBlockPage::previewEdits(Document& document) {
    return readQuietly(
        values_, [this] { return read(); },
        [&] {
            const std::int32_t index = values_.currentBlock;
            if (index < 0 || index >= document.song.blockCount) return;
            values_.block.sliders = shownSliders();
            storeBlockFields(values_.block, document.song, index);
        });
}

bool CBlockPage::newBlock() {
    Song* current = song();
    if (!current) return false;
    dropEdits();
    const auto added = context().recordChangeResult(QStringLiteral("New block"),
                                                    [&] { return appendBlock(*current); });
    if (!added) {
        prompts().message(QString::fromStdString(added.error()));
        return false;
    }
    refresh();
    values_.currentBlock = *added;
    write();
    load();
    return true;
}

void CBlockPage::deleteBlock() {
    dropEdits();
    read();
    if (!blockValid(values_.currentBlock)) return;
    context().recordChange(QStringLiteral("Delete block"),
                           [&] { halvorn::deleteBlock(*song(), values_.currentBlock); });
    refresh();
    load();
}

void CBlockPage::clampCenter() {
    read();
    if (const Song* current = song()) {
        values_.centerIndex = clampCenterIndex(values_.centerIndex, *current);
    }
    write();
}

void CBlockPage::applyCurve() {
    clampCenter();
    const Song* current = song();
    if (!current) return;
    const auto positions = rhythmCurvePositions(values_.curveIndex, values_.centerIndex, *current);
    if (!positions) return;
    showRhythm(*positions);
    normalize();
}

void CBlockPage::normalize() {
    RhythmPositions positions = shownRhythm();
    normalizeRhythmPositions(positions);
    showRhythm(positions);
}

void CBlockPage::randomize(RandomDraws& draws) {
    if (blockCount() <= 0) return;
    values_.block.sliders = shownSliders();
    BlockRandomValues drawn = randomBlockValues(values_.block, *song(), draws);
    values_.block = std::move(drawn.fields);
    values_.centerIndex = drawn.centerIndex;
    values_.curveIndex = drawn.curveIndex;
    showSliders(values_.block.sliders);
    write();
    applyCurve();
}

void CBlockPage::listen() {
    const bool readable = read();  // a field that does not read keeps the value it had
    if (isPlaying()) {
        stop();
        return;
    }
    if (!blockValid(values_.currentBlock)) return;
    normalize();
    // A field that does not read has been pointed out already; the block then
    // plays as last saved.
    if (readable) context().recordChange(QStringLiteral("Listen"), [this] { save(); });
    audition_->play(*song(), values_.currentBlock, values_.metronome, values_.loop);
}

void CBlockPage::stop() {
    audition_->stop();
}

// Only the "Seed" edit changes: what the user typed elsewhere stays.
void CBlockPage::drawRandomSeed(RandomDraws& draws) {
    values_.block.seed = drawSeedValue(draws);
    controls_.seed->setText(QString::number(values_.block.seed));
}

void CBlockPage::copyBlock() {
    read();
    CCopyDialog dialog(prompts(), song(), CopyMode::Block, values_.currentBlock, this);
    if (dialog.exec() != QDialog::Accepted) return;
    dropEdits();
    copyRecord(dialog.sourceIndex(), dialog.destinationIndex());
}

void CBlockPage::copyRecord(std::int32_t source, std::int32_t destination) {
    if (!blockValid(source) || destination < 0 || destination > blockCount()) return;
    context().recordChange(QStringLiteral("Copy block"), [&] { copyInto(source, destination); });
}

void CBlockPage::copyInto(std::int32_t source, std::int32_t destination) {
    if (destination == blockCount() && !newBlock()) return;
    values_.currentBlock = source;
    write();
    load();
    values_.block.description = copyDescription(values_.block.description);
    values_.currentBlock = destination;
    values_.block.channel = song()->blocks[destination].channel;
    write();
    save();
}

void CBlockPage::updatePianoRoll() {
    Song* current = song();
    if (!current || !blockValid(values_.currentBlock)) {
        controls_.pianoRoll->showNothing(kNoBlocks);
        return;
    }
    const std::int32_t ppqn = settings().ppqnSetting;
    MidiSong rendered;
    NoteNaming naming;
    {
        naming = blockNoteNaming(*current, values_.currentBlock, ppqn);
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
    frame.beats = std::clamp(block.lengthMeasures, 1, kMaxBlockMeasures) * beatsPerMeasure();
    controls_.pianoRoll->setNoteNaming(std::move(naming));
    controls_.pianoRoll->showNotes(std::move(rendered.tracks[kAuditionBlockTrack].events), frame);
}

}  // namespace halvorn
