// Offset memory lines: the reader's forms, the rewriter's text against hand-written expected
// files, the byte-for-byte round trip of the sample, and the safety of the file exchange under
// injected failures.
#include "config/offset_memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "definition_test_support.h"
#include "platform/write_faults.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;
using testing::ReadWholeFile;

using OffsetMemoryTest = DefinitionFileTest;

TEST_F(OffsetMemoryTest, ReaderFormsAndRanges) {
    ReadController(
        "MEMORY D05= 1.500000,-0.020000\nMEMORY H07=2.5 -0.1\nMEMORY D120= 3.5\n"
        "MEMORY WK150= (1,2,3,0,0)\nMEMORY G59=(4,5,6,7,8)\nMEMORY EXOFS=(0,0,-1,0,0)\n"
        "MEMORY F12=900\nMEMORY REF-PT3=(1,2,3,4,5)\nMEMORY REF-PT=(9,9,9,9,9)\n"
        "D07=2.0\nDX08=2.0\nH09 =4\nF3=77\nmemory d10=1.25,0.5\n"
        "MEMORY D1000=1\nMEMORY D-1=1\nMEMORY D1e9=1\nMEMORY WK201=(1,1,1,1,1)\n"
        "MEMORY G53=(1,1,1,1,1)\nMEMORY REF-PT5=(1,1,1,1,1)\nMEMORY D=4\nMEMORY D11=6 (note)\n");
    EXPECT_FLOAT_EQ(ToolOffsets.d[5], 1.5f);
    EXPECT_FLOAT_EQ(ToolOffsets.dWear[5], -0.02f);
    EXPECT_FLOAT_EQ(ToolOffsets.h[7], 2.5f);
    EXPECT_FLOAT_EQ(ToolOffsets.hWear[7], -0.1f) << "a blank also separates the wear";
    EXPECT_FLOAT_EQ(ToolOffsets.d[120], 3.5f);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[150].axis[2], 3.0);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[6].axis[4], 8.0);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[0].axis[2], -1.0);
    EXPECT_FLOAT_EQ(FeedMemory[12], 900.0f);
    EXPECT_FLOAT_EQ(ReferencePoints[2].axis[4], 5.0f);
    EXPECT_FLOAT_EQ(ReferencePoints[0].axis[0], 9.0f) << "no digit means reference point 1";
    EXPECT_FLOAT_EQ(ToolOffsets.d[7], 2.0f) << "bare D line";
    EXPECT_FLOAT_EQ(ToolOffsets.d[8], 0.0f) << "DX08 is no D line";
    EXPECT_FLOAT_EQ(ToolOffsets.h[9], 4.0f);
    EXPECT_FLOAT_EQ(FeedMemory[3], 77.0f);
    EXPECT_FLOAT_EQ(ToolOffsets.d[10], 1.25f) << "keywords ignore case";
    EXPECT_FLOAT_EQ(ToolOffsets.dWear[10], 0.5f);
    EXPECT_FLOAT_EQ(ToolOffsets.d[1], 0.0f) << "out-of-range numbers are ignored";
    EXPECT_FLOAT_EQ(ToolOffsets.d[0], 0.0f) << "a missing number is no number 0";
    EXPECT_FLOAT_EQ(ToolOffsets.d[11], 6.0f);
    EXPECT_FLOAT_EQ(ToolOffsets.dWear[11], 0.0f);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(ReferencePoints[3].axis[i], 0.0f);
    }
    EXPECT_DOUBLE_EQ(WorkOffsetTable[200].axis[0], 0.0);
}

TEST_F(OffsetMemoryTest, TupleTrimming) {
    const double a[5] = {10, 20.5, -3, 0, 0};
    EXPECT_EQ(FormatOffsetTuple(a), "(10,20.5,-3,0,0)");
    const double b[5] = {0.0000004, 1e6, -0.125, 100, 0.1};
    EXPECT_EQ(FormatOffsetTuple(b), "(0,1000000,-0.125,100,0.1)");
}

TEST_F(OffsetMemoryTest, ToolOffsetRewriteDropsZerosAndAppendsNewNumbers) {
    const std::string original =
        "NAME(MAX20)=T\nMEMORY D05= 9.000000,0.000000\nMEMORY D06= 1.000000,0.000000\n"
        "MEMORY H01= 100.000000,0.000000\nMEMORY F1= 500\nG54 note\n";
    ToolOffsets.type = 3;
    ToolOffsets.d[5] = 1.5f;
    ToolOffsets.dWear[5] = -0.02f;
    ToolOffsets.d[9] = 2.0f;
    ToolOffsets.dWear[120] = 0.25f;
    ToolOffsets.h[1] = 7.0f;
    EXPECT_EQ(RewriteOffsetMemoryText(original, kRewriteDOffsets),
              "NAME(MAX20)=T\nMEMORY D05= 1.500000,-0.020000\n"
              "MEMORY H01= 100.000000,0.000000\nMEMORY F1= 500\nG54 note\n"
              "MEMORY D09= 2.000000,0.000000\nMEMORY D120= 0.000000,0.250000\n");
    ToolOffsets.type = 1;
    EXPECT_EQ(RewriteOffsetMemoryText(original, kRewriteDOffsets),
              "NAME(MAX20)=T\nMEMORY D05= 1.500000\n"
              "MEMORY H01= 100.000000,0.000000\nMEMORY F1= 500\nG54 note\n"
              "MEMORY D09= 2.000000\n")
        << "type A writes no wear and drops an entry with only a wear";
    EXPECT_EQ(RewriteOffsetMemoryText(original, kRewriteHOffsets),
              "NAME(MAX20)=T\nMEMORY D05= 9.000000,0.000000\nMEMORY D06= 1.000000,0.000000\n"
              "MEMORY H01= 7.000000\nMEMORY F1= 500\nG54 note\n");

    // The written line reads back with its values.
    ToolOffsets.type = 3;
    ReadController("MEMORY D05= 1.500000,-0.020000\nTOOL OFFSET MEMORY=C\n");
    EXPECT_FLOAT_EQ(ToolOffsets.d[5], 1.5f);
    EXPECT_FLOAT_EQ(ToolOffsets.dWear[5], -0.02f);
}

TEST_F(OffsetMemoryTest, EveryLineTheReaderTakesIsRenewed) {
    // Bare and lower-case forms are offset lines for the reader, so the rewriter must renew or
    // drop them too, or a cleared value would come back at the next reading.
    const std::string original =
        "D05=3\nmemory d06=4\nMemory  D07 = 5\nDECIMAL POINT=NORMAL\nH-CODE VALUE=AUTO\n"
        "MEMORY D1200=1\nDX08=2\n";
    ToolOffsets.type = 1;
    ToolOffsets.d[6] = 8.0f;
    EXPECT_EQ(RewriteOffsetMemoryText(original, kRewriteDOffsets | kRewriteHOffsets),
              "MEMORY D06= 8.000000\nDECIMAL POINT=NORMAL\nH-CODE VALUE=AUTO\n"
              "MEMORY D1200=1\nDX08=2\n");
}

TEST_F(OffsetMemoryTest, WorkOffsetRewriteByDialect) {
    const std::string original =
        "MEMORY EXOFS= (1,0,0,0,0)\nMEMORY G54= (1,2,3,0,0)\nMEMORY WK0= (5,0,0,0,0)\n"
        "MEMORY WK7= (0,0,1,0,0)\nMEMORY REF-PT1= (1,1,1,1,1)\n";
    WorkOffsetTable[0].axis[0] = 2;
    WorkOffsetTable[1].axis[0] = 1.5;
    WorkOffsetTable[2].axis[1] = -4;
    WorkOffsetTable[8].axis[2] = 10;
    Controller.dialect.number = 0;
    EXPECT_EQ(RewriteOffsetMemoryText(original, kRewriteWorkOffsets),
              "MEMORY EXOFS= (2,0,0,0,0)\nMEMORY G54= (1.5,0,0,0,0)\nMEMORY WK0= (2,0,0,0,0)\n"
              "MEMORY REF-PT1= (1,1,1,1,1)\nMEMORY G55= (0,-4,0,0,0)\n"
              "MEMORY WK8= (0,0,10,0,0)\n");
    Controller.dialect.number = 1;
    EXPECT_EQ(RewriteOffsetMemoryText("", kRewriteWorkOffsets),
              "MEMORY EXOFS= (2,0,0,0,0)\nMEMORY WK1= (1.5,0,0,0,0)\nMEMORY WK2= (0,-4,0,0,0)\n"
              "MEMORY WK8= (0,0,10,0,0)\n");
}

TEST_F(OffsetMemoryTest, LineEndsAndLongLines) {
    ToolOffsets.type = 1;
    ToolOffsets.d[1] = 1.0f;
    ToolOffsets.d[2] = 2.0f;
    // CRLF lines keep their ends and new lines take the dominant one; a last line without a
    // line feed gets one before anything is appended.
    EXPECT_EQ(RewriteOffsetMemoryText("A\r\nMEMORY D01=5\r\nB\nC", kRewriteDOffsets),
              "A\r\nMEMORY D01= 1.000000\r\nB\nC\r\nMEMORY D02= 2.000000\r\n");
    EXPECT_EQ(RewriteOffsetMemoryText("MEMORY D01=5", kRewriteDOffsets),
              "MEMORY D01= 1.000000\nMEMORY D02= 2.000000\n");
    // The tail of an over-long line stays in its line and is never renewed.
    const std::string longLine = "REM " + std::string(1030, 'x') + "MEMORY D01=5\n";
    EXPECT_EQ(RewriteOffsetMemoryText(longLine, kRewriteDOffsets),
              longLine + "MEMORY D01= 1.000000\nMEMORY D02= 2.000000\n");
}

// Copies the sample into the scratch directory and reads it.
class SampleRewriteTest : public OffsetMemoryTest {
protected:
    void SetUp() override {
        OffsetMemoryTest::SetUp();
        sample_ = ReadWholeFile(std::string(MIREXA_SAMPLES) + "/vmc3.ctl");
        ASSERT_FALSE(sample_.empty());
        path_ = ReadController(sample_, "vmc3.ctl");
        ASSERT_EQ(Controller.status, 1);
    }
    std::string sample_;
    std::string path_;
};

TEST_F(SampleRewriteTest, UnchangedTablesGiveTheFileBackByteForByte) {
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteDone);
    EXPECT_EQ(ReadWholeFile(path_), sample_);
    EXPECT_EQ(UpdateCtlToolOffsets(1), kOffsetRewriteDone);
    EXPECT_EQ(ReadWholeFile(path_), sample_);
    EXPECT_EQ(UpdateCtlWorkOffsets(), kOffsetRewriteDone);
    EXPECT_EQ(ReadWholeFile(path_), sample_);
    EXPECT_EQ(ReadWholeFile(path_ + ".bak"), sample_);
    EXPECT_TRUE(testing::LeftoverTemporaries(path_).empty());
}

TEST_F(SampleRewriteTest, RewriteStoresTheNewTimeAndRefusesOutsideEdits) {
    ToolOffsets.h[4] = 90.0f;
    ASSERT_EQ(UpdateCtlToolOffsets(1), kOffsetRewriteDone);
    EXPECT_TRUE(Controller.fileTime == GetFileWriteTime(path_));
    const std::string renewed = ReadWholeFile(path_);
    EXPECT_NE(renewed.find("MEMORY H04= 90.000000,0.000000\n"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(path_ + ".bak"), sample_);

    // Someone edits the file; the next rewrite must not overwrite the edit.
    const std::string edited = renewed + "MEMORY D09= 9.000000,0.000000\n";
    scratch_.Write("vmc3.ctl", edited);
    std::filesystem::last_write_time(
        path_, std::filesystem::last_write_time(path_) + std::chrono::seconds(5));
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteChangedOnDisk);
    EXPECT_EQ(ReadWholeFile(path_), edited);
}

TEST_F(SampleRewriteTest, BatchKeepsTheFirstBackup) {
    ToolOffsets.d[1] = 6.0f;
    ToolOffsets.h[1] = 121.0f;
    WorkOffsetTable[3].axis[0] = 12.0;
    BeginOffsetRewriteBatch();
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteDone);
    EXPECT_EQ(UpdateCtlToolOffsets(1), kOffsetRewriteDone);
    EXPECT_EQ(UpdateCtlWorkOffsets(), kOffsetRewriteDone);
    EndOffsetRewriteBatch();
    EXPECT_EQ(ReadWholeFile(path_ + ".bak"), sample_) << "the user's file before the batch";
    const std::string renewed = ReadWholeFile(path_);
    EXPECT_NE(renewed.find("MEMORY D01= 6.000000,0.000000\n"), std::string::npos);
    EXPECT_NE(renewed.find("MEMORY H01= 121.000000,0.000000\n"), std::string::npos);
    EXPECT_NE(renewed.find("MEMORY G56= (12,0,0,0,0)\n"), std::string::npos);

    // Outside a batch every rewrite backs up the file it replaces.
    ToolOffsets.d[1] = 7.0f;
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteDone);
    EXPECT_EQ(ReadWholeFile(path_ + ".bak"), renewed);
}

TEST_F(SampleRewriteTest, FailuresLeaveTheFileIntact) {
    ToolOffsets.d[1] = 6.0f;
    // The work file cannot be written; a file planted under the old fixed work name is never
    // written through.
    scratch_.Write("vmc3.ctl.new", "planted");
    ArmWriteFaults(1, kWriteFaultWrite);
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteWriteFailed);
    DisarmWriteFaults();
    EXPECT_EQ(ReadWholeFile(path_), sample_);
    EXPECT_EQ(ReadWholeFile(path_ + ".new"), "planted");

    // The backup cannot be made.
    std::filesystem::create_directories(path_ + ".bak/x");
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteBackupFailed);
    EXPECT_EQ(ReadWholeFile(path_), sample_);
    EXPECT_TRUE(testing::LeftoverTemporaries(path_).empty());
    std::filesystem::remove_all(path_ + ".bak");

    // The disk fills up while the work file is written: a short write.
    const FileWriteTime before = Controller.fileTime;
    rlimit saved = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = UpdateCtlToolOffsets(0);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(result, kOffsetRewriteWriteFailed);
    EXPECT_EQ(ReadWholeFile(path_), sample_);
    EXPECT_TRUE(testing::LeftoverTemporaries(path_).empty());
    EXPECT_FALSE(std::filesystem::exists(path_ + ".bak"));
    EXPECT_TRUE(Controller.fileTime == before);

    // A missing file is reported, not made.
    std::filesystem::remove(path_);
    EXPECT_EQ(UpdateCtlToolOffsets(0), kOffsetRewriteNoFile);
    EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
}  // namespace mirexa
