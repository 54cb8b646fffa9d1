// The dexel pitch choice and the box, framed box, cylinder and tube stocks, filled ray by ray
// from their analytic shapes, and the placement of a stock (translation, frame refresh).
#pragma once

#include <cstdint>

#include "stock/stock_model.h"

namespace mirexa {

// Pitch settings of the stock ("PITCH(WORK)", "MINIMUM PITCH(WORK)", "PITCH(MOVE)"); filled by
// the settings reader and the pitch dialog.
struct DexelPitchSettings {
    int automatic = {};             // 1: choose from the candidates against the size limit
    double requestedPitch = 1.0;    // mm: the fixed value, or the last automatic choice
    double currentPitch = 1.0;      // mm: the pitch of the next stock
    double minimumPitch = 0.01;     // mm; 0 or less: no minimum
    int sizeLimit = 20000;          // most ray ends of a full box stock
    int secondPitchAutomatic = {};  // 1: second pitch = factor * pitch
    double secondPitchFactor = 1.0;
    double secondPitch = 1.0;  // mm
};
extern DexelPitchSettings DexelPitch;

// The pitches a stock and a run can be made with (mm): a finer stock pitch builds no grid that
// fits in memory, a coarser one no shape; a move pitch below a hundredth of the stock pitch
// steps every move millions of times without a finer cut.
constexpr double kLeastStockPitch = 0.001;
constexpr double kGreatestStockPitch = 100.0;
constexpr double kLeastMovePitchShare = 0.01;

// The farthest a stock coordinate, a stock's size or a stock move reaches from the origin (mm):
// no machine travels a kilometre.
constexpr double kStockCoordinateLimit = 1e6;

// 1 when the stock pitch lies within [kLeastStockPitch, kGreatestStockPitch]; 0 otherwise (NaN
// included).
int DexelPitchUsable(double pitch);
// 1 when the stock pitch is usable and the move pitch lies within [pitch * kLeastMovePitchShare,
// kGreatestStockPitch]; 0 otherwise.
int DexelPitchesUsable(double pitch, double movePitch);

// The candidate pitches of the automatic choice, ascending, mm.
constexpr int kDexelPitchCandidateCount = 23;
extern const double kDexelPitchCandidates[kDexelPitchCandidateCount];

// The initial stock as the settings file, the command line and the stock dialogs define it.
struct StockDefinition {
    int kind = 1;  // 0 stock file, 1 box, 2 box by reference sides, 3 cylinder
    double box[6] = {0, 0, 0, 100, 100, 30};  // mm: min x, y, z, max x, y, z
    // Box by reference sides, per axis x, y, z: reference -1 low side, +1 high side, 0 centre;
    // the size and the margins on the low and high side (mm).
    int sideReference[3] = {-1, -1, -1};
    double sideSize[3] = {100, 200, 50};
    double sideLowMargin[3] = {};
    double sideHighMargin[3] = {};
    // Cylinder: axis 0 X, 1 Y, 2 Z; base point x, y, z, length, outer and inner diameter (mm).
    int cylinderAxis = 0;
    double cylinder[6] = {-80, 0, 0, 80, 100, 40};
};
extern StockDefinition InitialStock;

// Chooses the pitch of the next stock from DexelPitch and the InitialStock box: the fixed
// requested pitch, or the finest candidate whose full box stock keeps
// 2 * (nx*ny + ny*nz + nz*nx) ends within the size limit (the coarsest candidate when none
// does), never finer than the minimum pitch. Sets the current, requested and second pitch.
void ChooseDexelPitch();

// Builds a box stock (box = min x, y, z, max x, y, z in local coordinates, mm) on a grid of the
// given pitch, placed by the frame. The model's ring size must be set. Every ray holds one
// segment [min, max], except rays on a last node line that lies beyond the box. The material
// corners are the work-coordinate bounds of the placed box. 1, kStockDefinitionError for a
// non-positive or non-finite pitch or extent or too many nodes, or a negative allocation code;
// on failure the model holds nothing and nx is 0.
int CreateBoxStock(StockModel* model, const double box[6], const StockFrame& frame, double pitch);
int CreateBoxStockIdentity(StockModel* model, const double box[6], double pitch);

// Builds a cylinder (inner radius 0) or tube along axis 0 X, 1 Y or 2 Z from the base point,
// with the identity frame. A negative length starts the cylinder at base + length instead.
// 0 on success (callers test for a negative result), kStockDefinitionError for an axis outside
// 0..2, a non-positive length, pitch or outer radius, an inner radius below 0 or not below the
// outer one, or too many nodes, or a negative allocation code; on failure nx is 0.
int CreateCylinderStock(StockModel* model, const double base[3], int axis, double length,
                        double outerRadius, double innerRadius, double pitch);

// Moves the stock's placement by the vector (mm): frame offset and the material corners of
// every used undo slot; the rays stay as they are. The derived frame fields follow.
void TranslateStock(StockModel* model, const double vector[3]);

// Recomputes the fields derived from the frame: inverse orientation, negated offset and the
// frame flag (0 exactly for the identity with zero offset). Call after every frame change.
void RefreshStockFrame(StockModel* model);

}  // namespace mirexa
