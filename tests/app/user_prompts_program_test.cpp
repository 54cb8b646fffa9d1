// The program's own start-up on the headless backend, with a user at the desktop who answers the
// boxes: an editor command of the settings file asks before it starts, a FIFO chosen as the NC
// program is refused, and a machine file that holds nothing usable is told and not taken.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/program_wiring.h"
#include "config/command_line.h"
#include "config/config_records.h"
#include "config/machine_file.h"
#include "platform/backend.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/editor_permission.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "support/bounded_wait.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;

const int kRasteriserOnCallingThread = setenv("LP_NUM_THREADS", "0", 0);

// What the user at the desktop did and saw.
struct DesktopSession {
    std::string chosen;                // the file the file dialog answers with
    std::vector<std::string> boxes;    // every box shown, in order
    int answer = MBX_IDNO;             // the answer to a question
    std::function<void()> work;        // what the user does, once, at the first close
    std::function<void()> whileAsked;  // what happens while a question shows
    int closes = 0;
} desk;

void ActAtTheDesktop(const WindowMessage& m) {
    if (m.message != WM_CLOSE || m.window != MainWindow.load() || desk.closes++ != 0) {
        return;
    }
    AutomaticMode.store(0);
    const FileDialogResponder dialog = SetFileDialogResponder(
        [](const FileDialogRequest&) { return FileDialogResult{.ok = 1, .path = desk.chosen}; });
    const MessageBoxResponder box = SetMessageBoxResponder([](const MessageBoxRequest& request) {
        desk.boxes.push_back(request.text);
        if (desk.whileAsked) {
            desk.whileAsked();
        }
        return (request.style & MBX_YESNO) != 0 ? desk.answer : MBX_IDOK;
    });
    desk.work();
    SetFileDialogResponder(dialog);
    SetMessageBoxResponder(box);
}

class UserPromptsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ClearEarlierProgramRun();
        StartPlatformBackend(PlatformBackend::Headless);
        ConnectProgram();
        CommandLine = CommandLineSwitches{};
        desk = DesktopSession{};
        // The answers are kept under the scratch folder, not in the user's own configuration.
        setenv("XDG_CONFIG_HOME", scratch.At("config").c_str(), 1);
        ForgetEditorAnswers();
    }
    void TearDown() override {
        SetMessageObserver({});
        unsetenv("XDG_CONFIG_HOME");
        ForgetEditorAnswers();
    }
    // Runs the program once with the user's work at its first close.
    void RunAsUser(const std::function<void()>& work) {
        desk.closes = 0;
        desk.work = work;
        SetMessageObserver(ActAtTheDesktop);
        ProgramStart start;
        start.closeWhenIdle = 1;
        EXPECT_EQ(RunProgram(start), 0);
        SetMessageObserver({});
    }
    std::string Log() {
        return testing::ReadWholeFile(scratch.At("mirexa.log"));
    }
    // A later process (the answers read anew) asks nothing, and the editor leaves its mark.
    void StartsUnaskedInTheNextProcess(const std::function<void()>& work, const char* mark) {
        ForgetEditorAnswers();
        desk.boxes.clear();
        fs::remove(scratch.At(mark));
        RunAsUser(work);
        EXPECT_TRUE(desk.boxes.empty());
        EXPECT_TRUE(testing::AwaitPath(scratch.At(mark)));
    }
    testing::SampleWorkingDirectory scratch;
};

// The settings' editor command is shown and asked for until the user allows it: a No refuses
// that start only, a Yes holds for that settings file and command, a changed command asks
// again, and every start is logged.
TEST_F(UserPromptsTest, AnEditorCommandOfTheSettingsFileIsAskedForUntilAllowed) {
    // The editor's mark appears whole (written aside, then renamed): the test reads it as soon
    // as it is there, while the second start of the pair may still be writing its own.
    const std::string editor =
        scratch.Write("editor.sh",
                      "#!/bin/sh\nd=\"$(dirname \"$0\")\"\necho \"$@\" > \"$d/started.$$\" && "
                      "mv \"$d/started.$$\" \"$d/started\"\n");
    chmod(editor.c_str(), 0755);
    const std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    const std::string given = "EXEC_PROGRAM=xdg-open\nEXEC_OPTION=%1\n";
    ASSERT_NE(ini.find(given), std::string::npos);
    auto useEditor = [&](const std::string& option) {
        std::string text = ini;
        scratch.Write("mirexa.ini",
                      text.replace(ini.find(given), given.size(),
                                   "EXEC_PROGRAM=" + editor + "\nEXEC_OPTION=" + option + "\n"));
    };
    desk.chosen = scratch.At("demo_part.nc");
    auto openTwice = [] {
        WindowHandle main = MainWindow.load();
        SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
        SendWindowMessage(main, WM_COMMAND, IDM_NC_EDIT, 0);
        SendWindowMessage(main, WM_COMMAND, IDM_NC_EDIT, 0);
    };
    // Refused: asked at each request, the command line shown, nothing started.
    useEditor("%1");
    desk.answer = MBX_IDNO;
    RunAsUser(openTwice);
    ASSERT_EQ(desk.boxes.size(), 2u);
    EXPECT_NE(desk.boxes[1].find(editor + " " + desk.chosen), std::string::npos) << desk.boxes[1];
    const std::string refusal = "not started: " + editor;
    EXPECT_NE(Log().find(refusal, Log().find(refusal) + 1), std::string::npos) << Log();
    // A changed command asks again; allowed, it starts, the next start asks no more.
    useEditor("--line %1");
    desk.boxes.clear();
    desk.answer = MBX_IDYES;
    RunAsUser(openTwice);
    ASSERT_EQ(desk.boxes.size(), 1u);
    EXPECT_NE(desk.boxes[0].find("--line"), std::string::npos);
    ASSERT_TRUE(testing::AwaitPath(scratch.At("started")));
    EXPECT_NE(testing::ReadWholeFile(scratch.At("started")).find("--line"), std::string::npos);
    EXPECT_NE(Log().find("Editor started: " + editor + " --line"), std::string::npos) << Log();
    // The answer outlives the process: a new start of the program asks no more.
    StartsUnaskedInTheNextProcess(openTwice, "started");
}

// A kept Yes holds for the program file allowed, not for its name: another file unpacked at the
// same place is asked for again, and so is a command allowed by an earlier version, whose kept
// answer named no file (read without complaint).
TEST_F(UserPromptsTest, AKeptYesHoldsForTheProgramAllowedNotForAnotherUnderItsName) {
    const std::string marks =
        "#!/bin/sh\nd=\"$(dirname \"$0\")\"\necho \"$@\" > \"$d/%s.$$\" && "
        "mv \"$d/%s.$$\" \"$d/%s\"\n";
    // Another ed.sh unpacked in place of the last, at a later tick of the coarse clock the
    // system stamps change times from (as any later unpacking is).
    auto unpackEditor = [&](const char* mark) {
        struct stat last = {};
        stat(scratch.At("ed.sh").c_str(), &last);
        ASSERT_TRUE(testing::AwaitCondition([&] {
            struct stat tick = {};
            return stat(scratch.Write("tick", "x").c_str(), &tick) == 0 &&
                   (tick.st_ctim.tv_sec != last.st_ctim.tv_sec ||
                    tick.st_ctim.tv_nsec != last.st_ctim.tv_nsec);
        }));
        char text[256];
        std::snprintf(text, sizeof text, marks.c_str(), mark, mark, mark);
        fs::remove(scratch.At("ed.sh"));
        chmod(scratch.Write("ed.sh", text).c_str(), 0755);
    };
    unpackEditor("allowed");
    std::string ini = testing::ReadWholeFile(scratch.At("mirexa.ini"));
    const std::string given = "EXEC_PROGRAM=xdg-open\n";
    ini.replace(ini.find(given), given.size(), "EXEC_PROGRAM=./ed.sh\n");
    scratch.Write("mirexa.ini", ini);
    desk.chosen = scratch.At("demo_part.nc");
    auto open = [] {
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_NC_SELECT, 0);
        SendWindowMessage(MainWindow.load(), WM_COMMAND, IDM_NC_EDIT, 0);
    };
    // The answer of an earlier version (settings path and command only) allows nothing now.
    scratch.Write("config/mirexa/editor_commands",
                  "yes\t" + scratch.At("mirexa.ini") + "\t./ed.sh %1\n");
    desk.answer = MBX_IDYES;
    RunAsUser(open);
    ASSERT_EQ(desk.boxes.size(), 1u);
    EXPECT_NE(desk.boxes[0].find("allowed before"), std::string::npos) << desk.boxes[0];
    ASSERT_TRUE(testing::AwaitPath(scratch.At("allowed")));
    // Kept with the file: the next start of the program asks no more.
    StartsUnaskedInTheNextProcess(open, "allowed");
    // The next job's folder brings its own ed.sh, unpacked over the one allowed.
    unpackEditor("other");
    ForgetEditorAnswers();
    desk.boxes.clear();
    desk.answer = MBX_IDNO;
    RunAsUser(open);
    ASSERT_EQ(desk.boxes.size(), 1u);
    EXPECT_NE(desk.boxes[0].find("./ed.sh " + desk.chosen), std::string::npos) << desk.boxes[0];
    EXPECT_NE(desk.boxes[0].find("allowed before"), std::string::npos) << desk.boxes[0];
    EXPECT_NE(Log().find("Editor command not allowed, not started: ./ed.sh"), std::string::npos);
    EXPECT_FALSE(fs::exists(scratch.At("other")));
    // A Yes to the file shown does not start another unpacked while the question showed.
    desk.boxes.clear();
    desk.answer = MBX_IDYES;
    desk.whileAsked = [&] { unpackEditor("meanwhile"); };
    RunAsUser(open);
    desk.whileAsked = {};
    ASSERT_EQ(desk.boxes.size(), 1u);
    EXPECT_NE(Log().find("Editor command changed while asked, not started: ./ed.sh"),
              std::string::npos)
        << Log();
    EXPECT_FALSE(fs::exists(scratch.At("meanwhile")));
}

// The view's X key starts a second instance with the words of [ExecSelf] EXEC_OPTION: words a
// settings file chose are asked for first, their command line shown, and a No starts nothing.
TEST_F(UserPromptsTest, TheSecondInstanceOfTheViewsXKeyIsAskedForFirst) {
    const std::string macro =
        scratch.Write("evil.mac", "EXEC /bin/sh " + scratch.At("payload.sh") + "\n");
    scratch.Write("payload.sh", "touch " + scratch.At("payload.ran") + "\n");
    const std::string option = macro + " -O " + scratch.At("precious.txt");
    scratch.Write("mirexa.ini", testing::ReadWholeFile(scratch.At("mirexa.ini")) +
                                    "[ExecSelf]\nEXEC_OPTION=" + option + "\n");
    // The second instance would be this test program: one started by a fault runs no test.
    setenv("GTEST_FILTER", "NoSuchTest.Started", 1);
    desk.answer = MBX_IDNO;
    RunAsUser([] {
        SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, 'X', 'x');
        SendWindowMessage(MainWindowData.handles.view, WM_KEYDOWN, 'X', 'x');
    });
    ASSERT_EQ(desk.boxes.size(), 2u);  // a No is not kept
    EXPECT_NE(desk.boxes[1].find(" " + option), std::string::npos) << desk.boxes[1];
    EXPECT_NE(desk.boxes[1].find(scratch.At("mirexa.ini")), std::string::npos) << desk.boxes[1];
    EXPECT_NE(Log().find("Second instance not allowed, not started: "), std::string::npos) << Log();
    EXPECT_EQ(Log().find("Second instance started"), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists(scratch.At("payload.ran")));
    unsetenv("GTEST_FILTER");
}

// A FIFO chosen as the NC program in the file dialog is refused at once with its reason, and the
// program chosen before stays.
TEST_F(UserPromptsTest, AFifoChosenAsTheNcProgramIsRefused) {
    const std::string fifo = scratch.At("pipe.nc");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string selected;
    RunAsUser([&] {
        WindowHandle main = MainWindow.load();
        desk.chosen = scratch.At("demo_part.nc");
        SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
        desk.chosen = fifo;
        SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
        selected = DefinitionFiles.ncProgramFile;
    });
    ASSERT_EQ(desk.boxes.size(), 1u);
    EXPECT_NE(desk.boxes[0].find("pipe.nc - The NC program cannot be read: not a regular file"),
              std::string::npos)
        << desk.boxes[0];
    EXPECT_EQ(fs::path(selected).filename(), "demo_part.nc");
}

// A machine file that holds no line the reader knows is told in a box; replaced by such a file
// while the program runs, the machine read before stays in use.
TEST_F(UserPromptsTest, AMachineFileThatHoldsNothingUsableIsToldAndNotTaken) {
    const std::string machine = testing::ReadWholeFile(scratch.At("vmc3.mtl"));
    const std::string plain = "A vertical machining centre with a table and a vice.\n";
    scratch.Write("vmc3.mtl", plain);
    RunAsUser([] {
        WindowRun.mode.store(RunMode::kIdle);
        SendWindowMessage(MainWindow.load(), WM_ACTIVATE, WA_ACTIVE, 0);
    });
    ASSERT_EQ(desk.boxes.size(), 1u);
    EXPECT_NE(desk.boxes[0].find("vmc3.mtl - The definition file holds nothing to use."),
              std::string::npos)
        << desk.boxes[0];
    EXPECT_EQ(Machine.knownLines, 0);

    scratch.Write("vmc3.mtl", machine);
    desk.boxes.clear();
    int strokesKept = 0;
    RunAsUser([&] {
        const std::string path = scratch.At("vmc3.mtl");
        scratch.Write("vmc3.mtl", plain);
        fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(10));
        WindowRun.mode.store(RunMode::kIdle);
        SendWindowMessage(MainWindow.load(), WM_ACTIVATE, WA_ACTIVE, 0);
        strokesKept = Machine.knownLines > 0 && Machine.strokeGiven[0] ? 1 : 0;
    });
    ASSERT_FALSE(desk.boxes.empty());
    EXPECT_NE(desk.boxes[0].find("vmc3.mtl - The definition file holds nothing to use. The "
                                 "definitions read before stay in use."),
              std::string::npos)
        << desk.boxes[0];
    EXPECT_EQ(strokesKept, 1);
}

}  // namespace
}  // namespace mirexa
