// End-to-end runs of the built program on definition files that hold nothing usable or values
// that are no numbers: what a batch and a macro do with them, and what the log says.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/batch_run_fixture.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::kBox;

class DefinitionFaultTest : public testing::BatchRunTest {
protected:
    // The sample file with the first `from` replaced by `to`.
    void Replace(const std::string& name, const std::string& from, const std::string& to) {
        std::string text = Read(name);
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << name << ": " << from;
        scratch.Write(name, text.replace(at, from.size(), to));
    }
    // Starts over from the samples (the log in Japanese) with no log.
    void Reset() {
        CopySamples();
        fs::remove(scratch.At("mirexa7.mes"));
        fs::remove(scratch.At("mirexa.log"));
        fs::remove(scratch.At("out.dme"));
    }
};

// A binary STL of `facets` copies of one facet.
std::string StlOfFacets(int facets, const float facet[12]) {
    std::string stl(80, '\0');
    stl.append(reinterpret_cast<const char*>(&facets), 4);
    for (int i = 0; i < facets; ++i) {
        stl.append(reinterpret_cast<const char*>(facet), 48);
        stl.append(2, '\0');
    }
    return stl;
}

// Definition files and models that hold nothing usable fail the batch as a missing file does:
// the log says which and why, and nothing is cut or saved. Values that are no numbers do not
// stop the batch: a field of letters that would take the next field's number and a value beyond
// the number range are logged with the file, the line and the field; a value that is not a
// finite number is refused with its key. A save kind that is not known is refused.
TEST_F(DefinitionFaultTest, FilesThatHoldNothingUsableOrNoNumbersAreNamedInTheLog) {
    const float nan = std::nanf("");
    const float nanFacet[12] = {0, 0, 1, nan, nan, nan, nan, nan, nan, nan, nan, nan};
    const float flatFacet[12] = {0, 0, 1, 0, 0, 0, 10, 0, 0, 20, 0, 0};
    const struct {
        const char* file;
        std::string from;  // empty: the whole file
        std::string to;
        int exitCode;
        const char* logged;
    } cases[] = {
        {"vmc3.mtl", "", "This machine has a table and a vice.\n", 2,
         "vmc3.mtl - 定義ファイルに使える内容がありません"},
        {"vmc3.ctl", "", "Fanuc-like controller\nno keyword here\n", 2,
         "vmc3.ctl - 定義ファイルに使える内容がありません"},
        {"bt40_er32.hld", "", "ARBOR 0,0,0,0\n", 2,
         "bt40_er32.hld: ARBOR 行に使えるホルダーがありません"},
        {"bt40_er32.hld", "", "ARBOR2 nan,20,30\n", 2, "bt40_er32.hld: ARBOR 行に使えるホルダー"},
        {"bt40_er32.hld", "", "ARBOR abc\n", 2, "bt40_er32.hld: ARBOR 行に使えるホルダー"},
        {"bt40_er32.hld", "", "ARBOR 50\n", 2, "bt40_er32.hld: ARBOR 行に使えるホルダー"},
        {"vmc3.ttl", "ARBOR 50,60,63,40", "ARBOR 0,0,0,0", 2, "工具 3: ARBOR 行に使えるホルダー"},
        {"table.stl", "", StlOfFacets(40, nanFacet), 2,
         "table.stl - 形状に面積のある面がありません"},
        {"table.stl", "", StlOfFacets(40, flatFacet), 2,
         "table.stl - 形状に面積のある面がありません"},
        {"vmc3.ttl", "FLAT 10,25", "FLAT 0,25", 2, "機械にありえない寸法の工具は使いません"},
        {"vmc3.ttl", "FLAT 10,25", "FLAT -10,25", 2, "機械にありえない寸法の工具は使いません"},
        {"vmc3.ttl", "FLAT 10,25", "FLAT abc,25", 0,
         "vmc3.ttl: 5 行目: \"abc\" は数値ではありません"},
        {"vmc3.ctl", "MEMORY H01= 120.500000,0.000000", "MEMORY H01= 1e39,0", 0,
         "vmc3.ctl: 30 行目: \"1e39\" は数値の範囲を超えています"},
        {"vmc3.ctl", "MEMORY H01= 120.500000,0.000000", "MEMORY H01= inf,0.25", 0,
         "vmc3.ctl: 30 行目: MEMORY H01 - 値が有限の数ではありません"},
        {"vmc3.mtl", "STROKE RANGE(X)=-400,400", "STROKE RANGE(X)=nan,400", 0,
         "vmc3.mtl: 22 行目: STROKE RANGE(X) - 値が有限の数ではありません。この行は使いません"},
        {"vmc3.mtl", "TABLE MODEL OFFSET=0,0,-90.52", "TABLE MODEL OFFSET=nan", 0,
         "TABLE MODEL OFFSET - 値が有限の数ではありません"},
        {"mirexa.ini", "CONTROL POINT=(0.0,0.0,200.0,0.0,0.0)M", "CONTROL POINT=nan", 0,
         "[Define] CONTROL POINT=nan - 値が有限の数ではありません。この値は使いません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        Reset();
        if (c.from.empty()) {
            scratch.Write(c.file, c.to);
        } else {
            Replace(c.file, c.from, c.to);
        }
        EXPECT_EQ(Run({kBox, "demo_part.nc", "-X6", "-O", "out.dme"}), c.exitCode);
        EXPECT_EQ(LogCount(c.logged), 1) << Read("mirexa.log");
        EXPECT_EQ(Exists("out.dme"), c.exitCode == 0);
    }
    Reset();
    EXPECT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "out.stl,a"}), 2);
    EXPECT_EQ(LogCount("カンマの後の保存の種類が不明です (,b または ,b2): out.stl,a"), 1)
        << Read("mirexa.log");
    EXPECT_FALSE(Exists("out.stl,a.dme"));
}

// A macro works with the definition files of the settings too: at its first cut, check or save,
// one that could not be read fails the batch (naming the working folder where it was looked
// for) and the macro stops, unless a LOAD_ line of the macro replaced it.
TEST_F(DefinitionFaultTest, AMacroDoesNotWorkWithDefinitionFilesThatCouldNotBeRead) {
    Reset();
    ASSERT_EQ(Run({kBox, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    const std::string work = "SELECT_NCDATA demo_part.nc\r\nCUT(REAL)\r\nSAVE_WORK cut.dme\r\n";
    const struct {
        const char* removed;
        std::string macro;
        int exitCode;
        std::vector<std::string> logged;
    } cases[] = {
        {"vmc3.mtl",
         "LOAD_WORK raw.dme\r\n" + work + "EXIT\r\n",
         2,
         {"vmc3.mtl - 定義ファイルを読めません", "次の場所も探しました: " + scratch.Path(),
          "(3) - 実行しません: CUT(REAL)", "(4) - 中断のため実行しません: SAVE_WORK cut.dme"}},
        {"bt40_er32.hld",
         "LOAD_WORK raw.dme\r\nSAVE_WORK cut.dme\r\nEXIT\r\n",
         2,
         {"bt40_er32.hld: 見つかりません", "(2) - 実行しません: SAVE_WORK cut.dme"}},
        {"vmc3.mtl", "LOAD_MTL other.mtl\r\nLOAD_WORK raw.dme\r\n" + work + "EXIT\r\n", 0, {}},
    };
    for (const auto& c : cases) {
        Reset();
        fs::copy_file(scratch.At("vmc3.mtl"), scratch.At("other.mtl"),
                      fs::copy_options::overwrite_existing);
        fs::remove(scratch.At(c.removed));
        fs::remove(scratch.At("cut.dme"));
        scratch.Write("job.mac", c.macro);
        EXPECT_EQ(Run({"job.mac"}), c.exitCode) << c.macro;
        for (const std::string& text : c.logged) {
            EXPECT_EQ(LogCount(text), 1) << text << "\n" << Read("mirexa.log");
        }
        EXPECT_EQ(Exists("cut.dme"), c.exitCode == 0) << c.macro;
    }
}

// A report template larger than a template can be is called too large, not missing.
TEST_F(DefinitionFaultTest, AReportTemplateOverTheLimitIsCalledTooLarge) {
    Reset();
    scratch.Write("verify_form.def", std::string((1 << 20) + 1, ' '));
    ASSERT_EQ(Run({kBox, "demo_part.nc", "-V5"}), 0);
    const std::string report = Read("demo_part_verify.txt");
    EXPECT_NE(report.find("\"verify_form.def\"が大きすぎます"), std::string::npos) << report;
    EXPECT_EQ(report.find("見つかりません"), std::string::npos) << report;
}

// A settings file over the size a settings file is read at is called too large, not missing.
TEST_F(DefinitionFaultTest, ASettingsFileOverTheLimitIsCalledTooLarge) {
    Reset();
    fs::resize_file(scratch.At("mirexa.ini"), (std::uintmax_t{64} << 20) + 1);  // sparse
    EXPECT_EQ(Run({kBox, "demo_part.nc", "-X6", "-O", "out.dme"}), 2);
    EXPECT_EQ(LogCount("mirexa.ini - 設定ファイルが大きすぎます (64 MB 超)"), 1)
        << Read("mirexa.log");
    EXPECT_EQ(LogCount("設定ファイルが無いか"), 0) << Read("mirexa.log");
    EXPECT_FALSE(Exists("out.dme"));
}

// A file that is there but is no regular file (a FIFO, a program's standard input) is refused as
// "not a regular file" whatever it was meant to be, without waiting for a writer, and never as
// missing; a definition file is named where it stands (the working folder), not beside the
// program where the name was looked for after it. A batch that its definition files refuse says
// so after their lines, a holder file missing among them.
TEST_F(DefinitionFaultTest, FilesThatAreThereButNoRegularFilesAreNamedSo) {
    const std::string refused = "上記の定義ファイルをそのまま使えないため、処理を実行しません";
    const std::vector<std::string> batch = {kBox, "demo_part.nc", "-X6", "-O", "out.dme"};
    struct stat input = {};
    const bool inputIsAFile = fstat(STDIN_FILENO, &input) == 0 && S_ISREG(input.st_mode);
    const struct {
        const char* fifo;     // made a FIFO
        const char* removed;  // removed
        const char* macro;    // job.mac, run instead of the batch
        std::vector<std::string> logged;
    } cases[] = {
        {"pipe.nc",
         nullptr,
         "SELECT_NCDATA pipe.nc\r\nEXIT\r\n",
         {"pipe.nc - NCプログラムを読めません: 通常のファイルではありません"}},
        {nullptr,
         nullptr,
         inputIsAFile ? nullptr : "SELECT_NCDATA /dev/stdin\r\nEXIT\r\n",
         {"/dev/stdin - NCプログラムを読めません: 通常のファイルではありません"}},
        {"job.mac",
         nullptr,
         "",
         {"job.mac - マクロファイルを開けません: 通常のファイルではありません"}},
        {"vmc3.ttl",
         nullptr,
         nullptr,
         {scratch.At("vmc3.ttl") + " - 定義ファイルを読めません: 通常のファイルではありません",
          refused}},
        {"vmc3.ctl",
         nullptr,
         nullptr,
         {scratch.At("vmc3.ctl") + " - 定義ファイルを読めません: 通常のファイルではありません",
          refused}},
        {"vmc3.mtl",
         nullptr,
         nullptr,
         {scratch.At("vmc3.mtl") + " - 定義ファイルを読めません: 通常のファイルではありません",
          refused}},
        {"bt40_er32.hld",
         nullptr,
         nullptr,
         {"ホルダーファイル bt40_er32.hld: 通常のファイルではありません", refused}},
        {nullptr,
         "bt40_er32.hld",
         nullptr,
         {"ホルダーファイル bt40_er32.hld: 見つかりません", refused}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged.front());
        if (c.fifo == nullptr && c.removed == nullptr && c.macro == nullptr) {
            continue;  // the test's own standard input is a file: nothing to refuse
        }
        Reset();
        if (c.macro != nullptr && c.macro[0] != '\0') {
            scratch.Write("job.mac", c.macro);
        }
        if (c.fifo != nullptr) {
            fs::remove(scratch.At(c.fifo));
            ASSERT_EQ(mkfifo(scratch.At(c.fifo).c_str(), 0600), 0);
        }
        if (c.removed != nullptr) {
            fs::remove(scratch.At(c.removed));
        }
        EXPECT_EQ(Run(c.macro != nullptr ? std::vector<std::string>{"job.mac"} : batch), 2);
        const std::string log = Read("mirexa.log");
        for (const std::string& text : c.logged) {
            EXPECT_EQ(LogCount(text), 1) << text << "\n" << log;
        }
        if (c.removed == nullptr) {
            EXPECT_EQ(log.find("見つかりません"), std::string::npos) << log;
            EXPECT_EQ(log.find("存在しません"), std::string::npos) << log;
        }
        EXPECT_FALSE(Exists("out.dme"));
        if (c.fifo != nullptr) {
            fs::remove(scratch.At(c.fifo));  // the samples are copied over it next
        }
    }
}

}  // namespace
}  // namespace mirexa
