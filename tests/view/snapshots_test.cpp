// Snapshots: capture geometry, the front/back buffer choice, the panels around a capture, and
// PNG files decoded again with libpng (upright rows, failures leave no file).
#include "view/snapshots.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/write_faults.h"
#include "support/scratch_directory.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/view_hooks.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

using testing::ScratchDirectory;

// A decoded PNG: size, colour type, bit depth and RGB rows from the top.
struct DecodedPng {
    bool ok = false;
    png_uint_32 width = 0, height = 0;
    int colorType = -1, bitDepth = -1;
    std::vector<std::vector<std::uint8_t>> rows;
};

DecodedPng DecodePng(const std::string& path) {
    DecodedPng out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return out;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        out.ok = false;
        return out;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.colorType = png_get_color_type(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    out.rows.assign(out.height, std::vector<std::uint8_t>(png_get_rowbytes(png, info)));
    std::vector<png_bytep> pointers;
    for (auto& row : out.rows) {
        pointers.push_back(row.data());
    }
    png_read_image(png, pointers.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    out.ok = true;
    return out;
}

TEST(Snapshots, RowsAreWholeWordsAndPngRowsHoldThePixelsOnly) {
    CaptureGeometry g;
    SetCaptureGeometry(101, 7, &g);
    EXPECT_EQ(g.stride, 304);
    EXPECT_EQ(g.size, 304u * 7u);
    SetCaptureGeometry(100, 1, &g);
    EXPECT_EQ(g.stride, 300);
    // A 101-pixel view as PNG: rows of 303 bytes, the top buffer row (the last) first.
    std::vector<std::uint8_t> pixels(304 * 3, 0);
    for (int row = 0; row < 3; ++row) {
        for (int x = 0; x < 101; ++x) {
            std::uint8_t* p = &pixels[static_cast<std::size_t>(row) * 304 + x * 3];
            p[0] = static_cast<std::uint8_t>(row * 100);
            p[1] = static_cast<std::uint8_t>(x);
            p[2] = 7;
        }
        pixels[static_cast<std::size_t>(row) * 304 + 303] = 0xEE;  // padding, never written
    }
    ScratchDirectory dir;
    const std::string path = dir.At("rows.png");
    ASSERT_EQ(SavePngImage(path.c_str(), pixels.data(), 304, 101, 3), kPngWritten);
    const DecodedPng png = DecodePng(path);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 101u);
    EXPECT_EQ(png.height, 3u);
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.bitDepth, 8);
    ASSERT_EQ(png.rows[0].size(), 303u);
    EXPECT_EQ(png.rows[0][0], 200);  // buffer row 2 comes first
    EXPECT_EQ(png.rows[2][0], 0);
    EXPECT_EQ(png.rows[1][3 * 50 + 1], 50);
    EXPECT_EQ(png.rows[1][302], 7);
}

TEST(Snapshots, FailedWritesLeaveNoFileAndKeepAnOlderOne) {
    ScratchDirectory dir;
    std::vector<std::uint8_t> pixels(12 * 4, 90);
    // A directory that does not exist.
    const std::string missing = dir.At("no/such/dir/tmp.png");
    EXPECT_EQ(SavePngImage(missing.c_str(), pixels.data(), 12, 4, 4), kPngCannotCreate);
    EXPECT_FALSE(std::filesystem::exists(dir.At("no")));
    // libpng refuses the image (wider than it writes): no file, no temporary left over, and a
    // picture written earlier under that name stays as it was.
    const std::string path = dir.At("kept.png");
    ASSERT_EQ(SavePngImage(path.c_str(), pixels.data(), 12, 4, 4), kPngWritten);
    const auto before = testing::ReadWholeFile(path);
    std::vector<std::uint8_t> wide(3u * 1100000u, 1);
    EXPECT_EQ(SavePngImage(path.c_str(), wide.data(), 3 * 1100000, 1100000, 1), kPngWriteFailed);
    EXPECT_EQ(testing::ReadWholeFile(path), before);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    // Every write, flush, close or rename that fails keeps the older picture whole.
    const std::vector<std::uint8_t> other(12 * 4, 200);
    ArmWriteFaults(0);
    ASSERT_EQ(SavePngImage(path.c_str(), pixels.data(), 12, 4, 4), kPngWritten);
    const int operations = CountWriteOperations();
    ASSERT_GE(operations, 3);
    for (int n = 1; n <= operations; ++n) {
        ArmWriteFaults(n);
        EXPECT_EQ(SavePngImage(path.c_str(), other.data(), 12, 4, 4), kPngWriteFailed) << n;
        DisarmWriteFaults();
        EXPECT_EQ(testing::ReadWholeFile(path), before) << n;
        EXPECT_TRUE(testing::LeftoverTemporaries(path).empty()) << n;
    }
    // Bad arguments touch nothing.
    EXPECT_EQ(SavePngImage(path.c_str(), pixels.data(), 11, 4, 4), kPngBadArguments);
    EXPECT_EQ(SavePngImage(path.c_str(), nullptr, 12, 4, 4), kPngBadArguments);
    EXPECT_EQ(SavePngImage("", pixels.data(), 12, 4, 4), kPngBadArguments);
}

// A reader standing in for a system whose front buffer reads back black.
std::vector<unsigned> readBuffers;
void FakeReader(unsigned buffer, int /*format*/, int width, int height, std::uint8_t* out) {
    readBuffers.push_back(buffer);
    const std::size_t size = static_cast<std::size_t>((width * 3 + 3) / 4 * 4) * height;
    std::fill(out, out + size, buffer == GL_FRONT ? 0 : 77);
}
void LitFrontReader(unsigned buffer, int /*format*/, int width, int height, std::uint8_t* out) {
    readBuffers.push_back(buffer);
    const std::size_t size = static_cast<std::size_t>((width * 3 + 3) / 4 * 4) * height;
    std::fill(out, out + size, 0);
    out[size - 1] = 1;
}

TEST(Snapshots, TheFirstCaptureChoosesTheBufferForGood) {
    const ViewPixelReader saved = ViewPixelSource;
    const CaptureGeometry savedGeometry = ViewCapture;
    SetCaptureGeometry(5, 3, &ViewCapture);
    std::vector<std::uint8_t> buffer(ViewCapture.size);
    ViewPixelSource = FakeReader;
    readBuffers.clear();
    CaptureReadBuffer = -1;
    ASSERT_EQ(ReadViewPixels(kPixelsRgb, buffer.data(), buffer.size()), 1);
    EXPECT_EQ(readBuffers, (std::vector<unsigned>{GL_FRONT, GL_BACK}));
    EXPECT_EQ(CaptureReadBuffer, 0);
    EXPECT_EQ(buffer[0], 77);
    readBuffers.clear();
    ASSERT_EQ(ReadViewPixels(kPixelsBgr, buffer.data(), buffer.size()), 1);
    EXPECT_EQ(readBuffers, (std::vector<unsigned>{GL_BACK}));
    // A front buffer with anything in it is kept, without testing again.
    ViewPixelSource = LitFrontReader;
    readBuffers.clear();
    CaptureReadBuffer = -1;
    ASSERT_EQ(ReadViewPixels(kPixelsRgb, buffer.data(), buffer.size()), 1);
    ASSERT_EQ(ReadViewPixels(kPixelsRgb, buffer.data(), buffer.size()), 1);
    EXPECT_EQ(readBuffers, (std::vector<unsigned>{GL_FRONT, GL_FRONT}));
    EXPECT_EQ(CaptureReadBuffer, 1);
    // A buffer smaller than the capture is refused.
    EXPECT_EQ(ReadViewPixels(kPixelsRgb, buffer.data(), buffer.size() - 1), 0);
    ViewPixelSource = saved;
    ViewCapture = savedGeometry;
    CaptureReadBuffer = -1;
}

struct PanelRecord {
    std::vector<std::string> calls;
    int enabled[2] = {};
};
PanelRecord panels;

TEST(Snapshots, PanelsAreHiddenAroundACaptureOnlyWhenEnabled) {
    const ViewHooks saved = ViewCallbacks;
    panels = PanelRecord{};
    ViewCallbacks.panelEnabled = [](int panel) { return panels.enabled[panel]; };
    ViewCallbacks.showPanel = [](int panel, int show) {
        panels.calls.push_back((show ? "show " : "hide ") + std::to_string(panel));
    };
    ViewCallbacks.repaintPanel = [](int panel) {
        panels.calls.push_back("paint " + std::to_string(panel));
    };
    ViewCallbacks.repaintViewNow = [] { panels.calls.push_back("view"); };
    ShowViewWindows(SW_HIDE);
    ShowViewWindows(SW_SHOW);
    EXPECT_TRUE(panels.calls.empty());
    panels.enabled[kViewPanelToolDisplay] = 1;
    ShowViewWindows(SW_HIDE);
    ShowViewWindows(SW_SHOW);
    EXPECT_EQ(panels.calls, (std::vector<std::string>{"hide 1", "view", "show 1", "paint 1"}));
    ViewCallbacks = saved;
}

// A frame rendered off screen, captured and written: the PNG shows it upright.
TEST(Snapshots, RenderedFrameRoundTripsThroughPng) {
    testing::OffscreenView view(64, 48);
    ASSERT_TRUE(view.ok());
    glViewport(0, 0, 64, 48);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 48, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);  // the top-left quarter (GL y runs upward)
    glVertex2i(0, 24);
    glVertex2i(32, 24);
    glVertex2i(32, 48);
    glVertex2i(0, 48);
    glEnd();
    std::vector<std::uint8_t> pixels(ViewCapture.size);
    ASSERT_EQ(ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size()), 1);
    ScratchDirectory dir;
    const std::string path = dir.At("frame.png");
    ASSERT_EQ(SavePngImage(path.c_str(), pixels.data(), ViewCapture.stride, 64, 48), kPngWritten);
    const DecodedPng png = DecodePng(path);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.rows[2][3 * 5 + 0], 255);  // top left: red
    EXPECT_EQ(png.rows[2][3 * 5 + 2], 0);
    EXPECT_EQ(png.rows[40][3 * 5 + 2], 255);  // bottom left: blue
    EXPECT_EQ(png.rows[2][3 * 50 + 2], 255);  // top right: blue
}

// What a presenter of a real-window backend was given.
std::vector<std::uint8_t> presented;
int presentedWidth = 0;

// The view's drawable follows a resize with its lists kept; the presenter gets exactly the
// capture's pixels, and nothing is read back without one.
TEST(Snapshots, TheDrawableFollowsTheViewSizeAndThePresenterGetsTheCapture) {
    testing::OffscreenView view(1, 1);
    ASSERT_TRUE(view.ok());
    glNewList(DisplayListBase, GL_COMPILE);  // red over the top-right corner of a 40 x 30 view
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2i(30, 20);
    glVertex2i(40, 20);
    glVertex2i(40, 30);
    glVertex2i(30, 30);
    glEnd();
    glEndList();
    ASSERT_EQ(ResizeGlContext(40, 30), 1);
    EXPECT_EQ(ViewContext.framebufferBound, 1);  // drawn and read in a framebuffer object
    EXPECT_EQ(ViewContext.surface.width, 40);
    EXPECT_EQ(ViewCapture.height, 30);
    EXPECT_EQ(CurrentView.width, 40);
    glViewport(0, 0, 40, 30);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 40, 0, 30, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glCallList(DisplayListBase);
    std::vector<std::uint8_t> capture(ViewCapture.size);
    ASSERT_EQ(ReadViewPixels(kPixelsBgr, capture.data(), capture.size()), 1);
    const std::size_t topRight = 29 * ViewCapture.stride + 39 * 3;  // bottom-up BGR rows
    EXPECT_EQ(capture[topRight + 2], 255);
    EXPECT_EQ(capture[topRight + 1], 0);
    EXPECT_EQ(capture[1], 255);  // bottom left: green

    static const RealWindowBackend fake = {
        [] { return 1; },
        {.framePresented =
             [](WindowHandle, const PresentedFrame& frame) {
                 presentedWidth = frame.width;
                 presented.assign(
                     frame.pixels,
                     frame.pixels + static_cast<std::size_t>(frame.stride) * frame.height);
             }},
    };
    RegisterRealWindowBackend(&fake);
    ASSERT_EQ(StartPlatformBackend(PlatformBackend::RealWindow), 1);
    EXPECT_EQ(PresentViewFrame(nullptr), 1);
    EXPECT_EQ(presentedWidth, 40);
    EXPECT_EQ(presented, capture);
    StartPlatformBackend(PlatformBackend::Headless);
    RegisterRealWindowBackend(nullptr);
    presented.clear();
    EXPECT_EQ(PresentViewFrame(nullptr), 0);
    EXPECT_TRUE(presented.empty());
    // A capture larger than the drawable has nothing defined to read.
    SetCaptureGeometry(80, 60, &ViewCapture);
    std::vector<std::uint8_t> tooLarge(ViewCapture.size);
    EXPECT_EQ(ReadViewPixels(kPixelsBgr, tooLarge.data(), tooLarge.size()), 0);
}

}  // namespace
}  // namespace mirexa
