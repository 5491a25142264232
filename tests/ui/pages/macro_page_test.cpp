#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "engine/arrangement_picture.h"
#include "fractal/parameters.h"
#include "midi/smf.h"
#include "model/song.h"
#include "tests/support/playback_test_support.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_test_support.h"
#include "ui/frame/main_sheet.h"
#include "ui/pages/blocks/block_page.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"
#include "ui/session/audio_export_run.h"
#include "ui/session/playback_session.h"
#include "ui/views/arrangement_captions.h"
#include "ui/views/arrangement_display.h"

namespace halvorn {
namespace {

using test::itemTexts;
using test::processUntil;

bool midiListsEnabled(const CGlobalPage& global) {
    const auto& controls = global.controls();
    return controls.port->isEnabled() && controls.buffer->isEnabled() && controls.ppqn->isEnabled();
}

bool hasEvents(const MidiTrack& track) {
    return !track.events.empty();
}

class MacroPageTest : public test::ScratchDirectoryTest, protected test::TestContext {
  protected:
    void SetUp() override {
        ScratchDirectoryTest::SetUp();
        sheet = std::make_unique<CMainSheet>(context);
        page = static_cast<CMacroPage*>(sheet->page(kMacroPageIndex));
        global = sheet->globalPage();
        global->ResetForNewDocument();
    }
    void TearDown() override {
        sheet.reset();
        ScratchDirectoryTest::TearDown();
    }

    Song& song() { return document.contents.song; }
    const MacroPageControls& controls() { return page->controls(); }

    // `count` one-measure blocks of quarter notes, each on its own channel
    // and sequence.
    void addBlocks(int count) {
        for (int i = 0; i < count; ++i) {
            Microsequence& sequence = song().microsequences[song().microsequenceCount++];
            microsequenceMakeNew(sequence);
            sequence.fractalType = kFractalMorseThue;
            sequence.period = 16;
            sequence.parameters = MorseThueParameters{3, i, 1}.toBytes();
            const std::int32_t index = song().blockCount++;
            Block& block = song().blocks[index];
            blockMakeNew(block, index);
            block.description = "Voice " + std::to_string(index);
            block.melodySequence = block.velocitySequence = i;
            block.melodyRange = 12;
            block.rhythmDistribution[4] = 1.0;
            block.program = 40 + index;
        }
    }

    // The sheet turns to the page, which lists the blocks and loads track 0.
    void showPage() { test::turnToPage(*sheet, kMacroPageIndex); }

    // The stretching sliders as the probabilities they stand for, in
    // hundredths.
    std::vector<int> stretch() {
        std::vector<int> hundredths;
        for (const QSlider* slider : controls().stretch)
            hundredths.push_back(kMaxSliderPosition - sliderPosition(slider));
        return hundredths;
    }
    void setStretch(const std::vector<int>& hundredths) {
        for (int i = 0; i < kStretchChoices; ++i)
            setSliderPosition(controls().stretch[i], kMaxSliderPosition - hundredths[i]);
    }

    void selectTrack(int track) { controls().block->setCurrentIndex(track); }

    // The track's Volume, Probability and Panning sliders, in hundredths.
    void setTrackSliders(int volume, int probability, int panning) {
        setSliderPosition(controls().volume, volume);
        setSliderPosition(controls().probability, probability);
        setSliderPosition(controls().panning, panning);
    }

    // Plays through a stream that the test advances by hand.
    std::shared_ptr<test::CaptureLog> installCapture() {
        auto log = std::make_shared<test::CaptureLog>();
        midi.deviceProvider = std::make_shared<test::CaptureProvider>(log);
        midiListOutputDevices(midi);
        return log;
    }

    bool playingShown() {
        return page->isPlaying() && controls().play->text() == QStringLiteral("Stop") &&
               !midiListsEnabled(*global);
    }
    bool stoppedShown() {
        return !page->isPlaying() && controls().play->text() == QStringLiteral("Play") &&
               midiListsEnabled(*global) && !controls().display->playPosition();
    }

    // What the display should show: the song's placements from `first`.
    ArrangementPicture expectedPicture(std::int32_t first) {
        auto picture = arrangementPictureCreate(
            {controls().display->picture().width, controls().display->picture().height});
        EXPECT_TRUE(picture);
        composeArrangement(*picture, song(), first);
        return std::move(*picture);
    }

    std::unique_ptr<CMainSheet> sheet;
    CMacroPage* page = nullptr;
    CGlobalPage* global = nullptr;
};

TEST_F(MacroPageTest, WithoutBlocksOnlyTheLengthShowsAndNothingIsStoredPlayedOrSaved) {
    song().lengthMeasures = 12;
    showPage();
    EXPECT_EQ(controls().block->count(), 0);
    EXPECT_EQ(controls().totalLength->text(), QStringLiteral("12"));
    controls().totalLength->setText(QStringLiteral("20"));
    controls().save->click();
    controls().regenerate->click();
    controls().play->click();
    EXPECT_EQ(song().lengthMeasures, 12);
    EXPECT_TRUE(stoppedShown());
    EXPECT_TRUE(prompts.messages.empty());

    controls().saveMidi->click();
    EXPECT_EQ(prompts.messages,
              std::vector<QString>{QStringLiteral("Unable to generate MIDI data")});
    EXPECT_TRUE(prompts.saveRequests.empty());  // no file name is asked for
    EXPECT_EQ(fileCount(), 0u);
}

TEST_F(MacroPageTest, FieldsAreValidatedInOrderAndStoredOnlyBySave) {
    addBlocks(2);
    showPage();
    EXPECT_EQ(itemTexts(controls().block),
              (QStringList{QStringLiteral(" 0: Voice 0"), QStringLiteral(" 1: Voice 1")}));
    EXPECT_EQ(controls().alignTo->count(), 8);
    EXPECT_EQ(controls().alignTo->itemText(0), QStringLiteral("1 measure"));
    EXPECT_EQ(controls().alignTo->itemText(7), QStringLiteral("8 measures"));
    controls().regenerate->click();
    ASSERT_GT(song().macrosequences[1].placementCount, 0);

    selectTrack(1);
    controls().alignTo->setCurrentIndex(2);  // "3 measures"
    controls().displacement->setText(QStringLiteral("2"));
    controls().seed->setText(QStringLiteral("98765"));
    controls().muteTrack->setChecked(true);
    setTrackSliders(34, 10, 80);
    controls().totalLength->setText(QStringLiteral("20"));
    controls().save->click();
    const Macrosequence& saved = song().macrosequences[1];
    EXPECT_EQ(saved.alignment, 2 * 65536 + 3);
    EXPECT_EQ(saved.seed, 98765);
    EXPECT_EQ(saved.muted, 1);
    EXPECT_DOUBLE_EQ(saved.volume, 0.66);
    EXPECT_DOUBLE_EQ(saved.probability, 0.9);
    EXPECT_DOUBLE_EQ(saved.panning, 0.8);
    EXPECT_EQ(song().lengthMeasures, 20);
    // Saving drops the track's placements until the next Regenerate; the
    // picture keeps what it showed until it is drawn again.
    EXPECT_EQ(saved.placementCount, 0);
    EXPECT_TRUE(saved.placements.empty());
    EXPECT_GT(song().macrosequences[0].placementCount, 0);

    // A field out of bounds names its bounds, and nothing is stored.
    controls().seed->setText(QStringLiteral("5"));
    controls().displacement->setText(QStringLiteral("8"));
    controls().save->click();
    EXPECT_EQ(prompts.messages.back(), QStringLiteral("Introduzca un número entero entre 0 y 7."));
    EXPECT_EQ(saved.seed, 98765);
    controls().displacement->setText(QStringLiteral("0"));
    controls().totalLength->setText(QStringLiteral("0"));
    controls().save->click();
    EXPECT_EQ(prompts.messages.back(),
              QStringLiteral("Introduzca un número entero entre 1 y 999."));
    EXPECT_EQ(controls().totalLength->maxLength(), 3);
    EXPECT_EQ(song().lengthMeasures, 20);
    EXPECT_EQ(saved.seed, 98765);

    // Loading another track drops unsaved edits and shows the stored ones.
    controls().totalLength->setText(QStringLiteral("20"));
    selectTrack(0);
    selectTrack(1);
    EXPECT_EQ(controls().seed->text(), QStringLiteral("98765"));
    EXPECT_EQ(controls().displacement->text(), QStringLiteral("2"));
    EXPECT_EQ(controls().alignTo->currentText(), QStringLiteral("3 measures"));
    EXPECT_TRUE(controls().muteTrack->isChecked());
    EXPECT_EQ(sliderPosition(controls().volume), 34);

    // The spin buttons stay within 1..999.
    controls().totalLength->setText(QStringLiteral("999"));
    const auto buttons = controls().totalLength->parentWidget()->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 2);
    buttons[0]->click();
    EXPECT_EQ(controls().totalLength->text(), QStringLiteral("999"));
    buttons[1]->click();
    EXPECT_EQ(controls().totalLength->text(), QStringLiteral("998"));
}

TEST_F(MacroPageTest, EveryFractionReadsBackAtTheSliderPositionItWasSavedFrom) {
    addBlocks(2);
    showPage();
    for (int p = 0; p <= kMaxSliderPosition; ++p) {
        selectTrack(1);
        setTrackSliders(p, kMaxSliderPosition - p, p);
        setStretch({p, kMaxSliderPosition - p, 0, 0});
        controls().save->click();
        selectTrack(0);
        selectTrack(1);
        ASSERT_EQ(sliderPosition(controls().volume), p);
        ASSERT_EQ(sliderPosition(controls().probability), kMaxSliderPosition - p);
        ASSERT_EQ(sliderPosition(controls().panning), p);
        // A distribution that sums to one is kept as it is by the Save's
        // Normalize.
        ASSERT_EQ(stretch(), (std::vector<int>{p, kMaxSliderPosition - p, 0, 0}));
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MacroPageTest, NormalizeTruncatesToWholePercentsAndTurnsNothingIntoOneX) {
    addBlocks(1);
    showPage();
    const auto normalized = [&](const std::vector<int>& hundredths) {
        setStretch(hundredths);
        controls().normalize->click();
        return stretch();
    };
    EXPECT_EQ(normalized({50, 50, 0, 0}), (std::vector<int>{50, 50, 0, 0}));
    EXPECT_EQ(normalized({0, 0, 0, 0}), (std::vector<int>{100, 0, 0, 0}));
    EXPECT_EQ(normalized({0, 0, 0, 30}), (std::vector<int>{0, 0, 0, 100}));
    EXPECT_EQ(normalized({40, 40, 40, 40}), (std::vector<int>{25, 25, 25, 25}));
    EXPECT_EQ(normalized({100, 100, 100, 0}), (std::vector<int>{33, 33, 33, 0}));
    // Save normalizes too: the three are stored at 0.33 each, summing to 0.99.
    controls().save->click();
    const auto& stored = song().macrosequences[0].stretchProbabilities;
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(stored[i], 0.33) << i;
    EXPECT_EQ(stored[3], 0.0);
}

TEST_F(MacroPageTest, CopyTakesEveryFieldAndRandomSeedOnlyTheSeedEdit) {
    addBlocks(3);
    showPage();
    controls().regenerate->click();
    controls().alignTo->setCurrentIndex(4);
    controls().displacement->setText(QStringLiteral("3"));
    controls().seed->setText(QStringLiteral("4242"));
    controls().muteTrack->setChecked(true);
    setTrackSliders(12, 70, 5);
    setStretch({20, 30, 40, 10});
    controls().save->click();
    const Macrosequence source = song().macrosequences[0];

    test::answerCopyDialog(0, 2);
    sheet->copy();
    const Macrosequence& copied = song().macrosequences[2];
    EXPECT_EQ(copied.muted, source.muted);
    EXPECT_EQ(copied.seed, source.seed);
    EXPECT_EQ(copied.volume, source.volume);
    EXPECT_EQ(copied.probability, source.probability);
    EXPECT_EQ(copied.panning, source.panning);
    EXPECT_EQ(copied.alignment, source.alignment);
    EXPECT_EQ(copied.stretchProbabilities, source.stretchProbabilities);
    EXPECT_EQ(copied.placementCount, 0);  // dropped by the destination's Save
    EXPECT_EQ(controls().block->currentIndex(), 2);
    EXPECT_GT(song().macrosequences[1].placementCount, 0);

    {
        test::ConstantDraws draws(0.75);
        page->drawRandomSeed(draws);
    }
    EXPECT_EQ(controls().seed->text(), QStringLiteral("925925917"));
    EXPECT_EQ(song().macrosequences[2].seed, 4242);  // nothing is saved
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MacroPageTest, DisplayFitsToSixteensAndScrollsWithinTheSong) {
    addBlocks(3);
    song().lengthMeasures = 20;
    showPage();
    CArrangementDisplay* display = controls().display;
    // A client area of 263 × 165 inside the one-pixel border.
    display->resize(263 + 2, 165 + 2);
    EXPECT_EQ(display->picture().width, 256);
    EXPECT_EQ(display->picture().height, 160);
    EXPECT_EQ(display->pictureRect(), QRect(1 + 263 - 256, 1, 256, 160));  // top right

    controls().regenerate->click();
    EXPECT_EQ(page->firstVisibleMeasure(), 1);
    EXPECT_EQ(controls().positionBar->minimum(), 1);
    EXPECT_EQ(controls().positionBar->maximum(), 5);
    EXPECT_EQ(controls().positionBar->value(), 1);
    EXPECT_EQ(display->picture().pixels, expectedPicture(1).pixels);
    // What the screen shows is the composed picture, pixel for pixel.
    const QImage& shown = display->shownImage();
    ASSERT_EQ(shown.size(), QSize(256, 160));
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 256; ++x)
            ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFFu, display->picture().at(x, y) & 0xFFFFFFu)
                << x << "," << y;

    for (int i = 0; i < 6; ++i) controls().scrollRight->click();
    EXPECT_EQ(page->firstVisibleMeasure(), 5);  // the last window: measures 5..20
    EXPECT_EQ(controls().positionBar->value(), 5);
    EXPECT_EQ(display->picture().pixels, expectedPicture(5).pixels);
    for (int i = 0; i < 2; ++i) controls().scrollLeft->click();
    EXPECT_EQ(page->firstVisibleMeasure(), 3);
    EXPECT_EQ(display->picture().pixels, expectedPicture(3).pixels);
    for (int i = 0; i < 3; ++i) controls().scrollLeft->click();
    EXPECT_EQ(page->firstVisibleMeasure(), 1);

    // The right arrow goes by the length typed: 16 measures fill one window.
    controls().totalLength->setText(QStringLiteral("16"));
    controls().scrollRight->click();
    EXPECT_EQ(page->firstVisibleMeasure(), 1);

    // A song shorter than the window shown last starts at measure 1 when the
    // page is shown again.
    controls().totalLength->setText(QStringLiteral("20"));
    for (int i = 0; i < 4; ++i) controls().scrollRight->click();
    song().lengthMeasures = 8;
    sheet->setCurrentIndex(kGlobalPageIndex);
    sheet->setCurrentIndex(kMacroPageIndex);
    EXPECT_EQ(page->firstVisibleMeasure(), 1);
    EXPECT_EQ(controls().positionBar->maximum(), 1);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MacroPageTest, PlayLineFollowsThePositionHeardAcrossWindowsAndLoopPasses) {
    addBlocks(2);
    song().lengthMeasures = 20;
    showPage();
    controls().regenerate->click();
    auto log = installCapture();
    controls().loop->setChecked(true);
    controls().play->click();
    ASSERT_TRUE(playingShown());
    CArrangementDisplay* display = controls().display;

    // Song tick 8340 at 120 a beat is beat 69.5, in measure 18 of 4/4: the
    // window turns to the last page, 5..20, and the line is drawn there.
    log->position = 8340;
    ASSERT_TRUE(processUntil([&] { return display->playPosition().has_value(); }));
    EXPECT_DOUBLE_EQ(*display->playPosition(), 69.5);
    EXPECT_EQ(page->firstVisibleMeasure(), 5);
    EXPECT_EQ(controls().positionBar->value(), 5);
    const ArrangementPicture& picture = display->picture();
    const int lineX = static_cast<int>((69.5 / 4 - 4) * picture.cellWidth());
    for (int y = 0; y < picture.height; y += 7)
        EXPECT_EQ(picture.at(lineX, y), kArrangementPlayLine) << y;

    // The loop starts again: back to the first window.
    log->position = 60;
    ASSERT_TRUE(processUntil([&] { return page->firstVisibleMeasure() == 1; }));
    EXPECT_DOUBLE_EQ(*display->playPosition(), 0.5);

    controls().play->click();
    EXPECT_TRUE(stoppedShown());
    const auto& pixels = display->picture().pixels;
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), kArrangementPlayLine), 0);
}

// A port that goes away while the song plays stops the page, and the user
// is told which port it was.
TEST_F(MacroPageTest, APortThatGoesAwayStopsPlayAndIsNamed) {
    addBlocks(1);
    showPage();
    auto log = installCapture();
    controls().play->click();
    ASSERT_TRUE(playingShown());
    log->failure = "The MIDI port Synth:in (JACK) is gone; playback stopped.";
    ASSERT_TRUE(log->playNext());
    ASSERT_TRUE(processUntil([&] { return !page->isPlaying(); }));
    EXPECT_TRUE(stoppedShown());
    EXPECT_EQ(prompts.messages, std::vector<QString>({QStringLiteral(
                                    "The MIDI port Synth:in (JACK) is gone; playback stopped.")}));
}

// The muted track is left out of what plays and kept in the file; a Save
// MIDI while the song plays leaves the played song alone; Play and the
// Blocks page's Listen take the one stream from each other.
TEST_F(MacroPageTest, PlaySkipsMutedTracksSaveMidiKeepsThemAndListenTakesOver) {
    addBlocks(2);
    song().macrosequences[1].muted = 1;
    showPage();
    installCapture();
    document.contents.title = "Piece";
    document.contents.author = "";
    global->LoadFromSong();
    controls().loop->setChecked(true);
    controls().play->click();
    ASSERT_TRUE(playingShown());
    const MidiSong& played = page->session().song();
    EXPECT_TRUE(hasEvents(played.tracks[0]));
    EXPECT_FALSE(hasEvents(played.tracks[1]));
    const std::vector<MidiEvent> playedEvents = played.tracks[0].events;

    prompts.fileNames.push_back(QString::fromStdString(path("piece")));
    controls().saveMidi->click();
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].filterText, QStringLiteral("Archivos MIDI (*.mid)"));
    EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, QStringLiteral("mid"));
    EXPECT_EQ(prompts.saveRequests[0].title, QStringLiteral("Save MIDI"));
    MidiSong file;
    ASSERT_EQ(midiSongReadFile(path("piece.mid"), &file), MidiResult::kOk);
    // The reader gathers every track's notes in one slot: the muted track's
    // are those on its block's channel 2.
    const auto notesOn = [&](std::uint8_t channel) {
        const auto& events = file.tracks[0].events;
        return std::count_if(events.begin(), events.end(), [&](const MidiEvent& event) {
            return event.status == (0x90 | channel) && event.data2 > 0;
        });
    };
    EXPECT_GT(notesOn(0), 0);
    EXPECT_GT(notesOn(1), 0);
    EXPECT_EQ(file.title, "Piece");
    EXPECT_FALSE(file.copyright);  // an empty author is left out
    EXPECT_TRUE(playingShown());
    EXPECT_EQ(page->session().song().tracks[0].events, playedEvents);
    EXPECT_FALSE(hasEvents(page->session().song().tracks[1]));

    auto* blocks = static_cast<CBlockPage*>(sheet->page(kBlockPageIndex));
    sheet->setCurrentIndex(kBlockPageIndex);
    blocks->controls().listen->click();
    ASSERT_TRUE(blocks->isPlaying());
    EXPECT_FALSE(page->isPlaying());
    EXPECT_EQ(controls().play->text(), QStringLiteral("Play"));
    EXPECT_FALSE(midiListsEnabled(*global));

    sheet->setCurrentIndex(kMacroPageIndex);
    controls().play->click();
    EXPECT_TRUE(playingShown());
    EXPECT_FALSE(blocks->isPlaying());
    EXPECT_EQ(blocks->controls().listen->text(), QStringLiteral("Listen"));
    context.sessions.stopAll();
    EXPECT_TRUE(stoppedShown());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MacroPageTest, FailuresLeaveThePageStoppedAndNoFileBehind) {
    addBlocks(1);
    showPage();
    // No output to play on.
    midi.deviceProvider = nullptr;
    midiListOutputDevices(midi);
    controls().play->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].startsWith(QStringLiteral("Unable to prepare MIDI data")));
    EXPECT_TRUE(stoppedShown());

    // A file that cannot be written, and a dialog cancelled.
    prompts.fileNames.push_back(QString::fromStdString(path("missing/piece.mid")));
    controls().saveMidi->click();
    EXPECT_EQ(prompts.messages.back(), QStringLiteral("Unable to save MIDI file."));
    EXPECT_EQ(prompts.details.back(), QString::fromStdString(path("missing/piece.mid")) +
                                          QStringLiteral("\nNo such file or directory."));
    prompts.fileNames.push_back(QString());
    controls().saveMidi->click();
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(fileCount(), 0u);

    // Without a synthesizer there is no audio export.
    context.audioExport = {};
    controls().exportAudio->click();
    EXPECT_EQ(prompts.messages.back(),
              QStringLiteral("Audio export needs the built-in synthesizer."));
    EXPECT_EQ(prompts.saveRequests.size(), 2u);
}

// A user reads the arrangement: what needs Regenerate, which measures are
// shown, which row is which block, which tracks are muted.
TEST_F(MacroPageTest, CaptionsNameTheMeasuresAndRowsAndAskForRegenerate) {
    addBlocks(3);
    song().macrosequences[1].muted = 1;
    // Track 2 is all but sure to place nothing: Regenerate cannot draw it.
    song().macrosequences[2].probability = 0.0001;
    showPage();
    const CArrangementCaptions& captions = *controls().captions;
    EXPECT_TRUE(captions.regenerateShown());
    EXPECT_TRUE(captions.regenerateLine()->isVisible());
    EXPECT_EQ(captions.regenerateLine()->text(),
              QStringLiteral("Press Regenerate to draw the arrangement."));

    controls().totalLength->setText(QStringLiteral("40"));
    controls().regenerate->click();
    EXPECT_TRUE(song().macrosequences[2].placements.empty());
    EXPECT_FALSE(captions.regenerateShown());
    QStringList first16;
    for (int m = 1; m <= 16; ++m) first16 << QString::number(m);
    EXPECT_EQ(captions.measureNumbers(), first16);
    EXPECT_EQ(captions.rowNames(), QStringList({"0: Voice 0", "1: Voice 1 (muted)", "2: Voice 2"}));

    controls().scrollRight->click();
    controls().scrollRight->click();
    EXPECT_EQ(captions.measureNumbers().front(), QStringLiteral("3"));
    EXPECT_EQ(captions.measureNumbers().back(), QStringLiteral("18"));

    // The captions sit outside the picture: the names to its left, the
    // numbers above it.
    const QRect picture(
        controls().display->mapTo(&captions, controls().display->pictureRect().topLeft()),
        controls().display->pictureRect().size());
    EXPECT_GT(picture.top(), 0);
    EXPECT_GT(picture.left(), 0);

    // Saving a track drops its placements until the next Regenerate.
    selectTrack(0);
    controls().save->click();
    EXPECT_TRUE(captions.regenerateShown());
}

}  // namespace
}  // namespace halvorn
