/* The interface between mirexa and its plug-ins: the files it looks for, the exports it calls,
 * their argument layouts and the rules of every call. A plug-in is written against this header
 * alone; it compiles as C (C99) and as C++.
 *
 * FILES AND FAMILIES
 * A plug-in is a shared object named <base>.so, looked for only in the folder of the mirexa
 * program itself, never in the working directory (a job or shared folder could hold a planted
 * file, whose code runs as soon as it is opened). A file there is opened only when it is a
 * regular file owned by the user running mirexa (or by root) that neither its group nor other
 * users may write; any other is refused with a log line "Plug-in not used: <path> (<reason>)".
 * The path of every file is logged ("Plug-in loaded: <path>") before it is opened, so that a
 * plug-in that ends the program can be named. The base names, in the order tried:
 *
 *   family    base names                           slots  role
 *   mxread    mxread, mxread1, mxread2, mxread3    3      path reader: an NC file of its own
 *                                                         format read as moves and tools
 *   mxsim     mxsim, mxsim1, mxsim2, mxsim3        3      simulation add-on: a menu item
 *   mxload    mxload, mxload1, mxload2, mxload3    3      stock loader: a stock file format
 *   mxmod     mxmod, mxmod1, mxmod2, mxmod3        3      stock modifier: a menu item
 *   mxsave    mxsave, mxsave1, mxsave2, mxsave3    3      stock saver: a stock file format
 *   mxnccom   mxnccom                              1      NC communication: tools named by the
 *                                                         NC program
 *   mxeditor  mxeditor                             1      editor bridge: the editor's program
 *                                                         and options
 *   mxsync    mxsync                               1      offset synchronisation
 *
 * A multi-slot family takes the names in order; each accepted object fills the next slot, and the
 * family stops after three (a fourth acceptable object is never opened). An object that is not
 * accepted leaves its slot to the next name and is unloaded at once.
 *
 * EXPORT NAMES
 * Every export is the family in upper case followed by the export word: MXREADPATH, MXSYNCGET.
 * The same names with a leading "_" (_MXREADPATH) are accepted too. The family's first export
 * (MXREADSUFFIX, MXSIMMENUITEM, MXLOADSUFFIX, MXMODMENUITEM, MXSAVESUFFIX, MXNCCOMTOOL or
 * MXNCCOMTOOLF, MXEDITORFINDWINDOW, MXSYNCGET or MXSYNCPUT) decides the spelling: when it is
 * found plain, every export is looked up plain; else, when it is found with "_", every export is
 * looked up with "_"; else the object is refused. An object is accepted when it exports, in the
 * spelling found:
 *   mxread   KIND, and PATH or PATHIJK      mxsim    GETWORK and CUTWORK
 *   mxload   KIND, GETWORKSIZE and LOADWORK mxmod    MODWORK
 *   mxsave   KIND and SAVEWORK              mxnccom  TOOL or TOOLF
 *   mxeditor FINDWINDOW                     mxsync   GET or PUT
 * Every other export is optional: a missing one is simply not called. Declare exports with
 * MIREXA_PLUGIN_EXPORT so that they are visible and unmangled.
 *
 * VERSION
 * <FAMILY>VERSION(int *version), optional, is the first call, made once the exports are found
 * and the object is acceptable: a plug-in built against this header writes
 * MIREXA_PLUGIN_INTERFACE_VERSION. Any other value refuses the plug-in (it is unloaded and the log
 * says so). A plug-in without the export is taken as version 1.
 *
 * CALLING RULES
 * - C linkage, the platform's standard C calling convention, every function returns void.
 *   Every argument is a pointer; int is 32 bits, float and double are IEEE single and double.
 * - Pointers are valid only during the call; a plug-in keeps none of them.
 * - Text is UTF-8 (or the bytes of the NC file as they stand), NUL-terminated. A text buffer the
 *   plug-in fills has the size named at the export; the plug-in writes at most that many bytes,
 *   its NUL included. mirexa passes zeroed buffers and cuts at the named size whatever comes
 *   back.
 * - "in" arguments are read by the plug-in, "out" ones written by it, "in/out" ones are
 *   prefilled and may be changed. Reserved arguments are zeroed areas of the size given that
 *   mirexa does not read back.
 * - Order: the spelling and acceptance checks (no call), VERSION, then SUFFIX and PATHCOLOR at
 *   start-up; INIT (and KIND or MENUITEM) when the main window is created; FREE when it closes;
 *   the object is unloaded after that. INIT receives ok = 0 and writes 1 to accept; an INIT
 *   that leaves ok at 0 refuses the plug-in: it is unloaded and never called again.
 * - Threads: every call is made on the user-interface thread, except that the path-reader
 *   exports OPEN, TOOL, TOOLLEN, ARBOR, STARTPOINT, PATH, PATHIJK and CLOSE and the mxnccom
 *   exports TOOL, TOOLLEN and ARBOR are called on the thread that runs a simulation, a path
 *   drawing or a data check. Calls never overlap; a plug-in needs no locking of its own.
 * - A plug-in runs inside the mirexa process: a plug-in that crashes (in INIT or anywhere else)
 *   ends the program. mirexa cannot survive that; it survives only refusals made through the
 *   interface (a missing export, a wrong version, INIT ok = 0).
 *
 * LANGUAGE
 * KIND and MENUITEM receive the interface language: 0 Japanese, 1 English.
 */
#ifndef MIREXA_PLUGIN_H
#define MIREXA_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
#define MIREXA_PLUGIN_EXTERN_C extern "C"
#else
#define MIREXA_PLUGIN_EXTERN_C
#endif
#define MIREXA_PLUGIN_EXPORT MIREXA_PLUGIN_EXTERN_C __attribute__((visibility("default")))

#define MIREXA_PLUGIN_INTERFACE_VERSION 1

/* Buffer sizes, NUL included. */
#define MIREXA_PLUGIN_NAME_SIZE 50      /* KIND, MENUITEM */
#define MIREXA_PLUGIN_SUFFIX_SIZE 10    /* SUFFIX: ";"-separated extensions, ".cl;.apt" */
#define MIREXA_PLUGIN_TEXT_SIZE 256     /* tool names, editor strings, machine names */
#define MIREXA_PLUGIN_PATH_COLORS 10    /* PATHCOLOR */
#define MIREXA_PLUGIN_RESERVED_SIZE 256 /* each reserved area of PATH and PATHIJK */
#define MIREXA_PLUGIN_ARBOR_SEGMENTS 10 /* ARBOR: segments; diameters has one entry more */
#define MIREXA_PLUGIN_WORK_OFFSETS 200  /* GET and PUT: work offsets of 5 floats each */

/* Path record types (PATH and PATHIJK). */
#define MIREXA_PATH_RAPID 0
#define MIREXA_PATH_LINE 1
#define MIREXA_PATH_ARC_CW 2
#define MIREXA_PATH_ARC_CCW 3
#define MIREXA_PATH_TOOL_CHANGE 1000 /* 1000 + n: change to tool n, no move */

/* Tool types (TOOL). A type t of 101 or more is the type t - 100 with an extra size value. */
#define MIREXA_TOOL_GENERAL 0
#define MIREXA_TOOL_BALL 1
#define MIREXA_TOOL_FLAT 2
#define MIREXA_TOOL_BULL 3
#define MIREXA_TOOL_TAPERBALL 4
#define MIREXA_TOOL_VERTICAL 5
#define MIREXA_TOOL_OVAL 6
#define MIREXA_TOOL_TTHROW 7
#define MIREXA_TOOL_SPHERE 8
#define MIREXA_TOOL_RADIUS 9
#define MIREXA_TOOL_EXTRA 100

/* Every family. */
typedef void (*MirexaVersionFn)(int* version);                 /* out */
typedef void (*MirexaInitFn)(int* ok);                         /* in/out: 1 accepts */
typedef void (*MirexaFreeFn)(void);                            /* before unloading */
typedef void (*MirexaNameFn)(const int* language, char* name); /* KIND, MENUITEM: name
                                                                  [MIREXA_PLUGIN_NAME_SIZE] */
typedef void (*MirexaSuffixFn)(char* list);                    /* [MIREXA_PLUGIN_SUFFIX_SIZE] */
/* Exports that are resolved (and may decide acceptance) but that this version never calls:
 * mxsim PARAMETER, PATHTYPE, GETWORK, START, GETTOOL, GETTOOLLEN, GETARBOR, CUTWORK, END; mxload
 * PARAMETER, STARTPOINT, GETWORKSIZE; mxmod PARAMETER, GETBASICMODEL, MODWORK; mxsave
 * GETBASICMODEL, GETSAVELEVEL. Any signature. */
typedef void (*MirexaReservedFn)(void);

/* ---- mxread: path readers -------------------------------------------------------------------
 * A reader is chosen for an NC file whose name ends in one of its suffixes (first slot first).
 * For every run (simulation, path drawing, data check) mirexa calls OPEN, then TOOL, TOOLLEN,
 * ARBOR and STARTPOINT when exported, then PATH (or PATHIJK) until *more comes back 0, then CLOSE.
 */
typedef void (*MxreadPathColorFn)(int* count,        /* out: 0 .. 10 colours used */
                                  uint32_t* colors); /* out [10]: 0x00BBGGRR */
typedef void (*MxreadTotalBlockFn)(const char* path, /* in: the NC file */
                                   int32_t* count);  /* out: records it will deliver */
typedef void (*MxreadOpenFn)(const char* path);      /* in: position at the program start */
/* The current tool. *type comes in as 0; write -1 to keep the program's current tool. */
typedef void (*MxreadToolFn)(int* type,            /* out: tool type, see MIREXA_TOOL_* */
                             float* diameter,      /* out: mm */
                             float* corner,        /* out [2]: corner radius; second corner
                                                      radius (T-THROW) */
                             float* flatRadius,    /* out: corner-arc centre from the axis, mm */
                             float* cornerHeight,  /* out: corner-arc centre above the tip, mm */
                             float* bottomAngle,   /* out: deg */
                             float* taper,         /* out [2]: taper angle deg; the extra size of
                                                      a type of 101 or more */
                             float* further,       /* out [2]: VERTICAL second value, or (T-THROW)
                                                      blade thickness and neck diameter */
                             float* cuttingHeight, /* out: mm */
                             char* name,           /* out [MIREXA_PLUGIN_TEXT_SIZE], "" none */
                             float* shift,         /* out: length shift mm; negative: keep */
                             int* pen);            /* out: pen 0 .. 15; negative: keep */
/* The tool length: kind 1 LENGTH (values[0] the length), 2 LENGTH2, 3 LENGTH3; staged[0] is the
 * fourth value, staged[1] and staged[2] the fifth and sixth of LENGTH3. */
typedef void (*MxreadToolLenFn)(int* kind, float* value1, float* value2, float* value3,
                                float* staged); /* all out; staged [3] */
/* The holder: kind 0 cylinders (diameters[i] over lengths[i]), 1 cones between diameters[i] and
 * diameters[i + 1], 2 as 1 with a code per segment; count 0 .. 10. */
typedef void (*MxreadArborFn)(int* present, int* kind, int* count, float* diameters, /* [11] */
                              float* lengths,                                        /* [10] */
                              int32_t* codes);                                       /* [10] */
/* The start position, prefilled with the current one: X, Y, Z mm, two rotary axes deg. */
typedef void (*MxreadStartPointFn)(double* position); /* in/out [5] */
/* One record. *more comes in as 1; write 0 when no record is left (the other values are then
 * not read). *line is the line number to show (0: one more than the last). */
typedef void (*MxreadPathFn)(int* line, int* type, /* out; type see MIREXA_PATH_* */
                             void* reserved1,      /* [MIREXA_PLUGIN_RESERVED_SIZE] */
                             double* end,     /* in/out [5]: X Y Z mm, rotary deg; the last end */
                             double* centre,  /* out [3]: arc centre, absolute, mm */
                             int* plane,      /* out: 17 XY, 18 ZX, 19 YZ */
                             double* feed,    /* out: mm/min */
                             char* reserved2, /* [MIREXA_PLUGIN_RESERVED_SIZE] */
                             int* reserved3, int* more);
/* The tool-axis form, for five-axis paths: the end and the tool axis (a unit vector from the
 * tip to the spindle); arcs lie in the XY plane. Used only when PATH is not exported. */
typedef void (*MxreadPathIjkFn)(int* line, int* type, double* end, /* [5] */
                                double* toolAxis,                  /* [3] */
                                double* feed, char* reserved2, int* reserved3, int* more);
typedef void (*MxreadCloseFn)(const int* reason); /* in: 3 at the end of a run */

/* ---- mxnccom: NC communication ---------------------------------------------------------------
 * Called for every NC line (and every comment of a line) of a plain NC program with the line's
 * text, and with the NC file's path when a program is selected (the F forms). *state comes in as
 * 0: leave it 0 for "no answer", write 1 for an answer, 2 for an answer after which the same
 * query is not made again until the next run starts.
 */
typedef void (*MxnccomToolFn)(const char* line, /* in: NC line (TOOLF: the NC file path) */
                              int* type,        /* out: see MIREXA_TOOL_* */
                              float* diameter, float* cornerRadius, float* flatRadius,
                              float* cornerHeight, float* bottomAngle, float* taperAngle,
                              float* cuttingHeight, /* out, mm and deg */
                              float* extra,  /* out [3]: [0] the extra size of a type of 101 or
                                                more; [1], [2] T-THROW blade and neck */
                              char* name,    /* out [MIREXA_PLUGIN_TEXT_SIZE] */
                              float* length, /* out: tool length value, mm */
                              int* color,    /* out: pen 0 .. 15 */
                              int* state);
typedef void (*MxnccomToolLenFn)(const char* line, int* kind, float* value1, float* value2,
                                 float* value3, float* staged, /* [3], as MxreadToolLenFn */
                                 int* state);
typedef void (*MxnccomArborFn)(const char* line, int* present, int* kind, int* count,
                               float* diameters, /* [11], prefilled with the current holder */
                               float* lengths,   /* [10] */
                               int32_t* codes,   /* [10] */
                               int* state);

/* ---- mxload and mxsave: stock files ---------------------------------------------------------
 * LOADWORK converts the user's file at path into an STL file (ASCII or binary) at stockFile,
 * which mirexa then reads as the stock, and writes *ok 1. SAVEWORK receives the current stock as a
 * DME file (stockFile) and writes the user's file at path, *ok 1 on success. PARAMETER of mxsave
 * may show its own settings and change the save level (prefilled with 1).
 */
typedef void (*MxloadLoadWorkFn)(const char* path, const char* stockFile, int* ok);
typedef void (*MxsaveParameterFn)(int* saveLevel, const int* kind);
typedef void (*MxsaveSaveWorkFn)(const char* path, const char* stockFile, const int* saveLevel,
                                 int* ok);

/* ---- mxeditor and mxsync ----------------------------------------------------------------------
 */
/* The [ExecEditor] EXEC_PROGRAM and EXEC_OPTION values, which the plug-in may rewrite. */
typedef void (*MxeditorExecFn)(char* text); /* in/out [MIREXA_PLUGIN_TEXT_SIZE] */
/* The editor driven by the plug-in, after mirexa started it on the NC program: FINDWINDOW finds
 * its window (*linked non-zero when found; mirexa then sends the line moves below); JUMP and
 * JUMP2 show a line (1 upward; JUMP2 with a column, 0 for none, and preferred when exported);
 * TOP puts the cursor on the first line; DOWN and DOWN2 one line down (DOWN2 with the line the
 * run is on, preferred when exported); EXIT asks the editor to close. The line moves may come
 * from the simulation thread while the user-interface thread calls the others. */
typedef void (*MxeditorFindWindowFn)(const char* ncPath, int* linked);
typedef void (*MxeditorLineFn)(const int* line);
typedef void (*MxeditorJump2Fn)(const int* line, const int* column);
typedef void (*MxeditorPlainFn)(void);
/* The machine's name; *enabled non-zero turns the offset panes' GET and PUT on. */
typedef void (*MxsyncGetNameFn)(const char* name, int* enabled);
/* GET and PUT, called by the information panel's panes: the D offsets, D wear, H offsets and H
 * wear (MIREXA_SYNC_TOOL_OFFSETS floats each, offset numbers 1 upward), the work coordinate
 * systems 1 to MIREXA_SYNC_WORK_OFFSETS (5 floats each: X, Y, Z in mm, then two unused), and
 * *changed (0 on entry). PUT hands the machine mirexa's values; GET may change every array and
 * sets *changed non-zero when it did, after which mirexa takes the work offsets' X, Y and Z and
 * rewrites the controller file's offset memories. */
#define MIREXA_SYNC_TOOL_OFFSETS 999
#define MIREXA_SYNC_WORK_OFFSETS 200
typedef void (*MxsyncTransferFn)(float* dOffsets, float* dWear, float* hOffsets, float* hWear,
                                 float* workOffsets, int* changed);

#endif /* MIREXA_PLUGIN_H */
