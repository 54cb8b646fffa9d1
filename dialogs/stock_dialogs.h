// The dialogs of the stock commands: a box by two points, a cylinder, a box placed against the
// work origin, move, rotate, offset, XYZ cut, the stock's state, and the options asked while a
// stock file is read (swing, reverse, STL read settings). Each only stores values; the stock
// command that opened it builds or changes the stock when it returns 1. Each Open function has
// the form of its StockCommandHooks entry and opens its dialog with the main window as owner.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include "platform/window.h"
#include "shell/stock_commands.h"
#include "stock/stock_shapes.h"

namespace mirexa {

// The kind of coordinates the two-point and cylinder dialogs show and read: 0 machine, 1 work
// (machine value minus the control origin). The stored values are always machine values.
extern int StockCoordinateKind;

// The transforms asked while a stock file is read.
struct StockTransformParameters {
    int swingAxis = 2;             // 0 X, 1 Y, 2 Z
    double swingAngle = {};        // deg, through single precision
    double swingCentre[3] = {};    // mm, through single precision
    int reverseDirection = 1;      // 1 X, 2 Y
    int keepFlags[3] = {1, 1, 1};  // keep paint, keep pen colour, keep cut-direction colour
    int stockOpenKind = {};        // the kind the open dialog chose; 2 is a height map (.DMF)
};
extern StockTransformParameters StockTransform;

// The last direction chosen in the offset dialog (1 normal, 2 Z, 3 horizontal).
extern int StockOffsetDirection;

// The box of a stock placed against the work origin (machine coordinates, min x, y, z, max x,
// y, z), per axis from the placement (-1: the part starts at the origin, 0: centred on it, 1:
// ends at it), the size and the two margins that widen it below and above, shifted by origin.
void ComputeOriginBoxCorners(const StockDefinition& stock, const double origin[3], double box[6]);

int OpenTwoPointStockDialog(StockBoxChoice* choice);
int OpenCylinderStockDialog(StockBoxChoice* choice);
int OpenOriginStockDialog(StockBoxChoice* choice);
int OpenStockMoveDialog(double shift[3]);
int OpenStockRotateDialog(int* axis, double* angle);
int OpenStockOffsetDialog(StockOffsetParameters* parameters);
int OpenStockClipDialog(StockClipLimits* limits);
int OpenStockStateDialog(int* state);
int OpenSwingDialog(double* sinAngle, double* cosAngle);
int OpenReverseDialog();
int OpenStlReadDialog();

// Restores the records of this header (tests).
void ResetStockDialogs();

}  // namespace mirexa
