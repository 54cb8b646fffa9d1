// Conversion of the display colours into the OpenGL colour table.
#include "view/gl_colors.h"

#include "view/gdi_resources.h"

namespace mirexa {

GlColorTable GlColors;

void ColorRefToGlColor(ColorRef color, float alpha, float out[4]) {
    out[0] = static_cast<float>(color & 0xFFu) / 255.0f;
    out[1] = static_cast<float>((color >> 8) & 0xFFu) / 255.0f;
    out[2] = static_cast<float>((color >> 16) & 0xFFu) / 255.0f;
    out[3] = alpha;
}

void SetMachineColors(const ColorSet& colors, const DisplayModeSettings& modes) {
    const float a = modes.machineAlpha;
    GlColorTable& t = GlColors;
    ColorRefToGlColor(colors.headOneRotary, a, t.headOneRotary);
    ColorRefToGlColor(colors.headTwoRotary, a, t.headTwoRotary);
    ColorRefToGlColor(colors.head, a, t.head);
    ColorRefToGlColor(colors.head1, a, t.head1);
    ColorRefToGlColor(colors.head2, a, t.head2);
    ColorRefToGlColor(colors.tableOneRotary, a, t.tableOneRotary);
    ColorRefToGlColor(colors.table, a, t.table);
    ColorRefToGlColor(colors.table1, a, t.table1);
    ColorRefToGlColor(colors.table2, a, t.table2);
    ColorRefToGlColor(colors.vice, a, t.vice);
    ColorRefToGlColor(colors.basic, a, t.basic);
}

void SetToolColors(const ColorSet& colors, const DisplayModeSettings& modes) {
    ColorRefToGlColor(colors.toolTop, modes.toolAlpha, GlColors.toolTop);
    ColorRefToGlColor(colors.toolSide, modes.toolAlpha, GlColors.toolSide);
    ColorRefToGlColor(colors.arbor, modes.toolAlpha, GlColors.arbor);
}

void SetWorkPenColors(const ColorSet& colors, const DisplayModeSettings& modes) {
    CreatePluginPens();
    ColorRefToGlColor(colors.work, modes.workAlpha, GlColors.pens[0]);
    if (modes.colorMode == 0) {
        for (int pen = 1; pen < 16; ++pen) {
            ColorRefToGlColor(colors.pens[pen], modes.workAlpha, GlColors.pens[pen]);
        }
    }
    ColorRefToGlColor(colors.base, modes.baseAlpha, GlColors.base);
    ColorRefToGlColor(colors.penki, modes.workAlpha, GlColors.paint);
}

void FillGlColorTable(const ColorSet& colors, const DisplayModeSettings& modes) {
    ColorRefToGlColor(colors.topPath, 1.0f, GlColors.topPath);
    ColorRefToGlColor(colors.topPath2, 1.0f, GlColors.topPath2);
    ColorRefToGlColor(colors.construction, 1.0f, GlColors.construction);
    SetToolColors(colors, modes);
    SetMachineColors(colors, modes);
    SetWorkPenColors(colors, modes);
    ColorRefToGlColor(colors.background, 1.0f, GlColors.background);
}

const float* StockMaterialColor(int index) {
    if (index == -1) {
        return GlColors.paint;
    }
    if (index < 0 || index > 15) {
        return GlColors.pens[0];
    }
    return GlColors.pens[index];
}

}  // namespace mirexa
