// The configuration records shared by the whole program: the command-line options, the paths of
// the definition files, the stock definition, the STL import settings, the program settings of
// the settings file, the check choices, the colours and the display modes. The dexel pitch and
// the stock definition belong to the stock model (stock/stock_shapes.h); the readers here fill
// them. Each record is one global owned by the configuration subsystem; the start values written
// here are the values a setting keeps when its key holds a word that matches none of its choices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/run_mode.h"
#include "stock/stock_shapes.h"  // DexelPitchSettings DexelPitch, StockDefinition InitialStock

namespace mirexa {

// The longest path a path field holds (bytes, without the terminating NUL). Longer paths given
// on the command line or built from the settings are refused with a message.
inline constexpr std::size_t kPathLimit = 255;

// ---- Colours -----------------------------------------------------------------------------

// A colour as 0x00BBGGRR: red in bits 0-7, green 8-15, blue 16-23.
using ColorRef = std::uint32_t;

inline constexpr ColorRef MakeColorRef(int red, int green, int blue) {
    return static_cast<ColorRef>(red) | static_cast<ColorRef>(green) << 8 |
           static_cast<ColorRef>(blue) << 16;
}

// The display colours. pens[1..15] are the pens; pens[0] is not used.
struct ColorSet {
    ColorRef work = {};
    ColorRef pens[16] = {};
    ColorRef base = {};
    ColorRef penki = {};  // the paint colour
    ColorRef topPath = {};
    ColorRef topPath2 = {};
    ColorRef construction = {};
    ColorRef toolTop = {};
    ColorRef toolSide = {};
    ColorRef arbor = {};
    ColorRef basic = {};
    ColorRef vice = {};
    ColorRef headOneRotary = {};  // HEAD(*): a head with one rotary axis
    ColorRef headTwoRotary = {};  // HEAD(**): a head with two rotary axes
    ColorRef head = {};
    ColorRef head1 = {};
    ColorRef head2 = {};
    ColorRef tableOneRotary = {};  // TABLE(*): a table with one rotary axis
    ColorRef table = {};
    ColorRef table1 = {};
    ColorRef table2 = {};
    ColorRef background = {};
};

// The live colours (drawn) and the edit copy (the colour file reader and the colour dialog work
// on it; the caller makes it live).
extern ColorSet LiveColors;
extern ColorSet EditColors;

// ---- Display -------------------------------------------------------------------------------

// Display modes: 0 hidden, 1 shown opaque, 2 shown semi-transparent.
struct DisplayModeSettings {
    std::int32_t workMode = 1;     // WORK DISPLAY
    std::int32_t baseMode = 0;     // BASE DISPLAY
    std::int32_t toolMode = 1;     // TOOL DISPLAY (tool and holder)
    std::int32_t machineMode = 1;  // MACHINE DISPLAY
    float workAlpha = 0.5f;        // 0.0 .. 1.0
    float baseAlpha = 0.5f;
    float toolAlpha = 0.5f;
    float machineAlpha = 0.5f;
    std::int32_t stockStyle = 0;             // MESH MODE: 0 surfaces, 1 wire frame, 2..6 dexels
    std::int32_t optimizeDrawing = 0;        // OPTIMIZE DRAWING
    std::int32_t displayGuidance = 2;        // DISPLAY GUIDANCE: 0 NO, 1 YES, 2 DETAIL
    std::int32_t rotationCenterDisplay = 0;  // ROTATION CENTER DISPLAY
    std::int32_t constructionPoint = 0;      // CONSTRUCTION POINT
    std::int32_t basicAxis = 1;              // BASIC AXIS: the coordinate axes
    std::int32_t perspective = 1;            // PERSPECTIVE
    std::int32_t colorMode = 0;              // COLOR MODE (read and forced to 0)
    std::int32_t toolTopColorMode = 1;       // TOOL-TOP COLOR MODE: 0 pen colour, 1 specified
    std::int32_t pathDisplay = 0;            // the tool path is shown
    std::int32_t pathDisplay2 = 0;           // the path without rotary interpolation is shown
};
extern DisplayModeSettings DisplayModes;

// ---- Checks ------------------------------------------------------------------------------------

// The structure pairs, in the order of their settings keys.
enum StructurePair : int {
    kToolVice,
    kToolTable2,
    kToolTable1,
    kToolTable,
    kToolBasic,
    kArborVice,
    kArborTable2,
    kArborTable1,
    kArborTable,
    kArborBasic,
    kHead2Work,
    kHead2Vice,
    kHead2Table,
    kHead2Basic,
    kHead1Work,
    kHead1Vice,
    kHead1Table1,
    kHead1Table,
    kHead1Basic,
    kHeadWork,
    kHeadVice,
    kHeadTable2,
    kHeadTable1,
    kHeadTable,
    kHeadBasic,
    kStructurePairCount
};

// The settings key of each structure pair ("TOOL-VICE CHECK" ...), indexed by StructurePair.
extern const char* const StructurePairKeys[kStructurePairCount];

// The interference and check choices; 0 is always off.
struct CheckSettings {
    std::int32_t interference = 1;    // INTERFERENCE: 0 off, 1 break off, 2 record and pause
    std::int32_t arborCheck = 0;      // ARBOR CHECK: 1 output, 2 cut, 3 break off, 4 pause
    std::int32_t heightCheck = 0;     // HEIGHT CHECK: 1 output, 2 break off, 3 pause
    std::int32_t chipWidthCheck = 0;  // CHIP-W CHECK: as HEIGHT CHECK
    std::int32_t spindleCheck = 0;    // SPINDLE CHECK: 1 break off, 2 pause
    std::int32_t structurePairs[kStructurePairCount] = {};  // 1 break off, 2 pause
    std::int32_t ignoreG00 = 0;                             // IGNORE G00
    double rapidFeedrate = 999999999.0;   // RAPID FEEDRATE (mm/min): feeds at or above are rapid
    std::int32_t toolClearanceMode = 0;   // TOOL CLEARANCE: 0 NO, 1 YES, 2 a distance
    double toolClearance = 0.0;           // mm
    std::int32_t arborClearanceMode = 0;  // ARBOR CLEARANCE
    double arborClearance = 0.0;          // mm
    // 1 when any choice is a record-and-pause choice; recomputed by UpdateStopOnCheckFlag.
    std::int32_t pauseOnEvents = 0;
};
extern CheckSettings Checks;

// ---- Stock -----------------------------------------------------------------------------------

// Kinds of StockDefinition::kind.
enum StockKind : std::int32_t {
    kStockFromFile = 0,
    kStockBox = 1,          // INITIAL SIZE
    kStockOriginBased = 2,  // INITIAL SIZE2
    kStockCylinder = 3,     // CYLINDER
};

// ---- STL import ------------------------------------------------------------------------------

// The adjustments applied to every vertex of an imported STL file and the conversion choice.
struct StlImportSettings {
    std::int32_t coordinateKind = 0;  // 0 machine, 1 work coordinates
    std::int32_t stockInWork = 0;     // the stock is placed in work coordinates
    std::int32_t basicInWork = 0;     // the basic model is placed in work coordinates
    std::int32_t scaleFlags[3] = {};
    double scaleRates[3] = {1.0, 1.0, 1.0};
    double scaleCentres[3] = {};
    std::int32_t mirrorFlags[3] = {};
    double mirrorCentres[3] = {};
    // 1 when the coordinate kind is work or any scale or mirror flag is set.
    std::int32_t transformFlag = 0;
    // 0 standard conversion; +-1 X, +-2 Y, +-3 Z: height map seen from that direction.
    std::int32_t referenceDirection = 0;
    // The STL dialog's per-axis rates, used by a bare "S" stock-file option.
    std::int32_t dialogScaleFlags[3] = {};
    double dialogScaleRates[3] = {1.0, 1.0, 1.0};
    std::int32_t stlSelect = 1;       // STL SELECT
    std::int32_t stlFilter = 0;       // STL FILTER
    std::int32_t stlCheck = 0;        // STL CHECK
    std::int32_t checkMatrix = 0;     // CHECK MATRIX
    std::string matrixFileName = {};  // STL MATRIX, up to 63 bytes
};
extern StlImportSettings StlImport;

// ---- Command line ------------------------------------------------------------------------------

// The start-up switches and the kinds of file named on the command line.
struct CommandLineSwitches {
    // Given-flags per file kind.
    std::int32_t settingsGiven = 0;
    std::int32_t colorFileGiven = 0;
    std::int32_t toolsGiven = 0;
    std::int32_t controllerGiven = 0;
    std::int32_t machineGiven = 0;
    std::int32_t macroGiven = 0;
    std::int32_t stockGiven = 0;  // a stock file or a -D stock
    std::int32_t ncGiven = 0;
    std::int32_t basicModelGiven = 0;  // -K
    std::int32_t startTool = 0;        // -T name,n: the tool selected after the tools file; 0 none
    std::int32_t controlPointGiven = 0;            // -S
    std::int32_t pitchGiven = 0;                   // -P (the settings then keep the pitches)
    BatchRunKind batchKind = BatchRunKind::kNone;  // -X1 .. -X6
    std::int32_t selectWithoutOptimalStock = 0;    // "0" behind the run mode digit
    std::int32_t reportSilent = 0;                 // "n" behind mode 3 or 4
    std::int32_t noReportDisplay = 0;              // "n" behind mode 5
    std::int32_t batchRun = 0;                     // modes 5 and 6
    std::int32_t reportMode = 0;                   // -V: 0, 1, 5 or 6
    std::int32_t saveKind = 0;  // -O: 0 none, 1 DME/DMF, 2 STL, 3 STL ",b", 4 STL ",b2"
    // Stock operations.
    std::int32_t moveStock = 0;          // -XM
    double moveShift[3] = {};            // mm
    std::int32_t rotateStock = 0;        // -XR
    std::int32_t rotateAxis = 2;         // 0 X, 1 Y, 2 Z
    double rotateAngle = 0.0;            // deg
    std::int32_t paintStock = 0;         // -XP: the paint kind, 1 "P" paint all, 2 "C" peel pens
    std::int32_t paintPen = 0;           // -XP: the pen to peel, 0 .. 15, 16 all pens
    std::int32_t differencePaint = 0;    // -XD; the values are in ProgramSettings::difference
    std::int32_t batch = 0;              // no tools and paths drawn, no settings written at exit
    std::int32_t drawingSuppressed = 0;  // the shell copies it into DrawingSuppressed
    std::int32_t windowRectGiven = 0;    // -(l,t,w,h)
    std::int32_t windowLeft = 0;
    std::int32_t windowTop = 0;
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    std::int32_t noMenu = 0;      // -N
    std::int32_t fontHeight = 0;  // -F: information panel font height; 0 = 13
    std::int32_t automation = 0;  // the automation thread is created at start-up

    bool operator==(const CommandLineSwitches&) const = default;
};
extern CommandLineSwitches CommandLine;

// ---- Paths -------------------------------------------------------------------------------------

// The paths of the files the program reads and writes, and the directories they are found in.
// Directories end in "/" where stated.
struct DefinitionFilePaths {
    std::string settingsName = "mirexa.ini";  // the bare name (command line or default)
    std::string settingsPath = {};            // the settings file read
    std::string colorFile = {};
    std::string toolsFile = {};
    std::string controllerFile = {};
    std::string machineFile = {};
    std::string macroFile = {};
    std::string ncProgramFile = {};
    std::string stockFile = {};
    std::string basicModelFile = {};
    std::string basicModelTitle = {};  // file title of the basic model, up to 64 bytes
    std::string saveFile = {};         // -O: the stock is saved there after the run
    std::string programPath = {};
    std::string programDirectory = {};  // ends in "/"
    std::string currentDirectory = {};  // ends in "/"
    std::string helpPath = {};
};
extern DefinitionFilePaths DefinitionFiles;

// ---- Program settings
// ----------------------------------------------------------------------------

// The values of the difference painting against the basic model (DIFFERENCE keys or -XD).
struct DifferencePaintChoices {
    std::int32_t area = 1;            // +1 PLUS (material above the model), -1 MINUS
    double margin = 0.1;              // allowance (mm)
    double marginStart = 0.1;         // the margin as read, for resetting the dialog
    std::int32_t penColor = 0;        // 0 the penki colour, 1 the pen colour
    std::int32_t pen = 1;             // 1 .. 15
    std::int32_t recolor = 1;         // 0: keep the same colour
    double offset = 0.0;              // emphasis radius (mm)
    std::int32_t targetPenGiven = 0;  // only ends of the target pen change
    std::int32_t targetPen = 1;       // 1 .. 15
};

// Editor kinds.
inline constexpr std::int32_t kEditorPlugin = 99;  // the editor plug-in supplies the editor

// A line of the settings file that the reader refused: its section and key, and the default that
// stands in its place, in the form the settings writer gives that value.
struct RefusedSettingsLine {
    std::string section = {};
    std::string key = {};
    std::string standing = {};
};

struct ProgramSettings {
    // Section Table, directories.
    std::string ttlDirectory = {};
    std::string ctlDirectory = {};
    std::string mtlDirectory = {};
    // Section DMEdata.
    std::string dmeDirectory = {};
    std::string secondStockDirectory = {};  // joined with bare stock names by the stock commands
    std::int32_t exportInWork = 0;          // EXPORT COORDINATE WORK
    std::int32_t inputInWork = 0;           // INPUT COORDINATE WORK
    // With INPUT COORDINATE WORK the file's INITIAL SIZE and CYLINDER base point are work
    // coordinates against the work origin the program starts with (machine mm), which the
    // stock values are placed at once the controller file gives it, and which the settings
    // writer takes away again. Bits of values read but not yet placed: 1 box, 2 cylinder.
    double stockValuesOrigin[3] = {};
    std::int32_t stockValuesUnplaced = 0;
    // The lines the reader refused, each with the default that stands in its place. While a
    // value is still that default, the writer leaves the user's line as it was written.
    std::vector<RefusedSettingsLine> refusedLines = {};
    std::int32_t basicModelPresent = 0;  // a basic model file is named
    // Section NCdata.
    std::string ncDirectory = {};
    std::string ncFilePattern = "*.NC";  // Target_NCfile: the NC file dialog's own filter
    // Section OUTPUTdata.
    std::string logDirectory = {};
    std::string lengthDirectory = {};
    std::string verifyDirectory = {};
    std::string verifySuffix = "txt";   // up to 9 bytes
    std::int32_t createModeLength = 0;  // 1 append
    std::int32_t createModeVerify = 0;
    std::int32_t namingModeLength = 0;  // 0 NO, 1 FIXED, 2 AUTO
    std::int32_t namingModeVerify = 1;  // 1 FIXED, 2 AUTO
    // Section Optimize.
    std::int32_t volumeValueKind = 0;         // V-VALUE: 0 VOLUME, 1 TORQUE
    std::int32_t optimizeCut = 1;             // OPT-CUT
    std::int32_t optimizeAirCut = 1;          // OPT-AIRCUT: 0 NO, 1 ESCAPE, 2 MAXOPTF, 3 other
    std::int32_t cutData = 0;                 // CUT-DATA: 0 NO, 1 YES, 2 other, 3 BINARY
    std::int32_t cutDataNameMode = 0;         // 1 AUTO
    std::string cutDataSuffixText = "TXT";    // up to 9 bytes
    std::string cutDataSuffixBinary = "BIN";  // up to 9 bytes
    std::int32_t optimizedNc = 2;             // OPT-NC: 0 NO, 1 YES, 2 other (OPEN)
    std::int32_t optimizedNcNameMode = 0;     // 1 AUTO
    std::string optimizedNcSuffix = "ONC";    // up to 9 bytes
    double approachValue = 0.0;               // V-APPROACH: read, without effect
    float escapeWidth = 0.0f;                 // mm
    float escapeHeight = 3.0f;                // mm
    std::string optimizedNcDirectory = {};
    std::string cutDataDirectory = {};
    // Section ExecEditor.
    std::string editorProgram = "xdg-open";
    std::string editorOption = "%1";
    std::int32_t editorMacroNumber = -1;
    std::string editorMacroName = "MIREXAJUMP.MAC";
    std::int32_t editorKind = 0;  // kEditorPlugin when the editor plug-in supplies the program
    std::int32_t selectOpen = 0;
    std::int32_t closeEnd = 0;
    std::string toolsEditor = {};
    std::string controllerEditor = {};
    std::string machineEditor = {};
    std::string settingsEditor = {};
    std::string definitionEditor = {};
    // Section ExecSelf.
    std::string selfOption = "/X2 ZAZUD!.NC";
    // Section Video.
    std::string videoDirectory = {};
    std::int32_t recordTriggers[4] = {};  // TIMING TOOL, AXIS, BLOCK, UPDATE
    std::int32_t recordTriggerCount = 0;  // the sum of the four flags
    std::int32_t videoNameMode = 0;       // 1 AUTO
    std::int32_t lapDialog = 0;
    // Section Mouse.
    std::int32_t rightButtonMove = 0;  // MOVE SWITCH: 1 RBUTTONDOWN, 0 RBUTTONCLICK
    std::int32_t wheelZoomReversed = 0;
    // Section Save.
    std::int32_t saveDisplay = 1;
    std::int32_t saveWorkColor = 1;
    std::int32_t saveToolColor = 1;
    std::int32_t saveMachineColor = 1;
    std::int32_t saveLineColor = 1;
    std::int32_t saveBackground = 1;
    std::int32_t windowX = -1;  // -1: no saved value
    std::int32_t windowY = -1;
    std::int32_t windowHeight = -1;
    std::int32_t windowWidth = -1;
    std::int32_t windowShow = 1;
    std::int32_t showCommandPanel = 0;  // VIEW_P
    std::int32_t showToolPanel = 0;     // VIEW_T
    // Section Define, part 1.
    double lightVector[3] = {0.0, 0.0, 1.0};  // unit length
    double lightAzimuth = 0.0;                // deg
    double lightTilt = 0.0;                   // deg
    std::int32_t skipBlock = 5;               // redraw interval of skip cutting (lines), >= 1
    std::int32_t skipView = 5;                // redraw interval of real cutting (steps), >= 1
    std::int32_t realRotation = 0;
    std::int32_t realRapid = 0;
    std::int32_t targetAreaGiven = 0;
    double targetArea[6] = {};
    double workMargin[3] = {};  // WORK MARGIN(X/Y/Z), mm (read as floats)
    double controlPoint[5] = {0.0, 0.0, 200.0, 0.0, 0.0};
    std::int32_t controlPointMachine = 0;  // the control point is in machine coordinates
    std::int32_t newControlPointD = 0;     // NEW CONTROL POINTD: 0 BOX-TOP, 1 CURRENT, 2 SPECIFY
    std::int32_t newControlPoint = 0;      // NEW CONTROL POINT
    double specifiedPointD[3] = {0.0, 0.0, 100.0};
    double specifiedPoint[3] = {0.0, 0.0, 100.0};
    // TOOL BASE POINT: 0 BOTTOM, 1 BALL-CENTER, 2 F-CENTER, 3 LENGTH-TOP, 4 ARBOR-TOP.
    std::int32_t toolBasePoint = 0;
    std::int32_t toolBasePointGiven = 0;
    float weldingHeight = 0.5f;  // tool-mark painting tools (mm)
    float weldingWidth = 5.0f;
    float grinderDepth = 1.0f;
    float grinderWidth = 3.0f;
    float paperDepth = 0.1f;
    float paperWidth = 1.0f;
    float brushWidth = 1.0f;
    float heraWidth = 1.0f;
    std::int32_t weldingPen = 0;
    std::int32_t grinderPen = 0;
    std::int32_t paperPen = 0;
    std::string progressName = {};  // PROGRESS NAME, up to 23 bytes
    std::int32_t sound = 1;
    std::int32_t multiThreadCount = 1;         // >= 1
    std::int32_t volumeUnit = 0;               // 1 m3
    double offsetValue = 5.0;                  // OFFSET VALUE (mm)
    std::int32_t stopKey = 17;                 // key code: 17 CTRL, 32 SPACE, 19 PAUSE
    std::int32_t escapeKey = 27;               // key code: 27 ESC, 3 BREAK, 19 PAUSE
    std::int32_t undoRingSize = 2;             // UNDO + 1, 2 .. 20
    std::vector<std::uint8_t> undoMarks = {};  // undoRingSize zeroed bytes
    DifferencePaintChoices difference = {};
    // Section Define, part 2.
    double angleA = 315.0;  // view angles (deg)
    double angleB = 45.0;
    double angleAStart = 315.0;
    double angleBStart = 45.0;
    double expandRate = 5.0;
    std::int32_t maxMagazine = 200;  // MAX MAGAZINE, 1 .. kMaxMagazineLimit
    std::int32_t checkMac = 0;
};
extern ProgramSettings Settings;

// Restores every record of this header to its start values (tests and a fresh start).
void ResetConfigurationRecords();

}  // namespace mirexa
