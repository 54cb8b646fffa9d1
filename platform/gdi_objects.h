// Pens and brushes: drawing objects made from a style, a width and a colour, deleted once. The
// headless backend keeps them as records, so that what was created, with which colour, and
// whether everything was deleted again can be checked.
#pragma once

#include <cstdint>

namespace mirexa {

struct PlatformGdiObject;
using GdiObjectHandle = const PlatformGdiObject*;

// Pen styles.
constexpr int kPenSolid = 0;
constexpr int kPenDash = 1;
constexpr int kPenDot = 2;
constexpr int kPenDashDot = 3;
constexpr int kPenNull = 5;

// Object kinds.
constexpr int kGdiPen = 1;
constexpr int kGdiBrush = 2;

// What an object was made from. color is 0x00BBGGRR.
struct GdiObjectInfo {
    int kind = {};
    int style = {};  // pens only
    int width = {};  // pens only, pixels
    std::uint32_t color = {};
};

// Creates a pen of the style (kPenSolid .. kPenDashDot, kPenNull), width (pixels, at least 1)
// and colour; null for an unknown style. The caller deletes it.
GdiObjectHandle CreatePenObject(int style, int width, std::uint32_t color);
// Creates a solid brush of the colour. The caller deletes it.
GdiObjectHandle CreateSolidBrushObject(std::uint32_t color);
// Deletes an object made above. 1, or 0 for null or a handle that is not (or no longer) alive;
// nothing is freed twice. Handles are never reused.
int DeleteGdiObject(GdiObjectHandle object);
// What a live object was made from. 1, or 0 (out unchanged) for a handle that is not alive.
int GetGdiObjectInfo(GdiObjectHandle object, GdiObjectInfo* out);
// Objects alive now (created and not yet deleted).
int CountLiveGdiObjects();

}  // namespace mirexa
