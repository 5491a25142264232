#include <gtest/gtest.h>

#include <QComboBox>
#include <memory>

#include "model/song.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/ui_test_support.h"
#include "ui/pages/copy_dialog.h"

namespace halvorn {
namespace {

using test::itemTexts;

class CopyDialogTest : public ::testing::Test, protected test::TestContext {
  protected:
    void SetUp() override {
        for (int i = 0; i < kMaxMicrosequences; ++i) {
            setDescription(song.microsequences[i].description, "Sequence " + std::to_string(i));
        }
        for (int i = 0; i < kMaxBlocks; ++i) {
            setDescription(song.blocks[i].description, "Block " + std::to_string(i));
        }
    }

    // The dialog for `mode` with entry `selected` chosen, filled in as it is
    // before it shows.
    std::unique_ptr<CCopyDialog> prepared(CopyMode mode, int selected) {
        auto dialog = std::make_unique<CCopyDialog>(prompts, &song, mode, selected);
        EXPECT_TRUE(dialog->prepare()) << "nothing to copy";
        return dialog;
    }

    Song song = songInit();
};

TEST_F(CopyDialogTest, MicrosequenceModeOffersANewSequenceBelowThirtyTwo) {
    song.microsequenceCount = 31;
    const auto dialog = prepared(CopyMode::Microsequence, 4);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Copy Microsequence"));
    EXPECT_EQ(dialog->sourceList()->count(), 31);
    EXPECT_EQ(dialog->destinationList()->count(), 32);
    EXPECT_EQ(dialog->sourceList()->itemText(4), QStringLiteral(" 4: Sequence 4"));
    EXPECT_EQ(dialog->destinationList()->itemText(31), QStringLiteral("31: Create New Sequence"));

    song.microsequenceCount = 32;
    const auto full = prepared(CopyMode::Microsequence, 0);
    EXPECT_EQ(full->destinationList()->count(), 32);
    EXPECT_EQ(full->destinationList()->itemText(31), QStringLiteral("31: Sequence 31"));
}

TEST_F(CopyDialogTest, BlockModeEndsWithANewBlockEntry) {
    song.blockCount = 5;
    const auto dialog = prepared(CopyMode::Block, 2);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Copy Block"));
    EXPECT_EQ(itemTexts(dialog->destinationList()),
              QStringList({" 0: Block 0", " 1: Block 1", " 2: Block 2", " 3: Block 3",
                           " 4: Block 4", " 5: Create New Block"}));

    song.blockCount = 16;
    const auto full = prepared(CopyMode::Block, 0);
    EXPECT_EQ(full->destinationList()->count(), 16);
}

TEST_F(CopyDialogTest, MacrosequenceModeListsBlocksAndNeverOffersANewEntry) {
    song.blockCount = 3;
    const auto dialog = prepared(CopyMode::Macrosequence, 1);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Copy Macrosequence"));
    EXPECT_EQ(itemTexts(dialog->sourceList()), itemTexts(dialog->destinationList()));
    EXPECT_EQ(dialog->destinationList()->count(), 3);
    EXPECT_EQ(dialog->destinationList()->itemText(2), QStringLiteral(" 2: Block 2"));
}

TEST_F(CopyDialogTest, OkOnThePreselectionIsRefused) {
    song.blockCount = 4;
    const auto dialog = prepared(CopyMode::Block, 3);
    EXPECT_EQ(dialog->sourceList()->currentIndex(), 3);
    EXPECT_EQ(dialog->destinationList()->currentIndex(), 3);
    dialog->accept();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Source and destiny must be different."));
    EXPECT_NE(dialog->result(), QDialog::Accepted);
}

TEST_F(CopyDialogTest, OkReturnsSourceAndDestination) {
    song.blockCount = 4;
    CCopyDialog dialog(prompts, &song, CopyMode::Block, 1);
    EXPECT_EQ(dialog.sourceIndex(), -1);
    EXPECT_EQ(dialog.destinationIndex(), -1);
    ASSERT_TRUE(dialog.prepare());
    dialog.destinationList()->setCurrentIndex(4);  // the new-block entry
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.sourceIndex(), 1);
    EXPECT_EQ(dialog.destinationIndex(), 4);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(CopyDialogTest, NothingToCopyReturnsAsCancelled) {
    struct Case {
        const Song* song;
        CopyMode mode;
    };
    const Song empty = songInit();
    Song onlySequences = songInit();
    onlySequences.microsequenceCount = 2;
    for (const Case& c :
         {Case{&empty, CopyMode::Microsequence}, Case{&onlySequences, CopyMode::Block},
          Case{&onlySequences, CopyMode::Macrosequence}, Case{nullptr, CopyMode::Microsequence}}) {
        prompts.messages.clear();
        CCopyDialog dialog(prompts, c.song, c.mode, 0);
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0], QStringLiteral("There's nothing to copy!"));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Copy"));
        EXPECT_EQ(dialog.sourceList()->count(), 0);
        EXPECT_EQ(dialog.destinationList()->count(), 0);
        EXPECT_EQ(dialog.sourceIndex(), -1);
    }
}

TEST_F(CopyDialogTest, CountsBeyondTheRecordsAreNeverListed) {
    song.blockCount = 40;
    const auto dialog = prepared(CopyMode::Block, 0);
    EXPECT_EQ(dialog->sourceList()->count(), kMaxBlocks);
}

TEST_F(CopyDialogTest, DescriptionsShowTheirWindows1252Characters) {
    song.blockCount = 1;
    song.blocks[0].description =
        "Pi\xF1"
        "a \x80";
    const auto dialog = prepared(CopyMode::Block, 0);
    EXPECT_EQ(dialog->sourceList()->itemText(0), QStringLiteral(" 0: Piña €"));
}

}  // namespace
}  // namespace halvorn
