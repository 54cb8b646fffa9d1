// The tool path display: the whole NC program run again from its start through the step driver
// and the simulation's own block bookkeeping and move interpolation, without cutting, checks or
// reports, each move emitted as a line strip (into display list 31, or 32 for the variant without
// rotary interpolation). It runs in an NC session of its own and steps with a step record of its
// own, so the run's records are never written, and it can be drawn while a run waits at a stop
// block.
//
// How the view uses it: the path commands (the view's path keys, the Machining menu) set
// DisplayModes.pathDisplay (list 31) or pathDisplay2 (list 32), set ToolPathDisplay.hideRapids
// from the Shift key, set SceneDirty.path or SceneDirty.pathNoRotary and invalidate the view.
// The next RenderScene opens the list, sets the path colour and calls ViewCallbacks.drawToolPath,
// which InstallToolPathDrawing points at DrawToolPath. Nobody else calls DrawToolPath while a
// list is not open.
#pragma once

#include <cstdint>

#include "platform/file_info.h"
#include "simulation/move_stepping.h"

namespace mirexa {

// Options the path commands set.
struct ToolPathOptions {
    // Shift was held when the path was switched on: rapid moves are left out (their positions
    // still advance, so the cutting moves stay joined move by move). Otherwise rapids are drawn
    // dashed. IGNORE G00 ("YES") leaves rapids out in either case.
    std::int32_t hideRapids = {};
    // Per variant (0 list 31, 1 list 32): the list was built, and the NC file's write time then.
    std::int32_t listBuilt[2] = {};
    FileWriteTime listFileTime[2] = {};
};
extern ToolPathOptions ToolPathDisplay;

// Where the path goes. Points are in display units (the tool point of each step, mm, divided by
// DisplayUnitFactor), in the table's moving frame as the stock is drawn. A null hook ignores its
// call.
struct ToolPathOutput {
    void* context = {};
    // A strip begins: dashed 1 for a rapid (line stipple factor 1, pattern 0xF0F0), 0 solid.
    void (*beginStrip)(void* context, int dashed) = {};
    void (*vertex)(void* context, const double point[3]) = {};
    void (*endStrip)(void* context) = {};
    // The marker at the start of a drawn move (CONSTRUCTION POINT on).
    void (*constructionPoint)(void* context, const double point[3]) = {};
};

// The OpenGL output into the open list: GL_LINE_STRIP per strip, with GL_LINE_STIPPLE on for
// dashed strips and off for solid ones; construction points as GL_POINTS of size 3.0 in the
// construction colour, the path colour set again after each.
ToolPathOutput GlToolPathOutput(int withoutRotary);

// Results of TraceToolPath and DrawToolPath.
enum ToolPathResult : int {
    kToolPathDrawn = 1,      // the program was drawn to its end
    kToolPathRefused = 0,    // a path is being drawn already (a nested call through the message
                             // pump or the progress display), a cutting run is going (not
                             // waiting at a stop block) or a data check run is on
    kToolPathError = -1,     // an interpreter error: the moves before it are drawn (the
                             // summary's error holds its code)
    kToolPathAborted = -2,   // the stop key came during the drawing: the moves before are drawn
    kToolPathNoSource = -3,  // no NC program, or it could not be opened: nothing drawn
    kToolPathBadStep = -4,   // the step length is not a positive number: nothing drawn
};

// What the last path drawing did.
struct ToolPathSummary {
    std::int32_t result = {};  // ToolPathResult
    std::int32_t error = {};   // the interpreter's error code when result is kToolPathError
    std::int64_t moves = {};   // moves stepped (hidden rapids included)
    std::int64_t strips = {};
    std::int64_t vertices = {};
};
extern ToolPathSummary LastToolPath;

// Runs the NC program (DefinitionFiles.ncProgramFile) from its start into the output:
//  1. Refused while a path is being drawn, a run is going and not waiting at a stop block
//     (the window's run's mode not idle and its pauseRequest 0), or a data check run is on
//     (run.dataCheckActive).
//  2. A session of its own is made, started from the run's session (its run
//     state, controller view, machine and tool records) with a step record of its own: every
//     record named below is the drawing's, and the run's stay as they were.
//  3. The controller view is refreshed, the program index reloaded when the controller runs
//     from memory, the radius-offset alarms switched off (nothing is written to "alarm.txt"),
//     the kinematics run mode set to none (no editor follows the lines), the session opened
//     (OpenNcSession: the interpreter reset, the path-reader plug-in through
//     SimulationCallbacks.openPathReader, else the NC file), the pose and the run record set up
//     as at a run's start, and, when no run waits, a progress run begun with the caption
//     "Draw Path" (while a run waits, neither a progress bar nor the drawing's subprogram
//     levels are shown: those belong to the run).
//  4. Per block: NextNcMove; an error above 0 ends the path (kToolPathError). The block
//     goes through TakeFetchedBlock as in the simulation thread: tool changes mount the new tool
//     with MountToolForStepping (no tool-length report line) and shift the next move's start
//     between mounted-tool stations; G92, the rotation programming blocks and the
//     re-synchronisations take their positions and draw nothing. A move is planned by
//     PlanMoveInterpolation (IGNORE G00, moves shorter than the controller's coordinate
//     tolerance and moves without travel are skipped, as in the cut) and posed step by step by
//     PoseMoveStep; the strip runs from the tool point before the move through the tool point
//     of every step. withoutRotary 1 poses rapids and lines in one step (a straight segment
//     between their ends); arcs keep their steps. NURBS moves go to DrawNurbsPathMove.
//  5. The drawing has controls of its own, made new for it: an abort of them (AbortWindowJob,
//     the stop key) ends the path (kToolPathAborted). Every 3 s one pending message of the
//     thread is taken: a key (WM_KEYDOWN, WM_KEYUP) is dispatched, so that the stop key can
//     abort; any other message is held back and posted again, in order, at the end.
//  6. The end, in every case: the session closed and dropped, the progress run ended, the
//     drawing's controls dropped, the held messages posted again.
// Writes nothing to the tool-length report, the alarm report, the interference reports or the
// limit logs. Returns a ToolPathResult and fills LastToolPath. User-interface thread only.
int TraceToolPath(int withoutRotary, const ToolPathOutput& output);

// TraceToolPath into the open display list through GlToolPathOutput; the stipple is disabled
// afterwards. withoutRotary 0 draws list 31's path, 1 list 32's.
int DrawToolPath(int withoutRotary);

// The NURBS move of the context's session (FinishBlockPosition made; the session bound on this
// thread): one solid strip from the tool point before the move through the pose of every step,
// each knot span i with t[i+1] > t[i] giving m = max(1, ceil(span length / step length)) steps
// (CountNurbsSpanSteps), each posed by PoseNurbsStep exactly as the cut poses it; an abort of the
// drawing ends it after a span. A curve that ValidateNurbsCurve refuses draws nothing. Returns the
// steps posed.
std::int64_t DrawNurbsPathMove(const MoveStepContext& context, const ToolPathOutput& output);

// 1 while TraceToolPath runs: the shell refuses the run commands then.
int IsToolPathDrawing();

// The stop key: aborts the job the window runs. A tool path being drawn ends; when a run waits at
// a stop block meanwhile, the run is aborted too (it ends when the drawing has). Without a
// drawing the window's run is aborted. User-interface thread only.
void AbortWindowJob();

// The path display commands (variant 0: the path, list 31; 1: without rotary interpolation,
// list 32). Outside a run: toggles the variant's shown flag and, when it came on, sets hideRapids
// from shiftHeld (Shift as the command's message has it) and marks the list for a rebuild. During
// a run the list cannot be rebuilt (the interpreter is the run's): the flag toggles only when the
// list was built and the NC file is unchanged since then. Returns 1 when the flag changed.
int ToggleToolPathDisplay(int variant, int duringRun, bool shiftHeld);

// Points ViewCallbacks.drawToolPath at DrawToolPath (start-up, after the view's hooks are reset).
void InstallToolPathDrawing();

}  // namespace mirexa
