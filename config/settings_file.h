// The settings file mirexa.ini: where it is found, the order of its sections, the sections other
// than "Define", the three stock values and the layout table of the information panel.
#pragma once

#include <string>
#include <vector>

#include "config/config_records.h"

namespace mirexa {

// A pixel rectangle of the information panel; edges the layout does not set stay 0.
struct PanelRect {
    int left = {};
    int top = {};
    int right = {};
    int bottom = {};
};

inline constexpr int kPanelAxisCount = 5;  // the program always runs three linear, two rotary
inline constexpr int kPanelValueRows = 13;
inline constexpr int kPanelExtraRows = 7;

// The fixed cells the shell draws the information panel into.
struct InfoPanelLayout {
    PanelRect header[2] = {};
    PanelRect frame[2] = {};
    int panelWidth = {};
    int panelHeight = {};
    PanelRect title[2] = {};
    PanelRect axisCells[kPanelAxisCount][4] = {};
    PanelRect belowAxes[5] = {};
    PanelRect thirdRow[3] = {};
    PanelRect fourthRow[3] = {};
    PanelRect valueLeft[kPanelValueRows] = {};
    PanelRect valueRight[kPanelValueRows] = {};  // row 0 has none
    PanelRect extraLeft[kPanelExtraRows] = {};
    PanelRect extraRight[kPanelExtraRows] = {};
};
extern InfoPanelLayout InfoPanel;

// Fills the layout for axisCount axis rows (3 .. kPanelAxisCount).
void BuildInfoPanelLayout(int axisCount, InfoPanelLayout* layout);

// The three stock values of section "DMEdata". Each needs its "(" and every comma; a value that
// lacks them leaves *stock unchanged and returns 0; else 1. Numbers that do not parse read 0.
//   INITIAL SIZE   "(xmin,ymin,zmin,xmax,ymax,zmax)"
//   INITIAL SIZE2  "(LEFT|RIGHT|CENTER,width,left,right,FRONT|BACK|CENTER,depth,front,back,
//                    BOTTOM|TOP|CENTER,height,bottom,top)"
//   CYLINDER       "X|Y|Z(basex,basey,basez,length,outer,inner)" (no axis letter: unchanged)
int ParseInitialSizeSetting(const char* value, StockDefinition* stock);
int ParseInitialSize2Setting(const char* value, StockDefinition* stock);
int ParseCylinderSetting(const char* value, StockDefinition* stock);

// The [ExecSelf] EXEC_OPTION of a settings file that gives none (Settings.selfOption's default):
// the second instance runs the program directory's ZAZUD!.NC in batch mode 2.
inline constexpr char kDefaultSelfOption[] = "/X2 ZAZUD!.NC";

// Reads the settings file at start-up, after ParseCommandLine, into Settings, DefinitionFiles,
// InitialStock, StlImport, Checks, LiveColors, DisplayModes, DexelPitch, InfoPanel and
// FileLocations, skipping the keys the command line gave. currentDirectory and programPath are
// the process's working directory and executable; ReadSettings takes them from the system.
//
// The file: DefinitionFiles.settingsName as a path when it has a directory part, else in the
// current directory, else in the program directory. A missing file is no error: every key then
// takes its default. Sections in order: Table (directories), DMEdata, NCdata, OUTPUTdata,
// Optimize, Define (drawing and checks), Table (definition files), ExecEditor, ExecSelf, Define
// (view and magazine), Video, Mouse, Save; then a colour file named on the command line is read and
// made live. In a batch mode the tool and path displays and the tool panel are switched off.
//
// Definition files and the basic model: a name with a directory part is taken relative to the
// current directory; a bare name is looked for in its Target directory, then the current
// directory, else taken from the program directory. Names given on the command line are looked
// for in the current directory, then the program directory. A path longer than kPathLimit is
// refused (the entry stays empty) with a message.
//
// Messages about refused values are appended to *messages when it is not null. Returns 1 when a
// settings file was read, 0 when none was found or it holds no value (SettingsFileHoldsValues).
// With INPUT COORDINATE WORK, the box of INITIAL SIZE and the base point of CYLINDER that the
// settings file gave (not the command line's stock) are work coordinates: this places them at the
// work origin (machine mm; the one the program starts with, once the controller file is read) and
// keeps that origin for StockValuesOfSettingsFile. Values placed before stay where they are.
void PlaceSettingsStockAtWorkOrigin(const double origin[3]);
// InitialStock as the settings file holds it: with INPUT COORDINATE WORK the box and the
// cylinder's base point in work coordinates against the origin they were placed at, so that
// the next start places them where they are now.
StockDefinition StockValuesOfSettingsFile();

// Notes a line the reader refused, with the writer's form of the default that stands in its place
// (a line of the same key noted before is replaced).
void NoteRefusedSettingsLine(const char* section, const char* key, const std::string& standing);
// True while the value the writer would give the key is still the default that stands for a
// refused line: the line stays as the user wrote it. A value changed since is written.
bool KeepsRefusedSettingsLine(const char* section, const char* key, const std::string& value);

int ReadSettingsFrom(const std::string& currentDirectory, const std::string& programPath,
                     std::vector<std::string>* messages);
int ReadSettings(std::vector<std::string>* messages);

// 1 when path is a regular file of readable size with at least one "key=value" line in a
// section; 0 for a missing, unreadable, empty or valueless file.
int SettingsFileHoldsValues(const std::string& path);
// 1 when path is a regular file larger than a settings file is read (kWholeFileReadLimit): it
// holds no value for SettingsFileHoldsValues and the readers, though it is there.
int SettingsFileTooLarge(const std::string& path);

}  // namespace mirexa
