// The offset, work coordinate, control point and basis-point note dialogs driven as a user would:
// OK storing exactly the working copies, Cancel nothing, the controller file renewed only on a
// change and kept whole when its rewrite fails at any step, the work system switch keeping the
// machine position, and the control point refusing a position beyond a stroke.
#include "dialogs/offset_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/tool_tables.h"
#include "dialogs/check_dialogs.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/dialogs.h"
#include "platform/keys.h"
#include "platform/message_box.h"
#include "platform/write_faults.h"
#include "resources/dialog_templates.h"
#include "shell/info_panel.h"
#include "shell/run_commands.h"
#include "shell/stock_commands.h"
#include "simulation/cutting_core.h"
#include "simulation/run_control.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/definition_state.h"
#include "support/scratch_directory.h"
#include "support/stock_invariants.h"
#include "support/test_windows.h"
#include "support/tool_records.h"
#include "view/picking.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

using Script = std::function<void(WindowHandle dialog)>;

class OffsetDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetDefinitionTables();
        ResetOffsetDialogs();
        RunKinematics.pose = MachinePose{};
        ControlOriginOffset = MotionPosition{};
        RunSession.run.modal.workOffsetIndex = 1;
        savedMachine_ = CurrentMachine;
        SetMessageBoxResponder([this](const MessageBoxRequest& request) {
            warnings.push_back(request.caption + ": " + request.text);
            return MBX_IDOK;
        });
    }
    void TearDown() override {
        DisarmWriteFaults();
        SetDialogResponder({});
        SetMessageBoxResponder({});
        ReleaseAllKeys();
        CurrentMachine = savedMachine_;
        RunKinematics.workOrigin = MotionPosition{};
        testing::ResetDefinitionTables();
        ResetOffsetDialogs();
        ControlOriginOffset = MotionPosition{};
        RunKinematics.pose = MachinePose{};
    }
    // Runs the script in the first round of the dialog, then clicks the button; later rounds
    // give up (a dialog still open is then cancelled).
    void Answer(int button, const Script& script) {
        SetDialogResponder([button, script](WindowHandle dialog, int, int round) {
            if (round > 0) {
                return 0;
            }
            script(dialog);
            ClickDlgItem(dialog, button);
            return 1;
        });
    }
    // Writes a controller file with offsets and reads it.
    std::string ReadControllerFile() {
        const std::string path =
            scratch_.Write("vmc.ctl",
                           "PRODUCT=NORMAL\nTOOL OFFSET MEMORY=C\nMEMORY D01= 5.000000,0.000000\n"
                           "MEMORY H01= 120.500000,0.000000\nMEMORY G54= (100,0,0,0,0)\n");
        ReadControllerFileAt(RunSession, RunKinematics, path);
        return path;
    }
    std::vector<std::string> warnings;
    testing::ScratchDirectory scratch_;

private:
    MachineGeometry savedMachine_;
};

std::string Bytes(const void* data, std::size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

TEST_F(OffsetDialogsTest, OffsetPagesShowTheirNumbersAndOkStoresExactlyWhatWasTyped) {
    struct Case {
        int mode;
        int type;  // offset memory type
        int button;
    } cases[] = {{0, 3, IDOK}, {1, 3, IDOK}, {0, 1, IDOK}, {1, 2, IDCANCEL}};
    for (const Case& c : cases) {
        testing::ResetDefinitionTables();
        ToolOffsets.type = c.type;
        ToolOffsets.d[981] = ToolOffsets.h[981] = 4.0f;
        ToolOffsets.dWear[3] = ToolOffsets.hWear[3] = -0.5f;
        ToolOffsetMemory expected = ToolOffsets;
        if (c.button == IDOK) {
            float* offsets = c.mode == 0 ? expected.d : expected.h;
            float* wear = c.mode == 0 ? expected.dWear : expected.hWear;
            offsets[2] = 7.25f;
            offsets[981] = -1.5f;
            if (c.type >= 2) {
                wear[3] = -0.02f;
            }
        }
        std::string tabs;
        std::string lastRow;
        int lastRowEnabled = 1;
        int wearEnabled = 0;
        Answer(c.button, [&](WindowHandle dialog) {
            tabs = GetTabItemText(dialog, 1070, 0) + " " + GetTabItemText(dialog, 1070, 5) + " " +
                   GetTabItemText(dialog, 1070, 49);
            wearEnabled = IsDlgItemEnabled(dialog, 1113);
            TypeDlgItemText(dialog, 1092, "7.25");
            TypeDlgItemText(dialog, 1113, "-0.02");
            ASSERT_EQ(ClickTabItem(dialog, 1070, 49), 1);
            lastRow = GetDlgItemText(dialog, 1071 + 19) + "|" + GetDlgItemText(dialog, 1110);
            lastRowEnabled = IsDlgItemEnabled(dialog, 1110);
            EXPECT_EQ(GetDlgItemText(dialog, 1071), c.mode == 0 ? "D981" : "H981");
            EXPECT_EQ(GetDlgItemText(dialog, 1091), "    4.000");
            TypeDlgItemText(dialog, 1091, "-1.5");
        });
        EXPECT_EQ(OpenOffsetCodeDialog(c.mode), c.button == IDOK ? 1 : 0);
        EXPECT_EQ(tabs, "01 101 981");
        EXPECT_EQ(lastRow, "|") << "offset 1000 does not exist";
        EXPECT_EQ(lastRowEnabled, 0);
        EXPECT_EQ(wearEnabled, c.type >= 2 ? 1 : 0);
        EXPECT_EQ(Bytes(&ToolOffsets, sizeof ToolOffsets), Bytes(&expected, sizeof expected))
            << "mode " << c.mode << " type " << c.type;
    }
    EXPECT_TRUE(warnings.empty());
}

TEST_F(OffsetDialogsTest, AFieldWithoutANumberKeepsThePageAndTheDialogOpen) {
    ToolOffsets.d[1] = 5.0f;
    int stayed = -1;
    std::string shown;
    Answer(IDCANCEL, [&](WindowHandle dialog) {
        TypeDlgItemText(dialog, 1091, "abc");
        ClickTabItem(dialog, 1070, 3);
        stayed = GetTabSelection(dialog, 1070);
        shown = GetDlgItemText(dialog, 1091);
        TypeDlgItemText(dialog, 1091, "x1");
        SendWindowMessage(dialog, WM_COMMAND, MakeCommandWParam(IDOK, BN_CLICKED), 0);
        EXPECT_FALSE(IsDialogEnded(dialog));
    });
    EXPECT_EQ(OpenOffsetCodeDialog(0), 0);
    EXPECT_EQ(stayed, 0);
    EXPECT_EQ(shown, "    5.000");
    EXPECT_EQ(warnings.size(), 2u);
    EXPECT_EQ(ToolOffsets.d[1], 5.0f);
}

TEST_F(OffsetDialogsTest, TheControllerFileIsRenewedOnlyOnAChangeAndSurvivesEveryFailedStep) {
    const std::string path = ReadControllerFile();
    const std::string original = testing::ReadWholeFile(path);
    // Unchanged values rewrite nothing, with the switch on.
    ModifyControllerFile = 1;
    Answer(IDOK, [](WindowHandle) {});
    ArmWriteFaults(0);
    ASSERT_EQ(OpenOffsetCodeDialog(0), 1);
    EXPECT_EQ(CountWriteOperations(), 0);
    // Count the steps of one rewrite, then fail each in turn.
    auto edit = [](WindowHandle dialog) { TypeDlgItemText(dialog, 1091, "6.5"); };
    ArmWriteFaults(0);
    Answer(IDOK, edit);
    ASSERT_EQ(OpenOffsetCodeDialog(0), 1);
    const int steps = CountWriteOperations();
    ASSERT_GT(steps, 2);
    const std::string renewed = testing::ReadWholeFile(path);
    EXPECT_NE(renewed.find("MEMORY D01= 6.5"), std::string::npos);
    int refused = 0;
    for (int step = 1; step <= steps; ++step) {
        scratch_.Write("vmc.ctl", original);
        ReadControllerFileAt(RunSession, RunKinematics, path);
        warnings.clear();
        ArmWriteFaults(step);
        Answer(IDOK, edit);
        ASSERT_EQ(OpenOffsetCodeDialog(0), 1);
        DisarmWriteFaults();
        ASSERT_EQ(WasWriteFaultInjected(), 1) << step;
        const std::string after = testing::ReadWholeFile(path);
        EXPECT_TRUE(after == original || after == renewed) << "step " << step;
        if (after == original) {
            ++refused;
            EXPECT_EQ(warnings.size(), 1u) << "a failed rewrite is told, step " << step;
            EXPECT_EQ(ToolOffsets.d[1], 6.5f) << "the memory keeps the value";
            // The next OK renews the file although nothing changed in the dialog.
            Answer(IDOK, [](WindowHandle) {});
            ASSERT_EQ(OpenOffsetCodeDialog(0), 1);
            EXPECT_EQ(testing::ReadWholeFile(path), renewed) << step;
        }
        EXPECT_EQ(PendingControllerRewrites, 0u);
        EXPECT_TRUE(testing::LeftoverTemporaries(path).empty()) << step;
    }
    EXPECT_GT(refused, 1) << "of " << steps << " steps";
}

TEST_F(OffsetDialogsTest, WorkSystemNamesFollowTheDialect) {
    struct Case {
        int entry;
        int dialect;
        const char* name;
    } cases[] = {{1, 0, "G54"}, {6, 0, "G59"},    {7, 0, "P1"}, {10, 0, "P4"},
                 {11, 0, "P5"}, {200, 0, "P194"}, {1, 1, "1"},  {200, 11, "200"}};
    for (const Case& c : cases) {
        EXPECT_EQ(WorkSystemName(c.entry, c.dialect), c.name);
    }
}

TEST_F(OffsetDialogsTest, ChangingTheWorkSystemKeepsTheMachinePositionAndEvaluatesFields) {
    WorkOffsetTable[1].axis[0] = 100;
    WorkOffsetTable[2].axis[0] = 250;
    ControlOriginOffset.axis[0] = 100;
    RunKinematics.pose.program.axis[0] = 10;
    const double machineX = RunKinematics.pose.program.axis[0] + ControlOriginOffset.axis[0];
    std::string names;
    std::string evaluated;
    Answer(IDOK, [&](WindowHandle dialog) {
        names = GetDlgItemText(dialog, 1523) + " " + GetDlgItemText(dialog, 1532);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 1523), BST_CHECKED);
        ClickDlgItem(dialog, 1524);
        TypeDlgItemText(dialog, 1301, "100+2.5");  // G56 Y
        TypeDlgItemText(dialog, 1342, "8/0");      // external Z
        SendWindowMessage(dialog, WM_COMMAND, MakeCommandWParam(1301, EN_KILLFOCUS), 0);
        evaluated = GetDlgItemText(dialog, 1301);
    });
    ASSERT_EQ(OpenWorkCoordinatesDialog(), 1);
    EXPECT_EQ(names, "G54 P4");
    EXPECT_EQ(evaluated, "   102.500");
    EXPECT_EQ(RunSession.run.modal.workOffsetIndex, 2);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[0], 10 - 150);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[0] + ControlOriginOffset.axis[0], machineX);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[3].axis[1], 102.5);
    EXPECT_DOUBLE_EQ(WorkOffsetTable[0].axis[2], 8.0);
}

TEST_F(OffsetDialogsTest, ReclickingTheActiveSystemDependsOnTheDialectAndCancelStoresNothing) {
    struct Case {
        int dialect;
        int button;
        int system;
    } cases[] = {{0, IDOK, 1}, {1, IDOK, 0}, {1, IDCANCEL, 1}};
    for (const Case& c : cases) {
        testing::ResetDefinitionTables();
        Controller.dialect.number = c.dialect;
        RunSession.run.modal.workOffsetIndex = 1;
        WorkOffsetTable[5].axis[4] = 1.0;
        const std::string before = Bytes(WorkOffsetTable, sizeof WorkOffsetTable);
        Answer(c.button, [&](WindowHandle dialog) {
            ClickDlgItem(dialog, 1523);
            testing::DispatchPendingMessages();
            ClickTabItem(dialog, 1070, 19);
            TypeDlgItemText(dialog, 1290 + 5 * 9, "3");  // entry 200 X
            if (c.button == IDCANCEL) {
                ClickDlgItem(dialog, 1131);
            }
        });
        EXPECT_EQ(OpenWorkCoordinatesDialog(), c.button == IDOK ? 1 : 0);
        EXPECT_EQ(RunSession.run.modal.workOffsetIndex, c.system) << c.dialect;
        EXPECT_EQ(WorkOffsetTable[200].axis[0], c.button == IDOK ? 3.0 : 0.0);
        if (c.button == IDCANCEL) {
            EXPECT_EQ(Bytes(WorkOffsetTable, sizeof WorkOffsetTable), before);
            EXPECT_EQ(ModifyControllerFile, 1) << "the switch changes at once";
        }
    }
}

TEST_F(OffsetDialogsTest, StylusSetTakesTheLastMeasuredPointByTheKeysHeld) {
    double points[6] = {1, 2, 3, 4.5, 5.5, 6.5};
    std::uint8_t marks[2] = {1, 1};
    BindTraceTables(points, marks, 2);
    MeasureTrace.count = 2;
    struct Case {
        unsigned key;  // 0: none held
        const char* x;
        const char* y;
    } cases[] = {{0, "     4.500", "     5.500"}, {'Y', "     0.000", "     5.500"}};
    for (const Case& c : cases) {
        ReleaseAllKeys();
        if (c.key) {
            SetKeyDownState(c.key, 1);
        }
        std::string x;
        std::string y;
        Answer(IDCANCEL, [&](WindowHandle dialog) {
            ClickDlgItem(dialog, 1280);
            testing::DispatchPendingMessages();
            x = GetDlgItemText(dialog, 1290);
            y = GetDlgItemText(dialog, 1291);
        });
        OpenWorkCoordinatesDialog();
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
    BindTraceTables(nullptr, nullptr, 0);
}

TEST_F(OffsetDialogsTest, TheControlPointMovesInEitherKindAndRefusesAPositionBeyondAStroke) {
    ControlOriginOffset.axis[0] = 100;
    ControlOriginOffset.axis[2] = -50;
    RunKinematics.workOrigin = ControlOriginOffset;
    std::string switched;
    InfoPanelView.coordinateKind = 0;  // the panel shows the control point
    Answer(IDOK, [&](WindowHandle dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, 1399), BST_CHECKED);
        TypeDlgItemText(dialog, 156, "20");
        ClickDlgItem(dialog, 1400);
        testing::DispatchPendingMessages();
        switched = GetDlgItemText(dialog, 156) + GetDlgItemText(dialog, 158);
        TypeDlgItemText(dialog, 157, "7");
    });
    ASSERT_EQ(OpenControlPointDialog(), 1);
    EXPECT_EQ(switched, "  120.000  -50.000");
    EXPECT_EQ(ControlPointCoordinateKind, 1);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[0], 20);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.machine.axis[0], 120);
    EXPECT_DOUBLE_EQ(RunKinematics.pose.program.axis[1], 7);

    // Beyond the X stroke: the message, and the dialog stays open until cancelled. The panel
    // shows machine coordinates, and so does the dialog.
    CurrentMachine.strokes.enabled[0] = 1;
    CurrentMachine.strokes.min[0] = -500;
    CurrentMachine.strokes.max[0] = 500;
    InfoPanelView.coordinateKind = 2;
    int open = 0;
    std::string shown;
    Answer(IDOK, [&](WindowHandle dialog) {
        shown = GetDlgItemText(dialog, 156);
        TypeDlgItemText(dialog, 156, "900");
        SendWindowMessage(dialog, WM_COMMAND, MakeCommandWParam(IDOK, BN_CLICKED), 0);
        open = IsDialogEnded(dialog) ? 0 : 1;
    });
    EXPECT_EQ(OpenControlPointDialog(), 0);
    InfoPanelView.coordinateKind = 0;
    EXPECT_EQ(shown, "  120.000");
    EXPECT_EQ(open, 1);
    ASSERT_FALSE(warnings.empty());
    EXPECT_NE(warnings.back().find("X"), std::string::npos) << warnings.back();
}

// A tool placed into the stock cuts it as a rapid would, whatever move a run left behind: its
// new ends carry the rapid paint and no NC line, and the placing is refused.
TEST_F(OffsetDialogsTest, AToolPlacedIntoTheStockCutsAsARapidAndIsRefused) {
    ASSERT_EQ(AllocToolTables(2), 1);
    testing::PutTestTool(1, kToolFlat, 6.0f);
    SelectCurrentTool(RunSession, RunKinematics, RunTools, 1, 0.5);
    LoadCutterSections(RunTools.tool, &WindowRun.cutting.cutter);
    WindowRun.cutting.cutter.penBits = 3 << 4;
    StockModel& stock = CurrentStockModel();
    SetStockUndoRingSize(&stock, 1);
    const double box[6] = {0, 0, 0, 40, 30, 10};
    ASSERT_EQ(CreateBoxStockIdentity(&stock, box, 0.5), 1);
    StockCommands.stockPresent = 1;
    RunKinematics.motion.motionType = 1;  // a feed move, as a run may leave it
    Answer(IDCANCEL, [&](WindowHandle dialog) {
        TypeDlgItemText(dialog, 156, "20");
        TypeDlgItemText(dialog, 157, "15");
        TypeDlgItemText(dialog, 158, "8");
        SendWindowMessage(dialog, WM_COMMAND, MakeCommandWParam(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(OpenControlPointDialog(), 0);
    const DexelRay ray = ReadDexelRay(stock.z, std::int64_t{30} * stock.nx + 40);  // (20, 15)
    ASSERT_FALSE(ray.ends.empty());
    EXPECT_EQ(ray.ends.back(), 8.0);
    EXPECT_EQ(ray.flags.back(), (3 << 4) | kDexelEndPainted);
    EXPECT_EQ(ray.stamps.back(), 0);
    StockCommands.stockPresent = 0;
    ReleaseCuttingBuffers();
    FreeStockModel(&stock);
    stock = StockModel{};
    FreeToolTables();
    RunTools.tool = CurrentToolRecord{};
}

TEST_F(OffsetDialogsTest, WhileAProgramRunsNoDialogOfWhatTheRunReadsOpens) {
    int (*const openers[5])() = {[] { return OpenOffsetCodeDialog(1); }, OpenWorkCoordinatesDialog,
                                 OpenControlPointDialog, OpenInterferenceCheckDialog,
                                 OpenStructureInterferenceDialog};
    int dialogs = 0;
    SetDialogResponder([&](WindowHandle, int, int) {
        ++dialogs;
        return 0;
    });
    WindowRun.mode.store(RunMode::kRealCutting);
    for (auto open : openers) {
        EXPECT_EQ(open(), 0);
    }
    WindowRun.mode.store(RunMode::kIdle);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(warnings.size(), 5u);
}

TEST_F(OffsetDialogsTest, TheBasisPointNoteShowsTheOriginAndAnyClickAsksTheViewToCloseIt) {
    std::vector<unsigned> asked;
    static std::vector<unsigned>* record = nullptr;
    record = &asked;
    WindowHandle view = testing::MakeTestWindow(
        [](WindowHandle w, unsigned m, MessageWParam wp, MessageLParam lp) -> MessageResult {
            if (m == kViewCloseNote) {
                record->push_back(m);
            }
            return DefaultWindowProcedure(w, m, wp, lp);
        },
        "view", nullptr, WindowRect{0, 0, 400, 300});
    ControlOriginOffset.axis[1] = 12.5;
    WindowHandle note = OpenBasisPointNote(view, 5, 5);
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(GetDlgItemText(note, 1051), "   12.500");
    EXPECT_NE(GetDlgItemText(note, 1049), "機械基準点と同じです。");
    SendWindowMessage(note, WM_LBUTTONDOWN, 0, 0);
    testing::DispatchPendingMessages();
    EXPECT_EQ(asked.size(), 1u);
    DestroyPlatformWindow(note);
    DestroyPlatformWindow(view);
}

TEST_F(OffsetDialogsTest, EveryDialogARunReadsIsRefusedDuringARunAndOpensOtherwise) {
    const struct {
        int (*open)();
        int templateId;
    } cases[] = {
        {[] { return OpenOffsetCodeDialog(0); }, IDD_OFFSET_CODES},
        {OpenWorkCoordinatesDialog, IDD_WORK_COORDINATES},
        {OpenControlPointDialog, IDD_CONTROL_POINT},
        {OpenInterferenceCheckDialog, IDD_INTERFERENCE_CHECK},
        {OpenStructureInterferenceDialog, IDD_STRUCTURE_INTERFERENCE},
    };
    std::vector<int> opened;
    SetDialogResponder([&opened](WindowHandle dialog, int templateId, int round) {
        if (round == 0) {
            opened.push_back(templateId);
            ClickDlgItem(dialog, IDCANCEL);
        }
        return round == 0 ? 1 : 0;
    });
    for (const auto& c : cases) {
        opened.clear();
        warnings.clear();
        WindowRun.mode.store(RunMode::kRealCutting);
        EXPECT_EQ(c.open(), 0) << c.templateId;
        EXPECT_TRUE(opened.empty()) << c.templateId;
        EXPECT_EQ(warnings.size(), 1u) << c.templateId;
        WindowRun.mode.store(RunMode::kIdle);
        EXPECT_EQ(c.open(), 0) << c.templateId;  // cancelled
        EXPECT_EQ(opened, std::vector<int>{c.templateId});
        EXPECT_EQ(warnings.size(), 1u) << c.templateId;
    }
}

}  // namespace
}  // namespace mirexa
