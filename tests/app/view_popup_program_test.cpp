// The view's popup menu, path picking and the stock file dialogs in the program itself: started
// on the headless backend in a copy of the samples, a right click in the view opens the popup and
// the path tool chosen there reaches the view; a click on the stock shows the NC line that cut
// it; the stock is saved and read again through scripted file dialogs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "config/config_records.h"
#include "platform/file_dialog.h"
#include "platform/menus.h"
#include "platform/popup_menu.h"
#include "platform/window.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "shell/view_popup.h"
#include "stock/stock_grid.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"
#include "support/test_windows.h"
#include "user_start.h"
#include "view/camera.h"
#include "view/view_hooks.h"
#include "view/view_window.h"

namespace mirexa {
namespace {

MessageLParam Point(int x, int y) {
    return static_cast<MessageLParam>((static_cast<std::uint32_t>(y) << 16) |
                                      static_cast<std::uint16_t>(x));
}

struct Seen {
    int done = {};
    int popupAtUnattendedStart = -1;
    std::vector<unsigned> popupCommands;
    int mouseMode = {};
    int stripState = {};
    std::string stripText;
    std::vector<std::string> dialogTitles;
    std::uintmax_t savedBytes = {};
    double savedMin[3] = {}, savedMax[3] = {};
    double readMin[3] = {}, readMax[3] = {};
    std::string readPath;
    std::vector<int> saveDialogOpen;
    int differenceGrey[2] = {};
};
Seen seen;

// Line 5 of the sample program stamps the stock's top; a click on its middle picks it.
void PickThePathPoint(WindowHandle main, WindowHandle view) {
    SetPopupMenuResponder([](const PopupMenu& menu, int, int) {
        for (const PopupMenuItem& item : menu.items) {
            seen.popupCommands.push_back(item.command);
        }
        return IDM_VIEW_POPUP_THIRD;
    });
    SendWindowMessage(view, WM_RBUTTONDOWN, MK_RBUTTON, Point(200, 200));
    SendWindowMessage(view, WM_RBUTTONUP, 0, Point(200, 200));
    testing::DispatchPendingMessages();
    SetPopupMenuResponder({});
    seen.mouseMode = ViewMouseMode;

    // The strip's last drawing, recorded on its way to the panel.
    static void (*panelStrip)(const char*, int) = ViewCallbacks.drawNcDataStrip;
    ViewCallbacks.drawNcDataStrip = [](const char* text, int state) {
        seen.stripState = state;
        seen.stripText = text;
        panelStrip(text, state);
    };
    DefinitionFiles.ncProgramFile = "demo_part.nc";
    MainWindowData.presetPathFlag = 1;
    SendWindowMessage(main, WM_COMMAND, IDM_NC_SELECT, 0);
    StockModel& model = CurrentStockModel();
    for (std::int64_t cell = 0; cell < model.z.cellCount; ++cell) {
        if (model.z.counts[cell] >= 2 && model.z.counts[cell] <= model.z.capacity) {
            model.z.lineStamps[cell * model.z.capacity + model.z.counts[cell] - 1] = 5;
        }
    }
    double lo[3], hi[3];
    GetStockExtent(model, lo, hi);
    const double top[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, hi[2]};
    double depth = 0, x = 0, y = 0;
    ProjectModelPointToWindow(CurrentView, top, &depth, &x, &y);
    const MessageLParam at =
        Point(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    SendWindowMessage(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendWindowMessage(view, WM_LBUTTONUP, 0, at);
    testing::DispatchPendingMessages();
}

// The stock saved as "kept.dme" through the save dialog, then read back through the open dialog.
void SaveAndReadTheStock(WindowHandle main) {
    const std::string kept = (std::filesystem::current_path() / "kept.dme").string();
    SetFileDialogResponder([kept](const FileDialogRequest& request) {
        seen.dialogTitles.push_back(request.title);
        seen.saveDialogOpen.push_back(MainWindowCallbacks.stockSaveDialogOpen());
        return FileDialogResult{1, kept, 1, 0};
    });
    GetStockExtent(CurrentStockModel(), seen.savedMin, seen.savedMax);
    SendWindowMessage(main, WM_COMMAND, IDM_STOCK_SAVE, 0);
    std::error_code error;
    seen.savedBytes = std::filesystem::file_size(kept, error);
    SendWindowMessage(main, WM_COMMAND, IDM_STOCK_READ, 0);
    GetStockExtent(CurrentStockModel(), seen.readMin, seen.readMax);
    seen.readPath = StockCommands.loadedPath;
    seen.saveDialogOpen.push_back(MainWindowCallbacks.stockSaveDialogOpen());
    // The read made the stock file the basic model's and enabled difference painting; clearing
    // the basic model greys it again.
    MenuHandle bar = GetWindowMenuBar(main);
    seen.differenceGrey[0] = GetMenuEntryState(bar, IDM_PAINT_DIFFERENCE, MENU_BYCOMMAND);
    ClearBasicModel(main, 0);
    seen.differenceGrey[1] = GetMenuEntryState(bar, IDM_PAINT_DIFFERENCE, MENU_BYCOMMAND);
    SetFileDialogResponder({});
}

TEST(ViewPopupInTheProgram, PopupPathPickAndStockFileDialogs) {
    testing::UserStart start;
    ResetViewPopupMenu();
    seen = Seen{};
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || seen.done++ != 0) {
            return;
        }
        // The headless start is unattended, so the window made no popup; a user at the window
        // gets the one the main window makes at its creation.
        seen.popupAtUnattendedStart = GetViewPopupMenu() != nullptr ? 1 : 0;
        AutomaticMode.store(0);
        MainWindowCallbacks.createViewPopupMenu();
        InitialStock.kind = kStockBox;  // the sample's blank, as its settings give it
        ASSERT_EQ(BuildDefinedStock(m.window), 1);
        PickThePathPoint(m.window, MainWindowData.handles.view);
        MainWindowData.presetPathFlag = 0;
        SaveAndReadTheStock(m.window);
        AutomaticMode.store(1);
    });
    ProgramStart program;
    program.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(program), 0);
    SetMessageObserver({});
    ASSERT_EQ(seen.done > 0, true);
    EXPECT_EQ(seen.popupAtUnattendedStart, 0);
    EXPECT_EQ(seen.popupCommands,
              (std::vector<unsigned>{IDM_VIEW_POPUP_FIRST, 0, IDM_VIEW_POPUP_SECOND, 0,
                                     IDM_VIEW_POPUP_THIRD}));
    EXPECT_EQ(seen.mouseMode, 5);   // the path tool
    EXPECT_EQ(seen.stripState, 3);  // shown after its flashes
    EXPECT_EQ(seen.stripText, "G90 G17 G40 G49 G80");
    EXPECT_EQ(seen.dialogTitles, (std::vector<std::string>{"Save Work", "Work"}));
    EXPECT_EQ(seen.saveDialogOpen, (std::vector<int>{1, 0, 0}));  // only while saving
    EXPECT_EQ(seen.differenceGrey[0] & MENU_GRAYED, 0);
    EXPECT_NE(seen.differenceGrey[1] & MENU_GRAYED, 0);
    EXPECT_GT(seen.savedBytes, 0u);
    EXPECT_EQ(std::filesystem::path(seen.readPath).filename(), "kept.dme");
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(seen.readMin[axis], seen.savedMin[axis], 1e-9) << axis;
        EXPECT_NEAR(seen.readMax[axis], seen.savedMax[axis], 1e-9) << axis;
    }
}

}  // namespace
}  // namespace mirexa
