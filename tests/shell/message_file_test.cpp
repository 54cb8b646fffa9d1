// The message file: its three entry forms read from CRLF and LF files with short, long and
// multibyte lines; the entries mapped onto a menu model in menu order; the panel captions and tool
// labels; the bundled English file against the main menu; and the program's start-up with and
// without the file and without a menu bar.
#include "shell/message_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/config_records.h"
#include "resources/main_menu.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell_test_support.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

class MessageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetShellState();
    }
    void TearDown() override {
        ResetShellState();
    }
};

std::string Caption(MenuHandle menu, unsigned item, unsigned flags) {
    MenuEntryInfo info;
    GetMenuEntryInfo(menu, item, flags, &info);
    return info.caption;
}

TEST_F(MessageFileTest, EntryFormsWithCrlfShortLongAndMultibyteLines) {
    const std::string japanese(80, 'x');
    std::string utf8;
    for (int i = 0; i < 80; ++i) {
        utf8 += "字";
    }
    for (const char* eol : {"\n", "\r\n"}) {
        const std::string text = std::string("# comment") + eol + eol + "[File(&F)]" + eol +
                                 " Open" + eol + "  Deep one" + eol + "plain words" + eol + "[" +
                                 eol + "[No bracket" + eol + "   three" + eol + "[" + japanese +
                                 eol + " " + utf8 + eol + "[last]";
        MessageFileReader reader{text, 0};
        struct Entry {
            int kind;
            std::string caption;
        };
        const std::vector<Entry> expected = {
            {1, "File(&F)"},
            {2, "Open"},
            {3, "Deep one"},
            {1, ""},
            {1, "No bracket"},
            {3, " three"},
            {1, japanese.substr(0, 78)},
            {2, utf8.substr(0, 78 * 3)},  // 79 characters with the blank, none cut in half
            {1, "last"},
        };
        for (const Entry& e : expected) {
            std::string caption;
            EXPECT_EQ(ReadMessageLine(&reader, &caption), e.kind) << e.caption;
            EXPECT_EQ(caption, e.caption);
        }
        std::string caption;
        EXPECT_EQ(ReadMessageLine(&reader, &caption), 0);
    }
}

TEST_F(MessageFileTest, CaptionsFollowMenuOrderKeepGreysAndStopWhereTheEntriesEnd) {
    // Bar: "A" (a1, separator, nested "S" (s1, separator, s2), a2 grey), "B" (b1).
    MenuHandle bar = CreateMenuHandle();
    MenuHandle a = CreateMenuHandle();
    MenuHandle s = CreateMenuHandle();
    MenuHandle b = CreateMenuHandle();
    auto add = [](MenuHandle menu, unsigned command, const char* caption, MenuHandle sub) {
        AppendMenuEntry(menu, {.command = command,
                               .caption = caption ? caption : "",
                               .separator = caption ? 0 : 1,
                               .submenu = sub});
    };
    add(s, 11, "s1", nullptr);
    add(s, 0, nullptr, nullptr);
    add(s, 12, "s2", nullptr);
    add(a, 1, "a1", nullptr);
    add(a, 0, nullptr, nullptr);
    add(a, 0, "S", s);
    add(a, 2, "a2", nullptr);
    add(b, 3, "b1", nullptr);
    add(bar, 0, "A", a);
    add(bar, 0, "B", b);
    EnableMenuEntry(bar, 2, MENU_BYCOMMAND | MENU_GRAYED);
    ApplyMessageText(bar,
                     "[Alpha]\r\n one\r\n Sub\r\n  sub one\r\n  sub two\r\n two\r\n[Beta]\r\n");
    EXPECT_EQ(UiLanguage.load(), 1);
    EXPECT_EQ(Caption(bar, 0, MENU_BYPOSITION), "Alpha");
    EXPECT_EQ(Caption(a, 2, MENU_BYPOSITION), "Sub");
    EXPECT_EQ(Caption(bar, 11, MENU_BYCOMMAND), "sub one");
    EXPECT_EQ(Caption(bar, 12, MENU_BYCOMMAND), "sub two");
    EXPECT_EQ(Caption(bar, 2, MENU_BYCOMMAND), "two");
    EXPECT_EQ(GetMenuEntryState(bar, 2, MENU_BYCOMMAND), static_cast<int>(MENU_GRAYED));
    EXPECT_EQ(Caption(bar, 1, MENU_BYPOSITION), "Beta");
    EXPECT_EQ(Caption(bar, 3, MENU_BYCOMMAND), "b1");  // the entries ended: unchanged
    EXPECT_EQ(CommandPanelCaptions[3], "ｽﾞｰﾑ(&Z)");
    EXPECT_EQ(ToolDimensionLabels[0], "Dia ");  // the tool labels are English all the same
    DestroyMenuHandle(bar);
}

TEST_F(MessageFileTest, PanelCaptionsAndToolLabels) {
    const std::string longCaption(78, 'M');
    std::string text = longCaption + "\n";  // no menu: the panel part comes first
    for (const char* line : {"Init", "Fit", "Zoom", "In", "", "Ou"}) {
        text += std::string(line) + "\n";  // the empty line is skipped
    }
    MenuHandle empty = CreateMenuHandle();
    ApplyMessageText(empty, text);
    DestroyMenuHandle(empty);
    EXPECT_EQ(CommandPanelCaptions[0], longCaption);  // whole, however long
    EXPECT_EQ(CommandPanelCaptions[1], "Init(&R)");
    EXPECT_EQ(CommandPanelCaptions[2], "Fit (&F)");  // short lines padded, the key kept
    EXPECT_EQ(CommandPanelCaptions[3], "Zoom(&Z)");
    EXPECT_EQ(CommandPanelCaptions[5], "Ou  (&S)");
    EXPECT_EQ(CommandPanelCaptions[6], "第１(&1)");  // past the end of the file: unchanged
    EXPECT_EQ(ReplaceCaptionHead("-15 (&5)", "Left turn"), "Left(&5)");
    EXPECT_EQ(ReplaceCaptionHead("初期(&R)", "初期化する"), "初期化す(&R)");  // characters
    struct Label {
        int index;
        const char* text;
    };
    for (Label l : {Label{0, "Dia "}, Label{6, " H  "}, Label{7, "Len "}, Label{8, "TopR"},
                    Label{10, " Lu "}, Label{17, " Hi "}, Label{19, "上径"}, Label{23, " Ra "}}) {
        EXPECT_EQ(ToolDimensionLabels[l.index], l.text) << l.index;
    }
}

TEST_F(MessageFileTest, TheBundledEnglishFileFitsTheMainMenu) {
    MenuHandle bar = LoadMenuResource(IDR_MAIN_MENU);
    ApplyMessageText(bar, testing::ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa7.mes"));
    // Every caption became English, and the panel part starts where the menu part ends.
    std::vector<MenuHandle> menus = {bar};
    for (std::size_t m = 0; m < menus.size(); ++m) {
        for (int i = 0; i < GetMenuEntryCount(menus[m]); ++i) {
            const std::string caption =
                Caption(menus[m], static_cast<unsigned>(i), MENU_BYPOSITION);
            for (unsigned char c : caption) {
                EXPECT_LT(c, 0x80) << caption;
            }
            if (MenuHandle sub = GetSubMenuHandle(menus[m], i)) {
                menus.push_back(sub);
            }
        }
    }
    EXPECT_EQ(Caption(bar, IDM_CUT_RESULT, MENU_BYCOMMAND), "Cut and Show Result(&T or F5)");
    EXPECT_EQ(Caption(bar, IDM_VERSION_INFO, MENU_BYCOMMAND), "Version/Environment(&V)");
    EXPECT_EQ(CommandPanelCaptions[0], "Menu");
    EXPECT_EQ(CommandPanelCaptions[13], " XZ (&8)");
    EXPECT_EQ(CommandPanelCaptions[21], "Save(&B)");
    DestroyMenuHandle(bar);
}

// The program's start-up in a working directory with or without the message file, with or
// without a menu bar: the menu bar the window was given, as the plug-in menus see it, flattened
// into resource lines (depth, command, caption).
struct FlatLine {
    int depth;
    unsigned command;
    std::string caption;
    bool operator==(const FlatLine&) const = default;
};
std::vector<FlatLine> startupLines;

void Flatten(MenuHandle menu, int depth, std::vector<FlatLine>* lines) {
    for (int i = 0; i < GetMenuEntryCount(menu); ++i) {
        MenuEntryInfo info;
        GetMenuEntryInfo(menu, static_cast<unsigned>(i), MENU_BYPOSITION, &info);
        lines->push_back({depth, info.submenu ? MENU_RESOURCE_POPUP : info.command, info.caption});
        if (info.submenu) {
            Flatten(info.submenu, depth + 1, lines);
        }
    }
}

TEST_F(MessageFileTest, StartupLoadsTheMainMenuAndTheMessageFileBesideIt) {
    testing::ScratchDirectory scratch;
    const std::string english =
        testing::ReadWholeFile(std::string(MIREXA_SAMPLES) + "/mirexa7.mes");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(scratch.Path().c_str()), 0);
    struct Case {
        int withFile;
        int noMenu;
        const char* firstCaption;
        const char* panelCaption;
        int language;
    };
    for (Case c : {Case{0, 0, "NCデータ(&N)", "メニュー", 0}, Case{1, 0, "NC Data(&N)", "Menu", 1},
                   Case{1, 1, nullptr, "Menu", 1}}) {
        ResetShellState();
        if (c.withFile) {
            scratch.Write("mirexa7.mes", english);
        }
        startupLines.clear();
        MainWindowCallbacks.initPluginsAndMenus = [](WindowHandle window, int, int) {
            Flatten(GetWindowMenuBar(window), 0, &startupLines);
        };
        ProgramStart start;
        start.commandLine = c.noMenu ? "-N" : "";
        start.closeWhenIdle = 1;
        EXPECT_EQ(RunProgram(start), 0);
        if (c.firstCaption) {
            // The tree is the resource's, separators included; only the captions may differ.
            int count = 0;
            const MenuResourceLine* resource = FindMenuResource(IDR_MAIN_MENU, &count);
            ASSERT_EQ(startupLines.size(), static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                EXPECT_EQ(startupLines[i].depth, resource[i].depth) << i;
                EXPECT_EQ(startupLines[i].command, resource[i].command) << i;
                if (!c.withFile) {
                    EXPECT_EQ(startupLines[i].caption,
                              resource[i].caption ? resource[i].caption : "");
                }
            }
            EXPECT_EQ(startupLines[0].caption, c.firstCaption);
        } else {
            EXPECT_TRUE(startupLines.empty());
        }
        EXPECT_EQ(CommandPanelCaptions[0], c.panelCaption);
        EXPECT_EQ(CommandPanelCaptions[3], c.language ? "Zoom(&Z)" : "ｽﾞｰﾑ(&Z)");
        EXPECT_EQ(UiLanguage.load(), c.language);
    }
    ASSERT_EQ(chdir(previous), 0);
}

}  // namespace
}  // namespace mirexa
