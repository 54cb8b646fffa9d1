// The view's framebuffer and the kept stock frame: the colour and depth of a frame drawn up to and
// including the stock, put back instead of drawing them again while nothing they show has changed.
#pragma once

#include <cstdint>

#include "config/config_records.h"
#include "view/gl_colors.h"

namespace mirexa {

// Everything the pixels up to the stock depend on besides the lists' contents, which
// SceneListGeneration stands for.
struct StockFrameKey {
    std::uint64_t generation = 0;  // SceneListGeneration at the draw
    std::uint32_t listBase = 0;    // the context's list names
    const void* model = nullptr;
    int stockIndex = 0, undoSlot = 0;
    int viewport[4] = {};
    double projection[16] = {};
    double camera[16] = {};  // the model-view after the camera alone
    double tableShift[3] = {}, angles[2] = {};
    int follow[2] = {};
    int modelsShown = 0;  // bit 0 the machine base, bits 1-3 the X, Y, Z table parts
    double lightVector[3] = {};
    double unitFactor = 0.0;
    int rotaryType = 0;
    double pivots[4][3] = {};   // the table position, the second table's centre, the directions
    DisplayModeSettings modes;  // compared byte for byte
    GlColorTable colors;
};

// Raised by every build or deletion of a scene list and by every context change: a kept frame
// from before no longer shows what the lists draw.
extern std::uint64_t SceneListGeneration;

// Fills the parts of the key read from the current GL state and the program's records; the
// caller sets the pose-dependent parts (tableShift, angles) and the stock.
void FillStockFrameKey(StockFrameKey* key);

// 1 when a frame was kept under this key (its pixels then stand in for the drawing up to the
// stock).
int HasKeptStockFrame(const StockFrameKey& key);

// Copies the colour and depth drawn so far into the kept buffers and keeps the GL state the drawing
// after the stock starts from, under key. Without framebuffer objects nothing is kept.
void KeepStockFrame(const StockFrameKey& key);

// Copies the kept colour and depth back into the window's framebuffer and sets the kept GL
// state.
void RestoreKeptStockFrame();

// Forgets the kept frame.
void DropKeptStockFrame();

// Makes (or remakes at a new size) the framebuffer object the view draws into and reads back in
// the current context and binds it. 0 when the context has none: the view then draws into its
// surface, and frames are kept all the same, only more slowly.
int BindViewFrameBuffer(int width, int height);

// Deletes the view's framebuffer objects and forgets the kept frame; called with the view's
// context current before the context goes.
void ReleaseViewFrameBuffers();

}  // namespace mirexa
