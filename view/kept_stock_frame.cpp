// The view's framebuffer and the kept stock frame: copied after the stock is drawn, copied back
// while its key holds.
#include "view/kept_stock_frame.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

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

// A framebuffer object with an RGBA8 colour and a 24-bit depth renderbuffer. Two of them with
// these same formats, the view's and the kept frame's, are copied into each other by a blit that a
// software renderer does as a plain memory copy (between the window surface and a framebuffer
// object it draws a textured quad, several times slower).
struct FrameBuffers {
    GLuint framebuffer = 0, color = 0, depth = 0;
    int width = 0, height = 0;
};

FrameBuffers viewTarget;  // what the view draws into and is read back from
FrameBuffers keptCopy;

void DeleteFrameBuffers(FrameBuffers* buffers) {
    if (buffers->framebuffer != 0) {
        glDeleteFramebuffers(1, &buffers->framebuffer);
        glDeleteRenderbuffers(1, &buffers->color);
        glDeleteRenderbuffers(1, &buffers->depth);
    }
    *buffers = FrameBuffers{};
}

// Makes the buffers width x height unless they are; leaves the framebuffer binding at the view's
// target. 1 when they are there.
bool EnsureFrameBuffers(FrameBuffers* buffers, int width, int height) {
    if (buffers->framebuffer != 0 && buffers->width == width && buffers->height == height) {
        return true;
    }
    DeleteFrameBuffers(buffers);
    glGetError();  // an earlier call's error is not this one's
    FrameBuffers made;
    glGenFramebuffers(1, &made.framebuffer);
    glGenRenderbuffers(1, &made.color);
    glGenRenderbuffers(1, &made.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, made.color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, made.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, made.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, made.color);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, made.depth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, viewTarget.framebuffer);
    made.width = width;
    made.height = height;
    if (!complete || glGetError() != GL_NO_ERROR) {
        DeleteFrameBuffers(&made);
        return false;
    }
    *buffers = made;
    return true;
}

// The state a kept frame holds besides its pixels.
struct KeptFrame {
    bool valid = false;
    StockFrameKey key;
    // The state the drawing after the stock inherits.
    GLboolean blend = GL_FALSE;
    float currentColor[4] = {};
    SideMaterial sides[2] = {};
    float lineWidth = 1.0f, pointSize = 1.0f;
};
KeptFrame kept;

// Copies the colour and depth of the viewport between the view's target and the kept copy.
// 1 when the copy was made.
bool BlitFrame(const int viewport[4], bool intoKept) {
    const GLuint view = viewTarget.framebuffer;
    const int x0 = viewport[0], y0 = viewport[1];
    const int x1 = x0 + viewport[2], y1 = y0 + viewport[3];
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, intoKept ? view : keptCopy.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, intoKept ? keptCopy.framebuffer : view);
    if (intoKept) {
        glBlitFramebuffer(x0, y0, x1, y1, 0, 0, viewport[2], viewport[3],
                          GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    } else {
        glBlitFramebuffer(0, 0, viewport[2], viewport[3], x0, y0, x1, y1,
                          GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, view);
    if (scissor) {
        glEnable(GL_SCISSOR_TEST);
    }
    return glGetError() == GL_NO_ERROR;
}

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
    kept.valid = false;
    const int width = key.viewport[2], height = key.viewport[3];
    if (width < 1 || height < 1 || !EnsureFrameBuffers(&keptCopy, width, height) ||
        !BlitFrame(key.viewport, true)) {
        return;
    }
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
    BlitFrame(kept.key.viewport, false);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    if (kept.blend) {
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
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

int BindViewFrameBuffer(int width, int height) {
    if (width < 1 || height < 1 || !EnsureFrameBuffers(&viewTarget, width, height)) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return 0;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, viewTarget.framebuffer);
    return 1;
}

void ReleaseViewFrameBuffers() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    DeleteFrameBuffers(&keptCopy);
    DeleteFrameBuffers(&viewTarget);
    kept.valid = false;
}

}  // namespace mirexa
