// The editor bridge: what the program name tells, the arguments built for files with blanks and
// quotes, and a linked editor window that takes jumps and comes to the front on a second open.
#include <gtest/gtest.h>

#include <cstdint>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "config/config_records.h"
#include "nc/plugin_slots.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "services/shared_state.h"
#include "shell/editor_bridge.h"
#include "shell/nc_data_commands.h"
#include "support/scratch_directory.h"
#include "support/test_windows.h"

namespace mirexa {
namespace {

TEST(EditorBridge, TheEditorOpensAtThePickedLineElseTheCurrentOne) {
    const struct {
        std::int64_t picked, current;
        int line;
    } cases[] = {{0, 37, 37}, {16, 37, 16}, {-16, 37, 16},
                 {0, 0, 1},   {0, -3, 1},   {std::int64_t{1} << 40, 1, INT32_MAX}};
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseEditorLine(c.picked, c.current), c.line) << c.picked << " " << c.current;
    }
}

TEST(EditorBridge, ClassifiesProgramsAndBuildsTheirArguments) {
    const struct {
        const char* program;
        int kind;
        int miw;
        const char* option;  // what "%1" becomes
    } programs[] = {
        {"C:/Tools/Hidemaru.EXE", kEditorMacro, 0, "/j%2 %1"},
        {"/opt/maruo", kEditorMacro, 0, "/j%2 %1"},
        {"TERAPAD.exe", kEditorTeraPad, 0, "/j=%2 %1"},
        {"/usr/bin/k2editor", kEditorK2, 0, "/j%2 %1"},
        {"miw", kEditorPlain, 1, "%1"},
        {"xdg-open", kEditorPlain, 0, "%1"},
        {"hidemaru-helper", kEditorPlain, 0, "%1"},
    };
    for (const auto& p : programs) {
        SCOPED_TRACE(p.program);
        const EditorProgramKind k = ClassifyEditorProgram(p.program);
        EXPECT_EQ(k.kind, p.kind);
        EXPECT_EQ(k.miwQuoting, p.miw);
        EXPECT_EQ(RewriteEditorOption("%1", k.kind), p.option);
        EXPECT_EQ(RewriteEditorOption("+%2 %1", k.kind), "+%2 %1");
    }
    EXPECT_EQ(EditorWindowTitles(kEditorTeraPad, "/nc/a b.nc"),
              (std::vector<std::string>{"a b.nc - TeraPad", "a b.nc * - TeraPad"}));
    EXPECT_EQ(EditorWindowTitles(kEditorK2, "/nc/p.nc").size(), 4u);
    EXPECT_TRUE(EditorWindowTitles(kEditorPlain, "/nc/p.nc").empty());

    // A file with blanks and quotes stays one argument; the line is at least 1.
    const std::string file = "/nc/my \"best\" part.nc";
    EXPECT_EQ(BuildEditorArguments("/j%2  %1", file, 0), (std::vector<std::string>{"/j1", file}));
    EXPECT_EQ(BuildEditorArguments("--line=%2 --file=%1", "/nc/%2.nc", 42),
              (std::vector<std::string>{"--line=42", "--file=/nc/%2.nc"}));

    const int slots[][2] = {{-1, 283}, {0, 145},  {15, 160}, {16, 205},
                            {30, 219}, {31, 234}, {80, 283}, {81, 283}};
    for (const auto& s : slots) {
        EXPECT_EQ(SelectEditorMacroCommand(s[0]), s[1]) << s[0];
    }
    EXPECT_EQ(EditorJumpMacroText(1), "moveto 0,0;\n");
    EXPECT_EQ(EditorJumpMacroText(0), "moveto 0,0;\n");
    EXPECT_EQ(EditorJumpMacroText(120), "moveto 0,119;\n");
}

// The jump macro goes only where no file of the user's is lost: under its own name beside the
// editor, where there is no file, or over a jump macro.
TEST(EditorBridge, TheJumpMacroIsWrittenOnlyWhereNoFileOfTheUsersIsLost) {
    testing::ScratchDirectory scratch;
    scratch.MakeDirectory("editor");
    const std::string editor = scratch.At("editor/hidemaru");
    EXPECT_EQ(EditorJumpMacroPath(editor, "JUMP.MAC"), scratch.At("editor/JUMP.MAC"));
    EXPECT_EQ(EditorJumpMacroPath(editor, scratch.At("a/J.MAC")), scratch.At("a/J.MAC"));
    const struct {
        const char* name;
        const char* holds;  // null: no such file
        int writable;
    } cases[] = {
        {"editor/MIREXAJUMP.MAC", "the user's text", 1},
        {"editor/mirexajump.mac", nullptr, 1},
        {"MIREXAJUMP.MAC", "the user's text", 0},
        {"notes.txt", nullptr, 1},
        {"notes.txt", "moveto 0,41;\n", 1},
        {"notes.txt", "the user's text", 0},
        {"notes.txt", "moveto 0,41;\nmoveto 0,2;\n", 0},
        {"notes.txt", "", 0},
    };
    for (const auto& c : cases) {
        const std::string path = scratch.At(c.name);
        std::filesystem::remove(path);
        if (c.holds != nullptr) {
            scratch.Write(c.name, c.holds);
        }
        EXPECT_EQ(JumpMacroWritable(path, editor), c.writable)
            << c.name << " " << (c.holds ? c.holds : "");
    }
}

unsigned jumpedTo = 0;

std::intptr_t EditorWindowProcedure(WindowHandle window, unsigned message, std::uintptr_t wparam,
                                    std::intptr_t lparam) {
    if (message == WM_USER + 100) {
        jumpedTo = static_cast<unsigned>(wparam);
        return 1;
    }
    return DefaultWindowProcedure(window, message, wparam, lparam);
}

TEST(EditorBridge, ALinkedEditorJumpsAndASecondOpenBringsItToTheFront) {
    testing::ScratchDirectory scratch;
    const std::string editor = scratch.Write("bin/terapad", "#!/bin/sh\nexit 0\n");
    chmod(editor.c_str(), 0755);
    StartPlatformBackend(PlatformBackend::Headless);
    AutomaticMode.store(0);
    Settings.editorProgram = editor;
    Settings.editorOption = "%1";
    DefinitionFiles.ncProgramFile = "/nc/Part.NC";
    NcDataCommands.selectedState = 1;
    NcDataCommands.activePathReader = -1;
    WindowHandle window =
        testing::MakeTestWindow(EditorWindowProcedure, "Part.NC - TeraPad", nullptr, {});
    ASSERT_EQ(OpenNcInEditor(nullptr, 7), 1);
    EXPECT_EQ(EditorLinked(), 1);
    EXPECT_EQ(EditorCanJump(), 1);
    JumpEditorToLine(12);
    EXPECT_EQ(jumpedTo, 12u);

    Settings.editorProgram = "/no/such/editor";  // a second start would fail and say so
    std::vector<std::string> boxes;
    auto previous = SetMessageBoxResponder([&](const MessageBoxRequest& r) {
        boxes.push_back(r.text);
        return MBX_IDOK;
    });
    DefinitionFiles.ncProgramFile = "/nc/part.nc";  // the same program, other case
    EXPECT_EQ(OpenNcInEditor(nullptr, 7), 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(IsPlatformWindowVisible(window), 1);

    DestroyPlatformWindow(window);  // the editor went away: nothing is linked any more
    EXPECT_EQ(EditorLinked(), 0);
    DefinitionFiles.ncProgramFile = "/nc/other.nc";
    EXPECT_EQ(OpenNcInEditor(nullptr, 1), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("/no/such/editor"), std::string::npos);

    SetMessageBoxResponder(previous);
    CloseEditor();
    ResetConfigurationRecords();
    NcDataCommands = {};
}

std::vector<std::string> pluginCalls;

TEST(EditorBridge, AnEditorPluginFindsTheWindowJumpsMovesAndClosesIt) {
    PluginFamilySlots& editor = PluginSlots.family[kPluginEditor];
    editor = PluginFamilySlots{};
    editor.count = 1;
    editor.slot[0].module = static_cast<SharedLibraryHandle>(&editor);  // stands for a loaded one
    editor.slot[0].exports[kEditorFindWindow] =
        reinterpret_cast<void*>(+[](const char* path, int* linked) {
            pluginCalls.push_back(std::string("find ") + path);
            *linked = 1;
        });
    editor.slot[0].exports[kEditorJump2] =
        reinterpret_cast<void*>(+[](const int* line, const int*) {
            pluginCalls.push_back("jump " + std::to_string(*line));
        });
    editor.slot[0].exports[kEditorTop] =
        reinterpret_cast<void*>(+[] { pluginCalls.push_back("top"); });
    editor.slot[0].exports[kEditorDown] =
        reinterpret_cast<void*>(+[] { pluginCalls.push_back("down"); });
    editor.slot[0].exports[kEditorExit] =
        reinterpret_cast<void*>(+[] { pluginCalls.push_back("exit"); });
    AutomaticMode.store(0);
    Settings.editorProgram = "true";
    Settings.editorKind = kEditorPlugin;
    DefinitionFiles.ncProgramFile = "/nc/part.nc";
    NcDataCommands.selectedState = 1;
    NcDataCommands.activePathReader = -1;
    ASSERT_EQ(OpenNcInEditor(nullptr, 3), 1);
    EXPECT_EQ(EditorCanJump(), 1);
    JumpEditorToLine(12);
    MoveEditorCursor(0);
    MoveEditorCursor(1);
    CloseEditor();
    EXPECT_EQ(pluginCalls,
              (std::vector<std::string>{"find /nc/part.nc", "jump 12", "down", "top", "exit"}));
    EXPECT_EQ(EditorLinked(), 0);
    editor = PluginFamilySlots{};
    ResetConfigurationRecords();
    NcDataCommands = {};
}

}  // namespace
}  // namespace mirexa
