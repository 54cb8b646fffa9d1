// Clicks on the information panel's panes and manual jog: a jog step moves the program position
// of one axis by whole least increments as a rapid move, checks the strokes, cuts and runs the
// interference checks; holding the button repeats with a growing speed.
#include "shell/manual_jog.h"

#include <cmath>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "geometry/vector_math.h"
#include "nc/nc_session.h"
#include "platform/pointer.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/editor_bridge.h"
#include "shell/info_panel.h"
#include "shell/main_window.h"
#include "shell/plugin_host.h"
#include "shell/run_commands.h"
#include "shell/sound_effects.h"
#include "shell/stock_commands.h"
#include "shell/view_services.h"
#include "simulation/cutting_core.h"
#include "simulation/cutting_run.h"
#include "simulation/interference_flags.h"
#include "simulation/interference_messages.h"
#include "simulation/mounted_tools.h"
#include "simulation/run_control.h"
#include "simulation/run_timer.h"
#include "simulation/structure_checks.h"
#include "simulation/tool_length_report.h"
#include "simulation/tool_pose_step.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "view/stock_view.h"
#include "view/view_window.h"

namespace mirexa {

ManualJogState ManualJog;

namespace {

bool RunActive() {
    return WindowRun.mode.load() != RunMode::kIdle;
}

void Post(unsigned command) {
    PostWindowMessage(MainWindowData.handles.main, WM_COMMAND, command, 0);
}

// Draws the pane pressed (until the button is released) and posts the command.
void PressAndPost(int pane, unsigned command) {
    InfoPanelView.pressedPane = pane;
    RequestInfoPanelRedraw();
    Post(command);
}

// The alarm of a jog that stopped: the system's alarm (waited for), then the alarm sound.
void PlayJogAlarm() {
    if (Settings.sound) {
        PlayAlarmTone(1);
        PlaySoundEffect(SoundEffect::Pokin);
    }
}

void ShowMessage(WindowHandle window, int code) {
    PlayJogAlarm();
    InterferenceMessageContext context;
    GatherInterferenceMessageContext(RunSession, 0, &context);
    ShowInterferenceMessage(window, 0, DefinitionFiles.ncProgramFile.c_str(), code, context);
}

// The pane for mode k toggles between k and the normal stop (1); the "None" pane between 0 and 1.
void ToggleStopMode(int mode) {
    const int current = Controller.stopOption;
    Controller.stopOption = current == mode ? 1 : mode;
    Post(IDM_STOP_NONE + static_cast<unsigned>(Controller.stopOption));
    RequestInfoPanelRedraw();
}

// The jog has ended: the timer stops and every jog button is drawn released; a press that removed
// nothing gives its undo point back.
void EndJog(WindowHandle window) {
    StopWindowTimer(window, IDT_JOG_REPEAT);
    if (ManualJog.undoPushed && ManualJog.removedVolume == 0.0) {
        StockModel& stock = CurrentStockModel();
        PopStockUndo(&stock);
        MarkCurrentStockDirty();
    }
    ManualJog = ManualJogState{};
    InfoPanelView.pressedPane = kPaneNone;
    RequestInfoPanelRedraw();
}

// The axis (0..4) and sign of jog button 1..10.
int ButtonAxis(int button) {
    return (button - 1) / 2;
}
int ButtonSign(int button) {
    return button % 2 == 1 ? 1 : -1;
}
int ButtonOfPane(int pane) {
    if (pane >= kPaneJogPlus && pane < kPaneJogPlus + 5) {
        return 2 * (pane - kPaneJogPlus) + 1;
    }
    if (pane >= kPaneJogMinus && pane < kPaneJogMinus + 5) {
        return 2 * (pane - kPaneJogMinus) + 2;
    }
    return 0;
}
int PaneOfButton(int button) {
    return ButtonSign(button) > 0 ? kPaneJogPlus + ButtonAxis(button)
                                  : kPaneJogMinus + ButtonAxis(button);
}

// A jog step of the pressed button; 1 when the jog goes on.
int StepPressedButton(WindowHandle window, int increments) {
    const int button = ManualJog.pressedButton;
    const int result = JogAxisStep(window, ButtonAxis(button), ButtonSign(button) * increments);
    if (result == kJogMoved) {
        return 1;
    }
    EndJog(window);
    return 0;
}

void PressJogButton(WindowHandle window, int button) {
    StockModel& stock = CurrentStockModel();
    ManualJog = ManualJogState{};
    ManualJog.pressedButton = button;
    // One press is one undo step of the stock.
    if (StockCommands.stockPresent && CanPushRunUndoPoint()) {
        PushRunUndoPoint();
        ManualJog.undoPushed = stock.undo.slots != nullptr ? 1 : 0;
    }
    InfoPanelView.pressedPane = PaneOfButton(button);
    if (StepPressedButton(window, 1)) {
        StartWindowTimer(window, IDT_JOG_REPEAT, JOG_FIRST_DELAY_MS);
    }
}

void OnPress(WindowHandle window, int pane) {
    InfoPanelState& panel = InfoPanelView;
    if (pane == kPaneStripCaption || pane == kPaneStripText) {
        Post(IDM_NC_EDIT);
    } else if (pane == kPaneTitle) {
        const std::string& editor = Settings.controllerEditor;
        OpenFileInEditor(window, editor.empty() ? Settings.editorProgram : editor,
                         DefinitionFiles.controllerFile);
    } else if (pane == kPaneCaption) {
        if (!RunActive()) {
            PressAndPost(pane, IDM_CONTROL_POINT);
        }
    } else if (pane == kPaneDCode) {
        PressAndPost(pane, IDM_RADIUS_OFFSETS);
    } else if (pane == kPaneHCode) {
        PressAndPost(pane, IDM_LENGTH_OFFSETS);
    } else if (pane == kPaneWorkpiece) {
        PressAndPost(pane, IDM_WORK_COORDINATES);
    } else if (pane == kPaneSyncGet || pane == kPaneSyncPut) {
        // Drawn pressed while the plug-in works; released with the button.
        InfoPanelView.pressedPane = pane;
        RequestInfoPanelRedraw();
        SynchronizeOffsets(pane == kPaneSyncGet ? 1 : 0);
    } else if ((pane >= kPaneAxisLabel && pane < kPaneAxisLabel + 5) ||
               (pane >= kPaneAxisValue && pane < kPaneAxisValue + 5)) {
        panel.coordinateKind = (panel.coordinateKind + 1) % 3;
        RequestInfoPanelRedraw();
    } else if (pane >= kPaneUnit && pane < kPaneUnit + 3) {
        panel.unitLabelWork = panel.unitLabelWork ? 0 : 1;
        RequestInfoPanelRedraw();
    } else if (pane >= kPaneTrace && pane < kPaneTrace + 3) {
        const int axis = pane - kPaneTrace;
        const int set = panel.blockMarks[axis] ? 0 : 1;
        panel.blockMarks[0] = panel.blockMarks[1] = panel.blockMarks[2] = 0;
        panel.blockMarks[axis] = set;
        RequestInfoPanelRedraw();
    } else if (pane >= kPaneStopMode && pane < kPaneStopMode + 4) {
        ToggleStopMode(kStopModeOfPane[pane - kPaneStopMode]);
    } else if (pane == kPaneRun) {
        if (RunActive()) {
            if (WindowRun.controls.lineHeld.load()) {
                ResumeRunTimer(window);
            } else {
                WindowRun.controls.stopKeyRequest.store(1);
            }
        }
    } else if (pane == kPaneEscape) {
        if (RunActive()) {
            AbortRun(window, 1);
        }
    } else if ((pane >= kPaneMinMaxLabel && pane < kPaneMinMaxLabel + 6) ||
               (pane >= kPaneRange && pane < kPaneRange + 6)) {
        panel.minMaxWork = panel.minMaxWork ? 0 : 1;
        RequestInfoPanelRedraw();
    } else if (pane == kPaneWork) {
        PressAndPost(pane, IDM_STOCK_TWO_POINT);
    } else if (pane == kPanePitch) {
        PressAndPost(pane, IDM_PITCH);
    } else if (const int button = ButtonOfPane(pane); button != 0 && !RunActive()) {
        if (ButtonAxis(button) < panel.jogRows) {
            PressJogButton(window, button);
        }
    }
}

void OnRelease(WindowHandle window) {
    if (ManualJog.pressedButton != 0) {
        EndJog(window);
    }
    if (InfoPanelView.pressedPane != kPaneNone) {
        InfoPanelView.pressedPane = kPaneNone;
        RequestInfoPanelRedraw();
    }
}

}  // namespace

double NextJogSpeed(double speed) {
    return speed < JOG_SPEED_LIMIT ? speed * JOG_SPEED_FACTOR : speed;
}

int JogAxisStep(WindowHandle window, int axis, int increments) {
    if (axis < 0 || axis > 4) {
        return kJogMoved;
    }
    // 1-2. The program position by whole increments.
    const double increment = InputIncrements.leastInputIncrement > 0
                                 ? static_cast<double>(InputIncrements.leastInputIncrement)
                                 : 1000.0;
    double& position = RunKinematics.pose.program.axis[axis];
    position = RoundToInputIncrements(position + increments / increment) / increment;
    // 4. A rapid move: the cut ends get the rapid mark.
    RunKinematics.motion.motionType = 0;
    UpdateMachinePosition(RunKinematics);
    StoreToolPose();
    PublishPanelPose();
    RequestInfoPanelRedraw();
    // 5. Beyond a stroke: the message, nothing cut.
    if (CheckOverTravel(RunKinematics.pose.machine.axis) >= 0) {
        ManualJog.overTravel = 1;
        SaveMotionState(RunSession, &WindowRun.reports.motionSnapshot);
        RedrawMainWindow(MainWindowData.handles.main);
        ShowMessage(window, kJogOverTravel);
        return kJogOverTravel;
    }
    // 6. The cut and the checks of a simulation step.
    ToolPoseStep step;
    step.rapidMark = true;
    const ToolPoseFindings found =
        CutAndCheckToolPose(WindowRun.cutting, RunSession, &CurrentStockModel(), step);
    ManualJog.removedVolume += found.removedVolume;
    // 7. Nothing hit.
    if (!found.contact && !found.interference) {
        RedrawView(MainWindowData.handles.view);
        return kJogMoved;
    }
    // 8. Hit: the stock shows the cut, the jog ends and the message of the first flag shows.
    SaveMotionState(RunSession, &WindowRun.reports.motionSnapshot);
    if (StockCommands.stockPresent) {
        MarkCurrentStockDirty();
    }
    RedrawView(MainWindowData.handles.view);
    ShowMessage(window, FirstStructurePairCode(WindowRun.cutting.flags.structure));
    return kJogInterference;
}

void HandleInfoPanelMouse(int panelWindow, unsigned message, int x, int y) {
    WindowHandle main = MainWindowData.handles.main;
    if (!IsPlatformWindow(main)) {
        return;
    }
    if (message == WM_LBUTTONDOWN) {
        if (WindowHandle captured = GetInfoPanelWindow(panelWindow)) {
            SetMouseCapture(captured);
        }
        ManualJog.speed = 1.0;
        OnPress(main,
                FindPanelPane(BuildInfoPanelPanes(CollectInfoPanelInputs()), panelWindow, x, y));
    } else if (message == WM_LBUTTONUP) {
        OnRelease(main);
        ReleaseMouseCapture();
    }
}

void HandleMainWindowPanelClick(WindowHandle, unsigned message, MessageLParam point) {
    const int x = static_cast<int>(point & 0xFFFF);
    const int y = static_cast<int>((point >> 16) & 0xFFFF);
    // The strip lies across the top, the column below it.
    const int strip = CurrentInfoPanelExtent().stripHeight;
    if (y < strip) {
        HandleInfoPanelMouse(kPanelStrip, message, x, y);
    } else {
        HandleInfoPanelMouse(kPanelColumn, message, x, y - strip);
    }
}

void JogRepeatTick(WindowHandle mainWindow) {
    const int button = ManualJog.pressedButton;
    if (button <= 0) {
        StopWindowTimer(mainWindow, IDT_JOG_REPEAT);
        return;
    }
    // 1. From now on the short period.
    StartWindowTimer(mainWindow, IDT_JOG_REPEAT, JOG_REPEAT_PERIOD_MS);
    // 2. The pointer must still be on the pressed button.
    WindowHandle column = GetInfoPanelWindow(kPanelColumn);
    int x = 0;
    int y = 0;
    int pane = kPaneNone;
    if (column != nullptr && GetPointerPosition(column, &x, &y)) {
        pane = FindPanelPane(BuildInfoPanelPanes(CollectInfoPanelInputs()), kPanelColumn, x, y);
    }
    if (ManualJog.overTravel || pane != PaneOfButton(button)) {
        ManualJog.pressedButton = -1;
        StopWindowTimer(mainWindow, IDT_JOG_REPEAT);
        InfoPanelView.pressedPane = kPaneNone;
        RequestInfoPanelRedraw();
        return;
    }
    // 3. Faster, then one step of (int) speed increments.
    ManualJog.speed = NextJogSpeed(ManualJog.speed);
    StepPressedButton(mainWindow, static_cast<int>(ManualJog.speed));
}

}  // namespace mirexa
