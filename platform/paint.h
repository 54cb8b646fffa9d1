// Drawing into a program-drawn window (the information panel, the tool panel, status panes): a
// paint context records fills, lines, arcs, polygons, pixels and texts, and when it ends the
// record goes to the backend, which replays it on the window's retained picture. The headless
// backend keeps each window's last record, so what was drawn can be checked without pixels.
//
// Threads: only the window's own thread paints it (a worker asks that thread to draw).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi_objects.h"
#include "platform/window.h"

namespace mirexa {

struct PaintPoint {
    int x = {};
    int y = {};
};

enum class PaintOp : std::uint8_t {
    FillRect,    // rect in color
    Polyline,    // points joined by the pen
    Polygon,     // points, filled with the brush and outlined by the pen
    Arc,         // the ellipse in rect, counter-clockwise from points[0]'s radial to points[1]'s
    Pixel,       // points[0] in color
    Text,        // text in rect, aligned by flags, in the text colour and font height
    StatusPane,  // a status-bar pane: rect, text, flags (SBT_ style)
    Clip,        // later operations are clipped to rect (an empty rect removes the clip)
};

// Text alignment and background, in PaintOperation::flags of a Text operation.
constexpr int kTextLeft = 0;
constexpr int kTextCenter = 1;
constexpr int kTextRight = 2;
constexpr int kTextAlignMask = 3;
constexpr int kTextTransparent = 4;  // otherwise the rect is filled with the background first
// A status pane drawn raised instead of sunken.
constexpr unsigned SBT_POPOUT = 0x200;

// One recorded operation, with the context's state at the time it was made. Colours are
// 0x00BBGGRR.
struct PaintOperation {
    PaintOp op = {};
    WindowRect rect = {};
    std::vector<PaintPoint> points = {};
    std::uint32_t color = {};  // fill or pixel colour, pen colour of lines, text colour
    int penStyle = {};         // kPen... of gdi_objects.h
    int penWidth = {};         // pixels
    std::uint32_t brushColor = {};
    int hasBrush = {};  // polygons: 0 outlines only
    std::uint32_t background = {};
    std::string text = {};  // UTF-8
    int flags = {};
    int fontPixelHeight = {};
};

// A context's drawing state and its record. Start it with BeginPaint or GetPaintContext.
struct PaintContext {
    WindowHandle window = {};
    int open = {};
    std::uint32_t penColor = {};
    int penStyle = kPenSolid;
    int penWidth = 1;
    std::uint32_t brushColor = 0xFFFFFF;
    int hasBrush = 1;
    std::uint32_t textColor = {};
    std::uint32_t textBackground = 0xFFFFFF;
    int transparentText = {};
    int fontPixelHeight = 13;  // pixels
    PaintPoint position = {};  // of MoveToPaint and LineToPaint
    std::vector<PaintOperation> operations = {};
};

// Starts painting the window in answer to WM_PAINT: the window becomes valid. 1, or 0 for a
// window that is not live or not the calling thread's (nothing is recorded then).
int BeginPaint(WindowHandle window, PaintContext* context);
// Ends it: the record goes to the backend (headless: kept as the window's last record).
int EndPaint(PaintContext* context);
// A context for drawing outside WM_PAINT (the window stays as valid or invalid as it was).
int GetPaintContext(WindowHandle window, PaintContext* context);
int ReleasePaintContext(PaintContext* context);

// The window's last ended record (empty when none); the headless backend's view of the picture.
std::vector<PaintOperation> GetLastPaintRecord(WindowHandle window);

// Takes the pen's or brush's style, width and colour (objects of gdi_objects.h); 0 for a handle
// that is not alive, which leaves the state as it was. A null pen draws no lines.
int SelectPaintPen(PaintContext* context, GdiObjectHandle pen);
int SelectPaintBrush(PaintContext* context, GdiObjectHandle brush);
void SetPaintTextColor(PaintContext* context, std::uint32_t color);
// The colour behind texts, or transparent (nothing filled behind them).
void SetPaintTextBackground(PaintContext* context, std::uint32_t color, int transparent);
void SetPaintFontHeight(PaintContext* context, int pixelHeight);

void FillPaintRect(PaintContext* context, const WindowRect& rect, std::uint32_t color);
void MoveToPaint(PaintContext* context, int x, int y);
// A line from the current position, which moves to (x, y); consecutive lines form one polyline.
void LineToPaint(PaintContext* context, int x, int y);
void DrawPaintPolyline(PaintContext* context, const std::vector<PaintPoint>& points);
void DrawPaintPolygon(PaintContext* context, const std::vector<PaintPoint>& points);
void DrawPaintArc(PaintContext* context, const WindowRect& box, PaintPoint start, PaintPoint end);
void SetPaintPixel(PaintContext* context, int x, int y, std::uint32_t color);
void DrawPaintText(PaintContext* context, const WindowRect& rect, const std::string& text,
                   int align);
// A status pane: filled with the pane face, its border by style (sunken; SBT_POPOUT raised;
// SBT_NOBORDERS none) and its text, where a text after one tab is centred and after two
// right-aligned. The text takes the context's colour when that can be read on the face.
void DrawStatusPane(PaintContext* context, const WindowRect& rect, const std::string& text,
                    unsigned style);
void SetPaintClip(PaintContext* context, const WindowRect& rect);

// The width of the text in the context's font (pixels): the backend's measure when it has one,
// otherwise a fixed measure of half the font height per character (code point).
int MeasurePaintText(const PaintContext& context, const std::string& text);

// The arc of the ellipse in box from start's radial counter-clockwise to end's radial, as
// angles (degrees, counter-clockwise from the +x axis with y upward on screen) on the ellipse
// scaled to a circle: the start angle in [0, 360) and the sweep in (0, 360]; the same radial
// twice gives the whole ellipse. 0 for an empty box.
int ComputeArcAngles(const WindowRect& box, PaintPoint start, PaintPoint end, double* startDeg,
                     double* sweepDeg);

// The face of a status pane (light grey, as a status bar's).
constexpr std::uint32_t kPaneFaceColor = 0xF0F0F0;

// The contrast ratio (1 to 21) of two colours by their relative luminance (sRGB).
double ColorContrastRatio(std::uint32_t a, std::uint32_t b);
// The text colour when it contrasts with the fill at least 4.5:1, otherwise black or white,
// whichever contrasts more.
std::uint32_t ReadableTextColor(std::uint32_t text, std::uint32_t fill);

// The text of a status pane without its leading tabs, and where it goes: kTextLeft, one tab
// kTextCenter, two or more kTextRight.
std::string SplitPaneText(const std::string& text, int* align);

}  // namespace mirexa
