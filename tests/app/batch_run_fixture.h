// The fixture of the end-to-end runs of the built program as a process: a copy of the samples
// as the working directory, the program started there, its exit code and its files read back.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stockio/dme_file.h"
#include "support/bounded_wait.h"
#include "support/scratch_directory.h"

extern char** environ;

namespace mirexa::testing {

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        CopySamples();
        // The log in Japanese unless a test brings the bundled English message file back.
        std::filesystem::remove(scratch.At("mirexa7.mes"));
    }
    // The sample files as they are in samples/, replacing changed copies.
    void CopySamples() {
        CopySamplesInto(scratch);
    }
    // Starts the program in the scratch directory with the arguments; returns its process id.
    // With errorName, the program's standard error goes to that file of the scratch directory
    // (or to that path when it is absolute). The entries of extraEnvironment are added to the
    // program's environment.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& errorName = "") {
        std::vector<char*> argv;
        std::string program = programPath;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& argument : copies) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, scratch.Path().c_str());
        const std::string errorPath = errorName[0] == '/' ? errorName : scratch.At(errorName);
        if (!errorName.empty()) {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        // Without a display, as on a server: work that would take the real window runs
        // unattended, the same on a desktop that runs the tests.
        std::vector<char*> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::strncmp(*entry, "DISPLAY=", 8) != 0 &&
                std::strncmp(*entry, "WAYLAND_DISPLAY=", 16) != 0) {
                environment.push_back(*entry);
            }
        }
        for (std::string& entry : extraEnvironment) {
            environment.push_back(entry.data());
        }
        environment.push_back(nullptr);
        pid_t child = 0;
        const int started = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(),
                                        environment.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(started, 0);
        return child;
    }
    // The exit code as a shell sees it (255 for -1); -1 when the program did not exit (or not
    // within the bound of a wait, which fails the test).
    static int Wait(pid_t child);
    // Starts the program as Start does, with a resource limit (RLIMIT_AS, RLIMIT_FSIZE) of the
    // given bytes, and with its standard error in the scratch file errorName when one is given.
    pid_t StartWithLimit(const std::vector<std::string>& arguments, int resource, rlim_t bytes,
                         const std::string& errorName = "") {
        std::string program = MIREXA_PROGRAM;
        std::vector<std::string> copies = arguments;
        std::vector<char*> argv = {program.data()};
        for (std::string& argument : copies) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const std::string directory = scratch.Path();
        const std::string errorPath = errorName.empty() ? "" : scratch.At(errorName);
        const pid_t child = fork();
        if (child == 0) {
            const rlimit limit = {bytes, bytes};
            if (setrlimit(resource, &limit) != 0 || chdir(directory.c_str()) != 0) {
                _exit(120);
            }
            if (!errorPath.empty()) {
                const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (error < 0 || dup2(error, STDERR_FILENO) < 0) {
                    _exit(122);
                }
            }
            execve(program.c_str(), argv.data(), environ);
            _exit(121);
        }
        return child;
    }
    int Run(const std::vector<std::string>& arguments) {
        return Wait(Start(arguments));
    }
    std::string Read(const std::string& name) {
        return ReadWholeFile(scratch.At(name));
    }
    // The number of times text stands in the log.
    int LogCount(const std::string& text) {
        const std::string log = Read("mirexa.log");
        int count = 0;
        for (std::size_t at = log.find(text); at != std::string::npos;
             at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }
    bool Exists(const std::string& name) {
        return std::filesystem::exists(scratch.At(name));
    }
    // The log in English from now on: the bundled message file back in place.
    void KeepEnglishLog() {
        std::filesystem::copy(std::string(MIREXA_SAMPLES) + "/mirexa7.mes",
                              scratch.At("mirexa7.mes"));
    }
    // The sample controller file with G54 at (0, 0, 0): program coordinates on the stock.
    bool ClearG54() {
        const std::string controller = Read("vmc3.ctl");
        const std::size_t g54 = controller.find("MEMORY G54=");
        if (g54 == std::string::npos) {
            return false;
        }
        scratch.Write("vmc3.ctl", controller.substr(0, g54) + "MEMORY G54= (0,0,0,0,0)" +
                                      controller.substr(controller.find('\n', g54)));
        return true;
    }
    // Runs a copy of the program from the folder "bin" of the scratch directory from now on, and
    // puts the sample plug-ins (variant names) there under the base names given (mode 0755):
    // plug-ins are only ever loaded from the program's own folder. Returns that folder.
    std::string RunFromOwnFolder(const std::vector<std::pair<std::string, std::string>>& plugins) {
        namespace fs = std::filesystem;
        const std::string folder = scratch.At("bin");
        fs::create_directories(folder);
        programPath = folder + "/mirexa";
        fs::copy_file(MIREXA_PROGRAM, programPath, fs::copy_options::overwrite_existing);
        for (const auto& [variant, base] : plugins) {
            const std::string file = folder + "/" + base + ".so";
            fs::copy_file(std::string(MIREXA_SAMPLE_PLUGINS) + "/" + variant + ".so", file,
                          fs::copy_options::overwrite_existing);
            chmod(file.c_str(), 0755);
        }
        return folder;
    }
    ScratchDirectory scratch;
    std::string programPath = MIREXA_PROGRAM;
    // "NAME=value" entries Start adds to the program's environment.
    std::vector<std::string> extraEnvironment;
};

// The box of the sample program: X 0-100, Y 0-80, Z -30.5 to 0 (maximum corner first).
inline const char* const kBox = "-D(100,80,0,0,0,-30.5)";

// Reads a stock file and calls visit(model, cell, count, ends) for each of its Z rays; false when
// the file cannot be read.
template <class Visit>
bool VisitZRays(const std::string& path, Visit visit) {
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    if (ReadDmeStock(&model, path) != 1) {
        return false;
    }
    for (std::int64_t cell = 0; cell < model.z.cellCount; ++cell) {
        const int count = model.z.counts[cell];
        visit(model, cell, count,
              DexelCellEnds(cell, model.z.capacity, model.z.counts, model.z.ends));
    }
    FreeStockModel(&model);
    return true;
}

// Material of a stock file along its Z rays (mm^3), or -1 when it cannot be read.
inline double StockVolume(const std::string& path) {
    double volume = 0.0;
    const bool read =
        VisitZRays(path, [&](const StockModel& model, std::int64_t, int count, const double* ends) {
            for (int i = 0; i + 1 < count; i += 2) {
                volume += (ends[i + 1] - ends[i]) * model.cellWeight;
            }
        });
    return read ? volume : -1.0;
}

// Waits at most the given time for the program to end; when it has not, fails the test, asks it
// to end with SIGTERM and gives it one second more (SIGKILL after that). The exit code as a shell
// sees it, or -1 when it had to be ended or did not exit.
inline int WaitWithin(pid_t child, std::chrono::milliseconds limit) {
    int status = 0;
    if (!AwaitChildExit(child, &status, "the program's end", limit) || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

inline int BatchRunTest::Wait(pid_t child) {
    return WaitWithin(child, kWaitBound);
}

}  // namespace mirexa::testing
