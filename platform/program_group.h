// Programs started as the leader of a process group of their own, so that a program and every
// process it starts (a wrapper script's background worker) can be ended together, and the
// program's list of the groups it started, for its own end.
//
// Threads: StartProgramGroup, SignalProgramGroup, IsProgramGroupAlive and ForgetProgramGroup may
// be called from any thread; the list of started groups is lock-free. EndStartedProgramGroups
// is meant for the program's last moments (its display went away) and waits at most the
// patience it is given.
#pragma once

#include <sys/types.h>

#include <chrono>

namespace mirexa {

// How long a group asked to end (SIGTERM) is given before it is ended (SIGKILL), and how long
// its processes may then take to go (ms).
inline constexpr std::chrono::milliseconds kProgramGroupPatience{3000};
inline constexpr std::chrono::milliseconds kProgramGroupKillPatience{2000};

// Starts argv[0] (looked up on PATH when it has no "/") with argv as its arguments and envp as
// its environment, without a shell, as the leader of a new process group, and notes the group
// among the started ones. Returns the child's process id, which is also the group's id, or -1
// when it could not be started (or the list of started groups is full). The caller reaps the
// child (waitpid) and calls ForgetProgramGroup once it is done with the group.
pid_t StartProgramGroup(char* const argv[], char* const envp[]);

// Sends the signal to every process of the group. 1 when it reached one, 0 when the group has
// no process left (or the id is not a group's).
int SignalProgramGroup(pid_t group, int signalNumber);

// 1 while a process of the group is still running (one that ended and waits to be reaped does
// not count).
int IsProgramGroupAlive(pid_t group);

// Takes the group off the list of started groups (its processes are not touched).
void ForgetProgramGroup(pid_t group);

// The number of groups on the list.
int CountStartedProgramGroups();

// Ends every group on the list: SIGTERM, then, for a group with a process left after the
// patience, SIGKILL, waiting at most killPatience more for its processes to go. Returns the
// number of groups that had to be killed.
int EndStartedProgramGroups(std::chrono::milliseconds patience,
                            std::chrono::milliseconds killPatience);

}  // namespace mirexa
