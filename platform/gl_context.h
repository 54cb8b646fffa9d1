// Off-screen OpenGL rendering of the headless backend: a legacy (compatibility profile) context
// on an off-screen surface, through EGL on Mesa's surfaceless platform, so display lists and
// reading pixels back work without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirexa {

struct OffscreenGlContext {
    void* display = {};  // EGLDisplay
    void* config = {};   // EGLConfig
    void* context = {};  // EGLContext
    void* surface = {};  // EGLSurface
    int width = {};      // pixels
    int height = {};     // pixels
};

// Creates the context with an RGBA8 colour buffer and a 24-bit depth buffer of the given size
// and makes it current on the calling thread. Returns 1, or 0 with *error saying which step
// failed.
int CreateOffscreenGlContext(int width, int height, OffscreenGlContext* context,
                             std::string* error);

// Gives the context a new surface of the given size and makes it current; the context itself,
// and so its display lists, stay. On failure the old surface stays (current) and 0 is returned
// with *error saying which step failed.
int ResizeOffscreenGlContext(int width, int height, OffscreenGlContext* context,
                             std::string* error);

// Makes the context current on the calling thread (1) or fails (0).
int MakeOffscreenGlContextCurrent(const OffscreenGlContext& context);

// Releases the context and its surface; the record is emptied.
void DestroyOffscreenGlContext(OffscreenGlContext* context);

// Reads the current colour buffer as RGB rows from the top down (3 bytes per pixel).
int ReadOffscreenPixelsRgb(const OffscreenGlContext& context, std::vector<std::uint8_t>* pixels);

}  // namespace mirexa
