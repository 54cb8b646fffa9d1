// The mounted-tools pass: when the current tool sits on a carrier with other tools (a turret or
// multi-tool head, the tools file's LAYOUT1 list), every other mounted tool is cut and checked at
// its own station, with a result per tool; then the current tool and the tools that share its
// station; finally the other tools' results raise the interference flags. And the owner word
// that keeps this pass and the user-interface thread's readers of the current tool apart.
#pragma once

#include <atomic>
#include <cstdint>

#include "config/current_tool.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"

namespace mirexa {

struct CuttingState;
struct NcSession;
struct StockModel;
struct CutEndMarkRecord;

// --- The owner word ---------------------------------------------------------------------------

// Who may change or read the current tool while tools are selected one after another.
enum MountedToolOwner : std::int32_t {
    kMountedToolsFree = 0,
    kMountedToolsSimulation = 1,  // the mounted-tools pass of the simulation thread
    kMountedToolsView = 2,        // the user-interface thread (tool lists, panel, dialogs)
};

// The owner word: kMountedToolsFree or the side that holds it. Taken only by compare-exchange
// from free to the owner (acquire) and given back from the owner to free (release), so the two
// sides can never hold it together and what one side wrote while holding it is seen by the
// other when it takes the word next.
extern std::atomic<std::int32_t> MountedToolBusyFlags;

// Poll period (ms) of a side waiting for the word.
inline constexpr unsigned kMountedToolPollMs = 10;

// Takes the word for owner when it is free: 1 when taken, 0 when held (by either side; the
// word is not recursive). Any owner other than the two sides gives 0.
int TryTakeMountedTools(std::int32_t owner);
// Takes the word for owner, trying again every 10 ms while the other side holds it.
void TakeMountedTools(std::int32_t owner);
// Gives the word back: 1 when owner held it, else 0 with the word unchanged.
int ReleaseMountedTools(std::int32_t owner);

// A side of the word as a lockable object, for std::lock_guard<const MountedToolsSide> and
// std::unique_lock: lock() is TakeMountedTools, try_lock() TryTakeMountedTools, unlock()
// ReleaseMountedTools. The sides hold no state of their own: the word is the state.
struct MountedToolsSide {
    std::int32_t owner = {};
    void lock() const;
    bool try_lock() const;
    void unlock() const;
};
inline constexpr MountedToolsSide MountedToolsForSimulation{kMountedToolsSimulation};
inline constexpr MountedToolsSide MountedToolsForView{kMountedToolsView};

// --- Results of the pass ----------------------------------------------------------------------

// Result codes of a mounted tool.
enum MountedResultKind : std::int32_t {
    kMountedNoResult = 0,
    kMountedStockContact = 5,  // contact with the stock while ARBOR CHECK is not 2 (CUT)
    kMountedViceHit = 6,
    kMountedTableHit = 7,
    kMountedTable1Hit = 8,
    kMountedTable2Hit = 9,
};

// What the pass found for one mounted tool; the tool-change interference messages read it.
struct MountedToolResultRecord {
    std::int32_t code = {};  // MountedResultKind
    std::int32_t arbor = {};
    std::int32_t taper = {};
    std::int32_t overLength = {};
    std::int32_t overChip = {};
    std::int32_t vice = {};
    std::int32_t table = {};
    std::int32_t table1 = {};
    std::int32_t table2 = {};
    std::int32_t interpreterWord = {};  // copied unchanged from the run's record
    std::int32_t mainLineNumber = {};
    double machine[5] = {};  // mm, deg
};

// One record per tool number of the layout (0 .. 200), kept by the cutting state whose pass
// found them. The codes of the listed tools are cleared at the start of every pass, so a record
// never speaks for an earlier pass.
using MountedToolResults = MountedToolResultRecord[kMountedToolEntries];

// Clears every record.
void ClearMountedToolResults(MountedToolResults& results);

// --- The pass ---------------------------------------------------------------------------------

// 1 when the current tool (the given one, or the session's) is one of the
// mounted-tool list (its mounting flag is set).
int CurrentToolHasMountedTools(const CurrentToolRecord& current);
int CurrentToolHasMountedTools(NcSession& session);

// The position (mm, deg) of a mounted tool: the base position plus the difference of its station
// from the current tool's station, plus the difference of the SHIFT values (the current tool's
// minus this tool's) along the machine's tool direction when it has one, else along Z.
void MountedToolPosition(const double base[5], int tool, int current, double out[5]);

// Runs in place of the plain cut and checks of a step (CutAndCheckToolPose) of the
// session: its current tool, pose, move,
// modes and line. Holds the owner word while it selects tools:
//  1. the codes of the listed tools are cleared; a listed tool at exactly the current tool's
//     station sets the same-station mark;
//  2. the base position is the step's machine position (the program position with the control
//     origin added);
//  3. unless ARBOR CHECK and every TOOL pair are off, each other present tool at another
//     station is made current, posed at its position, its flags cleared, cut with the pen byte
//     and the painted bit on the new ends, checked against the structure with its tool rings,
//     and recorded with its code (first of: tool-VICE 6, tool-TABLE2 9, tool-TABLE1 8,
//     tool-TABLE 7, contact unless ARBOR CHECK is 2: 5; else 0);
//  4. the current tool is made current again, its flags cleared, cut at the step's tool pose and
//     checked (tool and holder rings, the heads); its removed volume is the step's;
//  5. the tools at the current station are cut and checked at the base position (flags kept);
//  6. when a tool recorded a code, the contact flag and, per listed tool, the flag of its code.
// Inside a canned cycle move a contact of a tool is cleared. The current tool is current again
// when the pass ends. Selecting a tool fills the session's tool records (derived at the pitch of
// the stock given), and the other tools are cut and checked with those. The tools cut the stock
// given (none: nothing is cut) and the heads are checked against it; their new ends
// carry the step mark's line stamps. The tools are cut and checked on the cutting state given (its
// cutter, pose, flags and measures); it holds the current tool's cutter again when the pass ends.
// Returns the volume the current tool removed.
double CutAndCheckMountedTools(CuttingState& cutting, NcSession& session, StockModel* stock,
                               const CutEndMarkRecord& stepMark);

// Fills the simulation's hook for the checks of this subsystem: the shank and holder passes of
// the cut.
void InstallInterferenceCheckHooks();

}  // namespace mirexa
