// What the path-reader and NC communication plug-ins feed the interpreter: the path records
// that stand for NC blocks, the tool, holder and start point a reader gives before a run, and the
// tools the NC communication plug-in names for NC lines. The exports are those of PluginSlots.
//
// Threads: the record and the queries belong to the thread of the run that pulls the program
// (simulation thread, or the user-interface thread for path drawing and data check); only one
// puller runs at a time.
#pragma once

#include <cstdint>
#include <string>

#include "geometry/machine_kinematics.h"
#include "plugins/mirexa_plugin.h"

namespace mirexa {

struct NcSession;

// One record of the active path reader (the block the interpreter takes instead of a line).
struct PluginPathRecord {
    int lineNumber = {};
    int type = {};  // 0 rapid, 1 line, 2 CW arc, 3 CCW arc; 1000 + n a change to tool n
    char reserved1[MIREXA_PLUGIN_RESERVED_SIZE] = {};
    MotionPosition end = {};
    double centre[3] = {};           // absolute (mm)
    int plane = 17;                  // set by PATH; 17 after PATHIJK
    double toolAxis[3] = {0, 0, 1};  // PATHIJK only
    double feed = {};                // mm/min
    char reserved2[MIREXA_PLUGIN_RESERVED_SIZE] = {};
    int reserved3 = {};
    int more = {};          // 1 going in; the reader writes 0 when no record is left
    int toolAxisForm = {};  // 1 when the record came from PATHIJK
};
// The record of the last fetch (the block about to be interpreted).
extern PluginPathRecord PluginPath;

// The slot of the path reader that reads the selected NC file (the progress hooks' answer), or
// -1 for plain NC text and for a slot that holds no loaded reader.
int ActivePathReaderSlot();

// Asks the active reader for the next record (PATH with 10 arguments, else PATHIJK with 8, the
// plane then 17). 1 when a record came, 0 at the end or without a reader.
int FetchPluginPathRecord(NcSession& session, PluginPathRecord* record);

// The line source's branch for a path reader: fetches the next record into PluginPath, counts
// progress and line numbers and writes a readable form of the move into the session's line (for the
// panel and the logs). 0 at the end of the records, after the end-of-program steps.
int ReadPluginPathLine(NcSession& session);

// The block of a record: a tool change (type >= 1000) sets the block's tool and the prepared
// tool; a move takes its end, centre, feed and plane, with the arc geometry and its radius
// check of a text arc; a tool-axis record sets the tool axis and solves the rotary values.
void InterpretPluginPathRecord(NcSession& session, const PluginPathRecord& record);

// Before a run that the active reader reads: OPEN with the NC path, then the reader's tool,
// length, holder and start point into tool 0 and every position register. 1 when a reader took
// the source, 0 for plain NC text.
int OpenPathReaderForRun(NcSession& session, const char* path);
// After that run: CLOSE with 3.
void ClosePathReaderAfterRun();
// The tool, length, holder and start point of ReadToolsFromPlugin (OPEN must have been called).
void ReadToolsFromPlugin(NcSession& session);

// The active reader's block count (TOTALBLOCK): whether it exists, and its answer (1 and the
// count, at least 1, or 0).
int ActiveReaderHasBlockCount();
int ReadActiveReaderBlockCount(const char* fileName, std::int32_t* count);

// Counts the times a plug-in's tool (tool 0) was made current, so that a run whose cutter was
// loaded before can tell that it must load it again. Only the thread of the run and, outside
// runs, the user-interface thread change it.
extern int PluginToolMounts;

// The NC communication plug-in, when it exports TOOL and is not switched off: the tool, length
// and holder queries for the current NC line (states 2 stop a query until the next interpreter
// reset).
void LoadToolFromPlugin(NcSession& session);
// The same through TOOLF, TOOLLENF and ARBORF with the NC file's path, asking every time; a
// positive tool answer also marks the run's start tool as the plug-in's.
void LoadToolFromPluginAtStart(NcSession& session, const std::string& path);

// A TOOL answer of a path reader or the NC communication plug-in into a tool record: a type of
// 101 or more is the type less 100 with `extra` as its extra size (w); below that w is 0. A
// T-THROW (7) takes the second corner and the two further values; other types clear them.
struct PluginToolAnswer {
    int type = {};
    float d = {}, r = {}, r2 = {}, e = {}, f = {}, alpha = {}, beta = {}, extra = {};
    float further[3] = {};  // VERTICAL k; T-THROW t and neck in [1], [2]
    float h = {};
    // Twice the interface size and zeroed: a plug-in that writes a little past its 256 bytes
    // harms nothing; the name is cut at 255 bytes.
    char name[2 * MIREXA_PLUGIN_TEXT_SIZE] = {};
};
struct ToolRecord;
void TakePluginToolAnswer(const PluginToolAnswer& answer, ToolRecord* record);

}  // namespace mirexa
