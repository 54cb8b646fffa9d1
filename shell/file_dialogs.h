// The file dialogs of the main window and the dialogs: the definition and model files to open,
// the stock, NC data and image files to save, and the NC program, each with its filters and
// title in the interface's language, the filter index remembered per kind while the program
// runs, the OK label of the stock transform dialogs, and the work-coordinates check box shown
// while the work origin is not zero. Also the suffix-list rules of the path-reader plug-ins.
//
// Threads. User-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/window.h"

namespace mirexa {

// Kinds of SelectSettingFile.
constexpr int FILE_KIND_TOOLS = 0;
constexpr int FILE_KIND_CONTROLLER = 1;
constexpr int FILE_KIND_STOCK = 2;
constexpr int FILE_KIND_NC_OUTPUT = 3;
constexpr int FILE_KIND_MACHINE = 4;
constexpr int FILE_KIND_BASIC_MODEL = 5;
constexpr int FILE_KIND_VICE = 6;
constexpr int SETTING_FILE_KIND_COUNT = 7;
// Kinds of SelectSaveFile.
constexpr int SAVE_KIND_STOCK = 1;
constexpr int SAVE_KIND_NC_DATA = 2;
constexpr int SAVE_KIND_IMAGE = 3;
constexpr int SAVE_FILE_KIND_COUNT = 4;

// The dialogs' state while the program runs.
struct FileDialogState {
    std::array<int, SETTING_FILE_KIND_COUNT> settingFilterIndex = {};
    std::array<int, SAVE_FILE_KIND_COUNT> saveFilterIndex = {};
    int ncFilterIndex = {};
    int stockLoaderFilterIndex = {};  // kind 2's index, also read by the stock loader
    // A name written into the next open dialog's name box (set by the sender, used once).
    std::string pendingName = {};
    int pendingNameSet = {};
    // The OK label of the next open dialog, for the stock transform dialogs (at most one set).
    int okLabelGo = {};
    int okLabelReverse = {};
    int okLabelBasis = {};
    int saveCheckBox = {};  // the save dialog's work-coordinates check box
};
extern FileDialogState FileDialogs;
void ResetFileDialogs();

// The filter and title of a kind in a language (0 Japanese, 1 English); an unknown kind has no
// filter and an empty title.
FileDialogFilter SettingFileFilter(int kind, int language);
std::string SettingFileTitle(int kind, int language);
FileDialogFilter SaveFileFilter(int kind, int language);
std::string SaveFileTitle(int kind, int language);

// A path-reader plug-in as the NC dialog lists it.
struct PathReaderFilter {
    std::string name = {};
    std::string suffixes = {};  // ";"-separated: ".cl;.apt", or one suffix ".cl"
    int loaded = {};
};

// The pattern of a suffix list: with ";" in it every "." becomes "*." (".cl;.apt" gives
// "*.cl;*.apt"); without, "*" followed by the list (".cl" gives "*.cl").
std::string BuildFilterPattern(const std::string& suffixes);
// Appends one filter per loaded reader (its name and the pattern of its suffixes).
void BuildFilterString(const std::vector<PathReaderFilter>& readers,
                       std::vector<FileDialogFilter>* filters);
// The NC dialog's filters: the user entry with the settings' NC file pattern (Target_NCfile),
// labelled "user specified files (pattern)" ("*" without a pattern), "NC-File(*.NC)",
// "All(*.*)", then the loaded readers' entries.
std::vector<FileDialogFilter> NcFileFilters(const std::string& pattern, int language,
                                            const std::vector<PathReaderFilter>& readers);

// 1 when loaded is set and fileName ends with one of the ";"-separated items of list (compared
// without regard to case); empty items match nothing.
int MatchExtensionList(int loaded, const std::string& fileName, const std::string& list);

// The directory part of a path: up to (without) its last "/"; "" when it has none.
std::string TrimTrailingChars(const std::string& path);

// Open dialogs. On OK the chosen path goes to *path and its directory to *directory, the filter
// index is remembered, and 1 is returned; on cancel both are left as they were and 0 is
// returned. The initial directory is that of *path.
// extraFilters follow the kind's own entry in the file-type list.
int SelectSettingFile(WindowHandle owner, int kind, std::string* directory, std::string* path,
                      const std::vector<FileDialogFilter>& extraFilters = {});
int SelectNcFile(WindowHandle owner, std::string* directory, std::string* path,
                 const std::vector<PathReaderFilter>& readers = {});
// The save dialog, pre-filled with the file name of *path (replaced on OK as above).
int SelectSaveFile(WindowHandle owner, int kind, std::string* directory, std::string* path,
                   const std::vector<FileDialogFilter>& extraFilters = {});

// The stock files' dialogs. The open dialog is kind 2's with the other readable kinds after its
// own entry: "DMF(*.DMF)", "STL(*.STL)", the loaded stock loaders' entries, "All(*.*)". On OK
// *path is the chosen file and 1 is returned; on cancel 0 and *path is left as it was.
int SelectStockReadFile(WindowHandle owner, const std::vector<PathReaderFilter>& loaders,
                        std::string* path);
// The save dialog of kind 1, its file types the save kinds: "DME(*.DME)" 1, ASCII STL 2, binary
// STL 3, then each loaded stock saver (kind 7 + its slot). On OK *path is the chosen file (a name
// without an extension gets that of the chosen type, ".dme" or ".stl"), *kind the type's save
// kind, *workCoordinates the dialog's work-coordinates choice (0 while the work origin is zero,
// where it makes no difference), and 1 is returned; on cancel 0 with nothing changed.
int SelectStockSaveFile(WindowHandle owner, const std::vector<PathReaderFilter>& savers,
                        std::string* path, int* kind, int* workCoordinates);

}  // namespace mirexa
