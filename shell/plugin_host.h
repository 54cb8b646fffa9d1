// The plug-in host: finds the plug-ins' shared objects at start-up, checks and resolves their
// exports into PluginSlots, initialises them and inserts their menu items when the main window
// is made, calls their release exports when it closes and unloads them at the end. Also the
// shell's uses of them: the suffix lists that pick a path reader or a stock loader, and the
// stock savers. The interface a plug-in is written against is plugins/mirexa_plugin.h.
//
// A plug-in that is not there is no error. One that is there but cannot be used (it does not
// load, lacks its first or accept exports, has another interface version, or refuses in INIT)
// is unloaded with one log line naming the file and the reason, and the program goes on. A
// plug-in that crashes inside a call ends the process: it runs in-process.
//
// Threads: everything here runs on the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "platform/menus.h"
#include "platform/window.h"
#include "shell/file_dialogs.h"

namespace mirexa {

struct StockModel;

// Menu items of the plug-ins.
inline constexpr unsigned kSimulationPluginFirstId = 32901;  // + slot; Machining position 6 + slot
inline constexpr unsigned kStockModifierFirstId = 32951;     // + slot; Stock position 12 + slot
inline constexpr unsigned kNccomMenuId = 32931;              // Setting files position 0
inline constexpr int kMachiningMenuPosition = 2;
inline constexpr int kStockMenuPosition = 1;
inline constexpr int kSettingFilesMenuPosition = 3;

// The directories searched for plug-ins: the program's own folder only. The working folder is
// never searched: a job folder or a shared folder could hold a planted plug-in, whose code
// would run as soon as it is opened.
std::vector<std::string> PluginSearchDirectories();

// Loads every family from the directories (LoadPlugins uses PluginSearchDirectories): the base
// names in order, <base>.so in the first directory that has it; a file that is not a regular
// file of this user (or of root), or that its group or other users may write, is refused before
// it is opened; before a file is opened its path is logged (when messages is null), so that a
// plug-in that ends the program is named; accepted objects fill the next
// slot; then SUFFIX and PATHCOLOR of the readers, SUFFIX of the loaders and savers. Any plug-ins
// loaded before are unloaded first. The log lines of refused plug-ins go to *messages when it is
// not null, else to the log.
void LoadPluginsFrom(const std::vector<std::string>& directories,
                     std::vector<std::string>* messages);
void LoadPlugins();

// INIT of every loaded plug-in (a refusal unloads it, its slot stays counted), KIND or MENUITEM
// in the language (0 Japanese, 1 English), and the menu items in the menu bar (none inserted
// when it is null).
void InitPluginsAndMenus(MenuHandle bar, int language, std::vector<std::string>* messages);

// FREE of every loaded plug-in: readers, simulation add-ons, loaders, modifiers, savers, then
// the NC communication and the synchronisation plug-ins.
void CallPluginFreeFunctions();
// Unloads every plug-in and empties PluginSlots.
void UnloadPlugins();
// Unloads the editor plug-in and takes the editor option back from the settings file's
// [ExecEditor] EXEC_OPTION (default "%1").
void ResetEditorPlugin();

// The text of a simulation add-on's menu item: slots 0 and 1 get the key hint of F8 or F9.
std::string SimulationPluginMenuText(const std::string& name, int slot, int language);

// The plug-ins of a family (path readers, stock loaders, stock savers) as the file dialogs list
// them, one entry per slot in slot order: name, suffixes and whether loaded.
std::vector<PathReaderFilter> ListPluginFilters(int family);
// The path readers' entries (ListPluginFilters of the path readers).
std::vector<PathReaderFilter> ListPathReaderFilters();

// The first slot (0 .. 2) of the family (path readers, stock loaders, stock savers) whose suffix
// list the path's name ends with, or -1.
int FindPluginSuffixSlot(int family, const std::string& path);

// Saves the current stock through the stock saver of the slot: PARAMETER with the save level
// and the kind when exported, then SAVEWORK with the path and the stock as a DME file. 1 saved,
// 0 refused or failed, -1 no such saver.
int SaveStockWithPlugin(int slot, int* saveLevel, int kind, const std::string& path);
// Loads the path through the stock loader of the slot: LOADWORK converts it into a stock file
// that is then read into the model. 1, or a negative stock-file code.
int LoadStockWithPlugin(int slot, const std::string& path, StockModel* model);

// The offset synchronisation plug-in: 1 when its GET (get 1) or PUT (get 0) export is there and
// the machine file enabled it. SynchronizeOffsets calls it with the offset memories: PUT hands
// them over; GET takes back what the plug-in changed and, when it changed anything, rewrites the
// controller file's D, H and work offset memories. Returns 1 when called, 0 when not there.
int SyncOffsetsAvailable(int get);
int SynchronizeOffsets(int get);

}  // namespace mirexa
