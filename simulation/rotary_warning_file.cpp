// The long rotary move warning file of a cutting run.
#include "simulation/rotary_warning_file.h"

#include <cerrno>
#include <climits>

#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "nc/nc_source_location.h"
#include "platform/file_reading.h"
#include "services/program_log.h"
#include "simulation/cutting_run.h"

namespace mirexa {

namespace {

// Longest warning file path we create (bytes, without the terminator).
constexpr size_t kMaxPathLength = 4095;

}  // namespace

std::string MakeWarningFilePath(const std::string& programPath) {
    const size_t dot = programPath.rfind('.');
    const size_t separator = programPath.find_last_of("/\\");
    const bool hasExtension =
        dot != std::string::npos && (separator == std::string::npos || dot > separator);
    std::string path = hasExtension ? programPath.substr(0, dot) : programPath;
    path += "_warning.txt";
    return path;
}

int OpenWarningFile(WarningFileState& w, NcSession& session) {
    if (KinematicsController.warningLevel < 1) {
        return 0;
    }
    if (w.stream != nullptr) {
        std::fclose(w.stream);
        w.stream = nullptr;
    }
    w.count = 0;
    w.path = MakeWarningFilePath(session.location.programPath);
    if (session.location.programPath.empty() || w.path.size() > kMaxPathLength) {
        w.path.clear();
        return 0;
    }
    w.stream = OpenRegularFileForWriting(w.path, "w");
    if (w.stream == nullptr) {
        LogOutputRefusal(w.path, errno);
        return 0;
    }
    std::fputs("<<< WARNING INFORMATION >>>\n-----------\n", w.stream);
    return 1;
}

int WriteLongRotaryMoveWarning(WarningFileState& w, NcSession& session, double from1, double from2,
                               double to1, double to2) {
    if (KinematicsController.warningLevel < 1) {
        return 0;
    }
    if (w.stream == nullptr && !OpenWarningFile(w, session)) {
        return 0;
    }
    const NcSourceLocation& src = session.location;
    int written = 0;
    if (src.inSubprogram) {
        written = std::fprintf(w.stream, "%s:%d:%s", src.subprogramName.c_str(), src.subprogramLine,
                               src.blockText.c_str());
    } else {
        written = std::fprintf(w.stream, "%d:%s", src.mainLine, src.blockText.c_str());
    }
    if (written < 0 || std::fputs("* Long movement of rotary axis *\n", w.stream) < 0 ||
        std::fprintf(w.stream, "( %f , %f ) -> ( %f , %f )\n\n", from1, from2, to1, to2) < 0) {
        return 0;
    }
    if (w.count < INT_MAX) {
        ++w.count;
    }
    return 1;
}

int CloseWarningFile(WarningFileState& w) {
    if (w.stream != nullptr) {
        if (std::fclose(w.stream) != 0) {
            w.count = 0;  // the entries may not have reached the file
        }
        w.stream = nullptr;
    }
    const int written = w.count;
    w.count = 0;
    return written;
}

int ReportLongRotaryMove(CuttingRun& outsideRuns, double from1, double from2, double to1,
                         double to2) {
    // The warning file is the cutting run's: a long move is reported at the run's block.
    if (CuttingRun* run = RunOfThisThread(); run != nullptr && run->request.session != nullptr) {
        return WriteLongRotaryMoveWarning(run->reports.warningFile, *run->request.session, from1,
                                          from2, to1, to2);
    }
    return WriteLongRotaryMoveWarning(outsideRuns.reports.warningFile, RunSession, from1, from2,
                                      to1, to2);
}

}  // namespace mirexa
