// Helpers of the view tests: an off-screen view with the program's globals in a known state,
// frames rendered and pixels read back, the colour a lit face shows, and stocks with box
// pockets carved out of them (with their dirty display blocks marked, as a cut marks them).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "stock/stock_model.h"

namespace mirexa::testing {

// Creates the view's context (width x height pixels) and resets the camera, the dirty flags,
// the display modes, the colours, the light vector, the machine and its model names, the
// current tool, the view hooks and the stock slots; the destructor frees the stocks, their list
// names and the context and resets the same again.
class OffscreenView {
public:
    OffscreenView(int width, int height);
    ~OffscreenView();
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    bool ok() const {
        return ok_;
    }
    // Sets the projection and renders the current stock (or none); returns RenderScene's result.
    int Render();
    // The pixel at (x, y) from the top left of the last frame (RGB).
    std::array<int, 3> Pixel(int x, int y);
    // The pixel under a model point (mm) of the last frame; fails the test when it does not
    // project into the view.
    std::array<int, 3> PixelAt(const double point[3]);

private:
    bool ok_ = false;
};

// Distinct colours for the tests: work red-ish, pens green-ish, paint blue, background black.
void SetTestColors();

// The colour (0..255 per channel) that a face of material colour c (0..1) shows under the
// scene's light (the settings' light vector l, in eye space) when its unit normal in eye space
// is n: global ambient 0.2 and light ambient 0.1 times c, plus the diffuse term max(0, n . l) c,
// clamped.
std::array<int, 3> LitColor(const float c[4], const double eyeNormal[3]);

// Checks that two colours agree within a tolerance per channel.
::testing::AssertionResult ColorNear(const std::array<int, 3>& actual,
                                     const std::array<int, 3>& expected, int tolerance = 3);

// A box stock [lo, hi] (mm) at the pitch with a ring of ringSize slots in stock slot index, made
// current, with its list names allocated and every block dirty. 1 on success.
int MakeBoxStock(int index, const double lo[3], const double hi[3], double pitch, int ringSize);

// Removes the box [lo, hi] (mm, local coordinates) from every ray of the model's three
// families; the new ends get the flag byte. Marks the display blocks the change touches and
// the stock flag of the current undo slot. Returns the rays changed.
int CarveBox(StockModel* model, const double lo[3], const double hi[3], std::uint8_t flag);

// Sets the flag byte of every end of every ray (painting).
void SetAllEndFlags(StockModel* model, std::uint8_t flag);

// The number of display blocks whose dirty byte is set.
int CountDirtyBlocks(const StockModel& model);

}  // namespace mirexa::testing
