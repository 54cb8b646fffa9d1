// The fixture of the dialect tests: the interpreter fixture with a controller dialect chosen by
// name and work offsets to select.
#pragma once

#include <cstring>

#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa::testing {

class DialectTest : public NcInterpreterTest {
protected:
    void UseDialect(const char* name) {
        RunSession.controller.dialect.heidenhain = std::strcmp(name, "HEIDENHAIN") == 0;
        RunSession.controller.dialect.siemens = std::strcmp(name, "SIEMENS") == 0;
        RunSession.controller.dialect.osp = std::strcmp(name, "OSP") == 0;
        RunSession.controller.dialect.mazak = std::strcmp(name, "MAZAK") == 0;
        RunSession.controller.dialect.number = RunSession.controller.dialect.heidenhain
                                                   ? kDialectHeidenhain
                                               : RunSession.controller.dialect.osp ? kDialectOsp
                                                                                   : kDialectNormal;
        RunSession.controller.decimalPointRule = RunSession.controller.dialect.heidenhain ? 3 : 0;
        ResetInterpreterState(RunSession);
    }
    // Work offset entries 1 .. 3 at X 100, 200, 300 in the run's copy of the table.
    void FillWorkOffsets() {
        for (int i = 1; i <= 3; ++i) {
            RunSession.run.transforms.workOffsets[i].axis[0] = 100.0 * i;
        }
        ChangeWorkOffset(RunSession, 1);
    }
};

}  // namespace mirexa::testing
