// The stock menu's commands of the main window: reading and saving stock files, box and cylinder
// stocks, the stock's state, offset, XYZ clip, rotation, move, paint and peel, the basic model
// and difference painting, and the vice models. Every command that builds a new stock goes
// through ReplaceCurrentStock, the one sequence that keeps the view, the cutting core and the
// undo ring consistent. Values that come with a command (an lparam from the automation, the
// command line's values in automatic mode) skip the command's dialog.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window.h"
#include "resources/program_resources.h"
#include "stock/stock_model.h"
#include "stock/stock_offset.h"

namespace mirexa {

// Kinds a stock file is read as, by its extension.
inline constexpr int kStockReadDmf = 1;
inline constexpr int kStockReadStl = 2;
inline constexpr int kStockReadPlugin = 6;  // 6, 7, 8: stock-loader plug-in slot 0, 1, 2
inline constexpr int kStockReadDme = 101;

// Save kinds: 1 DME, 2 ASCII STL, 3 binary STL, 4 byte-swapped binary STL; 7, 8, 9 the
// stock-saver plug-in slots 0, 1, 2.
inline constexpr int kStockSavePluginFirst = 7;
inline constexpr int kStockSavePluginLast = 9;

// Pen value of the peel-pen command that peels every pen.
inline constexpr int kPeelAllPens = 16;

// The state of the current stock (StockModel::useState): 0 available, 1 ignored (not
// cut), 2 delete.
inline constexpr int kStockAvailable = 0;
inline constexpr int kStockIgnored = 1;
inline constexpr int kStockDelete = 2;

// The sounds the commands play when sounds are on.
inline constexpr int kSoundStockSet = 1;
inline constexpr int kSoundPaint = 2;
inline constexpr int kSoundSetUp = 3;

// What the dialogs of the commands give. Each dialog hook returns 1 for OK (values filled) and 0
// for cancel; a null dialog hook is a cancelled dialog.
struct StockBoxChoice {
    int controlPointMode = {};  // NEW CONTROL POINT: 0 BOX-TOP, 1 CURRENT, 2 SPECIFY
};
struct PeelPenChoice {
    int all = {};             // every pen
    std::uint16_t pens = {};  // bit n: pen n (1 .. 15)
};
struct StockClipLimits {
    double minCorner[3] = {};  // mm, local coordinates
    double maxCorner[3] = {};
};
struct StockSaveChoice {
    std::string path = {};
    int kind = {};             // a save kind
    int workCoordinates = {};  // write in work coordinates
};

// Calls of the stock commands into the panels, the dialogs, the plug-ins and the sounds (the
// file dialogs are called directly: shell/file_dialogs.h). A null hook means nothing there (a
// dialog: cancelled).
struct StockCommandHooks {
    // --- Menus, panels, status ---
    void (*redrawWorkPane)() = {};
    // --- Dialogs (values in and out of the configuration records where they live) ---
    int (*swingDialog)(double* sinAngle, double* cosAngle) = {};
    int (*reverseDialog)() = {};
    int (*stlReadDialog)() = {};
    int (*twoPointDialog)(StockBoxChoice* choice) = {};   // box corners into InitialStock
    int (*originBoxDialog)(StockBoxChoice* choice) = {};  // the origin-based box, as corners
    int (*cylinderDialog)(StockBoxChoice* choice) = {};   // cylinder into InitialStock
    int (*stateDialog)(int* state) = {};
    int (*offsetDialog)(StockOffsetParameters* parameters) = {};
    int (*clipDialog)(StockClipLimits* limits) = {};     // filled with the extent first
    int (*rotateDialog)(int* axis, double* angle) = {};  // deg
    int (*moveDialog)(double shift[3]) = {};             // mm
    int (*peelPenDialog)(PeelPenChoice* choice) = {};
    int (*differenceDialog)() = {};  // edits Settings.difference
    // --- Plug-ins ---
    // The stock-loader plug-in slot (0 .. 2) whose suffix list holds the path's extension, or -1.
    int (*stockLoaderSlot)(const std::string& path) = {};
    // Loads the path with the stock-loader plug-in of the slot into the model; 1 or a negative
    // code.
    int (*loadStockWithPlugin)(int slot, const std::string& path, StockModel* model) = {};
    // Calls PARAMETER of the stock-saver plug-in of the slot with the save level and the kind,
    // then its SAVEWORK with the path; 1 saved, 0 not saved, -1 the slot has no such export.
    int (*saveStockWithPlugin)(int slot, int* saveLevel, int kind, const std::string& path) = {};
    // --- Sounds ---
    void (*playSound)(int sound) = {};
};
extern StockCommandHooks StockCommandCallbacks;

// The stock commands' own state.
struct StockCommandState {
    int stockPresent = {};        // a stock is present
    std::string loadedPath = {};  // the file the current stock was read from ("" for none)
    int saveDialogOpen = {};      // the save file dialog is open (the pause blink leaves focus)
    double swingSin = {};         // the swing of the last read, when asked
    double swingCos = 1.0;
};
extern StockCommandState StockCommands;

// The current stock, StockModels[CurrentStockIndex].
StockModel& CurrentStockModel();

// The kind a stock file is read as, tested in this order: ".DMF" 1; an extension in the suffix
// list of stock-loader plug-in slot 0, 1 or 2 (pluginSlot, -1 for none): 6, 7 or 8; ".DME" 101;
// anything else 2 (STL).
int ChooseStockReadKind(const std::string& path, int pluginSlot);

// The format variant of a save kind: 1 and 2 give 0, 3 gives 1, 4 gives 2; -1 for the plug-in
// kinds and unknown kinds.
int ChooseStockSaveVariant(int kind);

// The path a save writes: a path without a directory joined with the stock files' directory
// ([DMEdata], Settings.dmeDirectory; the working directory when that is empty).
std::string ResolveStockSavePath(const std::string& path);

// Turns the frame's orientation rows by the angle (deg, plain sine and cosine of the radians)
// about axis 0 X, 1 Y or 2 Z: each row r becomes r' with r'[i] = cos r[i] - sin r[j] and
// r'[j] = cos r[j] + sin r[i] for (i, j) = (Y, Z), (Z, X), (X, Y); then snaps the frame, so that
// multiples of 90 deg give exact rows. The offset stays; the derived fields are the caller's.
void RotateStockFrame(StockFrame* frame, int axis, double angleDegrees);

// The shared steps of every command that builds a new stock. build() runs on a new model of its
// own, apart from the current stock (its ring size set from the UNDO setting), and returns 1 or a
// negative code. Only a stock that stands takes the current one's place: the current stock is
// then kept for C (RestoreReplacedStock), the basic model cleared, the pose applied (applyPose),
// and the list names, the cutting core's views, the view, the sound, the menus and the panel's
// work pane follow the new stock. A build that fails, or leaves no grid, changes nothing: the
// current stock stays whole, drawn and savable, with its undo states, and the stock kept for C
// stays as well (its memory is never given to the build: a build short of memory is refused).
// The code is returned (the caller reports it).
int ReplaceCurrentStock(const std::function<int(StockModel* model)>& build, int applyPose);

// 1 when a box or cylinder just defined must be turned onto the table (UpdateStockPose): the
// stock is given in work coordinates (INPUT COORDINATE WORK) and the work offset turns the table,
// on a table-table machine (ROTARY TYPE 2) by either rotary angle, on a mixed one (3) by the
// second.
int DefinedStockTurnsWithTheTable();

// Builds the stock of InitialStock without a dialog: kind 1 the box (CreateBoxStockIdentity),
// kind 3 the cylinder or tube (CreateCylinderStock), at the chosen pitch. Reversed box corners
// are refused with their message. Returns 1, or 0 (reported; the old stock and the dexel pitch
// settings stay as they were).
int BuildDefinedStock(WindowHandle window);

// The basic model's path, as SELECT_BASIC_MODEL sets it: the path and its file title (at most 64
// bytes) are stored, a loaded basic model (and its comparison model) is dropped so that the next
// difference painting reads the new file, the status bar shows the title, and the difference
// command is enabled when the path is not empty.
void SelectBasicModelPath(WindowHandle window, const std::string& path);

// A basic model that does not open counts like a missing stock in an unattended run: logged
// with its path and the reason, and a failure of the batch (RecordBatchFailure). 1 when it opens.
int ReportMissingBasicModel(const std::string& path);

// StockCallbacks.loadBasicModel of the running program: reads DefinitionFiles.basicModelFile as
// STL onto the grid of the stock. 1, or the loader's negative code.
int LoadBasicModelForStock(const StockModel& grid, StockModel* basic);

// Handles a stock command with its lparam (0 from the menu). Returns 1 when the command is one of
// the stock menu's, 0 otherwise (nothing done).
int HandleStockCommand(WindowHandle window, unsigned command, MessageLParam lparam);

// Every command that takes the current stock away (a stock read or defined anew, an offset, a
// deletion) keeps it whole, as it stands (without its earlier undo states), outside automatic
// mode, until the next one does. While the current stock has no earlier state in its undo ring,
// C brings the kept stock back with its file name, and keeps the stock it leaves in its place, so
// that C again goes back. Returns 1 when a stock came back, 0 when there was none to bring, a run
// or a stock operation is going, or the current stock has earlier states of its own.
int RestoreReplacedStock();

// Restores the stock commands' state and frees a kept stock (tests).
void ResetStockCommands();

}  // namespace mirexa
