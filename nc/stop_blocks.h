// The stop test before a line: the interpreter's answer to whether a run is to stop there. The
// run that asks decides what a stop means (a pause, or a log line when nobody can resume it).
#pragma once

namespace mirexa {

struct NcSession;

// 1 when the run is to stop before this line (NUL-terminated, at most one NC line read):
// userStop != 0 (a stop the user asked for, whatever the line); STOP OPTION SINGLE; for plain NC
// text only, DEFINE when one of the stop strings occurs anywhere in the line, NORMAL when the last
// M number read is 0, M01 when it is 0 or 1. The M numbers are read outside comments (each comment
// offers its tool to the NC communication plug-in), up to ";" in the SIEMENS and HEIDENHAIN
// dialects; in the HEIDENHAIN dialect only M0 (and for M01 also M1) are read. Other options: 0.
int IsStopBlock(NcSession& session, const char* line, int userStop);

}  // namespace mirexa
