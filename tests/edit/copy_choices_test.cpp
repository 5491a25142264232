#include "edit/copy_choices.h"

#include <gtest/gtest.h>

namespace halvorn {
namespace {

TEST(CopyChoicesTest, NewEntriesOnlyWhileTheTableHasRoomAndNeverForTracks) {
    EXPECT_EQ(copyNewEntryName(CopyMode::Microsequence, 31), "Create New Sequence");
    EXPECT_EQ(copyNewEntryName(CopyMode::Microsequence, 32), std::nullopt);
    EXPECT_EQ(copyNewEntryName(CopyMode::Block, 5), "Create New Block");
    EXPECT_EQ(copyNewEntryName(CopyMode::Block, 16), std::nullopt);
    EXPECT_EQ(copyNewEntryName(CopyMode::Macrosequence, 5), std::nullopt);

    Song song = songInit();
    song.microsequenceCount = 3;
    song.blockCount = 40;  // a count beyond the records is never listed
    EXPECT_EQ(copyEntryCount(song, CopyMode::Microsequence), 3);
    EXPECT_EQ(copyEntryCount(song, CopyMode::Block), kMaxBlocks);
    EXPECT_EQ(copyEntryCount(song, CopyMode::Macrosequence), kMaxBlocks);
    song.blockCount = -2;
    EXPECT_EQ(copyEntryCount(song, CopyMode::Block), 0);
}

}  // namespace
}  // namespace halvorn
