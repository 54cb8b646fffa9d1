// The dialog templates of the program as data: per dialog its id, captions, size and controls
// (platform/dialogs.h), one source file per group of dialogs.
#pragma once

#include <span>

#include "platform/dialogs.h"
#include "resources/program_resources.h"

namespace mirexa {

// Template ids (IDD_COMMAND_PANEL and IDD_TOOL_DISPLAY are in program_resources.h).
constexpr int IDD_VERSION_INFO = 103;
constexpr int IDD_RESIZE_SETTINGS = 127;
constexpr int IDD_TOOL_PARAMETERS = 137;
constexpr int IDD_PITCH = 139;
constexpr int IDD_STOCK_TWO_POINT = 148;
constexpr int IDD_CONTROL_POINT = 155;
constexpr int IDD_REVERSE_SETTINGS = 159;
constexpr int IDD_EXPAND_RATE = 162;
constexpr int IDD_STOCK_OFFSET = 201;
constexpr int IDD_INITIAL_CONDITION = 207;
constexpr int IDD_XYZ_CUT = 216;
constexpr int IDD_DISCOLORATION_REGION = 217;
constexpr int IDD_COLOR_SETTINGS = 218;
constexpr int IDD_PEEL_PEN_COLOR = 219;
constexpr int IDD_STOCK_MOVE = 224;
constexpr int IDD_BASIS_POINT_NOTE = 225;
constexpr int IDD_OFFSET_CODES = 234;
constexpr int IDD_SWING = 235;
constexpr int IDD_OPTIONAL_BLOCK_SKIP = 236;
constexpr int IDD_WORK_COORDINATES = 263;
constexpr int IDD_PAINT_DIFFERENCE = 271;
constexpr int IDD_INTERFERENCE_CHECK = 272;
constexpr int IDD_STOCK_CYLINDER = 278;
constexpr int IDD_DISPLAY_MODE = 279;
constexpr int IDD_STOCK_ROTATE = 280;
constexpr int IDD_STOCK_STATE = 281;
constexpr int IDD_STL_READ_SETTINGS = 282;
constexpr int IDD_MOVIE_SETTINGS = 284;
constexpr int IDD_FILE_DIALOG_EXTRA = 285;
constexpr int IDD_STOCK_FROM_ORIGIN = 286;
constexpr int IDD_STRUCTURE_INTERFERENCE = 287;

// The template of that id, or null.
const DialogTemplate* FindDialogTemplate(int id);
// Every template, by ascending id.
std::span<const DialogTemplate* const> AllDialogTemplates();

// The templates of each group (defined in the group's file).
extern const DialogTemplate StockDialogTemplates[11];
extern const DialogTemplate OffsetDialogTemplates[4];
extern const DialogTemplate SettingsDialogTemplates[10];
extern const DialogTemplate ColorDialogTemplates[4];
extern const DialogTemplate PanelDialogTemplates[2];
extern const DialogTemplate CheckDialogTemplates[2];

}  // namespace mirexa
