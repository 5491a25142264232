#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QUndoStack>

#include "midi/midi_clock.h"
#include "model/song.h"
#include "tests/support/playback_test_support.h"
#include "tests/support/window_fixture.h"
#include "ui/frame/main_frame.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"

namespace halvorn {
namespace {

class UndoTest : public test::WindowTest {
  protected:
    CMacroPage& tracks() { return *static_cast<CMacroPage*>(sheet().page(kMacroPageIndex)); }
    QUndoStack& stack() { return context.history.stack(); }
    QString tab(int index) {
        QApplication::processEvents();
        return sheet().tabText(index);
    }

    // Moves `slider` a page by the keyboard, whichever way it can go.
    static void nudge(QSlider* slider) {
        slider->setFocus();
        const int before = slider->value();
        QTest::keyClick(slider, Qt::Key_PageUp);
        if (slider->value() == before) QTest::keyClick(slider, Qt::Key_PageDown);
    }

    // The file as Save writes it now.
    QByteArray savedBytes(const QString& path) {
        EXPECT_TRUE(app->FileSave());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

// A change saved on the Blocks page is one step: Undo takes it out of the
// document and out of what the page shows (so saving again cannot put it
// back), Redo brings it back, and the title's mark follows the saved state.
TEST_F(UndoTest, SavedBlockEditIsUndoneAndRedoneInDocumentAndPage) {
    QMenuBar* bar = app->frame().menuBar();
    ASSERT_GE(bar->actions().size(), 3);
    EXPECT_EQ(bar->actions()[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(bar->actions()[1]->text(), QStringLiteral("&Edit"));
    EXPECT_EQ(bar->actions()[2]->text(), QStringLiteral("&Copy"));
    EXPECT_FALSE(undo().isEnabled());

    makeBlock();
    prompts.fileNames.push_back(dir.filePath("orbit"));
    ASSERT_TRUE(app->FileSave());
    EXPECT_EQ(title(), QStringLiteral("orbit.hvn - Halvorn"));
    const std::string savedDescription = document().song.blocks[0].description;

    typeInto(blocks().controls().description, QStringLiteral("Orbit bells"));
    typeInto(blocks().controls().melodyRange, QStringLiteral("7"));
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    EXPECT_EQ(document().song.blocks[0].description, "Orbit bells");
    EXPECT_EQ(document().song.blocks[0].melodyRange, 7);
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Save block \u201cOrbit bells\u201d"));
    EXPECT_EQ(title(), QStringLiteral("orbit.hvn* - Halvorn"));

    undo().trigger();
    EXPECT_EQ(document().song.blocks[0].description, savedDescription);
    EXPECT_NE(document().song.blocks[0].melodyRange, 7);
    EXPECT_EQ(blocks().controls().description->text(), QString::fromStdString(savedDescription));
    EXPECT_NE(blocks().controls().melodyRange->text(), QStringLiteral("7"));
    EXPECT_EQ(title(), QStringLiteral("orbit.hvn - Halvorn"));
    EXPECT_EQ(redo().text(), QStringLiteral("Redo Save block \u201cOrbit bells\u201d"));
    // Saving the page again writes what it now shows: the undone value stays undone.
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    EXPECT_EQ(document().song.blocks[0].description, savedDescription);
    EXPECT_TRUE(redo().isEnabled());

    redo().trigger();
    EXPECT_EQ(document().song.blocks[0].description, "Orbit bells");
    EXPECT_EQ(blocks().controls().melodyRange->text(), QStringLiteral("7"));
    EXPECT_EQ(title(), QStringLiteral("orbit.hvn* - Halvorn"));

    // Back through the saved state to before the block existed.
    undo().trigger();
    undo().trigger();
    EXPECT_EQ(document().song.blockCount, 0);
    EXPECT_EQ(blocks().controls().block->count(), 0);
    EXPECT_EQ(title(), QStringLiteral("orbit.hvn* - Halvorn"));
    EXPECT_EQ(prompts.unscripted, 0);
}

// Random Values then Save is one step; undoing it gives back the very bytes
// the document had, and the keys work as the menu says.
TEST_F(UndoTest, RandomValuesSavedThenUndoneRestoresTheDocumentExactly) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    makeBlock();
    const auto before = documentEncode(document());
    RandomSource draws(3);
    blocks().randomValues(draws);
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    ASSERT_NE(documentEncode(document()), before);
    const auto after = documentEncode(document());

    QWidget* button = blocks().controls().save;
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(documentEncode(document()), before);
    QTest::keyClick(button, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(documentEncode(document()), after);
    QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(documentEncode(document()), after);
}

// Regenerate changes only the placements, which the file leaves out; it is
// a step all the same.
TEST_F(UndoTest, RegenerateIsUndoneWithItsPlacements) {
    makeBlock();
    sheet().setCurrentIndex(kMacroPageIndex);
    auto& macros = *static_cast<CMacroPage*>(sheet().page(kMacroPageIndex));
    macros.regenerate();
    ASSERT_GT(document().song.macrosequences[0].placementCount, 0);
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Regenerate"));
    undo().trigger();
    EXPECT_EQ(document().song.macrosequences[0].placementCount, 0);
    redo().trigger();
    EXPECT_GT(document().song.macrosequences[0].placementCount, 0);
}

// Ctrl+Z in a text field takes back the typing it holds of its own, then
// the page's and the document's steps; the Edit menu says which, and Ctrl+Y
// comes back the same way. A field showing what is stored has nothing of its
// own to take back.
TEST_F(UndoTest, CtrlZInATextFieldIsOneStoryWithThePageAndTheDocument) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    makeBlock();
    const int steps = stack().index();
    QLineEdit* field = blocks().controls().description;
    const QString stored = field->text();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, " bells");
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Typing"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), stored);
    EXPECT_EQ(stack().index(), steps);
    EXPECT_EQ(redo().text(), QStringLiteral("Redo Typing"));
    EXPECT_EQ(undo().text(), QStringLiteral("Undo New block"));
    QTest::keyClick(field, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(field->text(), stored + QStringLiteral(" bells"));

    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    field->setFocus();
    EXPECT_EQ(
        undo().text(),
        QStringLiteral("Undo Save block \u201c%1\u201d").arg(stored + QStringLiteral(" bells")));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(document().song.blocks[0].description, stored.toStdString());
    EXPECT_EQ(field->text(), stored);
    QTest::keyClick(field, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(field->text(), stored + QStringLiteral(" bells"));
    EXPECT_EQ(document().song.blocks[0].description,
              (stored + QStringLiteral(" bells")).toStdString());
    EXPECT_EQ(prompts.unscripted, 0);
}

// On Blocks, "Dotted Notes" moved and saved, then "Triplets" moved: Ctrl+Z
// takes back the Triplets move first (the page shows its stored block) and
// Ctrl+Y brings it back as it was; only the next Ctrl+Z reaches the Save.
// Each state saves to the very bytes it had.
TEST_F(UndoTest, EditsOnThePageAreTakenBackFirstAndBroughtBackAsTyped) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    makeBlock();
    const QString path = dir.filePath(QStringLiteral("piece.hvn"));
    prompts.fileNames.push_back(path);
    const QByteArray original = savedBytes(path);
    QSlider* dotted = blocks().controls().dotted;
    QSlider* triplets = blocks().controls().triplets;
    const int dottedStored = dotted->value();
    const int tripletsStored = triplets->value();

    nudge(dotted);
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    const int dottedSaved = dotted->value();
    ASSERT_NE(dottedSaved, dottedStored);
    const QByteArray withDotted = savedBytes(path);
    nudge(triplets);
    const int tripletsMoved = triplets->value();
    ASSERT_NE(tripletsMoved, tripletsStored);
    EXPECT_EQ(tab(kBlockPageIndex), QStringLiteral("Blocks*"));
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Edits on Blocks"));
    EXPECT_FALSE(redo().isEnabled());

    QTest::keyClick(triplets, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(triplets->value(), tripletsStored);
    EXPECT_EQ(dotted->value(), dottedSaved);
    EXPECT_EQ(tab(kBlockPageIndex), QStringLiteral("Blocks"));
    EXPECT_EQ(redo().text(), QStringLiteral("Redo Edits on Blocks"));
    QTest::keyClick(triplets, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(triplets->value(), tripletsMoved);
    EXPECT_EQ(tab(kBlockPageIndex), QStringLiteral("Blocks*"));

    undo().trigger();
    EXPECT_TRUE(undo().text().startsWith(QStringLiteral("Undo Save block")));
    undo().trigger();
    EXPECT_EQ(dotted->value(), dottedStored);
    EXPECT_EQ(savedBytes(path), original);
    redo().trigger();
    EXPECT_EQ(dotted->value(), dottedSaved);
    EXPECT_EQ(savedBytes(path), withDotted);
    redo().trigger();
    EXPECT_EQ(triplets->value(), tripletsMoved);
    EXPECT_EQ(title(), QStringLiteral("piece.hvn* - Halvorn"));
}

// Each record page drops its edits when it is left or another record is
// picked, but the edits become a step: Undo goes back to that page and
// record with them as typed, Redo drops them again. A plain switch records
// nothing.
TEST_F(UndoTest, EditsDroppedByLeavingOrPickingComeBack) {
    makeBlock();
    QTest::mouseClick(blocks().controls().newBlock, Qt::LeftButton);
    struct Edited {
        int page;
        QLineEdit* field;
        QString caption;
    };
    const std::vector<Edited> pages = {
        {kMicroPageIndex, micros().controls().period, QStringLiteral("Microsequences")},
        {kBlockPageIndex, blocks().controls().melodyRange, QStringLiteral("Blocks")},
        {kMacroPageIndex, tracks().controls().displacement, QStringLiteral("Macrosequences")}};
    for (const Edited& edited : pages) {
        SCOPED_TRACE(edited.caption.toStdString());
        sheet().setCurrentIndex(edited.page);
        const QString stored = edited.field->text();
        const auto document = documentEncode(this->document());
        typeInto(edited.field, QStringLiteral("3"));
        const int steps = stack().count();
        sheet().setCurrentIndex(kGlobalPageIndex);
        EXPECT_EQ(app->frame().statusBar()->currentMessage(),
                  QStringLiteral("Edits on %1 discarded; Edit > Undo brings them back")
                      .arg(edited.caption));
        EXPECT_EQ(stack().count(), steps + 1);
        EXPECT_EQ(undo().text(), QStringLiteral("Undo Discard edits on %1").arg(edited.caption));

        undo().trigger();
        EXPECT_EQ(sheet().currentIndex(), edited.page);
        EXPECT_EQ(edited.field->text(), QStringLiteral("3"));
        EXPECT_EQ(tab(edited.page), edited.caption + QLatin1Char('*'));
        redo().trigger();
        EXPECT_EQ(edited.field->text(), stored);
        EXPECT_EQ(documentEncode(this->document()), document);
        sheet().setCurrentIndex(kGlobalPageIndex);
        EXPECT_EQ(stack().count(), steps + 1);
    }

    // Another block picked in the list drops the first block's edit.
    sheet().setCurrentIndex(kBlockPageIndex);
    typeInto(blocks().controls().melodyRange, QStringLiteral("9"));
    blocks().controls().block->setCurrentIndex(1);
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Discard edits on Blocks"));
    undo().trigger();
    EXPECT_EQ(blocks().controls().block->currentIndex(), 0);
    EXPECT_EQ(blocks().controls().melodyRange->text(), QStringLiteral("9"));
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    EXPECT_EQ(document().song.blocks[0].melodyRange, 9);
}

// A command is one step named after it: "Random Values" on the Global page
// changes the scale at once and the other fields on the page, and one undo
// takes back both, with what was typed before it. A page's Save leaves no
// step of the Global page's own.
TEST_F(UndoTest, EveryCommandIsOneStepNamedAfterIt) {
    CGlobalPage& global = *sheet().globalPage();
    const auto before = documentEncode(document());
    typeInto(global.controls().title, QStringLiteral("Typed title"));
    const QString tempo = global.controls().tempo->text();
    const int steps = stack().count();
    app->frame().action(FrameCommand::RandomValues)->trigger();
    EXPECT_EQ(stack().count(), steps + 1);
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Random Values"));
    const QString randomTempo = global.controls().tempo->text();
    const Scale randomScale = document().song.scale;

    undo().trigger();
    EXPECT_EQ(documentEncode(document()), before);
    EXPECT_EQ(global.controls().tempo->text(), tempo);
    EXPECT_EQ(global.controls().title->text(), QStringLiteral("Typed title"));
    redo().trigger();
    EXPECT_EQ(global.controls().tempo->text(), randomTempo);
    EXPECT_EQ(document().song.scale.intervals, randomScale.intervals);

    makeBlock();  // leaving the Global page stores its fields: one step
    typeInto(blocks().controls().melodyRange, QStringLiteral("5"));
    const int beforeSave = stack().count();
    QTest::mouseClick(blocks().controls().save, Qt::LeftButton);
    EXPECT_EQ(stack().count(), beforeSave + 1);
    EXPECT_TRUE(stack().text(stack().count() - 1).startsWith(QStringLiteral("Save block")));
}

// Undo and Redo while the piece or a block plays: the playback goes on with
// what was rendered, the document changes under it, and Stop ends it.
TEST_F(UndoTest, UndoWhilePlayingKeepsPlayingWhatWasRendered) {
    test::installRecorder(midi, std::make_shared<SteadyMidiClock>());
    ASSERT_TRUE(
        app->OpenDocumentFile(QStringLiteral(HALVORN_SOURCE_DIR "/examples/orbit_garden.hvn")));
    sheet().setCurrentIndex(kBlockPageIndex);
    const std::int32_t range = document().song.blocks[0].melodyRange;
    blocks().controls().loop->setChecked(true);
    typeInto(blocks().controls().melodyRange, QString::number(range + 1));
    QTest::mouseClick(blocks().controls().listen, Qt::LeftButton);
    ASSERT_TRUE(blocks().isPlaying());
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Listen"));
    undo().trigger();
    EXPECT_TRUE(blocks().isPlaying());
    EXPECT_EQ(document().song.blocks[0].melodyRange, range);
    redo().trigger();
    EXPECT_EQ(document().song.blocks[0].melodyRange, range + 1);
    blocks().stop();

    sheet().setCurrentIndex(kMacroPageIndex);
    tracks().controls().loop->setChecked(true);
    typeInto(tracks().controls().displacement, QStringLiteral("1"));
    QTest::mouseClick(tracks().controls().play, Qt::LeftButton);
    ASSERT_TRUE(tracks().isPlaying());
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Play"));
    while (undo().isEnabled()) undo().trigger();
    EXPECT_TRUE(tracks().isPlaying());
    EXPECT_EQ(document().song.blocks[0].melodyRange, range);
    while (redo().isEnabled()) redo().trigger();
    EXPECT_EQ(displacementMeasures(document().song.macrosequences[0].alignment), 1);
    QTest::mouseClick(tracks().controls().play, Qt::LeftButton);
    EXPECT_FALSE(tracks().isPlaying());
    EXPECT_EQ(prompts.unscripted, 0);
}

// The history keeps the last 256 steps; Open, like New, starts a new one.
TEST_F(UndoTest, HistoryKeepsTheLastStepsAndOpenStartsAnew) {
    for (int i = 0; i < 300; ++i) {
        context.history.record(QStringLiteral("Step"),
                               [&] { document().song.tempo = kMinTempo + i % 2; });
    }
    EXPECT_EQ(stack().count(), DocumentHistory::kStepLimit);
    EXPECT_EQ(DocumentHistory::kStepLimit, 256);

    const QString path = dir.filePath(QStringLiteral("steps.hvn"));
    prompts.fileNames.push_back(path);
    ASSERT_TRUE(app->FileSave());
    ASSERT_TRUE(app->OpenDocumentFile(path));
    EXPECT_EQ(stack().count(), 0);
    EXPECT_FALSE(undo().isEnabled());
}

// New and Open start a history of their own; a step on the Global page is
// undone there too.
TEST_F(UndoTest, GlobalPageCommitIsAStepAndNewClearsTheHistory) {
    CGlobalPage& global = *sheet().globalPage();
    typeInto(global.controls().tempo, QStringLiteral("133"));
    ASSERT_TRUE(global.CommitToSong());
    EXPECT_EQ(undo().text(), QStringLiteral("Undo Change global settings"));
    const std::int32_t tempo = document().song.tempo;
    undo().trigger();
    EXPECT_NE(document().song.tempo, tempo);
    EXPECT_EQ(global.controls().tempo->text(), QStringLiteral("100"));
    redo().trigger();
    EXPECT_EQ(global.controls().tempo->text(), QStringLiteral("133"));

    prompts.answers.push_back(Answer::No);
    app->FileNew();
    EXPECT_EQ(context.history.stack().count(), 0);
    EXPECT_FALSE(undo().isEnabled());
    EXPECT_FALSE(redo().isEnabled());
}

}  // namespace
}  // namespace halvorn
