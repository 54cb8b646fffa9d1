// The view's context, clearing, pixel capture and panel hiding.
#include "view/snapshots.h"
#include "view/kept_stock_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <vector>

#include "platform/backend.h"

#include "view/camera.h"
#include "view/display_lists.h"
#include "view/driver_memory.h"
#include "view/gl_colors.h"
#include "view/machine_lists.h"
#include "view/view_hooks.h"

namespace mirexa {

ViewGlContext ViewContext;
CaptureGeometry ViewCapture;
int CaptureReadBuffer = -1;

namespace {

void ReadGlPixels(unsigned buffer, int format, int width, int height, std::uint8_t* out) {
    glFinish();
    if (!ViewContext.framebufferBound) {  // a framebuffer object has one colour buffer
        glReadBuffer(buffer);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, format == kPixelsBgr ? GL_BGR : GL_RGB, GL_UNSIGNED_BYTE,
                 out);
}

}  // namespace

ViewPixelReader ViewPixelSource = ReadGlPixels;

void SetCaptureGeometry(int width, int height, CaptureGeometry* geometry) {
    geometry->width = width < 0 ? 0 : width;
    geometry->height = height < 0 ? 0 : height;
    geometry->stride = (geometry->width * 3 + 3) / 4 * 4;
    geometry->size = static_cast<std::size_t>(geometry->stride) * geometry->height;
}

int CreateGlContext(int width, int height) {
    DestroyGlContext();
    // The driver ends the process where it runs out of memory while it makes its context.
    if (!GlContextMemoryFits()) {
        ViewContext.memoryShort = 1;
        return 0;
    }
    if (!CreateOffscreenGlContext(width, height, &ViewContext.surface, nullptr)) {
        return 0;
    }
    const GLuint base = glGenLists(static_cast<GLsizei>(kReservedListNames));
    if (base == 0) {
        DestroyOffscreenGlContext(&ViewContext.surface);
        return 0;
    }
    ViewContext.created = 1;
    ViewContext.framebufferBound = BindViewFrameBuffer(width, height);
    DisplayListBase = base;
    ++SceneListGeneration;
    // The off-screen surface is drawn in its back buffer and never swapped.
    CaptureReadBuffer = 0;
    SetCaptureGeometry(width, height, &ViewCapture);
    SetViewSize(&CurrentView, width, height);
    return 1;
}

int ResizeGlContext(int width, int height) {
    OffscreenGlContext& surface = ViewContext.surface;
    if (!ViewContext.created || width < 1 || height < 1) {
        return 0;
    }
    if (surface.width != width || surface.height != height) {
        const std::uint64_t pixels =
            static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
        if (!DriverMemoryFits(pixels * kDrawableBytesPerPixel)) {
            NoteDisplayMemoryShortage();  // the old drawable stays
            return 0;
        }
        if (!ResizeOffscreenGlContext(width, height, &surface, nullptr)) {
            return 0;
        }
    }
    if (!MakeViewContextCurrent()) {  // the view's framebuffer object follows the surface
        return 0;
    }
    SetCaptureGeometry(width, height, &ViewCapture);
    SetViewSize(&CurrentView, width, height);
    ++SceneListGeneration;  // a new drawable holds no kept frame
    return 1;
}

void DestroyGlContext() {
    if (!ViewContext.created) {
        return;
    }
    // The view's framebuffer objects go with the context (without a current context the deletion
    // does nothing, and the names are forgotten all the same).
    const bool current = MakeOffscreenGlContextCurrent(ViewContext.surface) != 0;
    ReleaseViewFrameBuffers();
    ForgetBuiltFixedLists();
    if (current && DisplayListBase != 0) {
        glDeleteLists(DisplayListBase, static_cast<GLsizei>(kReservedListNames));
    }
    DestroyOffscreenGlContext(&ViewContext.surface);
    ViewContext = ViewGlContext{};
    DisplayListBase = 0;
    ++SceneListGeneration;
}

int MakeViewContextCurrent() {
    if (!ViewContext.created || !MakeOffscreenGlContextCurrent(ViewContext.surface)) {
        return 0;
    }
    // Drawn and read in a framebuffer object of the surface's size (see kept_stock_frame.h).
    ViewContext.framebufferBound =
        BindViewFrameBuffer(ViewContext.surface.width, ViewContext.surface.height);
    return 1;
}

void ClearViewWindow() {
    if (!MakeViewContextCurrent()) {
        return;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, CurrentView.width, CurrentView.height);
    const float* bg = GlColors.background;
    glClearColor(bg[0], bg[1], bg[2], bg[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetViewProjection(&CurrentView);
    glMatrixMode(GL_MODELVIEW);
}

int ReadViewPixels(int format, std::uint8_t* buffer, std::size_t bufferSize) {
    const CaptureGeometry& g = ViewCapture;
    const OffscreenGlContext& surface = ViewContext.surface;
    if (buffer == nullptr || bufferSize < g.size || g.width < 1 || g.height < 1) {
        return 0;
    }
    if (ViewPixelSource == ReadGlPixels &&
        (!MakeViewContextCurrent() || g.width > surface.width || g.height > surface.height)) {
        return 0;
    }
    const unsigned first = CaptureReadBuffer == 0 ? GL_BACK : GL_FRONT;
    ViewPixelSource(first, format, g.width, g.height, buffer);
    if (CaptureReadBuffer == -1) {
        const bool anyByte =
            std::any_of(buffer, buffer + g.size, [](std::uint8_t b) { return b != 0; });
        if (anyByte) {
            CaptureReadBuffer = 1;
        } else {
            CaptureReadBuffer = 0;
            ViewPixelSource(GL_BACK, format, g.width, g.height, buffer);
        }
    }
    return 1;
}

int PresentViewFrame(WindowHandle window) {
    if (!HasFramePresenter()) {
        return 0;
    }
    static std::vector<std::uint8_t> frame;  // kept between frames: the view paints often
    frame.resize(ViewCapture.size);
    if (!ReadViewPixels(kPixelsBgr, frame.data(), frame.size())) {
        return 0;
    }
    return PresentWindowFrame(window, PresentedFrame{frame.data(), ViewCapture.width,
                                                     ViewCapture.height, ViewCapture.stride});
}

void ShowViewWindows(int show) {
    if (ViewCallbacks.panelEnabled == nullptr || ViewCallbacks.showPanel == nullptr) {
        return;
    }
    bool any = false;
    for (int panel : {kViewPanelCommand, kViewPanelToolDisplay}) {
        if (ViewCallbacks.panelEnabled(panel)) {
            ViewCallbacks.showPanel(panel, show);
            any = true;
            if (show != 0 && ViewCallbacks.repaintPanel != nullptr) {
                ViewCallbacks.repaintPanel(panel);
            }
        }
    }
    if (any && show == 0 && ViewCallbacks.repaintViewNow != nullptr) {
        ViewCallbacks.repaintViewNow();
    }
}

}  // namespace mirexa
