// mirexa: entry point of the CNC machining simulator. The program starts up, opens its main
// window on the platform backend, runs its message loop and shuts down (shell/startup.h). Built
// with the GUI, a run without a run mode opens the real main window on the Qt backend.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/program_wiring.h"
#include "config/command_line.h"
#include "config/command_line_help.h"
#include "platform/backend.h"
#include "shell/automation_thread.h"
#include "shell/startup.h"
#include "shell/status_bar.h"

#ifdef MIREXA_GUI
#include "platform/qt/qt_backend.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "view/view_hooks.h"

namespace mirexa {
namespace {

// 1 when the arguments ask for work without a user: a run mode or stock operation (-X...), a
// report mode (-V...) or a macro file. Such runs stay on the headless backend and never need a
// display.
int AsksForUnattendedRun(int argc, char** argv) {
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

// Starts the real-window backend for a run with a user, and gives the shell the desktop's
// foreground state. 1 when started; 0 (with one line on stderr) when there is no display.
int StartRealWindow() {
    std::string reason;
    if (!IsQtDisplayAvailable(&reason)) {
        std::fprintf(stderr,
                     "mirexa: no display to open the main window on (%s); use a -X run mode for a "
                     "run without one\n",
                     reason.c_str());
        return 0;
    }
    RegisterQtBackend();
    if (!StartPlatformBackend(PlatformBackend::RealWindow)) {
        std::fprintf(stderr, "mirexa: the display could not be opened\n");
        return 0;
    }
    MainWindowCallbacks.isForegroundWindow = IsQtForegroundWindow;
    MainWindowCallbacks.activateWindow = ActivateQtWindow;
    ViewCallbacks.mainWindowForeground = [] { return IsQtForegroundWindow(MainWindow.load()); };
    return 1;
}

}  // namespace
}  // namespace mirexa
#endif

// The exit code is the program's own: -1 after an aborted batch run (255 in a POSIX shell).
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", mirexa::EDITION_NAME);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(mirexa::CommandLineHelpText(), stdout);
        return 0;
    }
    mirexa::StartPlatformBackend(mirexa::PlatformBackend::Headless);
    mirexa::ConnectProgram();
#ifdef MIREXA_GUI
    if (!mirexa::AsksForUnattendedRun(argc, argv) && !mirexa::StartRealWindow()) {
        return 1;
    }
#endif
    mirexa::ProgramStart start;
    start.commandLine = mirexa::JoinCommandLineArguments(argc, argv);
    // No user can close a window of the headless backend: it closes once it has painted, unless
    // automatic work runs.
    start.closeWhenIdle = mirexa::GetPlatformBackend() == mirexa::PlatformBackend::Headless;
    const int exitCode = mirexa::RunProgram(start);
#ifdef MIREXA_GUI
    mirexa::StopQtBackend();
#endif
    return mirexa::FinishProgramExitCode(exitCode);
}
