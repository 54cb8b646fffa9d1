// nctrace: prints the move trace of an NC program. The files are given as to the program itself,
// told apart by their extension (.INI settings, .TTL tools, .CTL controller, .MTL machine,
// anything else the NC program).
#include <cstdio>
#include <string>

#include "geometry/file_paths.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "tools/move_trace.h"

int main(int argc, char** argv) {
    using namespace mirexa;
    std::string program;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (HasFileExtension(arg, "INI") || HasFileExtension(arg, "TTL") ||
            HasFileExtension(arg, "CTL") || HasFileExtension(arg, "MTL")) {
            std::fprintf(stderr, "nctrace: definition files are not read yet: %s\n", arg.c_str());
        } else {
            program = arg;
        }
    }
    if (program.empty()) {
        std::fprintf(stderr,
                     "usage: nctrace [file.INI] [file.TTL] [file.CTL] [file.MTL] program\n");
        return 2;
    }
    InstallWorkOffsetSource();
    RefreshNcControllerView();
    const std::string trace = testing::TraceNcProgram(program);
    std::fputs(trace.c_str(), stdout);
    return 0;
}
