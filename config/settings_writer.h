// Writing the start-up state back into the settings file when the main window closes: the
// window placement and panel flags, the colour groups the user keeps, the alphas, the three
// stock values and the options switched from the menus. Every other key of the file keeps its
// text.
#pragma once

#include <string>
#include <vector>

#include "config/config_records.h"

namespace mirexa {

// What the shell knows of its main window when it closes: the normal (restored) rectangle in
// pixels, its show state, and whether it is minimised now.
struct MainWindowPlacement {
    int minimised = {};
    int left = {};
    int top = {};
    int right = {};
    int bottom = {};
    int showCommand = {};
};

// A stock value number: "%d" when it is an integer within the int range, else the fixed form
// with six decimals and its trailing zeros (and a bare point) cut: 30.5 gives "30.5", 100 gives
// "100", 1e-9 gives "0", 1e15 + 0.5 gives "1000000000000000.5". Locale-independent.
std::string FormatStockNumber(double value);

// The three stock values of section "DMEdata" in the form ParseInitialSizeSetting,
// ParseInitialSize2Setting and ParseCylinderSetting read back: "(0,0,0,100,100,30.5)",
// "(LEFT,100,0,0,FRONT,200,0,0,BOTTOM,50,0,0)", "X(-80,0,0,80,100,40)".
std::string FormatInitialSizeSetting(const StockDefinition& stock);
std::string FormatInitialSize2Setting(const StockDefinition& stock);
std::string FormatCylinderSetting(const StockDefinition& stock);

// A colour as "(r,g,b)".
std::string FormatColorSetting(ColorRef color);

// Writes, into DefinitionFiles.settingsPath: section "Save" (DISPLAY; when it is 1 and the window
// is not minimised, SHOW, X, Y, HEIGHT, WIDE from the placement, which also become the stored
// values; VIEW_P, VIEW_T; the five colour group flags), the colours of the groups whose flag is
// 1 ("LINE COLOR": any non-zero value) with TOOL-TOP COLOR MODE in the tool group, the alphas
// "%3.1f" of the work, tool and machine groups (never BASE ALPHA), then INITIAL SIZE, INITIAL
// SIZE2 and CYLINDER, then the options the menus switch that differ from what the file gives
// (ListDefineOptionChanges). A key whose text already equals the new text is not rewritten, so a
// file that nothing changed keeps every byte. All the keys go into the file in one atomic
// replacement: a failure leaves the previous file whole, with none of the new values.
//
// Nothing is written in a batch mode or in automatic mode (returns 1). Returns 1 when the file
// was written (or needed no change); 0 on failure, with a message naming the file appended to
// *messages (when not null).
int SaveSettingsToIni(const MainWindowPlacement& placement, std::vector<std::string>* messages);

}  // namespace mirexa
