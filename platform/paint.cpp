// Paint contexts: the drawing state, the recorded operations, and the record handed to the
// backend (or kept as the window's last picture) when painting ends.
#include "platform/paint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/backend.h"
#include "platform/window_internal.h"

namespace mirexa {

namespace {

int Open(WindowHandle window, PaintContext* context) {
    if (!context || !IsWindowOfCallingThread(window)) {
        return 0;
    }
    *context = PaintContext{};
    context->window = window;
    context->open = 1;
    return 1;
}

int Close(PaintContext* context) {
    if (!context || !context->open) {
        return 0;
    }
    context->open = 0;
    {
        std::lock_guard<std::mutex> lock(PlatformMutex());
        PlatformWindow* record = FindLiveWindow(context->window);
        if (!record) {
            return 0;
        }
        record->lastPaint = context->operations;
    }
    if (auto hook = GetPlatformBackendHooks().painted) {
        hook(context->window, context->operations);
    }
    return 1;
}

// A new operation carrying the context's pen, brush and text state; null when not painting.
PaintOperation* Add(PaintContext* context, PaintOp op) {
    if (!context || !context->open) {
        return nullptr;
    }
    PaintOperation& o = context->operations.emplace_back();
    o.op = op;
    o.color = op == PaintOp::Text ? context->textColor : context->penColor;
    o.penStyle = context->penStyle;
    o.penWidth = context->penWidth;
    o.brushColor = context->brushColor;
    o.hasBrush = context->hasBrush;
    o.background = context->textBackground;
    o.fontPixelHeight = context->fontPixelHeight;
    return &o;
}

// Lines with the null pen draw nothing.
bool DrawsLines(const PaintContext* context) {
    return context && context->penStyle != kPenNull;
}

// Angle (degrees in [0, 360)) of the radial through p on the box's ellipse scaled to a circle.
double RadialAngle(const WindowRect& box, PaintPoint p) {
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    const double rx = (box.right - box.left) / 2.0;
    const double ry = (box.bottom - box.top) / 2.0;
    double deg = std::atan2(-(p.y - cy) / ry, (p.x - cx) / rx) * 180.0 / std::numbers::pi;
    return deg < 0 ? deg + 360.0 : deg;
}

}  // namespace

int BeginPaint(WindowHandle window, PaintContext* context) {
    if (!Open(window, context)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(PlatformMutex());
    if (PlatformWindow* record = FindLiveWindow(window)) {
        record->invalid = 0;
    }
    return 1;
}

int EndPaint(PaintContext* context) {
    return Close(context);
}

int GetPaintContext(WindowHandle window, PaintContext* context) {
    return Open(window, context);
}

int ReleasePaintContext(PaintContext* context) {
    return Close(context);
}

std::vector<PaintOperation> GetLastPaintRecord(WindowHandle window) {
    std::lock_guard<std::mutex> lock(PlatformMutex());
    PlatformWindow* record = FindLiveWindow(window);
    return record ? record->lastPaint : std::vector<PaintOperation>();
}

int SelectPaintPen(PaintContext* context, GdiObjectHandle pen) {
    GdiObjectInfo info;
    if (!context || !GetGdiObjectInfo(pen, &info) || info.kind != kGdiPen) {
        return 0;
    }
    context->penColor = info.color;
    context->penStyle = info.style;
    context->penWidth = info.width;
    return 1;
}

int SelectPaintBrush(PaintContext* context, GdiObjectHandle brush) {
    GdiObjectInfo info;
    if (!context || !GetGdiObjectInfo(brush, &info) || info.kind != kGdiBrush) {
        return 0;
    }
    context->brushColor = info.color;
    context->hasBrush = 1;
    return 1;
}

void SetPaintTextColor(PaintContext* context, std::uint32_t color) {
    if (context) {
        context->textColor = color;
    }
}

void SetPaintTextBackground(PaintContext* context, std::uint32_t color, int transparent) {
    if (context) {
        context->textBackground = color;
        context->transparentText = transparent ? 1 : 0;
    }
}

void SetPaintFontHeight(PaintContext* context, int pixelHeight) {
    if (context && pixelHeight > 0) {
        context->fontPixelHeight = pixelHeight;
    }
}

void FillPaintRect(PaintContext* context, const WindowRect& rect, std::uint32_t color) {
    if (PaintOperation* o = Add(context, PaintOp::FillRect)) {
        o->rect = rect;
        o->color = color;
    }
}

void MoveToPaint(PaintContext* context, int x, int y) {
    if (context) {
        context->position = PaintPoint{x, y};
    }
}

void LineToPaint(PaintContext* context, int x, int y) {
    if (!context) {
        return;
    }
    const PaintPoint from = context->position;
    context->position = PaintPoint{x, y};
    if (!DrawsLines(context) || !context->open) {
        return;
    }
    // Continues the last polyline when it ends where this line starts with the same pen.
    if (!context->operations.empty()) {
        PaintOperation& last = context->operations.back();
        if (last.op == PaintOp::Polyline && last.points.back().x == from.x &&
            last.points.back().y == from.y && last.color == context->penColor &&
            last.penStyle == context->penStyle && last.penWidth == context->penWidth) {
            last.points.push_back(PaintPoint{x, y});
            return;
        }
    }
    DrawPaintPolyline(context, {from, PaintPoint{x, y}});
}

void DrawPaintPolyline(PaintContext* context, const std::vector<PaintPoint>& points) {
    if (points.size() < 2 || !DrawsLines(context)) {
        return;
    }
    if (PaintOperation* o = Add(context, PaintOp::Polyline)) {
        o->points = points;
    }
}

void DrawPaintPolygon(PaintContext* context, const std::vector<PaintPoint>& points) {
    if (points.size() < 3) {
        return;
    }
    if (PaintOperation* o = Add(context, PaintOp::Polygon)) {
        o->points = points;
    }
}

void DrawPaintArc(PaintContext* context, const WindowRect& box, PaintPoint start, PaintPoint end) {
    if (!DrawsLines(context)) {
        return;
    }
    if (PaintOperation* o = Add(context, PaintOp::Arc)) {
        o->rect = box;
        o->points = {start, end};
    }
}

void SetPaintPixel(PaintContext* context, int x, int y, std::uint32_t color) {
    if (PaintOperation* o = Add(context, PaintOp::Pixel)) {
        o->points = {PaintPoint{x, y}};
        o->color = color;
    }
}

void DrawPaintText(PaintContext* context, const WindowRect& rect, const std::string& text,
                   int align) {
    if (PaintOperation* o = Add(context, PaintOp::Text)) {
        o->rect = rect;
        o->text = text;
        o->flags = (align & kTextAlignMask) | (context->transparentText ? kTextTransparent : 0);
    }
}

void DrawStatusPane(PaintContext* context, const WindowRect& rect, const std::string& text,
                    unsigned style) {
    if (PaintOperation* o = Add(context, PaintOp::StatusPane)) {
        o->rect = rect;
        o->text = text;
        o->flags = static_cast<int>(style);
        o->background = kPaneFaceColor;
        o->color = ReadableTextColor(context->textColor, kPaneFaceColor);
    }
}

namespace {

double RelativeLuminance(std::uint32_t color) {
    double sum = 0.0;
    const double weights[3] = {0.2126, 0.7152, 0.0722};  // red, green, blue
    for (int channel = 0; channel < 3; ++channel) {
        const double c = ((color >> (8 * channel)) & 0xFF) / 255.0;
        sum += weights[channel] * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
}

}  // namespace

double ColorContrastRatio(std::uint32_t a, std::uint32_t b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::uint32_t ReadableTextColor(std::uint32_t text, std::uint32_t fill) {
    // Moved towards black on a light fill, towards white on a dark one, in tenths, so that the
    // hue stays as long as it can.
    const std::uint32_t end =
        ColorContrastRatio(0x000000, fill) >= ColorContrastRatio(0xFFFFFF, fill) ? 0x000000
                                                                                 : 0xFFFFFF;
    for (int step = 0; step < 10; ++step) {
        std::uint32_t mixed = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const int from = static_cast<int>((text >> (8 * channel)) & 0xFF);
            const int to = static_cast<int>((end >> (8 * channel)) & 0xFF);
            mixed |= static_cast<std::uint32_t>(from + (to - from) * step / 10) << (8 * channel);
        }
        if (ColorContrastRatio(mixed, fill) >= 4.5) {
            return mixed;
        }
    }
    return end;
}

void SetPaintClip(PaintContext* context, const WindowRect& rect) {
    if (PaintOperation* o = Add(context, PaintOp::Clip)) {
        o->rect = rect;
    }
}

int MeasurePaintText(const PaintContext& context, const std::string& text) {
    if (auto measure = GetPlatformBackendHooks().measureText) {
        return measure(context.fontPixelHeight, text);
    }
    int codePoints = 0;
    for (unsigned char c : text) {
        codePoints += (c & 0xC0) != 0x80 ? 1 : 0;  // UTF-8 continuation bytes do not count
    }
    return codePoints * (context.fontPixelHeight / 2);
}

int ComputeArcAngles(const WindowRect& box, PaintPoint start, PaintPoint end, double* startDeg,
                     double* sweepDeg) {
    if (!startDeg || !sweepDeg || box.right <= box.left || box.bottom <= box.top) {
        return 0;
    }
    const double from = RadialAngle(box, start);
    double sweep = RadialAngle(box, end) - from;
    if (sweep <= 0) {
        sweep += 360.0;
    }
    *startDeg = from;
    *sweepDeg = sweep;
    return 1;
}

std::string SplitPaneText(const std::string& text, int* align) {
    std::size_t tabs = 0;
    while (tabs < text.size() && text[tabs] == '\t') {
        ++tabs;
    }
    if (align) {
        *align = tabs == 0 ? kTextLeft : tabs == 1 ? kTextCenter : kTextRight;
    }
    return text.substr(tabs);
}

}  // namespace mirexa
