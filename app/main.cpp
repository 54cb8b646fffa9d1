// mirexa: entry point of the CNC machining simulator. The program starts up, opens its main
// window on the platform backend, runs its message loop and shuts down (shell/startup.h). Built
// with the GUI, every run but a silent one (drawn nowhere) opens the real main window on the Qt
// backend when there is a display; without one, the work runs headless.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/program_wiring.h"
#include "config/command_line.h"
#include "config/command_line_help.h"
#include "platform/backend.h"
#include "platform/program_start.h"
#include "shell/automation_thread.h"
#include "shell/external_commands.h"
#include "shell/startup.h"
#include "shell/status_bar.h"

#ifdef MIREXA_GUI
#include "platform/qt/qt_backend.h"
#include "services/program_log.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "view/view_hooks.h"
#endif

#ifdef MIREXA_GUI
namespace mirexa {
namespace {

// 1 when an argument asks for work: a run mode or stock operation (-X...), a report mode
// (-V...) or a macro file. Read from the words themselves, so that a switch the parser refuses
// (a missing NC program behind -X5) still counts.
int NamesRunOrMacro(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool slashSwitch =
            argument.size() > 1 && argument[0] == '/' && argument.find('/', 1) == std::string::npos;
        if ((argument[0] == '-' || slashSwitch) && argument.size() > 1) {
            const char letter =
                static_cast<char>(std::toupper(static_cast<unsigned char>(argument[1])));
            if (letter == 'X' || letter == 'V') {
                return 1;
            }
        }
        if (argument.size() >= 4) {
            std::string suffix = argument.substr(argument.size() - 4);
            for (char& c : suffix) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (suffix == ".mac") {
                return 1;
            }
        }
    }
    return 0;
}

// Where the command line's work runs: a silent run (drawn nowhere) headless without asking for a
// display; anything else in the real window when there is a display. A display named but not
// answering, and a start with nothing to do without one, are said in one line on stderr.
ProgramWindowChoice ChooseWindowForCommandLine(int argc, char** argv, const std::string& text) {
    CommandLineOptions options = TakeCommandLineStartValues();
    std::vector<std::string> ignored;  // start-up reads the command line again and says these
    ParseCommandLineOptions(text, &options, &ignored);
    const CommandLineSwitches& o = options.switches;
    const int silent = o.batch != 0 ? 1 : 0;
    const int work = o.automation != 0 || NamesRunOrMacro(argc, argv) ? 1 : 0;
    std::string reason;
    const int display = !silent && IsQtDisplayAvailable(&reason) ? 1 : 0;
    const ProgramWindowChoice choice =
        ChooseProgramWindow(silent, work, display, IsQtDisplayNamed());
    if (choice.displayUnreachable) {
        std::fprintf(stderr, "mirexa: the display could not be opened (%s)\n", reason.c_str());
    } else if (choice.refused) {
        std::fprintf(stderr,
                     "mirexa: no display to open the main window on (%s); use a -X run mode for a "
                     "run without one\n",
                     reason.c_str());
    }
    return choice;
}

// The display could not be opened (starting), or it went away under the window: one line on
// stderr after the toolkit's own, and one in the log for a window that was running, and a program
// a macro's EXEC started is ended with everything it started (the macro's lines not run logged);
// the process then ends with exit 2.
void SayDisplayLost(int starting, const std::string& message) {
    if (starting) {
        std::fprintf(stderr, "mirexa: the display could not be opened\n");
        return;
    }
    AppendLogEntry("The display went away (" + message + "); the program ends\n");
    std::fprintf(stderr, "mirexa: the display went away; the program ends\n");
    EndAutomationWithDisplay();
}

// Starts the real-window backend, and gives the shell the desktop's foreground state and the
// window commands. 1 when started; 0 (with one line on stderr) when the display cannot be opened.
int StartRealWindow() {
    RegisterQtBackend();
    SetQtDisplayLossHandler(SayDisplayLost);
    if (!StartPlatformBackend(PlatformBackend::RealWindow)) {
        std::fprintf(stderr, "mirexa: the display could not be opened\n");
        return 0;
    }
    MainWindowCallbacks.isForegroundWindow = IsQtForegroundWindow;
    MainWindowCallbacks.activateWindow = ActivateQtWindow;
    MainWindowCallbacks.setWindowState = SetQtWindowState;
    ViewCallbacks.mainWindowForeground = [] { return IsQtForegroundWindow(MainWindow.load()); };
    return 1;
}

}  // namespace
}  // namespace mirexa
#endif

namespace {

// The exit code of a start that only writes to standard output: 0, or 1 (said on stderr) when the
// text could not all be written (a pipe whose reader has gone).
int FinishStandardOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) {
        return 0;
    }
    std::fprintf(stderr, "mirexa: the standard output could not be written (%s)\n",
                 std::strerror(errno));
    return 1;
}

}  // namespace

// The exit code is the program's own: -1 after an aborted batch run (255 in a POSIX shell).
int main(int argc, char** argv) {
    // A write to a reader that has gone (a display that closed the connection, standard output
    // piped into a program that ended) fails where it is made instead of ending the process.
    mirexa::IgnoreBrokenPipeSignal();
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", mirexa::EDITION_NAME);
        return FinishStandardOutput();
    }
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(mirexa::CommandLineHelpText(), stdout);
        return FinishStandardOutput();
    }
    if (argc > 1 && std::strcmp(argv[1], "--send") == 0) {
        if (argc != 3) {
            std::fputs("Usage: mirexa --send ID\n", stderr);
            return 2;
        }
        return mirexa::SendExternalCommand(argv[2]);
    }
    mirexa::StartPlatformBackend(mirexa::PlatformBackend::Headless);
    mirexa::ConnectProgram();
    mirexa::ProgramStart start;
    start.commandLine = mirexa::JoinCommandLineArguments(argc, argv);
#ifdef MIREXA_GUI
    // Without the GUI everything runs headless, and nothing is said of a display.
    const mirexa::ProgramWindowChoice window =
        mirexa::ChooseWindowForCommandLine(argc, argv, start.commandLine);
    if (window.refused) {
        return 1;
    }
    if (window.displayUnreachable) {
        return 2;
    }
    if (window.realWindow && !mirexa::StartRealWindow()) {
        return 2;
    }
    start.noDisplay = window.noDisplay;
#endif
    // No user can close a window of the headless backend: it closes once it has painted, unless
    // automatic work runs.
    start.closeWhenIdle = mirexa::GetPlatformBackend() == mirexa::PlatformBackend::Headless;
    const int exitCode = mirexa::RunProgram(start);
#ifdef MIREXA_GUI
    mirexa::StopQtBackend();
#endif
    return mirexa::FinishProgramExitCode(exitCode);
}
