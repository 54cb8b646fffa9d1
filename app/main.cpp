// mirexa: entry point of the CNC machining simulator. The program starts up, opens its main
// window on the platform backend, runs its message loop and shuts down (shell/startup.h).
#include <cstdio>
#include <cstring>

#include "app/program_wiring.h"
#include "config/command_line.h"
#include "config/command_line_help.h"
#include "platform/backend.h"
#include "shell/automation_thread.h"
#include "shell/startup.h"
#include "shell/status_bar.h"

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
    mirexa::ProgramStart start;
    start.commandLine = mirexa::JoinCommandLineArguments(argc, argv);
    // No user can close a window of the headless backend: it closes once it has painted, unless
    // automatic work runs.
    start.closeWhenIdle = mirexa::GetPlatformBackend() == mirexa::PlatformBackend::Headless;
    return mirexa::FinishProgramExitCode(mirexa::RunProgram(start));
}
