// The shell's answers to the view's I, J and X keys.
#include "shell/view_services.h"

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/config_records.h"
#include "geometry/machine_kinematics.h"
#include "geometry/shared_state.h"
#include "geometry/tool_length_report.h"
#include "geometry/vector_math.h"

extern char** environ;

namespace mirexa {

namespace {

// The main window's stored copy of the motion state (its tool number unused).
MotionStateSnapshot storedPose;

void SwapWith(MotionStateSnapshot* other) {
    MachinePose& pose = CurrentMachinePose;
    std::swap(pose.program, other->program);
    std::swap(pose.machine, other->machine);
    std::swap(WorkOrigin, other->workOrigin);
    for (int i = 0; i < 3; ++i) {
        std::swap(pose.tool.point[i], other->toolPoint[i]);
        std::swap(pose.tool.axis[i], other->toolAxis[i]);
    }
    SinCosDegrees(pose.machine.axis[3], CurrentMachine.rotary[0].sign, &pose.sin1, &pose.cos1);
    SinCosDegrees(pose.machine.axis[4], CurrentMachine.rotary[1].sign, &pose.sin2, &pose.cos2);
}

}  // namespace

void StoreToolPose() {
    CaptureMotionState(&storedPose);
}

int SwapToolPose(int source) {
    if (source == 1) {
        if (MotionSnapshot.toolNumber < 0) {
            return 0;
        }
        SwapWith(&MotionSnapshot);
        return 1;
    }
    SwapWith(&storedPose);
    return 1;
}

int StartSecondInstance() {
    if (AutomaticMode.load() != 0) {
        return 0;
    }
    std::vector<std::string> words = {"/proc/self/exe"};
    std::string word;
    for (const char c : Settings.selfOption + " ") {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!DefinitionFiles.programDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, DefinitionFiles.programDirectory.c_str());
    }
    pid_t child = 0;
    const int started = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return 0;
    }
    // The instance runs on its own; its exit status is collected so that it leaves no zombie.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return 1;
}

}  // namespace mirexa
