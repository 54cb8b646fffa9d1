// nccheck: runs the data check of an NC program and prints its cutting-information report. The
// arguments are read as the program's own command line reads them (.INI settings, .TTL tools,
// .CTL controller, .MTL machine, anything else the NC program); the settings file is read next,
// then the definition files in the start-up order. The report is laid out by "verify_form.def"
// of the working directory (or of the program's directory), else it is the fixed summary.
// Exit status: 0 when the program ran to its end, 1 at an interpreter error, 2 for bad arguments.
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "nc/data_check.h"
#include "nc/nc_session.h"
#include "simulation/cutting_info_report.h"
#include "tools/tool_definitions.h"

int main(int argc, char** argv) {
    using namespace mirexa;
    if (!testing::LoadToolCommandLine(RunSession, argc, argv, "nccheck")) {
        return 2;
    }
    const DataCheckOutcome check =
        RunNcDataCheck(RunSession, nullptr, DefinitionFiles.ncProgramFile, kDataCheckAll);
    CuttingReportInputs inputs;
    CollectCuttingReportInputs(RunSession, &inputs);
    std::string form;
    FindReportTemplate(&form);
    const std::string report = ComposeCuttingReport(form, inputs);
    std::fputs(report.c_str(), stdout);
    if (check.ran == 0) {
        std::fprintf(stderr, "nccheck: the data check stopped with error %d\n", check.error);
    }
    FreeToolTables();
    return check.ran != 0 ? 0 : 1;
}
