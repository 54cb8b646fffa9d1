// The view's OpenGL context and list reservation, clearing the view, reading its pixels for
// PNG, clipboard and video captures, hiding the floating panels around a capture, and writing
// an 8-bit RGB PNG.
//
// The view renders into the back buffer and captures read it before any swap, which gives the
// same picture on every backend (the off-screen surface has no front buffer at all).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gl_context.h"
#include "platform/window.h"

namespace mirexa {

// The view's context and the size of its drawable (pixels).
struct ViewGlContext {
    OffscreenGlContext surface = {};
    int created = {};
    int framebufferBound = {};  // 1: the view draws into its framebuffer object, not the surface
    // 1 when the last CreateGlContext made nothing because the driver would not have had the
    // address space it needs (driver_memory.h).
    int memoryShort = {};
};
extern ViewGlContext ViewContext;

// Capture geometry, set whenever the view is resized: rows of width * 3 bytes rounded up to a
// multiple of 4 (the default pack alignment).
struct CaptureGeometry {
    int width = {};
    int height = {};
    int stride = {};        // bytes per row in the buffer
    std::size_t size = {};  // stride * height
};
extern CaptureGeometry ViewCapture;
void SetCaptureGeometry(int width, int height, CaptureGeometry* geometry);

// Where captures read: -1 undecided (the first capture tests the front buffer), 1 front, 0 back.
extern int CaptureReadBuffer;

// Creates the view's context with a drawable of the given size (pixels), makes it current,
// reserves the view's display-list names with one glGenLists call (DisplayListBase) and sets
// the capture geometry and the camera's view size. Captures read the back buffer. 1, or 0 when
// no context could be made (nothing is then reserved); when the memory left to the process could
// not hold what the driver takes for it, it is not even tried (memoryShort is set).
int CreateGlContext(int width, int height);
// Gives the view's context a drawable of the new size (pixels), keeping the context and its
// lists, and sets the capture geometry and the camera's view size to it. 1, or 0 without a
// context or when no drawable of that size could be made (the old one then stays, and so does
// the capture geometry); a drawable the driver might not have the memory for is not tried (a
// display memory shortage is noted).
int ResizeGlContext(int width, int height);
// Deletes the reserved lists and the context; the list base becomes 0.
void DestroyGlContext();
// Makes the view's context current; 0 when there is none.
int MakeViewContextCurrent();

// Clears the view to the background colour and sets the projection (viewport of the view
// size). Nothing without a context.
void ClearViewWindow();

// Reads one buffer: format 0 RGB or 1 BGR, width x height pixels from (0, 0), bottom row first,
// rows `stride` bytes apart. GL_FRONT reads the front buffer, GL_BACK the back buffer. Tests
// replace it to model a system whose front buffer reads back black.
constexpr int kPixelsRgb = 0;
constexpr int kPixelsBgr = 1;
using ViewPixelReader = void (*)(unsigned buffer, int format, int width, int height,
                                 std::uint8_t* out);
extern ViewPixelReader ViewPixelSource;

// Reads the view's pixels into the buffer (ViewCapture.size bytes) in the given format. The
// first capture with CaptureReadBuffer -1 reads the front buffer and keeps it when any byte is
// not 0, otherwise chooses the back buffer for good and reads again. 1, or 0 without a context
// or buffer, and when the capture geometry is larger than the drawable (nothing defined to read).
int ReadViewPixels(int format, std::uint8_t* buffer, std::size_t bufferSize);

// Hands the finished frame of the view window to the backend's presenter: the pixels the
// captures read (ReadViewPixels, BGR), so the screen shows what PNG, clipboard and video files
// get. Nothing is read back when the backend shows no pictures (headless). 1 when presented.
int PresentViewFrame(WindowHandle window);

// Hides (SW_HIDE) or shows (SW_SHOW) each enabled floating panel. After hiding anything the view
// is repainted at once; after showing, each shown panel is repainted.
void ShowViewWindows(int show);

// Results of SavePngImage.
constexpr int kPngWritten = 1;
constexpr int kPngBadArguments = 0;
constexpr int kPngCannotCreate = -1;  // the file could not be created
constexpr int kPngWriteFailed = -2;   // libpng or the stream failed while writing

// Writes width x height pixels as an 8-bit RGB PNG: PNG row i is buffer row height - 1 - i
// (rows stride bytes apart, width * 3 bytes used). The image goes to a temporary file beside
// the path that replaces the path only when everything was written; on any failure no file is
// left behind (an earlier file of that name is kept). A symbolic link of that name is replaced
// by the image, never followed. Returns kPngWritten or a code above.
int SavePngImage(const char* path, const std::uint8_t* pixels, int stride, int width, int height);

}  // namespace mirexa
