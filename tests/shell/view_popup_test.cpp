// The view's popup menu made from its resource, the NC line of a picked path point (from the
// program's text, or from a path reader reopened and closed again), and the stock files'
// dialogs answered by a scripted responder.
#include "shell/view_popup.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "nc/plugin_slots.h"
#include "platform/file_dialog.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "shell/file_dialogs.h"
#include "shell/nc_data_commands.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

TEST(ViewPopup, MadeFromItsResourceInTheInterfaceLanguage) {
    ResetViewPopupMenu();
    EXPECT_EQ(GetViewPopupMenu(), nullptr);
    for (int language : {0, 1}) {
        UiLanguage.store(language);
        CreateViewPopupMenu();
        const PopupMenu* menu = GetViewPopupMenu();
        ASSERT_NE(menu, nullptr);
        std::vector<unsigned> commands;
        for (const PopupMenuItem& item : menu->items) {
            commands.push_back(item.command);
            EXPECT_EQ(item.text.empty(), item.command == 0) << item.command;
        }
        EXPECT_EQ(commands, (std::vector<unsigned>{IDM_VIEW_POPUP_FIRST, 0, IDM_VIEW_POPUP_SECOND,
                                                   0, IDM_VIEW_POPUP_THIRD}));
        EXPECT_EQ(menu->items[2].text, language == 1 ? "Measure" : "計測");
    }
    UiLanguage.store(0);
    ResetViewPopupMenu();
}

TEST(PathPicking, TextLinesAndReaderElementsAsTheStripShowsThem) {
    testing::ScratchDirectory scratch;
    const std::string path = scratch.At("part.nc");
    std::ofstream(path, std::ios::binary) << "%\r\nO0001\r\nG01 X10. Y20. F300\r\nM30";
    struct Case {
        int line;
        std::size_t capacity;
        int found;
        const char* text;
    };
    for (Case c :
         {Case{1, 256, 1, "%"}, Case{3, 256, 1, "G01 X10. Y20. F300"}, Case{4, 256, 1, "M30"},
          Case{3, 4, 1, "G01"}, Case{5, 256, 0, ""}, Case{0, 256, 0, ""}}) {
        std::string text = "stale";
        EXPECT_EQ(ReadNcProgramLine(path, c.line, c.capacity, &text), c.found) << c.line;
        EXPECT_EQ(text, c.text) << c.line;
    }
    std::string none;
    EXPECT_EQ(ReadNcProgramLine(scratch.At("missing.nc"), 1, 256, &none), 0);

    const double end[3] = {1.5, -2.25, 100.0};
    const char* kinds[5] = {"RAPID    ", "LINE     ", "ARC(CW)  ", "ARC(CCW) ", "OTHER    "};
    for (int type : {0, 1, 2, 3, 1005}) {
        EXPECT_EQ(FormatPickedPathElement(type, end),
                  std::string(kinds[type < 4 ? type : 4]) + "    1.500,   -2.250,  100.000");
    }
}

// A stand-in path reader: its records are lines 10, 11 (a tool change) and 12, and it counts its
// OPEN and CLOSE calls.
int ReaderOpens = 0;
int ReaderCloses = 0;
int ReaderNext = 0;
void ReaderOpen(const char*) {
    ++ReaderOpens;
    ReaderNext = 0;
}
void ReaderClose(const int*) {
    ++ReaderCloses;
}
void ReaderPath(int* line, int* type, void*, double* end, double*, int*, double*, void*, int*,
                int* more) {
    const int types[3] = {0, 1005, 2};
    if (ReaderNext >= 3) {
        *more = 0;
        return;
    }
    *line = 10 + ReaderNext;
    *type = types[ReaderNext];
    end[0] = 10.0 * ReaderNext;
    end[1] = 1.0;
    end[2] = -3.0;
    ++ReaderNext;
}

class PathPickingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(scratch_.At("part.nc")) << "G00 X0\nG01 X5 F100\n";
        DefinitionFiles.ncProgramFile = scratch_.At("part.nc");
        NcDataCommands.selectedState = 1;
        NcDataCommands.activePathReader = -1;
        UiHooks.activePathReader = [] { return NcDataCommands.activePathReader; };
        WindowRun.mode.store(RunMode::kIdle);
        ReaderOpens = ReaderCloses = ReaderNext = 0;
    }
    void TearDown() override {
        // The stand-in is no shared object: the table is emptied, never unloaded.
        PluginSlots.family[kPluginRead] = PluginFamilySlots{};
        NcDataCommands = NcDataCommandState{};
        UiHooks.activePathReader = nullptr;
        WindowRun.mode.store(RunMode::kIdle);
        DefinitionFiles.ncProgramFile.clear();
    }
    static void InstallReader() {
        PluginFamilySlots& f = PluginSlots.family[kPluginRead];
        f.count = 1;
        f.slot[0] = PluginSlot{};
        f.slot[0].module = &f;  // any non-null handle marks the slot loaded
        f.slot[0].exports[kReadOpen] = reinterpret_cast<void*>(ReaderOpen);
        f.slot[0].exports[kReadClose] = reinterpret_cast<void*>(ReaderClose);
        f.slot[0].exports[kReadPath] = reinterpret_cast<void*>(ReaderPath);
        NcDataCommands.activePathReader = 0;
    }
    static std::string Read(int stamp) {
        char text[256] = "stale";
        const int found = ReadPickedPathLine(stamp, text, static_cast<int>(sizeof text));
        EXPECT_EQ(found, text[0] != '\0' ? 1 : 0);
        return text;
    }
    testing::ScratchDirectory scratch_;
};

TEST_F(PathPickingTest, TheLineOfAStampFromTheTextWhateverTheRun) {
    EXPECT_EQ(Read(2), "G01 X5 F100");
    EXPECT_EQ(Read(-1), "G00 X0");  // a look-ahead replay's stamp is negated
    EXPECT_EQ(Read(0), "");         // an end no cut made
    EXPECT_EQ(Read(9), "");
    WindowRun.mode.store(RunMode::kRealCutting);  // the run reads its own handle of the file
    EXPECT_EQ(PathPickingOn(), 1);
    EXPECT_EQ(Read(2), "G01 X5 F100");
    NcDataCommands.selectedState = 0;
    EXPECT_EQ(PathPickingOn(), 0);
    EXPECT_EQ(Read(2), "");
}

TEST_F(PathPickingTest, AReaderIsReopenedForTheLineAndLeftClosedButNeverDuringARun) {
    InstallReader();
    EXPECT_EQ(Read(12), "ARC(CW)     20.000,    1.000,   -3.000");
    EXPECT_EQ(ReaderOpens, 1);
    EXPECT_EQ(ReaderCloses, 2);  // closed before it is opened again, and after the lookup
    EXPECT_EQ(Read(13), "");     // past its last record
    EXPECT_EQ(ReaderCloses, 4);
    WindowRun.mode.store(RunMode::kSkipCutting);
    EXPECT_EQ(PathPickingOn(), 0);
    EXPECT_EQ(Read(10), "");
    EXPECT_EQ(ReaderOpens, 2);  // the run's reader was left alone
}

TEST(StockFileDialogs, TheSaveTypeAndNameGiveTheSaveKind) {
    struct Case {
        int entry;  // the file type chosen, 1-based (0: none)
        const char* name;
        int kind;
        const char* path;
    };
    const std::vector<PathReaderFilter> savers = {{"Unloaded", ".x", 0}, {"Saver", ".sv", 1}};
    RunKinematics.workOrigin = {};
    for (Case c : {Case{1, "part", 1, "/d/part.dme"}, Case{2, "part", 2, "/d/part.stl"},
                   Case{3, "part.stl", 3, "/d/part.stl"}, Case{1, "part.stl", 2, "/d/part.stl"},
                   Case{2, "part.dme", 1, "/d/part.dme"}, Case{0, "part.STL", 2, "/d/part.STL"},
                   Case{4, "part", 8, "/d/part"}}) {
        ResetFileDialogs();
        FileDialogRequest seen;
        SetFileDialogResponder([&](const FileDialogRequest& request) {
            seen = request;
            return FileDialogResult{1, std::string("/d/") + c.name, c.entry, 0};
        });
        std::string path = "/stocks/old.dme";
        int kind = 0;
        int work = -1;
        ASSERT_EQ(SelectStockSaveFile(nullptr, savers, &path, &kind, &work), 1) << c.name;
        EXPECT_EQ(kind, c.kind) << c.entry << " " << c.name;
        EXPECT_EQ(path, c.path) << c.entry << " " << c.name;
        EXPECT_EQ(work, 0);  // the work origin is zero
        EXPECT_EQ(seen.save, 1);
        EXPECT_EQ(seen.fileName, "old.dme");
        EXPECT_EQ(seen.initialDirectory, "/stocks");
        ASSERT_EQ(seen.filters.size(), 4u);  // DME, ASCII STL, binary STL, the loaded saver
        EXPECT_EQ(seen.filters[3].patterns, "*.sv");
    }
    // Cancelled: nothing changes.
    SetFileDialogResponder({});
    std::string path = "/stocks/old.dme";
    int kind = 5;
    EXPECT_EQ(SelectStockSaveFile(nullptr, {}, &path, &kind, nullptr), 0);
    EXPECT_EQ(path, "/stocks/old.dme");
    EXPECT_EQ(kind, 5);
}

TEST(StockFileDialogs, TheOpenDialogListsEveryReadableKind) {
    ResetFileDialogs();
    UiLanguage.store(1);
    FileDialogRequest seen;
    SetFileDialogResponder([&](const FileDialogRequest& request) {
        seen = request;
        return FileDialogResult{1, "/w/block.stl", 3, 0};
    });
    std::string path;
    ASSERT_EQ(SelectStockReadFile(nullptr, {{"Cloud", ".pcd;.xyz", 1}}, &path), 1);
    EXPECT_EQ(path, "/w/block.stl");
    EXPECT_EQ(seen.title, "Work");
    std::vector<std::string> patterns;
    for (const FileDialogFilter& filter : seen.filters) {
        patterns.push_back(filter.patterns);
    }
    EXPECT_EQ(patterns,
              (std::vector<std::string>{"*.DME", "*.DMF", "*.STL", "*.pcd;*.xyz", "*.*"}));
    EXPECT_EQ(FileDialogs.settingFilterIndex[FILE_KIND_STOCK], 3);
    EXPECT_EQ(FileDialogs.stockLoaderFilterIndex, 3);
    SetFileDialogResponder({});
    UiLanguage.store(0);
}

}  // namespace
}  // namespace mirexa
