// Structure model entries of the machine file: shared slots, list capacities, unreadable files,
// the VICE keep mark and offsets.
#include "config/machine_models.h"

#include <gtest/gtest.h>

#include "definition_test_support.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;

using MachineModelsTest = DefinitionFileTest;

TEST_F(MachineModelsTest, AliasesShareASlotAndTheLaterLineWins) {
    scratch_.Write("a.stl");
    scratch_.Write("b.stl");
    scratch_.Write("c.stl");
    ReadMachine(
        "HEAD(XYZ) MODEL=a.stl\nHEAD MODEL=b.stl\nHEAD(YX) MODEL=c.stl\n"
        "HEAD(XYZ) MODEL OFFSET=1,2,3\nHEAD(XZ) MODEL OFFSET=4,5,6\n");
    EXPECT_EQ(MachineModelNames.slots[kModelHead], "b.stl");
    EXPECT_EQ(MachineModelNames.slots[kModelHeadXY], "c.stl");
    EXPECT_DOUBLE_EQ(MachineModelNames.slotOffsets[kModelHead][2], 3.0);
    EXPECT_DOUBLE_EQ(MachineModelNames.slotOffsets[kModelHeadZX][0], 4.0);
    EXPECT_EQ(HasMachineModels(), 1);
}

TEST_F(MachineModelsTest, ViceOffsetsAndCapacities) {
    std::string text;
    for (int i = 0; i < 7; ++i) {
        const std::string name = "v" + std::to_string(i) + ".stl";
        scratch_.Write(name);
        text += "VICE MODEL=" + name + "\nBASIC MODEL=" + name + "\n";
    }
    ReadMachine(text + "VICE MODEL OFFSET=1,2,3\nBASIC MODEL OFFSET=0,0,-5\n");
    ASSERT_EQ(MachineModelNames.viceNames.size(), kModelListCapacity);
    EXPECT_EQ(MachineModelNames.basicNames.size(), kModelListCapacity);
    EXPECT_EQ(MachineModelNames.viceNames.back(), "v4.stl");
    for (std::size_t i = 0; i < kModelListCapacity; ++i) {
        EXPECT_DOUBLE_EQ(MachineModelNames.viceOffsets[i][1], 2.0) << i;
    }
    EXPECT_DOUBLE_EQ(MachineModelNames.basicOffset[2], -5.0);

    std::string offsets = "VICE MODEL=v0.stl\n";
    for (int i = 0; i < 7; ++i) {
        offsets += "VICE MODEL OFFSET=" + std::to_string(i) + ",0,0\n";
    }
    ReadMachine(offsets);
    EXPECT_EQ(MachineModelNames.viceOffsetCount, 5);
    EXPECT_DOUBLE_EQ(MachineModelNames.viceOffsets[4][0], 4.0);
}

TEST_F(MachineModelsTest, UnreadableFilesAreReportedAndDropped) {
    // The message names the file and why it cannot be read; a folder is no model.
    scratch_.MakeDirectory("folder.stl");
    ReadMachine("TABLE MODEL=missing.stl\nVICE MODEL=folder.stl\n");
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].text, "missing.stl - No such file or directory");
    EXPECT_EQ(boxes_[1].text, "folder.stl - Is a directory");
    EXPECT_EQ(boxes_[0].caption, "ファイルが存在しないか読めない状態です!");
    EXPECT_NE(boxes_[0].style & MBX_TOPMOST, 0u);
    EXPECT_TRUE(MachineModelNames.slots[kModelTable].empty());
    EXPECT_TRUE(MachineModelNames.viceNames.empty());
    EXPECT_EQ(HasMachineModels(), 0);

    // In automatic mode nobody is there to answer: the message goes to the log.
    boxes_.clear();
    AutomaticMode = 1;
    ReadMachine("TABLE MODEL=missing.stl\nHEAD MODEL=" + std::string(300, 'h') + "\n");
    EXPECT_TRUE(boxes_.empty());
    const std::string log = LogText();
    EXPECT_NE(log.find("(0) - missing.stl - No such file"), std::string::npos) << log;
    EXPECT_NE(log.find("longer than 255 characters"), std::string::npos) << log;
    EXPECT_TRUE(MachineModelNames.slots[kModelHead].empty());
}

TEST_F(MachineModelsTest, TrailingBlanksBelongToTheName) {
    scratch_.Write("part.stl  ");
    ReadMachine("TABLE1 MODEL = part.stl  \nTABLE2 MODEL=part.stl  ");
    EXPECT_EQ(MachineModelNames.slots[kModelTable1], "part.stl  ");
    EXPECT_EQ(MachineModelNames.slots[kModelTable2], "part.stl  ")
        << "a last line without a line feed keeps its last character";
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(MachineModelsTest, KeptViceListKeepsItsOffsetsAndIgnoresTheFile) {
    scratch_.Write("v1.stl");
    scratch_.Write("v2.stl");
    scratch_.Write("t.stl");
    ReadMachine("VICE MODEL=v1.stl\nVICE MODEL OFFSET=10,20,0\nTABLE MODEL=t.stl\n");
    MachineModelNames.keepVice = 1;
    ReadMachine("VICE MODEL=v2.stl\nVICE MODEL OFFSET=99,99,99\n", 0);
    ASSERT_EQ(MachineModelNames.viceNames.size(), 1u);
    EXPECT_EQ(MachineModelNames.viceNames[0], "v1.stl");
    EXPECT_DOUBLE_EQ(MachineModelNames.viceOffsets[0][0], 10.0) << "the kept vice stays put";
    EXPECT_EQ(MachineModelNames.viceOffsetCount, 1);
    EXPECT_TRUE(MachineModelNames.slots[kModelTable].empty()) << "single slots are cleared";
    EXPECT_EQ(MachineModelNames.keepVice, 1);

    ReadMachine("VICE MODEL=v2.stl\n", 1);
    EXPECT_EQ(MachineModelNames.keepVice, 0);
    ASSERT_EQ(MachineModelNames.viceNames.size(), 1u);
    EXPECT_EQ(MachineModelNames.viceNames[0], "v2.stl");
    EXPECT_EQ(MachineModelNames.viceOffsetCount, 0);
    EXPECT_DOUBLE_EQ(MachineModelNames.viceOffsets[0][0], 0.0);
}

}  // namespace
}  // namespace mirexa
