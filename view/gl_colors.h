// The display colours as OpenGL needs them: each ColorSet colour (0x00BBGGRR) as four floats
// with the alpha of its object group.
#pragma once

#include "config/config_records.h"

namespace mirexa {

// One RGBA entry per colour, components 0 .. 1.
struct GlColorTable {
    float pens[16][4] = {};  // pen 0 is the work colour
    float paint[4] = {};     // PENKI COLOR
    float base[4] = {};
    float topPath[4] = {};
    float topPath2[4] = {};
    float construction[4] = {};
    float toolTop[4] = {};
    float toolSide[4] = {};
    float arbor[4] = {};
    float headOneRotary[4] = {};  // HEAD(*)
    float headTwoRotary[4] = {};  // HEAD(**)
    float head[4] = {};
    float head1[4] = {};
    float head2[4] = {};
    float tableOneRotary[4] = {};  // TABLE(*)
    float table[4] = {};
    float table1[4] = {};
    float table2[4] = {};
    float vice[4] = {};
    float basic[4] = {};
    float background[4] = {};
};
extern GlColorTable GlColors;

// r = (c & 0xFF) / 255, g = ((c >> 8) & 0xFF) / 255, b = ((c >> 16) & 0xFF) / 255, a = alpha.
void ColorRefToGlColor(ColorRef color, float alpha, float out[4]);

// The eleven machine colours with MACHINE ALPHA.
void SetMachineColors(const ColorSet& colors, const DisplayModeSettings& modes);
// Tool top, tool side and arbor with TOOL ALPHA.
void SetToolColors(const ColorSet& colors, const DisplayModeSettings& modes);
// Creates the plug-in pens (the first call only, CreatePluginPens); the work colour (pen 0);
// pens 1-15 unless the colour mode is "TOOL-PEN" (they then keep their values); base with BASE
// ALPHA and paint with WORK ALPHA.
void SetWorkPenColors(const ColorSet& colors, const DisplayModeSettings& modes);
// Every entry from the colour set: the paths and construction and the background with alpha 1,
// then the tool, base, machine and work entries as above. The conversions of the start-up
// resources.
void FillGlColorTable(const ColorSet& colors, const DisplayModeSettings& modes);

// The material entry of a stock colour index: -1 the paint colour, 0..15 the pen (0 the work
// colour); any other index gives the work colour.
const float* StockMaterialColor(int index);

}  // namespace mirexa
