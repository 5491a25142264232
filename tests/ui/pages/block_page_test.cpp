#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <cmath>

#include "app/halvorn_doc.h"
#include "app/halvorn_view.h"
#include "app/single_doc_template.h"
#include "engine/audition.h"
#include "fractal/parameters.h"
#include "midi/channel_setup.h"
#include "model/song.h"
#include "tests/support/playback_test_support.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/copy_dialog.h"
#include "ui/pages/global/global_page.h"
#include "ui/session/playback_session.h"
#include "ui/views/piano_roll_view.h"

namespace halvorn {
namespace {

using test::ConstantCommandDraws;
using test::ConstantDraws;
using test::itemTexts;
using test::processUntil;

// Adds Morse-Thue microsequences that compute 16 values each.
void addSequences(Song& song, int count) {
    for (int i = 0; i < count; ++i) {
        Microsequence& sequence = song.microsequences[song.microsequenceCount++];
        microsequenceMakeNew(sequence);
        sequence.description = "Steps " + std::to_string(i);
        sequence.fractalType = kFractalMorseThue;
        sequence.period = 16;
        sequence.parameters = MorseThueParameters{3, i, 1}.toBytes();
    }
}

bool midiListsEnabled(const CGlobalPage& global) {
    const auto& controls = global.controls();
    return controls.port->isEnabled() && controls.buffer->isEnabled() && controls.ppqn->isEnabled();
}
bool midiListsDisabled(const CGlobalPage& global) {
    const auto& controls = global.controls();
    return !controls.port->isEnabled() && !controls.buffer->isEnabled() &&
           !controls.ppqn->isEnabled();
}

bool songIsEmpty(const MidiSong& song) {
    return std::all_of(song.tracks.begin(), song.tracks.end(),
                       [](const MidiTrack& track) { return track.events.empty(); });
}

class BlockPageTest : public ::testing::Test, protected test::TestContext {
  protected:
    void SetUp() override {
        sheet = std::make_unique<CMainSheet>(context);
        page = static_cast<CBlockPage*>(sheet->page(kBlockPageIndex));
        global = sheet->globalPage();
        global->ResetForNewDocument();
    }
    void TearDown() override { sheet.reset(); }

    Song& song() { return document.contents.song; }
    const BlockPageControls& controls() { return page->controls(); }

    // The sheet turns to the page, which lists the Song and loads block 0.
    void showPage() { test::turnToPage(*sheet, kBlockPageIndex); }

    void chooseCurve(const QString& name) {
        const int index = controls().curve->findText(name);
        ASSERT_GE(index, 0);
        controls().curve->setCurrentIndex(index);
        emit controls().curve->activated(index);
    }

    // The probability each rhythm slider stands for, in hundredths.
    std::vector<int> distribution() {
        std::vector<int> hundredths;
        for (const QSlider* slider : controls().rhythm)
            hundredths.push_back(kMaxSliderPosition - sliderPosition(slider));
        return hundredths;
    }

    std::unique_ptr<CMainSheet> sheet;
    CBlockPage* page = nullptr;
    CGlobalPage* global = nullptr;
};

TEST_F(BlockPageTest, BlocksAreAddedOnTheirOwnChannelsUpToSixteenAndDeletedDownward) {
    showPage();
    EXPECT_EQ(controls().description->text(), QStringLiteral("No defined blocks"));
    EXPECT_FALSE(controls().deleteBlock->isEnabled());
    // Without blocks Save, Listen and Random Values have nothing to work on.
    page->save();
    controls().listen->click();
    sheet->randomValues();
    EXPECT_FALSE(page->isPlaying());
    EXPECT_EQ(controls().description->text(), QStringLiteral("No defined blocks"));
    EXPECT_TRUE(prompts.messages.empty());

    controls().newBlock->click();
    ASSERT_EQ(prompts.messages,
              std::vector<QString>{QStringLiteral("No microsequences have been defined.")});
    EXPECT_EQ(song().blockCount, 0);

    addSequences(song(), 2);
    for (int i = 0; i < kMaxBlocks; ++i) controls().newBlock->click();
    ASSERT_EQ(song().blockCount, kMaxBlocks);
    EXPECT_EQ(controls().block->itemText(3), QStringLiteral(" 3: New Block"));
    EXPECT_EQ(controls().block->itemText(15), QStringLiteral("15: New Block"));
    EXPECT_EQ(controls().block->currentIndex(), 15);
    EXPECT_EQ(controls().channel->currentText(), QStringLiteral("16"));
    for (int i = 0; i < kMaxBlocks; ++i) EXPECT_EQ(song().blocks[i].channel, i);
    controls().newBlock->click();
    EXPECT_EQ(prompts.messages.back(), QStringLiteral("There are already 16 blocks"));
    EXPECT_EQ(song().blockCount, kMaxBlocks);

    // Block 9 plays on channel 10, the percussion channel.
    controls().block->setCurrentIndex(9);
    EXPECT_EQ(controls().channel->currentText(), QStringLiteral("10"));
    EXPECT_EQ(controls().description->text(), QStringLiteral("New Block"));
    EXPECT_EQ(controls().instrument->count(), 128);
    EXPECT_EQ(controls().instrument->itemText(0), QStringLiteral("0: Acoustic Grand Piano"));
    EXPECT_EQ(controls().instrument->itemText(127), QStringLiteral("127: Gunshot"));

    song().blocks[10].description = "Ten";
    song().macrosequences[10].seed = 77;
    controls().deleteBlock->click();
    EXPECT_EQ(song().blockCount, 15);
    EXPECT_EQ(song().blocks[9].description, "Ten");
    EXPECT_EQ(song().blocks[9].channel, 10);
    EXPECT_EQ(song().blocks[15], Block{});
    EXPECT_EQ(song().macrosequences[10].seed, 77);  // tracks stay in their slots
    EXPECT_EQ(controls().block->currentIndex(), 0);

    while (song().blockCount > 0) controls().deleteBlock->click();
    EXPECT_EQ(controls().description->text(), QStringLiteral("No defined blocks"));
    EXPECT_FALSE(controls().deleteBlock->isEnabled());
    EXPECT_FALSE(controls().pianoRoll->hasNotes());
}

TEST_F(BlockPageTest, CurvesShapeTheNoteValuesTheSongAllows) {
    // The Song's default range is "1/16" .. "2": k = 2..7.
    addSequences(song(), 1);
    showPage();
    page->newBlock();
    for (int k : {0, 1, 8, 9}) {
        EXPECT_FALSE(controls().rhythm[k]->isEnabled()) << k;
        EXPECT_EQ(sliderPosition(controls().rhythm[k]), 100) << k;
    }
    controls().center->setCurrentIndex(4);               // "1/4"
    EXPECT_EQ(distribution(), std::vector<int>(10, 0));  // a center alone moves nothing

    chooseCurve("Gaussian 1");
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 11, 23, 30, 23, 11, 3, 0, 0}));
    chooseCurve("Homogenous");
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 17, 17, 17, 17, 17, 17, 0, 0}));
    chooseCurve("Accelerated 1");
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 24, 24, 24, 18, 9, 2, 0, 0}));
    chooseCurve("Slow 1");
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 7, 15, 19, 19, 19, 19, 0, 0}));
    chooseCurve("Fixed Value");
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 0, 0, 100, 0, 0, 0, 0, 0}));

    // A center outside the range moves to the nearest allowed value.
    controls().center->setCurrentIndex(0);
    EXPECT_EQ(controls().center->currentText(), QStringLiteral("1/16"));
    controls().center->setCurrentIndex(9);
    EXPECT_EQ(controls().center->currentText(), QStringLiteral("2"));
    chooseCurve("Fixed Value");
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 100, 0, 0}));

    for (QSlider* slider : controls().rhythm) setSliderPosition(slider, 100);
    controls().normalize->click();
    EXPECT_EQ(distribution(), std::vector<int>(10, 0));

    // A stored value outside the range shows on Load and goes on Refresh.
    song().blocks[0].rhythmDistribution[0] = 0.5;
    page->load();
    EXPECT_EQ(distribution()[0], 50);
    page->refresh();
    EXPECT_EQ(distribution()[0], 0);
    EXPECT_FALSE(controls().rhythm[0]->isEnabled());
    EXPECT_TRUE(prompts.messages.empty());
    // Out of the note range a slider and its name look disabled, not only
    // refuse to move.
    EXPECT_FALSE(controls().rhythmNames[0]->isEnabled());
    EXPECT_NE(qobject_cast<QGraphicsOpacityEffect*>(controls().rhythm[0]->graphicsEffect()),
              nullptr);
    EXPECT_TRUE(controls().rhythmNames[4]->isEnabled());
    EXPECT_EQ(controls().rhythm[4]->graphicsEffect(), nullptr);
}

TEST_F(BlockPageTest, EveryFieldSurvivesSaveAndLoadWithinTheMetre) {
    addSequences(song(), 3);
    showPage();
    page->newBlock();
    page->newBlock();
    // A 3/4 Song: accent boxes 4..9 are off limits.
    sheet->setCurrentIndex(kGlobalPageIndex);
    global->controls().signature->setCurrentIndex(1);
    sheet->setCurrentIndex(kBlockPageIndex);
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat)
        EXPECT_EQ(controls().accents[beat]->isEnabled(), beat < 3) << beat;
    EXPECT_EQ(controls().description->maxLength(), 30);

    controls().block->setCurrentIndex(1);
    song().blocks[1].accents[7] = 1;
    controls().description->setText("Bass line");
    controls().length->setCurrentIndex(7);
    controls().melodySequence->setCurrentIndex(2);
    controls().melodyRange->setText("127");
    controls().melodyOffset->setText("-48");
    controls().velocitySequence->setCurrentIndex(1);
    controls().velocityRange->setText("1");
    controls().velocityAmp->setText("29");
    controls().velocityThreshold->setText("7");
    controls().seed->setText("123456789");
    setSliderPosition(controls().rhythm[4], 0);
    setSliderPosition(controls().dotted, 30);
    setSliderPosition(controls().triplets, 60);
    setSliderPosition(controls().legato, 25);
    setSliderPosition(controls().accentLevel, 80);
    controls().accents[0]->setChecked(true);
    controls().accents[2]->setChecked(true);
    controls().accents[5]->setChecked(true);  // beyond the metre
    controls().instrument->setCurrentIndex(40);
    controls().channel->setCurrentIndex(5);
    controls().save->click();

    const Block& saved = song().blocks[1];
    EXPECT_EQ(saved.description, "Bass line");
    EXPECT_EQ(controls().block->itemText(1), QStringLiteral(" 1: Bass line"));
    EXPECT_EQ(saved.lengthMeasures, 8);
    EXPECT_EQ(saved.melodySequence, 2);
    EXPECT_EQ(saved.melodyRange, 127);
    EXPECT_EQ(saved.melodyOffset, -48);
    EXPECT_EQ(saved.velocitySequence, 1);
    EXPECT_EQ(saved.velocityRange, 1);
    EXPECT_DOUBLE_EQ(saved.velocityAmp, 0.29);
    EXPECT_DOUBLE_EQ(saved.velocityThreshold, 0.07);
    EXPECT_EQ(saved.seed, 123456789);
    EXPECT_EQ(saved.rhythmDistribution[4], 1.0);
    EXPECT_DOUBLE_EQ(saved.dottedProbability, 0.7);
    EXPECT_DOUBLE_EQ(saved.tripletProbability, 0.4);
    EXPECT_DOUBLE_EQ(saved.legato, 0.25);
    EXPECT_DOUBLE_EQ(saved.accentLevel, 0.8);
    EXPECT_EQ(saved.accents, (std::array<std::int32_t, 9>{1, 0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(saved.program, 40);
    EXPECT_EQ(controls().instrument->currentText(), QStringLiteral("40: Violin"));
    EXPECT_EQ(saved.channel, 5);

    controls().block->setCurrentIndex(0);
    controls().block->setCurrentIndex(1);
    const auto text = [](const QLineEdit* edit) { return edit->text(); };
    EXPECT_EQ(text(controls().melodyRange), QStringLiteral("127"));
    EXPECT_EQ(text(controls().melodyOffset), QStringLiteral("-48"));
    EXPECT_EQ(text(controls().velocityRange), QStringLiteral("1"));
    EXPECT_EQ(text(controls().velocityAmp), QStringLiteral("29"));
    EXPECT_EQ(text(controls().velocityThreshold), QStringLiteral("7"));
    EXPECT_EQ(text(controls().seed), QStringLiteral("123456789"));
    EXPECT_EQ(controls().length->currentText(), QStringLiteral("8"));
    EXPECT_EQ(controls().melodySequence->currentIndex(), 2);
    EXPECT_EQ(controls().velocitySequence->currentIndex(), 1);
    EXPECT_EQ(sliderPosition(controls().dotted), 30);
    EXPECT_EQ(sliderPosition(controls().triplets), 60);
    EXPECT_EQ(sliderPosition(controls().legato), 25);
    EXPECT_EQ(sliderPosition(controls().accentLevel), 80);
    EXPECT_TRUE(controls().accents[5]->isChecked());  // Load leaves boxes beyond the metre
    EXPECT_EQ(controls().channel->currentText(), QStringLiteral("6"));

    // A field out of bounds stores nothing.
    controls().melodyOffset->setText("49");
    controls().description->setText("Not stored");
    controls().save->click();
    EXPECT_EQ(prompts.messages.back(),
              QStringLiteral("Introduzca un número entero entre -48 y 48."));
    EXPECT_EQ(song().blocks[1].description, "Bass line");

    // Loading repairs sequence indices that name no microsequence.
    song().blocks[0].melodySequence = 7;
    song().blocks[0].velocitySequence = -1;
    controls().melodyOffset->setText("0");
    controls().block->setCurrentIndex(0);
    EXPECT_EQ(song().blocks[0].melodySequence, 0);
    EXPECT_EQ(song().blocks[0].velocitySequence, 0);
    EXPECT_EQ(controls().melodySequence->currentIndex(), 0);
}

TEST_F(BlockPageTest, RandomValuesDrawInTheirOrderAndStoreNothing) {
    addSequences(song(), 4);
    showPage();
    page->newBlock();
    const Block before = song().blocks[0];
    controls().melodyOffset->setText("5");
    {
        ConstantDraws draws(0.75);
        page->drawRandomSeed(draws);
    }
    EXPECT_EQ(controls().seed->text(), QStringLiteral("925925917"));
    EXPECT_EQ(controls().melodyOffset->text(), QStringLiteral("5"));  // the rest stays as typed

    const ConstantCommandDraws draws(context, 0.75);
    sheet->randomValues();
    EXPECT_EQ(controls().scaleKey->currentText(), QStringLiteral("A"));
    EXPECT_EQ(controls().scaleType->currentText(), QStringLiteral("Pentatónica"));
    EXPECT_EQ(controls().length->currentText(), QStringLiteral("7"));
    EXPECT_EQ(controls().melodySequence->currentIndex(), 3);
    EXPECT_EQ(controls().melodyRange->text(), QStringLiteral("19"));
    EXPECT_EQ(controls().melodyOffset->text(), QStringLiteral("6"));
    EXPECT_EQ(controls().velocitySequence->currentIndex(), 3);
    EXPECT_EQ(controls().velocityRange->text(), QStringLiteral("46"));
    EXPECT_EQ(controls().velocityAmp->text(), QStringLiteral("250"));
    EXPECT_EQ(controls().velocityThreshold->text(), QStringLiteral("16"));
    EXPECT_EQ(controls().center->currentText(), QStringLiteral("1"));
    EXPECT_EQ(controls().curve->currentText(), QStringLiteral("Slow 1"));
    EXPECT_EQ(sliderPosition(controls().dotted), 75);
    EXPECT_EQ(sliderPosition(controls().triplets), 75);
    EXPECT_EQ(sliderPosition(controls().legato), 75);
    EXPECT_EQ(controls().seed->text(), QStringLiteral("925925917"));
    for (int beat = 0; beat < kMaxBeatsPerMeasure; ++beat)
        EXPECT_EQ(controls().accents[beat]->isChecked(), beat < 4) << beat;
    EXPECT_EQ(sliderPosition(controls().accentLevel), 75);
    // "Slow 1" around "1" (k = 6), normalized.
    EXPECT_EQ(distribution(), (std::vector<int>{0, 0, 0, 3, 11, 24, 31, 31, 0, 0}));
    EXPECT_EQ(song().blocks[0], before);
}

TEST_F(BlockPageTest, CopyTakesEverySettingButTheDestinationsChannel) {
    addSequences(song(), 2);
    showPage();
    page->newBlock();
    page->newBlock();
    controls().block->setCurrentIndex(0);
    controls().description->setText("A lead line of thirty letters");
    controls().velocityAmp->setText("150");
    controls().instrument->setCurrentIndex(12);
    setSliderPosition(controls().rhythm[3], 0);
    controls().save->click();

    test::answerCopyDialog(0, 1);
    sheet->copy();
    Block expected = song().blocks[0];
    expected.description = "Copy of A lead line of thirty ";
    expected.channel = 1;
    EXPECT_EQ(song().blocks[1], expected);
    EXPECT_EQ(controls().block->currentIndex(), 1);

    page->copyRecord(0, 2);  // "2: Create New Block"
    ASSERT_EQ(song().blockCount, 3);
    expected.channel = 2;
    EXPECT_EQ(song().blocks[2], expected);
    EXPECT_TRUE(prompts.messages.empty());
}

class ListenTest : public BlockPageTest {
  protected:
    void SetUp() override {
        BlockPageTest::SetUp();
        clock = std::make_shared<VirtualMidiClock>();
        log = test::installRecorder(midi, clock);
        addSequences(song(), 2);
        showPage();
        page->newBlock();
        // Two measures of quarters and eighths, with an accent on beat 1.
        controls().length->setCurrentIndex(1);
        setSliderPosition(controls().rhythm[4], 40);
        setSliderPosition(controls().rhythm[3], 60);
        controls().accents[0]->setChecked(true);
        controls().channel->setCurrentIndex(2);
        controls().save->click();
        global->controls().metronome->setValue(27);  // clicks at 100
    }

    // What Listen should play: the block, and the metronome when `level` is
    // given, rendered from a copy of the Song.
    MidiSong expectedAudition(std::optional<std::int32_t> level) {
        Song copy = song();
        MidiSong expected;
        EXPECT_TRUE(renderAudition(expected, copy, 0, level, 120));
        return expected;
    }

    bool playingShown() {
        return page->isPlaying() && controls().listen->text() == QStringLiteral("Stop") &&
               midiListsDisabled(*global);
    }
    bool stoppedShown() {
        return !page->isPlaying() && controls().listen->text() == QStringLiteral("Listen") &&
               midiListsEnabled(*global) && songIsEmpty(page->session().song());
    }

    // Everything left at its tick, the two tracks merged in track order:
    // 100 quarters a minute at 120 ticks a quarter is 5 ms a tick.
    void expectSentAtTheirTicks(const MidiSong& expected) {
        std::vector<MidiEvent> merged = expected.tracks[kAuditionBlockTrack].events;
        const auto& clicks = expected.tracks[kAuditionMetronomeTrack].events;
        merged.insert(merged.end(), clicks.begin(), clicks.end());
        ASSERT_EQ(midiSortEvents(merged), MidiResult::kOk);
        const auto sent = log->messages();
        ASSERT_EQ(sent.size(), merged.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            const MidiEvent& event = merged[i];
            EXPECT_EQ(sent[i].message,
                      midiPackShortMessage(event.status, event.data1, event.data2));
            EXPECT_EQ(sent[i].due, std::chrono::milliseconds(5) * event.time) << i;
        }
        EXPECT_TRUE(test::soundingNotes(sent).empty());
    }

    std::shared_ptr<VirtualMidiClock> clock;
    std::shared_ptr<MessageLog> log;
};

TEST_F(ListenTest, PlaysTheBlockAndTheMetronomeAtTheirTicksAndStopsAtTheEnd) {
    const MidiSong expected = expectedAudition(100);
    // The piano roll shows what Listen plays.
    EXPECT_EQ(controls().pianoRoll->events(), expected.tracks[kAuditionBlockTrack].events);

    controls().listen->click();
    ASSERT_TRUE(playingShown());
    const MidiSong& played = page->session().song();
    EXPECT_EQ(played.tracks[kAuditionBlockTrack].events,
              expected.tracks[kAuditionBlockTrack].events);
    EXPECT_EQ(played.tracks[kAuditionMetronomeTrack].events,
              expected.tracks[kAuditionMetronomeTrack].events);
    EXPECT_EQ(played.tracks[kAuditionMetronomeTrack].events.size(), 16u);
    EXPECT_EQ(played.tracks[kAuditionMetronomeTrack].events[0].data2, 100);
    EXPECT_EQ(played.tracks[kAuditionMetronomeTrack].events[2].data2, 50);

    ASSERT_TRUE(processUntil([&] { return !page->isPlaying(); }));
    EXPECT_TRUE(stoppedShown());
    expectSentAtTheirTicks(expected);
    EXPECT_EQ(midiMessageStatus(log->messages()[0].message) & 0x0F, 2);  // the block's channel 3
    EXPECT_TRUE(prompts.messages.empty());
}

// The one place that adds them is the playback session, so Play hears them
// the same way.
TEST_F(ListenTest, WithSendInstrumentsThePortHearsEachTracksVoiceBeforeItsNotes) {
    midi.settings.sendInstruments = true;
    controls().instrument->setCurrentIndex(40);
    controls().save->click();
    MidiSong expected = expectedAudition(100);
    ASSERT_EQ(midiSongAddChannelSetupEvents(expected), MidiResult::kOk);
    controls().listen->click();
    ASSERT_TRUE(playingShown());
    EXPECT_EQ(page->session().song().tracks[kAuditionBlockTrack].events,
              expected.tracks[kAuditionBlockTrack].events);
    ASSERT_TRUE(processUntil([&] { return !page->isPlaying(); }));
    expectSentAtTheirTicks(expected);
    const auto sent = log->messages();
    EXPECT_EQ(sent[0].message, midiPackShortMessage(0xC2, 40, 0));  // "40: Violin" on channel 3
    EXPECT_EQ(midiMessageStatus(sent[1].message), 0xB2);
    EXPECT_EQ(midiMessageData1(sent[1].message), kControllerVolume);
    EXPECT_EQ(midiMessageData1(sent[2].message), kControllerPan);
    // The metronome's channel 10 gets its own, ahead of its first click.
    const auto metronome = std::find_if(sent.begin(), sent.end(), [](const RecordedMessage& m) {
        return (midiMessageStatus(m.message) & 0x0F) == 9;
    });
    ASSERT_NE(metronome, sent.end());
    EXPECT_EQ(midiMessageStatus(metronome->message), 0xC9);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ListenTest, LoopPlaysUntilStopWithClockAndWithoutTheMetronomeWhenItIsOff) {
    controls().metronome->setChecked(false);
    controls().loop->setChecked(true);
    global->controls().sendMidiClock->setChecked(true);
    const std::size_t blockEvents = expectedAudition(std::nullopt).tracks[0].events.size();
    controls().listen->click();
    ASSERT_TRUE(playingShown());
    EXPECT_FALSE(page->session().song().tracks[0].events.empty());
    EXPECT_TRUE(page->session().song().tracks[kAuditionMetronomeTrack].events.empty());
    ASSERT_TRUE(processUntil([&] { return log->size() > 3 * blockEvents; }));
    EXPECT_TRUE(playingShown());

    controls().listen->click();
    EXPECT_TRUE(stoppedShown());
    const auto sent = log->messages();
    EXPECT_TRUE(test::soundingNotes(sent).empty());
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const RecordedMessage& m) {
        return midiMessageStatus(m.message) == 0x99;
    }));
    EXPECT_EQ(sent.front().message, 0xFAu);  // Start, then clock among the notes
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const RecordedMessage& m) { return m.message == 0xFA; }),
              1);
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(),
                            [](const RecordedMessage& m) { return m.message == 0xF8; }));
}

TEST_F(ListenTest, AnotherSessionOrANewDocumentStopsTheAudition) {
    controls().loop->setChecked(true);
    controls().listen->click();
    ASSERT_TRUE(playingShown());

    // The other page's Play takes the stream; this page shows it stopped
    // while the lists stay disabled for the other.
    CPlaybackSession other(context.sessions);
    other.song() = test::makeSong({{test::noteOn(0, 70), test::noteOff(50, 70)}});
    ASSERT_TRUE(other.play(true, false));
    EXPECT_FALSE(page->isPlaying());
    EXPECT_EQ(controls().listen->text(), QStringLiteral("Listen"));
    EXPECT_TRUE(songIsEmpty(page->session().song()));
    EXPECT_TRUE(midiListsDisabled(*global));
    other.stop();
    EXPECT_TRUE(midiListsEnabled(*global));

    controls().listen->click();
    ASSERT_TRUE(playingShown());
    context.sessions.stopAll();
    EXPECT_TRUE(stoppedShown());
    EXPECT_TRUE(test::soundingNotes(log->messages()).empty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ListenTest, RefusalsLeaveThePageStopped) {
    // A sequence that yields nothing, and no microsequence at all.
    song().microsequences[1].parameters.reset();
    controls().velocitySequence->setCurrentIndex(1);
    controls().listen->click();
    EXPECT_EQ(prompts.messages.back(),
              QStringLiteral("Not enough memory to calculate the velocity sequence."));
    EXPECT_TRUE(stoppedShown());
    song().microsequenceCount = 0;
    controls().listen->click();
    EXPECT_EQ(prompts.messages.back(),
              QStringLiteral("Not enough memory to calculate the melody sequence."));
    EXPECT_TRUE(stoppedShown());

    // No output to play on.
    addSequences(song(), 1);
    midi.deviceProvider = nullptr;
    midiListOutputDevices(midi);
    controls().listen->click();
    EXPECT_TRUE(prompts.messages.back().startsWith(QStringLiteral("Unable to prepare MIDI data")))
        << prompts.messages.back().toStdString();
    EXPECT_TRUE(stoppedShown());
    EXPECT_EQ(log->size(), 0u);
}

// The document's New, a failed Open and closing the window, while "Listen"
// plays in the application.
TEST(BlockPageInApplication, NewAndClosingStopTheAuditionAndAFailedOpenDoesNot) {
    test::TestContext parts;
    ScriptedPrompts& prompts = parts.prompts;
    MidiSystem& midi = parts.midi;
    auto log = test::installRecorder(midi, std::make_shared<VirtualMidiClock>());
    CSingleDocTemplate app(parts.context);
    ASSERT_TRUE(app.OpenStartupDocument({}));
    Song& song = app.doc().document()->song;
    addSequences(song, 1);
    CMainSheet* sheet = app.view().sheet();
    auto* page = static_cast<CBlockPage*>(sheet->page(kBlockPageIndex));
    app.frame().show();
    sheet->setCurrentIndex(kBlockPageIndex);
    page->newBlock();
    setSliderPosition(page->controls().rhythm[4], 0);
    page->controls().loop->setChecked(true);

    page->controls().listen->click();
    ASSERT_TRUE(page->isPlaying());
    prompts.answers.push_back(Answer::No);
    app.FileNew();
    EXPECT_FALSE(page->isPlaying());
    EXPECT_FALSE(midiPlaybackIsPlaying(midi.playback()));

    addSequences(app.doc().document()->song, 1);
    sheet->setCurrentIndex(kBlockPageIndex);
    page->newBlock();
    page->controls().listen->click();
    ASSERT_TRUE(page->isPlaying());
    prompts.answers.push_back(Answer::No);
    EXPECT_FALSE(app.OpenDocumentFile(QStringLiteral("/nonexistent/none.hvn")));
    EXPECT_TRUE(page->isPlaying());
    prompts.answers.push_back(Answer::No);
    EXPECT_TRUE(app.frame().close());
    EXPECT_FALSE(page->isPlaying());
    EXPECT_TRUE(test::soundingNotes(log->messages()).empty());
}

}  // namespace
}  // namespace halvorn
