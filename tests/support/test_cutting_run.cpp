#include "support/test_cutting_run.h"

#include "config/config_records.h"
#include "nc/nc_session.h"
#include "simulation/run_control.h"
#include "stock/stock_model.h"

namespace mirexa {

CuttingRun TestRun;

namespace {

// The current stock, none when no slot is current.
StockModel* CurrentStockSlot() {
    const int index = CurrentStockIndex.load();
    return index >= 0 && index < kStockModelSlots ? &StockModels[index] : nullptr;
}

}  // namespace

RunRequest WindowRunRequest() {
    RunRequest request;
    request.session = &RunSession;
    request.stock = CurrentStockSlot();
    request.programPath = DefinitionFiles.ncProgramFile;
    request.mode = RunControl.runMode.load();
    request.batchKind = RunControl.batchKind.load();
    return request;
}

MoveStepContext TestStepContext() {
    TestRun.request.session = &RunSession;
    TestRun.request.stock = CurrentStockSlot();
    return RunContext(TestRun);
}

void RunTestCut() {
    TestRun.request = WindowRunRequest();
    RunCutting(TestRun);
}

int StartTestCut(bool prepare) {
    if (prepare) {
        return StartCuttingRun(TestRun, WindowRunRequest());
    }
    return StartCuttingRun(TestRun, WindowRunRequest(), [](CuttingRun& run) { RunCutting(run); });
}

}  // namespace mirexa
