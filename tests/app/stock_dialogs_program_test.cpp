// The stock dialogs in the program itself: started on the headless backend in a copy of the
// samples, the stock menu's commands open their dialogs, a scripted user fills them, and the
// stock the program builds is the one typed.
#include <gtest/gtest.h>

#include <string>

#include "app/program_wiring.h"
#include "config/config_records.h"
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "resources/dialog_templates.h"
#include "resources/program_resources.h"
#include "services/shared_state.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/stock_commands.h"
#include "stock/stock_model.h"
#include "support/scratch_directory.h"
#include "support/stock_dialog_answers.h"
#include "user_start.h"

namespace mirexa {
namespace {

struct Extent {
    double min[3] = {};
    double max[3] = {};
    double pitch = {};
};
Extent built[2];
int commandsSent = 0;

TEST(StockDialogsInTheProgram, TheStockCommandsBuildTheBoxAndCylinderTyped) {
    testing::UserStart start;
    SetDialogResponder(testing::FillStockDialog);
    commandsSent = 0;
    SetMessageObserver([](const WindowMessage& m) {
        if (m.message != WM_CLOSE || m.window != MainWindow.load() || commandsSent++ != 0) {
            return;
        }
        const unsigned commands[2] = {IDM_STOCK_TWO_POINT, IDM_STOCK_CYLINDER};
        for (int i = 0; i < 2; ++i) {
            SendWindowMessage(MainWindow.load(), WM_COMMAND, commands[i], 0);
            const StockModel& stock = CurrentStockModel();
            GetStockExtent(stock, built[i].min, built[i].max);
            built[i].pitch = stock.pitch;
        }
    });
    ProgramStart program;
    program.closeWhenIdle = 1;
    EXPECT_EQ(RunProgram(program), 0);
    SetMessageObserver({});
    SetDialogResponder({});
    ASSERT_EQ(commandsSent > 0, true);
    // The box: corners as typed, in machine coordinates.
    const double boxMin[3] = {0, 0, -20};
    const double boxMax[3] = {40, 30, 0};
    // The cylinder along Z from the base: diameter 40, length 25.
    const double cylinderMin[3] = {-20, -20, -25};
    const double cylinderMax[3] = {20, 20, 0};
    for (int axis = 0; axis < 3; ++axis) {
        ASSERT_GT(built[0].pitch, 0.0);
        EXPECT_NEAR(built[0].min[axis], boxMin[axis], 1e-9) << axis;
        EXPECT_NEAR(built[0].max[axis], boxMax[axis], 1e-9) << axis;
        EXPECT_NEAR(built[1].min[axis], cylinderMin[axis], built[1].pitch) << axis;
        EXPECT_NEAR(built[1].max[axis], cylinderMax[axis], built[1].pitch) << axis;
    }
    EXPECT_EQ(InitialStock.kind, kStockCylinder);
}

}  // namespace
}  // namespace mirexa
