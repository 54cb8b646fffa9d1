// A user's start of the program for the tests that run it interactively: in a copy of the
// samples as the working directory, on the headless backend, with the program's wiring and
// nothing left of an earlier unattended run in the same process.
#pragma once

#include "app/program_wiring.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "support/earlier_program_run.h"
#include "support/scratch_directory.h"

namespace mirexa::testing {

class UserStart {
public:
    UserStart() {
        ClearEarlierProgramRun();
        SetMessageBoxResponder({});
        StartPlatformBackend(PlatformBackend::Headless);
        ConnectProgram();
    }
    UserStart(const UserStart&) = delete;
    UserStart& operator=(const UserStart&) = delete;

private:
    SampleWorkingDirectory scratch_;
};

}  // namespace mirexa::testing
