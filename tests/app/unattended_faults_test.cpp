// End-to-end runs of the built program on faults that must not pass unnoticed: a macro that
// starts itself, a machine model larger than the memory, a holder file that gives no holder,
// macro steps that did not happen, a block longer than the line limit, plug-in answers that
// are no sizes or positions, and work the system gives no thread.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/batch_run_fixture.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::kBox;
using testing::WaitWithin;

class UnattendedFaultTest : public testing::BatchRunTest {
protected:
    // A raw stock of the sample box, for macros to load.
    void SaveRawStock() {
        ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
        fs::remove(scratch.At("mirexa.log"));
    }
};

// A macro whose EXEC line starts the program on the same macro ends after a few levels: the
// deepest refuses EXEC with a log line, the one above logs its status.
TEST_F(UnattendedFaultTest, AMacroThatStartsItselfStopsAtTheNestingLimit) {
    scratch.Write("self.mac", std::string("EXEC ") + MIREXA_PROGRAM + " self.mac\r\nEXIT\r\n");
    EXPECT_EQ(WaitWithin(Start({"self.mac"}), std::chrono::seconds(60)), 0);
    EXPECT_EQ(LogCount("段の EXEC の中のため、プログラムを起動しません"), 1) << Read("mirexa.log");
    EXPECT_EQ(LogCount("プログラムの終了コードは 2"), 1) << Read("mirexa.log");
}

// A machine model whose facets, with their records and the sort, do not fit the address space
// left is refused before it is taken: a log line and exit 2, not an abort.
TEST_F(UnattendedFaultTest, AMachineModelLargerThanTheMemoryIsRefused) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer's shadow memory alone is larger than any address-space limit the test can set.
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
#endif
    constexpr std::uint32_t kFacets = 1000000;
    {
        std::ofstream stl(scratch.At("big.stl"), std::ios::binary);
        stl << std::string(80, '\0');
        stl.write(reinterpret_cast<const char*>(&kFacets), 4);
        const float facet[12] = {0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 10, 0};
        std::string record(reinterpret_cast<const char*>(facet), sizeof facet);
        record += std::string(2, '\0');
        std::string block;
        for (int i = 0; i < 1000; ++i) {
            block += record;
        }
        for (std::uint32_t i = 0; i < kFacets / 1000; ++i) {
            stl << block;
        }
    }
    const std::string machine = Read("vmc3.mtl");
    const std::size_t table = machine.find("TABLE MODEL=table.stl");
    ASSERT_NE(table, std::string::npos);
    scratch.Write("vmc3.mtl", std::string(machine).replace(table, 21, "TABLE MODEL=big.stl"));
    // Room for the program and the facets, not for their records and the sort.
    const pid_t child = StartWithLimit({kBox, "demo_part.nc", "-X6", "-O", "out.dme"}, RLIMIT_AS,
                                       rlim_t{350} << 20);
    EXPECT_EQ(WaitWithin(child, std::chrono::seconds(60)), 2);
    EXPECT_EQ(LogCount("big.stl - 1000000 面がメモリに収まりません"), 1) << Read("mirexa.log");
    EXPECT_FALSE(Exists("out.dme"));
}

// Work the system refuses a thread for (a thread limit) is not done: a log line says so and the
// run exits 2, whether a batch, a stock operation or a macro asked for it.
TEST_F(UnattendedFaultTest, WorkWithoutAThreadFailsWithALogLine) {
#ifndef MIREXA_NO_THREADS
    GTEST_SKIP() << "no library that refuses threads in this tree";
#else
    extraEnvironment = {std::string("LD_PRELOAD=") + MIREXA_NO_THREADS, "NO_THREADS_REFUSE=1"};
    scratch.Write("mark.sh", ": > ran\n");
    scratch.Write("mark.mac", "EXEC /bin/sh mark.sh\r\nEXIT\r\n");
    const std::vector<std::string> runs[] = {
        {kBox, "demo_part.nc", "-X6", "-O", "out.dme"},
        {kBox, "-XM(0,0,0)", "-O", "out.dme"},
        {"mark.mac"},
    };
    for (const auto& arguments : runs) {
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(WaitWithin(Start(arguments), std::chrono::seconds(30)), 2) << arguments[1];
        EXPECT_EQ(LogCount("処理を開始できません: システムが処理のスレッドを作成できませんでした"),
                  1)
            << Read("mirexa.log");
        EXPECT_FALSE(Exists("out.dme"));
        EXPECT_FALSE(Exists("ran"));
    }
#endif
}

// A holder file the tools file names that gives no holder fails the batch as an unreadable tools
// file does, with the holder file and the reason in the log.
TEST_F(UnattendedFaultTest, AHolderFileThatGivesNoHolderFailsTheBatch) {
    const struct {
        const char* content;  // null: removed; "fifo": a FIFO
        const char* reason;
    } cases[] = {
        {nullptr, "見つかりません"},
        {"", "ホルダーの定義 (ARBOR 行) がありません"},
        {"garbage\n", "ホルダーの定義 (ARBOR 行) がありません"},
        {"fifo", "通常のファイルではありません"},
    };
    for (const auto& c : cases) {
        CopySamples();
        fs::remove(scratch.At("mirexa7.mes"));
        fs::remove(scratch.At("bt40_er32.hld"));
        if (c.content != nullptr && std::strcmp(c.content, "fifo") == 0) {
            ASSERT_EQ(mkfifo(scratch.At("bt40_er32.hld").c_str(), 0600), 0);
        } else if (c.content != nullptr) {
            scratch.Write("bt40_er32.hld", c.content);
        }
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(WaitWithin(Start({kBox, "demo_part.nc", "-X6", "-O", "out.dme"}),
                             std::chrono::seconds(30)),
                  2)
            << c.reason;
        EXPECT_EQ(LogCount("bt40_er32.hld: " + std::string(c.reason)), 1) << Read("mirexa.log");
        EXPECT_FALSE(Exists("out.dme"));
    }
}

// Macro steps that did not happen reach the log and the exit code: the lines a break skipped
// (and a save among them), a line too long to run, and the status of an EXEC program.
TEST_F(UnattendedFaultTest, MacroStepsThatDidNotHappenAreLoggedAndFailTheRun) {
    const std::string table =
        "%\nO11\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X50. Y150. Z20. S3000 M03\n"
        "G01 Z-95. F500.\nG00 Z50.\nM30\n%\n";
    scratch.Write("table.nc", table);
    SaveRawStock();
    const struct {
        std::string macro;
        int exitCode;
        std::vector<std::string> logged;
    } cases[] = {
        {"LOAD_WORK raw.dme\r\nSELECT_NCDATA table.nc\r\nCUT(REAL)\r\n# a comment\r\n"
         "SAVE_WORK cut.dme\r\nEXIT\r\n",
         2,
         {"(5) - 中断のため実行しません: SAVE_WORK cut.dme",
          "マクロが SAVE_WORK の前で終了したため"}},
        {"LOAD_WORK raw.dme\r\nSELECT_NCDATA " + std::string(1100, 'x') +
             ".nc\r\nCUT(REAL)\r\nSAVE_WORK cut.dme\r\nEXIT\r\n",
         2,
         {"(2) - マクロの行が 1,024 文字を超えています", "(3) - 中断のため実行しません: CUT(REAL)",
          "(4) - 中断のため実行しません: SAVE_WORK cut.dme"}},
        {"EXEC false\r\nLOAD_WORK raw.dme\r\nSAVE_WORK cut.dme\r\nEXIT\r\n",
         0,
         {"(1) - EXEC false: プログラムの終了コードは 1"}},
    };
    for (const auto& c : cases) {
        fs::remove(scratch.At("mirexa.log"));
        fs::remove(scratch.At("cut.dme"));
        scratch.Write("job.mac", c.macro);
        EXPECT_EQ(WaitWithin(Start({"job.mac"}), std::chrono::seconds(60)), c.exitCode)
            << c.macro.substr(0, 40);
        for (const std::string& text : c.logged) {
            EXPECT_EQ(LogCount(text), 1) << text << "\n" << Read("mirexa.log");
        }
        EXPECT_EQ(Exists("cut.dme"), c.exitCode == 0);
    }
}

// A block longer than the line limit, as written or after a REPLACE of the controller file
// lengthened it, is an alarm of its line, not the block cut at the limit: the run ends there and
// the slot it would cut is not cut, whether the block is read from the file or from the program
// held in memory.
TEST_F(UnattendedFaultTest, ABlockLongerThanTheLineLimitIsAnAlarmOfItsLine) {
    const std::string head =
        "%\nO12\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X50. Y40. Z20. S3000 M03\n"
        "G01 Z-1. F500.\n";
    const std::string tail = "G00 Z50.\nM30\n";
    scratch.Write("short.nc", head + tail + "%\n");
    ASSERT_EQ(Run({kBox, "short.nc", "-X6", "-O", "short.dme"}), 0);
    const std::string controller = Read("vmc3.ctl");
    const std::string replace =
        controller + "REPLACE \"M08\" \"M08" + std::string(990, ' ') + "\"\nRUN TYPE=";
    const std::string longBlock = "G01 X60. M08 M08 Y70.\n";
    const struct {
        const char* name;
        std::string controller;
        std::string program;
        const char* alarm;
    } cases[] = {
        {"as written", controller,
         head + "G01 X60." + std::string(1100, ' ') + "Y70.\n" + tail + "%\n",
         "(7) - ブロックが 1022 文字を超えています!"},
        {"replaced in the file", replace + "FILE\n", head + longBlock + tail + "%\n",
         "(7) - ブロックが 1022 文字を超えています!"},
        {"replaced in memory", replace + "MEMORY\n",
         head + "M98 P100\n" + tail + "O100\n" + longBlock + "M99\n%\n",
         "ブロックが 1022 文字を超えています!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scratch.Write("vmc3.ctl", c.controller);
        scratch.Write("long.nc", c.program);
        fs::remove(scratch.At("mirexa.log"));
        ASSERT_EQ(Run({kBox, "long.nc", "-X6", "-O", "long.dme"}), 0);
        EXPECT_EQ(LogCount(c.alarm), 1) << Read("mirexa.log");
        EXPECT_EQ(LogCount("アラームで切削終了"), 1) << Read("mirexa.log");
        EXPECT_TRUE(Read("long.dme") == Read("short.dme"));
    }
}

// A stock file whose placement frame is no rotation is refused as the other header fields are,
// with the reason behind "Data Destroyed!", and nothing is saved from it.
TEST_F(UnattendedFaultTest, AStockFileWhosePlacementFrameIsNoRotationIsRefused) {
    SaveRawStock();
    const std::string raw = Read("raw.dme");
    const double zero[12] = {};
    const double huge[12] = {1e308, 0, 0, 0, 1e308, 0, 0, 0, 1e308, 0, 0, 0};
    const double mirror[12] = {-1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const double scaled[12] = {2, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0};
    for (const double* frame : {zero, huge, mirror, scaled}) {
        std::string bad = raw;
        bad.replace(12, 96, reinterpret_cast<const char*>(frame), 96);
        scratch.Write("bad.dme", bad);
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(Run({"bad.dme", "-XM(0,0,0)", "-O", "out.stl"}), 2) << frame[0];
        EXPECT_EQ(LogCount("Data Destroyed! - bad.dme: the placement frame is not a rotation"), 1)
            << Read("mirexa.log");
        EXPECT_FALSE(Exists("out.stl"));
    }
}

// A path reader's tool of no machine's size is not used (as the tools file refuses one), and a
// position, start point or feed that is no number, or a cutting move without a feed, ends the
// run on an alarm of its record's line.
TEST_F(UnattendedFaultTest, PathReaderAnswersOfNoMachineAreRefused) {
    RunFromOwnFolder({{"sample_path_reader", "mxread"}});
    // G54 without an offset: the moves lie on the stock as they stand.
    ASSERT_TRUE(ClearG54());
    const std::string moves = "G0 -10 20 5\nG1 -10 20 -3 300\nG1 50 20 -3 300\nG0 50 20 50\n";
    const struct {
        std::string list;
        const char* logged;
    } cases[] = {
        {"TOOL 2 nan 0 20\n" + moves, "プラグインの工具 - 機械にありえない寸法 (D)"},
        {"TOOL 2 -10 0 20\n" + moves, "プラグインの工具 - 機械にありえない寸法 (D)"},
        {"TOOL 2 0 0 20\n" + moves, "プラグインの工具 - 機械にありえない寸法 (D)"},
        {"TOOL 2 1e30 0 20\n" + moves, "プラグインの工具 - 機械にありえない寸法 (D)"},
        {"START nan 0 0\n" + moves, "(2) - パスリーダーの位置または送り速度が数値ではありません!"},
        {"G0 -10 20 5\nG1 nan 20 -3 300\n",
         "(2) - パスリーダーの位置または送り速度が数値ではありません!"},
        {"G0 -10 20 5\nG1 -10 20 -3 nan\n",
         "(2) - パスリーダーの位置または送り速度が数値ではありません!"},
        {"G0 -10 20 5\nG1 -10 20 -3 300\nG2 10 40 -3 nan 20 -3 300\n",
         "(3) - パスリーダーの位置または送り速度が数値ではありません!"},
        {"G0 -10 20 5\nG1 -10 20 -3 0\n", "(2) - 送り速度が0です!"},
    };
    for (const auto& c : cases) {
        scratch.Write("path.mvl", c.list);
        fs::remove(scratch.At("mirexa.log"));
        EXPECT_EQ(Run({kBox, "path.mvl", "-X6", "-O", "out.dme"}), 0) << c.list;
        EXPECT_EQ(LogCount(c.logged), 1) << c.list << "\n" << Read("mirexa.log");
    }
}

// Messages name their cause and the file: a save cut short by the file-size limit, a FIFO as the
// stock, a settings file that is a device, a FIFO as a subprogram, a FIFO as the message file.
TEST_F(UnattendedFaultTest, MessagesNameTheirCauseAndTheirFile) {
    ASSERT_EQ(mkfifo(scratch.At("pipe.dme").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(scratch.At("PIPE").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", scratch.At("zero.ini"));
    scratch.Write("calls.nc",
                  "%\nO10\nG90 G17 G40 G49 G80\nT1 M06\nG56 G00 X50. Y40. Z20.\nM98<PIPE>\n"
                  "G00 Z50.\nM30\n%\n");
    const struct {
        std::vector<std::string> arguments;
        rlim_t fileSizeLimit;  // 0: none
        int exitCode;
        const char* logged;
    } cases[] = {
        {{kBox, "-XM(1,0,0)", "-O", "big.dme"},
         100000,
         2,
         "big.dme - 被切削材を書き込めません: ファイルサイズの上限に達しました"},
        {{"pipe.dme", "-XM(1,0,0)", "-O", "out.dme"},
         0,
         2,
         "pipe.dme - 被切削材データを読めません: 通常のファイルではありません"},
        {{"zero.ini", kBox, "demo_part.nc", "-X6", "-O", "out.dme"},
         0,
         2,
         "zero.ini - 設定ファイルを読めません: 通常のファイルではありません"},
        {{kBox, "calls.nc", "-X6", "-O", "out.dme"},
         0,
         0,
         "(6) - サブプログラムを読めません (通常のファイルではありません)。呼び出しを飛ばします: "
         "PIPE"},
    };
    for (const auto& c : cases) {
        fs::remove(scratch.At("mirexa.log"));
        const pid_t child = c.fileSizeLimit != 0
                                ? StartWithLimit(c.arguments, RLIMIT_FSIZE, c.fileSizeLimit)
                                : Start(c.arguments);
        EXPECT_EQ(WaitWithin(child, std::chrono::seconds(30)), c.exitCode) << c.logged;
        EXPECT_EQ(LogCount(c.logged), 1) << Read("mirexa.log");
    }
    // A message file that is a FIFO is named, and the interface stays Japanese.
    ASSERT_EQ(mkfifo(scratch.At("mirexa7.mes").c_str(), 0600), 0);
    fs::remove(scratch.At("mirexa.log"));
    EXPECT_EQ(WaitWithin(Start({"missing.nc", "-X6", "-O", "out.dme"}), std::chrono::seconds(30)),
              2);
    EXPECT_EQ(
        LogCount("mirexa7.mes - メッセージファイルを読めません: 通常のファイルではありません"), 1)
        << Read("mirexa.log");
}

// With the English message file every message of a run is English from the start: those of the
// command line and of the tools file too, and a refused tool is named once.
TEST_F(UnattendedFaultTest, TheEnglishMessageFileMakesEveryMessageEnglish) {
    fs::copy(std::string(MIREXA_SAMPLES) + "/mirexa7.mes", scratch.At("mirexa7.mes"));
    const std::string tools = Read("vmc3.ttl");
    const std::size_t flat = tools.find("FLAT 10,25");
    ASSERT_NE(flat, std::string::npos);
    scratch.Write("vmc3.ttl", std::string(tools).replace(flat, 10, "FLAT 1E308,25"));
    EXPECT_EQ(Run({kBox, "demo_part.nc", "-X9", "-O", "out.dme"}), 2);
    EXPECT_EQ(LogCount("The command line was not read completely"), 1) << Read("mirexa.log");
    EXPECT_EQ(LogCount("vmc3.ttl: tool 1 - a size no machine has (D); the tool is not used"), 1)
        << Read("mirexa.log");
    const std::string log = Read("mirexa.log");
    EXPECT_EQ(log.find("コマンドライン"), std::string::npos) << log;
    EXPECT_EQ(log.find("機械にありえない"), std::string::npos) << log;
}

}  // namespace
}  // namespace mirexa
