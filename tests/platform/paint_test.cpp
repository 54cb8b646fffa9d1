// Paint contexts: what a paint records and hands on, arcs as angles, status-pane alignment.
#include "platform/paint.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/backend.h"

namespace mirexa {
namespace {

TEST(Paint, ArcRadialsBecomeCounterClockwiseAnglesOnTheScaledCircle) {
    struct Case {
        WindowRect box;
        PaintPoint start, end;
        double startDeg, sweepDeg;
    };
    const Case cases[] = {
        {{0, 0, 100, 100}, {100, 50}, {50, 0}, 0, 90},      // right to top (y grows downward)
        {{0, 0, 100, 100}, {50, 0}, {100, 50}, 90, 270},    // top round the left to the right
        {{0, 0, 100, 100}, {50, 100}, {100, 50}, 270, 90},  // wraps through 360
        {{0, 0, 100, 100}, {90, 50}, {200, 50}, 0, 360},    // one radial twice: the whole ellipse
        {{0, 0, 200, 100}, {200, 0}, {0, 100}, 45, 180},    // box corners: 45 deg on the ellipse
    };
    for (const Case& c : cases) {
        double from = -1, sweep = -1;
        ASSERT_EQ(ComputeArcAngles(c.box, c.start, c.end, &from, &sweep), 1);
        EXPECT_NEAR(from, c.startDeg, 1e-9) << c.start.x << "," << c.start.y;
        EXPECT_NEAR(sweep, c.sweepDeg, 1e-9) << c.end.x << "," << c.end.y;
    }
    double from, sweep;
    EXPECT_EQ(ComputeArcAngles({10, 10, 10, 40}, {0, 0}, {1, 1}, &from, &sweep), 0);
}

TEST(Paint, PaneTextTabsChooseTheAlignment) {
    const std::pair<const char*, int> cases[] = {{"Ready", kTextLeft},
                                                 {"\tX 1.000", kTextCenter},
                                                 {"\t\t12:00", kTextRight},
                                                 {"\t\t\t", kTextRight},
                                                 {"", kTextLeft}};
    for (const auto& [text, align] : cases) {
        int got = -1;
        const std::string rest = SplitPaneText(text, &got);
        EXPECT_EQ(got, align) << text;
        EXPECT_EQ(rest.find('\t'), std::string::npos) << text;
    }
}

std::vector<PaintOperation> replayed;

TEST(Paint, TextColoursAreKeptWhereReadableAndOtherwiseDarkenedOrLightenedTowardsContrast) {
    struct Case {
        std::uint32_t text, fill;
        bool kept;
    };
    const Case cases[] = {
        {0x000000, kPaneFaceColor, true},   // black on the face
        {0x00FFFF, kPaneFaceColor, false},  // yellow on the face: darkened
        {0xFFFF00, 0xC0C0C0, false},        // cyan on light grey
        {0x000000, 0x800000, false},        // black on navy: lightened
        {0x800000, 0x800000, false},        // the fill's own colour
        {0xFFFFFF, 0x800000, true},         // white on navy
        {0xFF0000, 0x000000, false},        // blue on black
        {0x0000FF, 0x000000, true},         // red on black
    };
    for (const Case& c : cases) {
        const std::uint32_t chosen = ReadableTextColor(c.text, c.fill);
        EXPECT_GE(ColorContrastRatio(chosen, c.fill), 4.5)
            << std::hex << c.text << " on " << c.fill;
        EXPECT_EQ(chosen == c.text, c.kept) << std::hex << c.text << " on " << c.fill;
    }
    EXPECT_NEAR(ColorContrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
    // A darkened yellow stays more red and green than blue.
    const std::uint32_t yellow = ReadableTextColor(0x00FFFF, kPaneFaceColor);
    EXPECT_GT(yellow & 0xFF, (yellow >> 16) & 0xFF);
}

TEST(Paint, ARecordCarriesTheStateGoesToTheBackendAndValidatesTheWindow) {
    static const RealWindowBackend fake = {
        [] { return 1; },
        {.painted = [](WindowHandle,
                       const std::vector<PaintOperation>& operations) { replayed = operations; }},
    };
    RegisterRealWindowBackend(&fake);
    ASSERT_EQ(StartPlatformBackend(PlatformBackend::RealWindow), 1);
    WindowCreateParams params;
    params.text = "panel";
    WindowHandle window = CreatePlatformWindow(params);
    InvalidatePlatformWindow(window);
    // Another thread never paints the window.
    std::thread([window] {
        PaintContext other;
        EXPECT_EQ(BeginPaint(window, &other), 0);
    }).join();
    PaintContext dc;
    ASSERT_EQ(BeginPaint(window, &dc), 1);
    EXPECT_EQ(IsPlatformWindowInvalid(window), 0);
    GdiObjectHandle dotted = CreatePenObject(kPenDot, 2, 0x0000FF);
    GdiObjectHandle none = CreatePenObject(kPenNull, 1, 0);
    SelectPaintPen(&dc, dotted);
    MoveToPaint(&dc, 0, 0);
    LineToPaint(&dc, 10, 0);
    LineToPaint(&dc, 10, 10);  // continues the polyline
    SelectPaintPen(&dc, none);
    LineToPaint(&dc, 20, 20);  // the null pen draws nothing
    SetPaintTextColor(&dc, 0x00FF00);
    SetPaintTextBackground(&dc, 0, 1);
    DrawPaintText(&dc, {0, 0, 50, 13}, "GO", kTextRight);
    EXPECT_EQ(EndPaint(&dc), 1);
    EXPECT_EQ(EndPaint(&dc), 0);  // once
    DeleteGdiObject(dotted);
    DeleteGdiObject(none);
    ASSERT_EQ(replayed.size(), 2u);
    EXPECT_EQ(replayed[0].op, PaintOp::Polyline);
    EXPECT_EQ(replayed[0].points.size(), 3u);
    EXPECT_EQ(replayed[0].penStyle, kPenDot);
    EXPECT_EQ(replayed[0].penWidth, 2);
    EXPECT_EQ(replayed[0].color, 0x0000FFu);
    EXPECT_EQ(replayed[1].op, PaintOp::Text);
    EXPECT_EQ(replayed[1].color, 0x00FF00u);
    EXPECT_EQ(replayed[1].flags, kTextRight | kTextTransparent);
    EXPECT_EQ(GetLastPaintRecord(window).size(), 2u);
    StartPlatformBackend(PlatformBackend::Headless);
    RegisterRealWindowBackend(nullptr);
    // Without a backend's measure: half the font height per character, not per byte.
    SetPaintFontHeight(&dc, 12);
    EXPECT_EQ(MeasurePaintText(dc, "\xE5\x88\x9D\xE6\x9C\x9F(&I)"), 6 * 6);
    DestroyPlatformWindow(window);
}

}  // namespace
}  // namespace mirexa
