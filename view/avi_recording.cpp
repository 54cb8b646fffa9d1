// The run's video recording: file naming, the triggers, the capture cropped or padded into the
// fixed frame, and the end of a recording at its size limit or on a failed write.
#include "view/avi_recording.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "config/config_records.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "simulation/cutting_run.h"
#include "simulation/run_control.h"
#include "simulation/run_ui_hooks.h"
#include "simulation/simulation_hooks.h"
#include "view/snapshots.h"

namespace mirexa {

AviRecorderState AviRecorder;

namespace {

constexpr std::size_t kPathCapacity = kPathLimit + 1;
constexpr const char* kAviCaption = "AVI";

void ResetRememberedValues(AviRecorderState* r) {
    r->lastTool = kAviUnsetValue;
    r->lastLine = kAviUnsetValue;
    for (double& v : r->lastAxis) {
        v = kAviUnsetValue;
    }
}

void ReportAviProblem(const char* what, const std::string& path) {
    ShowMessageOrLog(0, std::string(what) + "\n" + path, kAviCaption,
                     MBX_OK | MBX_ICONWARNING | MBX_TOPMOST);
}

// Fixes the frame size from the view's capture geometry and writes the headers. kAviOk; 0 when
// the view has no size yet; kAviSizeLimit when one frame of the view's size cannot fit the
// limit; kAviWriteFailed. On failure the writer is marked failed.
int FixFrameFormat(AviRecorderState* r) {
    const CaptureGeometry& g = ViewCapture;
    if (g.width < 1 || g.height < 1) {
        return 0;
    }
    const int result = WriteAviHeaders(&r->writer, g.width, g.height, r->rate, 1);
    if (result != kAviOk) {
        r->writer.failed = 1;
        return result == kAviBadArguments ? kAviSizeLimit : kAviWriteFailed;
    }
    r->formatFixed = 1;
    r->width = g.width;
    r->height = g.height;
    r->frame.assign(r->writer.frameBytes, 0);
    return kAviOk;
}

// Copies the capture (the view's current size) into the frame, keeping the view's top-left
// corner in place: rows the view lacks and columns beyond its width are black; what the view has
// beyond the frame is cut off. Both are bottom-up with rows padded to 4 bytes.
void CropCaptureIntoFrame(AviRecorderState* r, const CaptureGeometry& g) {
    const int frameStride = r->writer.stride;
    const std::size_t rowBytes =
        static_cast<std::size_t>(std::min(r->width, g.width)) * 3;  // pixels both rows have
    std::fill(r->frame.begin(), r->frame.end(), std::uint8_t{0});
    for (int row = 0; row < r->height; ++row) {
        // Frame row `row` counted from the bottom is view row (height - 1 - row) from the top.
        const int source = g.height - r->height + row;
        if (source < 0 || source >= g.height) {
            continue;
        }
        std::memcpy(r->frame.data() + static_cast<std::size_t>(row) * frameStride,
                    r->capture.data() + static_cast<std::size_t>(source) * g.stride, rowBytes);
    }
}

// Ends a recording whose writer refused a frame, and says why.
void EndRecordingEarly(AviRecorderState* r, int code) {
    r->stopCode = code;
    const std::string path = r->path;
    StopAviRecording();
    ReportAviProblem(code == kAviSizeLimit
                         ? "The AVI recording was stopped: the file reached its size limit."
                         : "The AVI recording was stopped: the file could not be written.",
                     path);
}

}  // namespace

int MakeAviFileName(char* out, std::size_t capacity, int nameMode) {
    const std::string& program = DefinitionFiles.ncProgramFile;
    if (nameMode != 1 || program.empty()) {
        if (std::strlen(kFixedAviFileName) + 1 > capacity) {
            return 0;
        }
        std::memcpy(out, kFixedAviFileName, std::strlen(kFixedAviFileName) + 1);
        return 1;
    }
    char title[kPathCapacity];
    if (!GetPathFileName(program, 1, title, sizeof title)) {
        return 0;
    }
    const std::string_view name(title, std::strcspn(title, "."));
    if (name.size() + 5 > capacity) {
        return 0;
    }
    std::memcpy(out, name.data(), name.size());
    std::memcpy(out + name.size(), ".AVI", 5);
    return 1;
}

int MakeAviFilePath(char* out, std::size_t capacity) {
    char name[kPathCapacity];
    if (!MakeAviFileName(name, sizeof name, Settings.videoNameMode)) {
        return 0;
    }
    const std::string& directory =
        Settings.videoDirectory.empty() ? Settings.ncDirectory : Settings.videoDirectory;
    return JoinPath(directory, name, out, capacity);
}

int StartAviRecording() {
    AviRecorderState& r = AviRecorder;
    if (r.recording.load(std::memory_order_acquire) != 0) {
        StopAviRecording();
    }
    // 1. The state of a new recording.
    r.writer = AviFileWriter{};
    r.formatFixed = 0;
    r.width = r.height = 0;
    r.frame.clear();
    r.capture.clear();
    r.frameCounter = 0;
    r.stopCode = 0;
    ResetRememberedValues(&r);
    const int* t = Settings.recordTriggers;
    if (t[kAviTriggerTool] + t[kAviTriggerAxis] + t[kAviTriggerBlock] + t[kAviTriggerUpdate] < 1) {
        return kAviNotEnabled;
    }
    r.rate = (t[kAviTriggerBlock] != 0 || t[kAviTriggerUpdate] != 0) ? 5 : 1;
    // 2. The file; an earlier one of that name is replaced only by the finished recording.
    char path[kPathCapacity];
    if (!MakeAviFilePath(path, sizeof path)) {
        ReportAviProblem("The AVI file name is too long.", DefinitionFiles.ncProgramFile);
        return kAviNameTooLong;
    }
    r.path = path;
    const int opened = OpenAviFile(&r.writer, path, r.sizeLimit);
    if (opened != kAviOk) {
        return opened;
    }
    r.recording.store(1, std::memory_order_release);
    return kAviOk;
}

int WriteAviFrame() {
    AviRecorderState& r = AviRecorder;
    // 1. Nothing without a recording.
    if (r.recording.load(std::memory_order_acquire) == 0) {
        return 0;
    }
    // 2. After an alarm every trigger fires.
    if (WindowRun.controls.kept.simulationState.load() == 4 || RunSession.run.status.error != 0) {
        ResetRememberedValues(&r);
    }
    // 3. Nothing without a trigger.
    const std::int32_t* t = Settings.recordTriggers;
    if (t[kAviTriggerTool] == 0 && t[kAviTriggerAxis] == 0 && t[kAviTriggerBlock] == 0 &&
        t[kAviTriggerUpdate] == 0) {
        return 0;
    }
    // 4. Compare and remember all three, whichever trigger is on.
    bool fired = false;
    const std::int32_t tool = ToolFile.currentTool;
    if (tool != r.lastTool) {
        fired = fired || t[kAviTriggerTool] != 0;
        r.lastTool = tool;
    }
    const double* axis = RunKinematics.pose.tool.axis;
    if (axis[0] != r.lastAxis[0] || axis[1] != r.lastAxis[1] || axis[2] != r.lastAxis[2]) {
        fired = fired || t[kAviTriggerAxis] != 0;
        std::copy(axis, axis + 3, r.lastAxis);
    }
    const std::int32_t line = ReadRunStatus().lineNumber;
    if (line != r.lastLine) {
        fired = fired || t[kAviTriggerBlock] != 0;
        r.lastLine = line;
    }
    // 5. Nothing when no trigger fired and frames are not taken at every update.
    if (!fired && t[kAviTriggerUpdate] == 0) {
        return 0;
    }
    if (!r.formatFixed) {
        const int fixed = FixFrameFormat(&r);
        if (fixed != kAviOk) {
            if (fixed != 0) {
                EndRecordingEarly(&r, fixed);
            }
            return 0;
        }
    }
    // 6. The view at its current size, cropped or padded into the frame.
    const CaptureGeometry g = ViewCapture;
    r.capture.resize(g.size);
    if (Settings.lapDialog == 0) {
        ShowViewWindows(SW_HIDE);
    }
    const int read = ReadViewPixels(kPixelsBgr, r.capture.data(), r.capture.size());
    if (Settings.lapDialog == 0) {
        ShowViewWindows(SW_SHOW);
    }
    if (!read) {
        return 0;
    }
    CropCaptureIntoFrame(&r, g);
    // 7. The frame, appended; a failed write or the size limit ends the recording.
    const int written = AppendAviFrame(&r.writer, r.frame.data(), r.frame.size());
    if (written != kAviOk) {
        EndRecordingEarly(&r, written == kAviSizeLimit ? kAviSizeLimit : kAviWriteFailed);
        return 0;
    }
    ++r.frameCounter;
    return 1;
}

int StopAviRecording() {
    AviRecorderState& r = AviRecorder;
    if (r.recording.load(std::memory_order_acquire) == 0) {
        return 1;
    }
    // A run that ended before its first frame still leaves a playable, empty file.
    if (!r.formatFixed && !r.writer.failed) {
        FixFrameFormat(&r);
    }
    const int closed = CloseAviFile(&r.writer);
    r.recording.store(0, std::memory_order_release);
    r.frame = std::vector<std::uint8_t>();
    r.capture = std::vector<std::uint8_t>();
    r.formatFixed = 0;
    if (closed != kAviOk) {
        if (r.stopCode == 0) {
            r.stopCode = kAviWriteFailed;
        }
        ReportAviProblem("The AVI file could not be finished.", r.path);
        return 0;
    }
    return 1;
}

void InstallAviRecordingHooks() {
    SimulationCallbacks.startVideoRecording = [] { StartAviRecording(); };
    RunUiCallbacks.writeAviFrame = [] { WriteAviFrame(); };
    RunUiCallbacks.stopAviRecording = [] { StopAviRecording(); };
}

}  // namespace mirexa
