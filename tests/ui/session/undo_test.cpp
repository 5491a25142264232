#include <gtest/gtest.h>

#include <QMenuBar>
#include <QPushButton>
#include <QUndoStack>

#include "model/song.h"
#include "tests/support/window_fixture.h"
#include "ui/pages/global/global_page.h"
#include "ui/pages/macro/macro_page.h"

namespace halvorn {
namespace {

class UndoTest : public test::WindowTest {};

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
    blocks().randomValues();
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

// A text field with the focus keeps Ctrl+Z for its own text.
TEST_F(UndoTest, TextFieldWithFocusUndoesItsOwnTyping) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->frame()));
    makeBlock();
    const int steps = context.history.stack().index();
    QLineEdit* field = blocks().controls().description;
    const QString shown = field->text();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, "xy");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), shown);
    EXPECT_EQ(context.history.stack().index(), steps);
    EXPECT_EQ(document().song.blockCount, 1);
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
