// Video recording of a run: the file is opened when the run starts, a frame of the view is added
// after a redraw when a chosen trigger fires (tool, tool axis, NC line, or every update), and the
// file is finished when the run ends. Frames have one size for the whole file.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/avi_writer.h"

namespace mirexa {

// The name of the file when it is not named after the NC program.
inline constexpr const char* kFixedAviFileName = "MIREXA.AVI";

// The remembered values start (and restart after an alarm) at this value, so that every trigger
// fires at the next call.
inline constexpr std::int32_t kAviUnsetValue = -9999;

// Indices of Settings.recordTriggers (TIMING TOOL, AXIS, BLOCK, UPDATE).
enum AviTrigger : int {
    kAviTriggerTool = 0,
    kAviTriggerAxis = 1,
    kAviTriggerBlock = 2,
    kAviTriggerUpdate = 3,
};

// Results of StartAviRecording besides kAviOk and the writer's codes.
inline constexpr int kAviNotEnabled = 0;    // no trigger is on
inline constexpr int kAviNameTooLong = -4;  // the joined path does not fit a path field

// The recording of a run. Started on the simulation thread before its first move; frames and the
// stop on the user-interface thread. `recording` is stored last by the start, so a frame call that
// reads it 1 sees everything the start prepared.
struct AviRecorderState {
    std::atomic<int> recording{0};
    AviFileWriter writer = {};
    std::string path = {};
    std::uint32_t rate = 1;  // frames per second: 5 with TIMING BLOCK or UPDATE, else 1
    // The frame size, fixed by the first frame (or the stop) on the user-interface thread from
    // the view's capture geometry; every later capture is cropped or padded into it.
    int formatFixed = {};
    int width = {};
    int height = {};
    std::vector<std::uint8_t> frame = {};    // the frame written (stride x height bytes)
    std::vector<std::uint8_t> capture = {};  // the view's pixels at the view's current size
    std::int32_t frameCounter = {};          // the next frame's index
    std::int32_t lastTool = kAviUnsetValue;
    std::int32_t lastLine = kAviUnsetValue;
    double lastAxis[3] = {kAviUnsetValue, kAviUnsetValue, kAviUnsetValue};
    // The finished file may take at most this many bytes; a frame that would pass it ends the
    // recording with a report. Tests lower it.
    std::uint64_t sizeLimit = kAviDefaultSizeLimit;
    // Why the last recording ended before its run did: 0 it did not, kAviSizeLimit, or
    // kAviWriteFailed.
    int stopCode = {};
};
extern AviRecorderState AviRecorder;

// The file name of a recording into out (capacity bytes, NUL included): with nameMode 1 and an
// NC program (DefinitionFiles.ncProgramFile), the program's file name with everything from its
// first "." replaced by ".AVI" (".AVI" appended when it has none); otherwise "MIREXA.AVI".
// 1, or 0 when the name does not fit (out unchanged).
int MakeAviFileName(char* out, std::size_t capacity, int nameMode);

// The full path of the recording into out: the name of MakeAviFileName with the NAME MODE,
// joined to Target_VIDEOdir, or to Target_NCdir when that is empty. 1, or 0 when it does not fit.
int MakeAviFilePath(char* out, std::size_t capacity);

// Starts a recording when any trigger is on: removes an earlier file of that name and creates
// the file. kAviOk; kAviNotEnabled; kAviNameTooLong; kAviCannotCreate (recording stays off for
// the run). An earlier recording still open is finished first.
int StartAviRecording();

// Adds a frame when recording and a trigger fires: an alarm
// (WindowRun.controls.kept.simulationState 4) or an interpreter error first resets the remembered
// values; the tool number (ToolFile.currentTool), the tool axis (the session's pose) and the NC
// line (the innermost running subprogram's, as the run publishes it) are compared and remembered;
// TIMING UPDATE fires at every call. The capture hides the floating panels unless LAP DIALOG is on.
// A frame that would take the file past its size limit, or a failed write, finishes the file, ends
// the recording and reports it. Returns 1 when a frame was written, else 0.
int WriteAviFrame();

// Finishes the file and ends the recording (nothing when none runs). 1, or 0 when the file could
// not be finished (reported).
int StopAviRecording();

// Fills the run's hooks: the simulation thread's start of the recording (SimulationCallbacks),
// the frame after a redraw and the stop at the end of a run (RunUiCallbacks).
void InstallAviRecordingHooks();

}  // namespace mirexa
