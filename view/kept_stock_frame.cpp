// The kept stock frame: read back after the stock is drawn, written back while its key holds.
#include "view/kept_stock_frame.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "config/machine_file.h"
#include "config/machine_models.h"
#include "geometry/orientation_frames.h"
#include "view/camera.h"
#include "view/display_lists.h"

namespace mirexa {

std::uint64_t SceneListGeneration = 0;

namespace {

// The material of one face side as glGetMaterialfv returns it.
struct SideMaterial {
    float ambient[4], diffuse[4], specular[4], emission[4], shininess[1];
};

struct KeptFrame {
    bool valid = false;
    StockFrameKey key;
    std::vector<std::uint32_t> color;  // RGBA bytes, bottom row first
    std::vector<std::uint32_t> depth;
    // The state the drawing after the stock inherits.
    GLboolean blend = GL_FALSE;
    float currentColor[4] = {};
    SideMaterial sides[2] = {};
    float lineWidth = 1.0f, pointSize = 1.0f;
};
KeptFrame kept;

constexpr GLenum kSides[2] = {GL_FRONT, GL_BACK};

void ReadMaterial(GLenum side, SideMaterial* m) {
    glGetMaterialfv(side, GL_AMBIENT, m->ambient);
    glGetMaterialfv(side, GL_DIFFUSE, m->diffuse);
    glGetMaterialfv(side, GL_SPECULAR, m->specular);
    glGetMaterialfv(side, GL_EMISSION, m->emission);
    glGetMaterialfv(side, GL_SHININESS, m->shininess);
}

void WriteMaterial(GLenum side, const SideMaterial& m) {
    glMaterialfv(side, GL_AMBIENT, m.ambient);
    glMaterialfv(side, GL_DIFFUSE, m.diffuse);
    glMaterialfv(side, GL_SPECULAR, m.specular);
    glMaterialfv(side, GL_EMISSION, m.emission);
    glMaterialfv(side, GL_SHININESS, m.shininess);
}

bool SameKey(const StockFrameKey& a, const StockFrameKey& b) {
    // The key holds only numbers; the pose and matrices must match exactly.
    return std::memcmp(&a, &b, sizeof(StockFrameKey)) == 0;
}

}  // namespace

void FillStockFrameKey(StockFrameKey* key) {
    // Zeroed byte for byte, so that padding never makes two equal keys differ.
    std::memset(static_cast<void*>(key), 0, sizeof(StockFrameKey));
    key->generation = SceneListGeneration;
    key->listBase = DisplayListBase;
    glGetIntegerv(GL_VIEWPORT, key->viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, key->projection);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    ApplyModelViewTransform(CurrentView);
    glGetDoublev(GL_MODELVIEW_MATRIX, key->camera);
    glPopMatrix();
    key->follow[0] = SceneFollow.followLinearAxes;
    key->follow[1] = SceneFollow.followRotaryAxes;
    const int shown[4] = {!MachineModelNames.basicNames.empty(),
                          !MachineModelNames.slots[kModelTableX].empty(),
                          !MachineModelNames.slots[kModelTableY].empty(),
                          !MachineModelNames.slots[kModelTableZ].empty()};
    for (int i = 0; i < 4; ++i) {
        key->modelsShown |= shown[i] << i;
    }
    std::copy(Settings.lightVector, Settings.lightVector + 3, key->lightVector);
    key->unitFactor = DisplayUnitFactor;
    key->rotaryType = Machine.rotaryType;
    std::copy(Machine.tablePosition, Machine.tablePosition + 3, key->pivots[0]);
    std::copy(Machine.secondTableCentre, Machine.secondTableCentre + 3, key->pivots[1]);
    std::copy(Machine.rotary[0].direction, Machine.rotary[0].direction + 3, key->pivots[2]);
    std::copy(Machine.rotary[1].direction, Machine.rotary[1].direction + 3, key->pivots[3]);
    std::memcpy(&key->modes, &DisplayModes, sizeof(DisplayModes));
    std::memcpy(&key->colors, &GlColors, sizeof(GlColors));
}

int HasKeptStockFrame(const StockFrameKey& key) {
    return kept.valid && SameKey(kept.key, key) ? 1 : 0;
}

void KeepStockFrame(const StockFrameKey& key) {
    const int width = key.viewport[2], height = key.viewport[3];
    if (width < 1 || height < 1) {
        kept.valid = false;
        return;
    }
    const std::size_t count = static_cast<std::size_t>(width) * height;
    kept.color.resize(count);
    kept.depth.resize(count);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(key.viewport[0], key.viewport[1], width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                 kept.color.data());
    glReadPixels(key.viewport[0], key.viewport[1], width, height, GL_DEPTH_COMPONENT,
                 GL_UNSIGNED_INT, kept.depth.data());
    kept.blend = glIsEnabled(GL_BLEND);
    glGetFloatv(GL_CURRENT_COLOR, kept.currentColor);
    for (int s = 0; s < 2; ++s) {
        ReadMaterial(kSides[s], &kept.sides[s]);
    }
    glGetFloatv(GL_LINE_WIDTH, &kept.lineWidth);
    glGetFloatv(GL_POINT_SIZE, &kept.pointSize);
    std::memcpy(static_cast<void*>(&kept.key), &key, sizeof(StockFrameKey));
    kept.valid = glGetError() == GL_NO_ERROR;
}

void RestoreKeptStockFrame() {
    const int* viewport = kept.key.viewport;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glWindowPos2i(viewport[0], viewport[1]);
    // Colour as it was, blending and the depth test off.
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDrawPixels(viewport[2], viewport[3], GL_RGBA, GL_UNSIGNED_BYTE, kept.color.data());
    // Depth written whatever it was, no colour.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDrawPixels(viewport[2], viewport[3], GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, kept.depth.data());
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_LESS);
    if (kept.blend) {
        glEnable(GL_BLEND);
    }
    glColor4fv(kept.currentColor);
    for (int s = 0; s < 2; ++s) {
        WriteMaterial(kSides[s], kept.sides[s]);
    }
    glLineWidth(kept.lineWidth);
    glPointSize(kept.pointSize);
}

void DropKeptStockFrame() {
    kept.valid = false;
}

}  // namespace mirexa
