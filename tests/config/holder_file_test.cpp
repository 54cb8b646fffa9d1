// Holder outlines: the three list forms with their list ends, and the holder file (first ARBOR
// line only, comments, relative names, long and CRLF lines).
#include "config/holder_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scratch_directory.h"

namespace mirexa {
namespace {

ArborProfile ReadLine(const std::string& text) {
    std::uint32_t kind = 99;
    int length = MatchArborKeyword(text.c_str(), &kind);
    EXPECT_GT(length, 0) << text;
    LineCursor cursor = length;
    ArborProfile profile;
    profile.count = 77;  // stale values must go
    profile.diameters[10] = 9.0f;
    ReadArborList(kind, &cursor, text.c_str(), &profile);
    return profile;
}

TEST(ArborListTest, CylindersEndAtAZeroDiameter) {
    ArborProfile two = ReadLine("ARBOR 40,50,60,20\n");
    EXPECT_EQ(two.present, 1u);
    EXPECT_EQ(two.kind, kArborCylinders);
    ASSERT_EQ(two.count, 2);
    EXPECT_EQ(two.diameters[0], 40.0f);
    EXPECT_EQ(two.lengths[0], 50.0f);
    EXPECT_EQ(two.diameters[1], 60.0f);
    EXPECT_EQ(two.lengths[1], 20.0f);
    EXPECT_EQ(two.diameters[10], 0.0f);
    EXPECT_EQ(ReadLine("ARBOR 40,50,0\n").count, 1);
    EXPECT_EQ(ReadLine("arbor=40, 50, 0, 99\n").count, 1);
    // Ten cylinders at most; values behind them are not read.
    ArborProfile full = ReadLine("ARBOR 1,1,2,2,3,3,4,4,5,5,6,6,7,7,8,8,9,9,10,10,11,11\n");
    EXPECT_EQ(full.count, 10);
    EXPECT_EQ(full.diameters[9], 10.0f);
    EXPECT_EQ(full.diameters[10], 0.0f);
}

TEST(ArborListTest, ConesCountOneSegmentLessThanDiameters) {
    ArborProfile cones = ReadLine("ARBOR2 32,40,50,30,50\n");
    EXPECT_EQ(cones.kind, kArborCones);
    ASSERT_EQ(cones.count, 2);
    EXPECT_EQ(cones.diameters[0], 32.0f);
    EXPECT_EQ(cones.diameters[1], 50.0f);
    EXPECT_EQ(cones.diameters[2], 50.0f);
    EXPECT_EQ(cones.lengths[0], 40.0f);
    EXPECT_EQ(cones.lengths[1], 30.0f);
    // An explicit 0,0 ends the list the same way.
    EXPECT_EQ(ReadLine("ARBOR2 32,40,50,0,0,70,80\n").count, 1);
    // Ten segments use all eleven diameters.
    ArborProfile full = ReadLine("ARBOR2 1,1,2,1,3,1,4,1,5,1,6,1,7,1,8,1,9,1,10,1,11,1,12\n");
    EXPECT_EQ(full.count, 10);
    EXPECT_EQ(full.diameters[10], 11.0f);
}

TEST(ArborListTest, CodedSegmentsKeepTheIntegerPartOfTheirCodes) {
    ArborProfile coded = ReadLine("ARBOR3 20,15,1,30,25,0,30\n");
    EXPECT_EQ(coded.kind, kArborCoded);
    ASSERT_EQ(coded.count, 2);
    EXPECT_EQ(coded.diameters[0], 20.0f);
    EXPECT_EQ(coded.diameters[1], 30.0f);
    EXPECT_EQ(coded.diameters[2], 30.0f);
    EXPECT_EQ(coded.lengths[0], 15.0f);
    EXPECT_EQ(coded.lengths[1], 25.0f);
    EXPECT_EQ(coded.codes[0], 1);
    EXPECT_EQ(coded.codes[1], 0);
    EXPECT_EQ(ReadLine("ARBOR3 20,15,2.9,30\n").codes[0], 2);
    // An absurd code saturates instead of overflowing the integer.
    EXPECT_GT(ReadLine("ARBOR3 20,15,1e30,30\n").codes[0], 2000000000);
}

TEST(ArborListTest, KeywordsAreTestedLongestFirstWithoutCase) {
    std::uint32_t kind = 99;
    EXPECT_EQ(MatchArborKeyword("Arbor3 1", &kind), 6);
    EXPECT_EQ(kind, kArborCoded);
    EXPECT_EQ(MatchArborKeyword("ARBOR2", &kind), 6);
    EXPECT_EQ(kind, kArborCones);
    EXPECT_EQ(MatchArborKeyword("ARBOR40,50", &kind), 5);
    EXPECT_EQ(kind, kArborCylinders);
    EXPECT_EQ(MatchArborKeyword("ARBO 1", &kind), 0);
    EXPECT_EQ(MatchArborKeyword("", &kind), 0);
    // "ARBOR" glued to its first value keeps every digit.
    EXPECT_EQ(ReadLine("ARBOR40,50\n").diameters[0], 40.0f);
}

TEST(HolderFileTest, OnlyTheFirstHolderOfTheFileCounts) {
    testing::ScratchDirectory scratch;
    std::string tools = scratch.Write("tools/atc.ttl", "");
    scratch.Write("tools/holder.dat", "# BT40 holder\r\nARBOR 40,50,60,20\r\nARBOR 99,99\r\n");
    ArborProfile profile;
    std::string resolved;
    HolderFileState staged;
    EXPECT_EQ(ReadArborFile("holder.dat", tools, &profile, &staged, &resolved), kHolderFileRead);
    EXPECT_EQ(resolved, scratch.At("tools/holder.dat"));
    EXPECT_EQ(profile.count, 2);
    EXPECT_EQ(profile.lengths[1], 20.0f);
    EXPECT_EQ(staged.status, kHolderFileRead);
    EXPECT_EQ(staged.path, resolved);
    EXPECT_TRUE(staged.writeTime.valid);
}

TEST(HolderFileTest, RelativeNamesAreTakenFromTheToolsFilesDirectory) {
    testing::ScratchDirectory scratch;
    std::string tools = scratch.Write("a/atc.ttl", "");
    scratch.Write("b/collet.atl", "ARBOR2 32,40,50,30,50\n");
    scratch.Write("a/collet.atl", "ARBOR 25,60\n");
    ArborProfile profile;
    EXPECT_EQ(ReadArborFile("collet.atl", tools, &profile, nullptr, nullptr), kHolderFileRead);
    EXPECT_EQ(profile.kind, kArborCylinders);
    EXPECT_EQ(profile.diameters[0], 25.0f);
    // A name with a directory part is used as given.
    EXPECT_EQ(ReadArborFile(scratch.At("b/collet.atl"), tools, &profile, nullptr, nullptr),
              kHolderFileRead);
    EXPECT_EQ(profile.kind, kArborCones);
    EXPECT_EQ(profile.count, 2);
}

TEST(HolderFileTest, MissingFilesAndFilesWithoutHolderLeaveTheProfileCleared) {
    testing::ScratchDirectory scratch;
    std::string tools = scratch.Write("atc.ttl", "");
    scratch.Write("empty.atl", "# nothing\nHOLDER 40,50\n");
    ArborProfile profile;
    profile.present = 1;
    profile.count = 3;
    HolderFileState staged;
    EXPECT_EQ(ReadArborFile("gone.atl", tools, &profile, &staged, nullptr), kHolderFileMissing);
    EXPECT_EQ(profile.present, 0u);
    EXPECT_EQ(profile.count, 0);
    EXPECT_EQ(staged.status, kHolderFileMissing);
    EXPECT_FALSE(staged.writeTime.valid);
    EXPECT_EQ(ReadArborFile("empty.atl", tools, &profile, &staged, nullptr), kHolderFileNoHolder);
    EXPECT_EQ(profile.present, 0u);
    EXPECT_EQ(staged.status, kHolderFileRead);  // the file opened
    EXPECT_EQ(ReadArborFile("", tools, &profile, &staged, nullptr), kHolderFileBadName);
}

TEST(HolderFileTest, OverLongNamesAreRefusedInsteadOfOverrunningThePath) {
    testing::ScratchDirectory scratch;
    std::string tools = scratch.Write("atc.ttl", "");
    ArborProfile profile;
    HolderFileState staged;
    std::string longName(kHolderPathLimit, 'h');
    EXPECT_EQ(ReadArborFile(longName, tools, &profile, &staged, nullptr), kHolderFileBadName);
    EXPECT_EQ(staged.status, kHolderFileMissing);
    EXPECT_EQ(profile.present, 0u);
}

TEST(HolderFileTest, ALongCommentLineIsNotReadAsASecondLine) {
    testing::ScratchDirectory scratch;
    std::string tools = scratch.Write("atc.ttl", "");
    // The comment's tail, beyond 1,023 characters, would start with "ARBOR" if it were read
    // as a line of its own.
    std::string comment = "#" + std::string(1022, '-') + "ARBOR 11,11\n";
    scratch.Write("long.atl", comment + "ARBOR 40,50\n");
    ArborProfile profile;
    EXPECT_EQ(ReadArborFile("long.atl", tools, &profile, nullptr, nullptr), kHolderFileRead);
    EXPECT_EQ(profile.diameters[0], 40.0f);
}

}  // namespace
}  // namespace mirexa
