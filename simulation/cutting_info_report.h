// The cutting-information report written after a data check: lengths, times, extents, feeds,
// the codes and tools used and the work offsets, laid out by the template "verify_form.def", or a
// fixed summary when there is no template.
//
// Templates: every character is copied, except keywords beginning with "$", which are replaced
// by their values (see ExpandReportTemplate). Output is UTF-8, numbers are written without regard
// to the locale, line ends of the template are kept.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "config/offset_tables.h"
#include "nc/data_check.h"
#include "nc/machining_time.h"
#include "nc/nc_run_state.h"
#include "platform/window.h"

namespace mirexa {

struct NcSession;

inline constexpr const char* kReportTemplateName = "verify_form.def";

// Everything a report shows, gathered from the data check, the settings and the definition files
// (CollectCuttingReportInputs), or built by tests.
struct CuttingReportInputs {
    MachiningTimeSums times = {};
    DataCheckRecord check = {};
    unsigned char gUsed[kUsedCodeFlags] = {};
    unsigned char mUsed[kUsedCodeFlags] = {};
    MotionPosition workOffsets[kWorkOffsetEntries] = {};  // entry 0 the external offset
    int magazineCount = 200;                              // tools 1 .. magazineCount
    int normalDialect = 1;                                // 1: $GCODEW is a keyword
    double rapidFeedrate = 999999999.0;                   // mm/min; this value: "NO"
    double machineRapid[3] = {};                          // mm/min per axis
    std::string ncPath;
    std::string toolsPath;
    std::string controllerPath;
    std::string machinePath;
    std::uint64_t ncFileSize = {};  // bytes
    int ncLineCount = {};
    int english = {};  // the language of the fixed summary: 1 English, 0 Japanese
};

// Fills the inputs from the last data check, UsedCodes, the work offset table, the settings and
// the definition file paths; the NC file's size and line count are read from the file.
void CollectCuttingReportInputs(NcSession& session, CuttingReportInputs* in);

// " %02d:%02d:%02d" (hours, minutes, seconds), or " %d:%02d:%02d" when the hours are above 99.
// Negative seconds are written as 0. Appends to *out.
void AppendElapsedTime(std::string* out, std::int32_t seconds);
// The same written to a stream.
void WriteElapsedTime(std::FILE* stream, std::int32_t seconds);

// Seconds or millimetres to the whole number written in the report: + 0.5, truncated, held to
// the int range (NaN gives 0).
std::int32_t RoundForReport(double value);

// The template text with every keyword replaced, line by line. A line whose last keyword ends
// the line without a line end gets "\n"; a "$" matching no keyword is dropped with the character
// after it (never past the line's end). "$G5" takes one digit: 4 to 9 write work offset G54 to
// G59, other digits nothing. "$WK" takes up to three digits naming work offset entry 0 to 200 (a
// third digit only while the number stays at most 200); no digits or another number write
// nothing.
std::string ExpandReportTemplate(const std::string& text, const CuttingReportInputs& in);

// The fixed summary written when there is no template, in the inputs' language; its note says
// the template is not found, or with templateTooLarge that it is larger than a template can be.
std::string FormatFixedSummary(const CuttingReportInputs& in, int templateTooLarge = 0);

// The report's path from the settings: FIXED "<Target_VERIFYdir>/verify.<suffix>", AUTO the NC
// path with its extension (a "." after the last "/" or "\\") replaced by "_verify.<suffix>",
// or "_verify.<suffix>" appended when it has none.
std::string ComposeCuttingReportPath(const std::string& ncPath);

// Where the template is: "verify_form.def" in the current directory, else in the program's
// directory. Returns 1 with *path set, 0 when neither exists.
int FindReportTemplate(std::string* path);

// The report's text: the template at templatePath expanded, or the fixed summary when
// templatePath is empty or cannot be read.
std::string ComposeCuttingReport(const std::string& templatePath, const CuttingReportInputs& in);

// Writes one report to reportPath (appending when append is non-zero; its directory created when
// missing) from the template at templatePath, or the fixed summary when templatePath is empty or
// cannot be read. Returns 1 when written, 0 when the report cannot be opened or written.
int WriteCuttingReportFile(const std::string& reportPath, int append,
                           const std::string& templatePath, const CuttingReportInputs& in);

// Writes the report of the last data check where the settings say, and opens it in the default
// viewer unless silent is non-zero or the program runs in automatic mode. Returns 1 when the
// report was written, 0 otherwise (nothing written).
int WriteCuttingReport(NcSession& session, WindowHandle owner, int silent);

}  // namespace mirexa
