// The plug-in host with the sample plug-ins: which files take which slots, the spelling of the
// exports, acceptance and refusal with their log lines, the names and menu items per language,
// and the release order.
#include "shell/plugin_host.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "nc/plugin_slots.h"
#include "resources/main_menu.h"
#include "resources/program_resources.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

// A sample plug-in (its variant name) copied in under a base name, or a file that is no shared
// object at all (variant "").
struct Placed {
    std::string variant;
    std::string base;
};

class PluginHostTest : public ::testing::Test {
protected:
    void TearDown() override {
        UnloadPlugins();
        unsetenv("MIREXA_SAMPLE_PLUGIN_LOG");
    }
    void Place(const std::vector<Placed>& files) {
        for (const Placed& f : files) {
            const std::string target = scratch.At(f.base + ".so");
            if (f.variant.empty()) {
                scratch.Write(f.base + ".so", "not a shared object");
            } else {
                fs::copy_file(std::string(MIREXA_SAMPLE_PLUGINS) + "/sample_" + f.variant + ".so",
                              target, fs::copy_options::overwrite_existing);
            }
        }
    }
    void Load(const std::vector<Placed>& files) {
        Place(files);
        messages.clear();
        LoadPluginsFrom({scratch.Path()}, &messages);
    }
    // The base names of the files in the family's slots, "-" for a refused one.
    static std::vector<std::string> SlotFiles(int family) {
        std::vector<std::string> names;
        const PluginFamilySlots& f = PluginSlots.family[family];
        for (int i = 0; i < f.count; ++i) {
            names.push_back(IsPluginLoaded(family, i) ? fs::path(f.slot[i].file).stem().string()
                                                      : "-");
        }
        return names;
    }
    std::string AllMessages() const {
        std::string text;
        for (const std::string& m : messages) {
            text += m + "\n";
        }
        return text;
    }
    testing::ScratchDirectory scratch;
    std::vector<std::string> messages;
};

TEST_F(PluginHostTest, FilesTakeTheSlotsInOrderAndRefusedOnesAreLoggedAndLeaveTheirPlace) {
    struct Case {
        const char* what;
        std::vector<Placed> files;
        int family;
        std::vector<std::string> slots;
        std::vector<std::string> reasons;  // one part of each expected log line, in order
    };
    const std::vector<Case> cases = {
        {"mxread missing, mxread1 present",
         {{"read_plain", "mxread1"}},
         kPluginRead,
         {"mxread1"},
         {}},
        // mxread3 is no shared object: had it been opened, a log line would say so.
        {"a fourth acceptable one is never opened",
         {{"read_plain", "mxread"},
          {"read_underscore", "mxread1"},
          {"read_plain", "mxread2"},
          {"", "mxread3"}},
         kPluginRead,
         {"mxread", "mxread1", "mxread2"},
         {}},
        {"rejected ones leave their slot to the next name",
         {{"read_no_path", "mxread"},
          {"read_no_suffix", "mxread1"},
          {"read_version2", "mxread2"},
          {"read_plain", "mxread3"}},
         kPluginRead,
         {"mxread3"},
         {"mxread.so (no MXREADPATH export)", "mxread1.so (no MXREADSUFFIX export)",
          "mxread2.so (interface version 2, this program uses 1)"}},
        {"a file that does not load",
         {{"", "mxsim"}, {"sim", "mxsim2"}},
         kPluginSim,
         {"mxsim2"},
         {"mxsim.so ("}},
        {"simulation add-ons need GETWORK and CUTWORK",
         {{"sim_no_cutwork", "mxsim"}, {"sim", "mxsim1"}},
         kPluginSim,
         {"mxsim1"},
         {"(no MXSIMCUTWORK export)"}},
        {"stock loaders need LOADWORK",
         {{"load_no_loadwork", "mxload"}, {"load", "mxload3"}},
         kPluginLoad,
         {"mxload3"},
         {"(no MXLOADLOADWORK export)"}},
        {"stock savers need KIND",
         {{"save_no_kind", "mxsave"}},
         kPluginSave,
         {},
         {"(no MXSAVEKIND export)"}},
        {"stock modifiers need MODWORK", {{"mod", "mxmod1"}}, kPluginMod, {"mxmod1"}, {}},
        {"one NC communication plug-in, found by TOOL under its _ name",
         {{"nccom_underscore", "mxnccom"}, {"nccom_underscore", "mxnccom1"}},
         kPluginNccom,
         {"mxnccom"},
         {}},
        {"the editor bridge by FINDWINDOW",
         {{"editor", "mxeditor"}},
         kPluginEditor,
         {"mxeditor"},
         {}},
        {"the synchronisation plug-in by GET", {{"sync", "mxsync"}}, kPluginSync, {"mxsync"}, {}},
        {"a family member under another family's name is not accepted",
         {{"sim", "mxread"}},
         kPluginRead,
         {},
         {"(no MXREADSUFFIX export)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(scratch.Path())) {
            fs::remove(entry.path());
        }
        Load(c.files);
        EXPECT_EQ(SlotFiles(c.family), c.slots);
        ASSERT_EQ(messages.size(), c.reasons.size()) << AllMessages();
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_NE(messages[i].find(c.reasons[i]), std::string::npos) << messages[i];
        }
        UnloadPlugins();
    }
}

TEST_F(PluginHostTest, AnUnderscoreFirstExportReadsEveryExportUnderscored) {
    Load({{"read_underscore", "mxread"}, {"read_plain", "mxread1"}});
    const PluginFamilySlots& f = PluginSlots.family[kPluginRead];
    ASSERT_EQ(f.count, 2);
    EXPECT_EQ(f.slot[0].underscore, 1);
    EXPECT_NE(f.slot[0].exports[kReadPathIjk], nullptr);
    EXPECT_NE(f.slot[0].exports[kReadFree], nullptr);
    EXPECT_EQ(f.slot[0].exports[kReadPath], nullptr);
    EXPECT_EQ(f.slot[1].underscore, 0);
    EXPECT_NE(f.slot[1].exports[kReadPath], nullptr);
    // Suffix lists and path colours are asked at loading; a colour count past the ten colours
    // is cut to ten.
    EXPECT_EQ(f.slot[0].suffixes, ".smp;.sm2");
    EXPECT_EQ(f.slot[0].colorCount, 0);
    EXPECT_EQ(f.slot[1].colorCount, 10);
    EXPECT_EQ(FindPluginSuffixSlot(kPluginRead, "/w/PART.SM2"), 0);
    EXPECT_EQ(FindPluginSuffixSlot(kPluginRead, "/w/part.nc"), -1);
    // The NC file dialog offers both readers' patterns.
    std::vector<FileDialogFilter> filters;
    BuildFilterString(ListPathReaderFilters(), &filters);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[1].patterns, "*.smp;*.sm2");
}

// The names of each language, the menu items at their positions and a refusing INIT.
TEST_F(PluginHostTest, InitNamesThePluginsAndInsertsTheirMenuItemsInEachLanguage) {
    struct Case {
        int language;
        std::string sim0, sim1, sim2, nccom, reader;
    };
    const std::vector<Case> cases = {
        {0, "sim ja or F8キー", "sim ja or F9キー", "sim ja", "mxnccom.dllの無効化(&N)",
         "read_plain ja"},
        {1, "sim en or F8", "sim en or F9", "sim en", "Disable mxnccom.dll(&N)", "read_plain en"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        Load({{"read_refuses", "mxread"},
              {"read_plain", "mxread1"},
              {"sim", "mxsim"},
              {"sim", "mxsim1"},
              {"sim", "mxsim2"},
              {"mod", "mxmod"},
              {"nccom_underscore", "mxnccom"}});
        const MenuHandle bar = LoadMenuResource(IDR_MAIN_MENU);
        ASSERT_NE(bar, nullptr);
        InitPluginsAndMenus(bar, c.language, &messages);
        // The refusing reader is unloaded; its slot stays counted.
        EXPECT_EQ(SlotFiles(kPluginRead), (std::vector<std::string>{"-", "mxread1"}));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("mxread.so (refused by its INIT)"), std::string::npos);
        EXPECT_EQ(PluginSlots.family[kPluginRead].slot[1].name, c.reader);

        const MenuHandle machining = GetSubMenuHandle(bar, kMachiningMenuPosition);
        const std::vector<std::pair<unsigned, std::string>> simItems = {
            {32901, c.sim0}, {32902, c.sim1}, {32903, c.sim2}};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(GetMenuEntryId(machining, 6 + i), simItems[i].first);
            MenuEntryInfo item;
            ASSERT_EQ(GetMenuEntryInfo(machining, 6 + i, MENU_BYPOSITION, &item), 1);
            EXPECT_EQ(item.caption, simItems[i].second);
            EXPECT_EQ(item.state & MENU_GRAYED, MENU_GRAYED);
        }
        const MenuHandle stock = GetSubMenuHandle(bar, kStockMenuPosition);
        EXPECT_EQ(GetMenuEntryId(stock, 12), kStockModifierFirstId);
        MenuEntryInfo nccom;
        ASSERT_EQ(GetMenuEntryInfo(GetSubMenuHandle(bar, kSettingFilesMenuPosition), 0,
                                   MENU_BYPOSITION, &nccom),
                  1);
        EXPECT_EQ(nccom.command, kNccomMenuId);
        EXPECT_EQ(nccom.caption, c.nccom);
        EXPECT_EQ(nccom.state & MENU_GRAYED, 0u);
        DestroyMenuHandle(bar);
        UnloadPlugins();
    }
}

TEST_F(PluginHostTest, NamesWithoutTheirEndAreCutAndNothingIsInsertedWithoutAMenuBar) {
    Load({{"read_long_name", "mxread"}, {"sim", "mxsim"}});
    InitPluginsAndMenus(nullptr, 1, &messages);
    EXPECT_EQ(PluginSlots.family[kPluginRead].slot[0].name,
              std::string(MIREXA_PLUGIN_NAME_SIZE - 1, 'x'));
    EXPECT_EQ(PluginSlots.family[kPluginSim].slot[0].menuText, "sim en or F8");
    EXPECT_TRUE(messages.empty());
}

TEST_F(PluginHostTest, FreeRunsInFamilyOrderAndNeverForTheEditor) {
    Load({{"sync", "mxsync"},
          {"editor", "mxeditor"},
          {"nccom_underscore", "mxnccom"},
          {"save", "mxsave"},
          {"mod", "mxmod"},
          {"load", "mxload"},
          {"sim", "mxsim"},
          {"read_plain", "mxread"}});
    const std::string log = scratch.At("calls.log");
    setenv("MIREXA_SAMPLE_PLUGIN_LOG", log.c_str(), 1);
    CallPluginFreeFunctions();
    EXPECT_EQ(testing::ReadWholeFile(log),
              "read_plain FREE\nsim FREE\nload FREE\nmod FREE\nsave FREE\n"
              "nccom_underscore FREE\nsync FREE\n");
}

}  // namespace
}  // namespace mirexa
