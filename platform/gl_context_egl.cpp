// Off-screen OpenGL context through EGL on Mesa's surfaceless platform (software rasteriser).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "platform/gl_context.h"

namespace mirexa {

namespace {

std::string EglFailure(const char* step) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04X)", step,
                  static_cast<unsigned>(eglGetError()));
    return text;
}

EGLDisplay OpenSurfacelessDisplay() {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        return EGL_NO_DISPLAY;
    }
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

}  // namespace

int CreateOffscreenGlContext(int width, int height, OffscreenGlContext* context,
                             std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (!context || width < 1 || height < 1) {
        why = "invalid context size";
        return 0;
    }
    *context = OffscreenGlContext{};
    // Says which step failed (before anything else resets the EGL error) and releases what was
    // made so far.
    auto fail = [&](const char* step) {
        why = EglFailure(step);
        DestroyOffscreenGlContext(context);
        return 0;
    };
    EGLDisplay display = OpenSurfacelessDisplay();
    if (display == EGL_NO_DISPLAY) {
        return fail("eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)");
    }
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        return fail("eglInitialize");
    }
    context->display = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return fail("eglBindAPI(EGL_OPENGL_API)");
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_DEPTH_SIZE,
                                       24,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
        return fail("eglChooseConfig");
    }
    context->config = config;
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext glContext = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (glContext == EGL_NO_CONTEXT) {
        return fail("eglCreateContext");
    }
    context->context = glContext;
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) {
        return fail("eglCreatePbufferSurface");
    }
    context->surface = surface;
    context->width = width;
    context->height = height;
    if (!MakeOffscreenGlContextCurrent(*context)) {
        return fail("eglMakeCurrent");
    }
    return 1;
}

int ResizeOffscreenGlContext(int width, int height, OffscreenGlContext* context,
                             std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (!context || !context->display || !context->context || width < 1 || height < 1) {
        why = "invalid context or size";
        return 0;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface =
        eglCreatePbufferSurface(context->display, context->config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) {
        why = EglFailure("eglCreatePbufferSurface");
        return 0;
    }
    if (!eglMakeCurrent(context->display, surface, surface, context->context)) {
        why = EglFailure("eglMakeCurrent");
        eglDestroySurface(context->display, surface);
        MakeOffscreenGlContextCurrent(*context);
        return 0;
    }
    eglDestroySurface(context->display, context->surface);
    context->surface = surface;
    context->width = width;
    context->height = height;
    return 1;
}

int MakeOffscreenGlContextCurrent(const OffscreenGlContext& context) {
    if (!context.display || !context.context || !context.surface) {
        return 0;
    }
    return eglMakeCurrent(context.display, context.surface, context.surface, context.context) ? 1
                                                                                              : 0;
}

void DestroyOffscreenGlContext(OffscreenGlContext* context) {
    if (!context || !context->display) {
        return;
    }
    EGLDisplay display = context->display;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context->surface) {
        eglDestroySurface(display, context->surface);
    }
    if (context->context) {
        eglDestroyContext(display, context->context);
    }
    // The display stays initialised: it is one per process, and terminating it unloads the
    // driver, which a later context would load again.
    *context = OffscreenGlContext{};
}

int ReadOffscreenPixelsRgb(const OffscreenGlContext& context, std::vector<std::uint8_t>* pixels) {
    if (!pixels || context.width < 1 || context.height < 1) {
        return 0;
    }
    auto width = static_cast<std::size_t>(context.width);
    auto height = static_cast<std::size_t>(context.height);
    std::vector<std::uint8_t> bottomUp(width * height * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, context.width, context.height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    if (glGetError() != GL_NO_ERROR) {
        return 0;
    }
    pixels->resize(bottomUp.size());
    for (std::size_t row = 0; row < height; ++row) {
        const std::uint8_t* from = bottomUp.data() + (height - 1 - row) * width * 3;
        std::copy(from, from + width * 3, pixels->data() + row * width * 3);
    }
    return 1;
}

}  // namespace mirexa
