#include "edit/song_records.h"

#include <gtest/gtest.h>

namespace halvorn {
namespace {

Song songWithSequences(int count) {
    Song song = songInit();
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(appendMicrosequence(song));
        song.microsequences[i].description = "Seq " + std::to_string(i);
        song.microsequences[i].parameters = ParameterBytes(12, static_cast<std::uint8_t>(i));
    }
    return song;
}

TEST(SongRecordsTest, MicrosequencesFillToThirtyTwoAndDeletingMovesTheLaterOnesDown) {
    Song song = songInit();
    for (int i = 0; i < kMaxMicrosequences; ++i) EXPECT_EQ(*appendMicrosequence(song), i);
    EXPECT_EQ(song.microsequences[31].description, "New Sequence");
    EXPECT_EQ(song.microsequences[31].period, 256);
    EXPECT_FALSE(song.microsequences[31].parameters);
    const auto full = appendMicrosequence(song);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error(), "There are already 32 microsequences");
    EXPECT_EQ(song.microsequenceCount, 32);

    deleteMicrosequence(song, 31);
    EXPECT_EQ(song.microsequenceCount, 31);
    EXPECT_TRUE(song.microsequences[31].description.empty());
    EXPECT_EQ(song.microsequences[31].period, 0);
}

// Blocks keep their stored indexes: after removing record s, index s names
// the record that moved into its place, and the old last index an empty slot.
TEST(SongRecordsTest, DeletingAMicrosequenceKeepsTheBlocksIndexes) {
    Song song = songWithSequences(3);
    ASSERT_TRUE(appendBlock(song));
    ASSERT_TRUE(appendBlock(song));
    song.blocks[1].melodySequence = 0;
    song.blocks[1].velocitySequence = 2;
    song.blocks[0].velocitySequence = 1;
    EXPECT_TRUE(microsequenceInUse(song, 0));
    EXPECT_TRUE(microsequenceInUse(song, 1));
    EXPECT_TRUE(microsequenceInUse(song, 2));
    song.blocks[0].velocitySequence = 0;
    EXPECT_FALSE(microsequenceInUse(song, 1));
    song.blocks[5].melodySequence = 1;  // not in use: beyond the block count
    EXPECT_FALSE(microsequenceInUse(song, 1));

    deleteMicrosequence(song, 0);
    EXPECT_EQ(song.microsequenceCount, 2);
    EXPECT_EQ(song.blocks[1].melodySequence, 0);
    EXPECT_EQ(song.blocks[1].velocitySequence, 2);
    EXPECT_EQ(song.microsequences[0].description, "Seq 1");
    EXPECT_EQ(song.microsequences[0].parameters, ParameterBytes(12, 1));
    EXPECT_EQ(song.microsequences[1].description, "Seq 2");
    EXPECT_TRUE(song.microsequences[2].description.empty());
    EXPECT_FALSE(song.microsequences[2].parameters);
}

TEST(SongRecordsTest, BlocksComeOnTheirOwnChannelsAndLeaveTheTracksInTheirSlots) {
    Song song = songInit();
    const auto none = appendBlock(song);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error(), "No microsequences have been defined.");
    EXPECT_EQ(song.blockCount, 0);

    song = songWithSequences(1);
    for (int i = 0; i < kMaxBlocks; ++i) EXPECT_EQ(*appendBlock(song), i);
    for (int i = 0; i < kMaxBlocks; ++i) {
        EXPECT_EQ(song.blocks[i].channel, i);
        EXPECT_EQ(song.blocks[i].description, "New Block");
    }
    const auto full = appendBlock(song);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error(), "There are already 16 blocks");

    song.blocks[10].description = "Ten";
    song.macrosequences[10].seed = 77;
    deleteBlock(song, 9);
    EXPECT_EQ(song.blockCount, 15);
    EXPECT_EQ(song.blocks[9].description, "Ten");
    EXPECT_EQ(song.blocks[9].channel, 10);
    EXPECT_EQ(song.blocks[15], Block{});
    EXPECT_EQ(song.macrosequences[10].seed, 77);

    // Counts a file may hold beyond the tables are never trusted.
    song.blockCount = 40;
    song.microsequenceCount = -3;
    EXPECT_EQ(usedBlocks(song), kMaxBlocks);
    EXPECT_EQ(usedMicrosequences(song), 0);
}

TEST(SongRecordsTest, ACopysDescriptionIsHeldToThirtyBytes) {
    EXPECT_EQ(copyDescription("Steps"), "Copy of Steps");
    EXPECT_EQ(copyDescription("Rain over the quiet harbour 12"), "Copy of Rain over the quiet ha");
    EXPECT_EQ(copyDescription(""), "Copy of ");
}

}  // namespace
}  // namespace halvorn
