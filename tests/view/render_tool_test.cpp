// The render tool on the bundled sample: its arguments, the picture it writes and its failures;
// and the colour conversion the picture relies on.
#include "../tools/render_tool.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "support/definition_state.h"
#include "support/scratch_directory.h"
#include "view/camera.h"
#include "view/gl_colors.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

std::string Sample(const char* name) {
    return std::string(MIREXA_SAMPLES) + "/" + name;
}

// The RGB pixel at (x, y) from the top of a PNG file; {-1, -1, -1} when it cannot be read.
std::array<int, 3> PngPixel(const std::string& path, int x, int y) {
    std::array<int, 3> out{-1, -1, -1};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return out;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) &&
        x < static_cast<int>(image.width) && y < static_cast<int>(image.height)) {
        const png_byte* p = &pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
        out = {p[0], p[1], p[2]};
    }
    png_image_free(&image);
    return out;
}

// The render tool reads definition files and selects a tool into the program's globals: each
// test leaves them at their start values for the tests after it.
class RenderTool : public ::testing::Test {
protected:
    void TearDown() override {
        testing::ResetDefinitionState();
    }
};

TEST_F(RenderTool, ArgumentsAreCheckedBeforeAnythingRuns) {
    RenderToolOptions o;
    std::string error;
    EXPECT_EQ(ParseRenderToolArguments({"render"}, &o, &error), 0);
    EXPECT_EQ(error, "no output file");
    EXPECT_EQ(ParseRenderToolArguments({"render", "--box", "0,0,0,1,1", "a.png"}, &o, &error), 0);
    EXPECT_EQ(ParseRenderToolArguments({"render", "--size", "0x10", "a.png"}, &o, &error), 0);
    EXPECT_EQ(ParseRenderToolArguments({"render", "--style", "7", "a.png"}, &o, &error), 0);
    EXPECT_EQ(ParseRenderToolArguments({"render", "--pitch"}, &o, &error), 0);
    for (const char* pitch : {"0", "0.5,0", "0.5,", ",0.5", "0.5,0.5,0.5", "-1,0.5"}) {
        EXPECT_EQ(ParseRenderToolArguments({"render", "--pitch", pitch, "a.png"}, &o, &error), 0)
            << pitch;
    }
    for (const char* zoom : {"0", "-2", "x", "1,2"}) {
        EXPECT_EQ(ParseRenderToolArguments({"render", "--zoom", zoom, "a.png"}, &o, &error), 0)
            << zoom;
    }
    EXPECT_EQ(ParseRenderToolArguments({"render", "--colour", "1", "a.png"}, &o, &error), 0);
    EXPECT_EQ(ParseRenderToolArguments({"render", "a.png", "b.png"}, &o, &error), 0);
    ASSERT_EQ(ParseRenderToolArguments({"render", "--box", "-1.5,0,0,10,20,5e1", "--size", "64x48",
                                        "--angles", "10,20", "out.png"},
                                       &o, &error),
              1)
        << error;
    EXPECT_EQ(o.box[0], -1.5);
    EXPECT_EQ(o.box[5], 50.0);
    EXPECT_EQ(o.width, 64);
    EXPECT_EQ(o.height, 48);
    EXPECT_EQ(o.angles[1], 20.0);
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.pitch, 0.0);
    EXPECT_EQ(o.zoom, 1.0);
    // One pitch keeps the settings' move pitch; two give the move pitch too, as -P(P,M) does.
    const struct {
        const char* pitch;
        double dexel;
        double move;
    } pitches[] = {{"0.5", 0.5, 0.0}, {"0.25,0.125", 0.25, 0.125}};
    for (const auto& c : pitches) {
        ASSERT_EQ(ParseRenderToolArguments({"render", "--pitch", c.pitch, "--zoom", "2.5", "a.png"},
                                           &o, &error),
                  1)
            << error;
        EXPECT_EQ(o.pitch, c.dexel) << c.pitch;
        EXPECT_EQ(o.movePitch, c.move) << c.pitch;
        EXPECT_EQ(o.zoom, 2.5);
    }
}

// The sample settings' stock at a 1 mm pitch, 120 x 90 pixels seen from straight above.
RenderToolOptions SampleStockFromAbove(const std::string& output) {
    RenderToolOptions o;
    o.settings = Sample("mirexa.ini");
    o.width = 120;
    o.height = 90;
    o.anglesGiven = 1;
    o.orientation = 0;
    o.pitch = 1.0;
    o.output = output;
    return o;
}

// The sample's stock seen from straight above shows its work colour, lit from the front.
TEST_F(RenderTool, SampleStockFromAboveShowsTheWorkColour) {
    testing::ScratchDirectory dir;
    RenderToolOptions o = SampleStockFromAbove(dir.At("sample.png"));
    std::string message;
    const auto before = std::filesystem::current_path();
    ASSERT_EQ(RunRenderTool(o, &message), 0) << message;
    EXPECT_EQ(std::filesystem::current_path(), before);  // the tool went back
    float work[4];
    ColorRefToGlColor(MakeColorRef(160, 160, 200), 1.0f, work);  // the sample's WORK COLOR
    const double up[3] = {0, 0, 1};
    EXPECT_TRUE(testing::ColorNear(PngPixel(o.output, 60, 45), testing::LitColor(work, up)));
}

// The zoom scales the picture about its centre: at half the zoom the stock seen from above is
// half as wide across the middle row.
TEST_F(RenderTool, ZoomScalesTheStockAboutTheCentre) {
    testing::ScratchDirectory dir;
    float work[4];
    ColorRefToGlColor(MakeColorRef(160, 160, 200), 1.0f, work);  // the sample's WORK COLOR
    const double up[3] = {0, 0, 1};
    int widths[2] = {};
    const double zooms[2] = {1.0, 0.5};
    for (int i = 0; i < 2; ++i) {
        RenderToolOptions o = SampleStockFromAbove(dir.At("zoom" + std::to_string(i) + ".png"));
        o.zoom = zooms[i];
        std::string message;
        ASSERT_EQ(RunRenderTool(o, &message), 0) << message;
        for (int x = 0; x < o.width; ++x) {
            widths[i] += testing::ColorNear(PngPixel(o.output, x, 45), testing::LitColor(work, up));
        }
    }
    ASSERT_GT(widths[0], 20);
    EXPECT_NEAR(widths[1], widths[0] / 2.0, widths[0] / 10.0);
}

// The bundled sample program cut out of its box and drawn from above: the pocket floor shows the
// pen of the tool that cut it, the untouched rim the work colour.
TEST_F(RenderTool, SampleProgramCutIsDrawnInItsPens) {
    testing::ScratchDirectory dir;
    for (const char* name : {"vmc3.ttl", "vmc3.ctl", "bt40_er32.hld", "demo_part.nc"}) {
        std::filesystem::copy_file(Sample(name), dir.At(name));
    }
    RenderToolOptions o;
    o.tools = dir.At("vmc3.ttl");
    o.controller = dir.At("vmc3.ctl");
    o.program = dir.At("demo_part.nc");
    o.boxGiven = 1;
    const double box[6] = {0, 0, -30.5, 100, 80, 0};
    std::copy(box, box + 6, o.box);
    o.pitch = 0.5;
    o.width = 160;
    o.height = 120;
    o.anglesGiven = 1;
    o.output = dir.At("cut.png");
    std::string message;
    ASSERT_EQ(RunRenderTool(o, &message), 0) << message;
    const double up[3] = {0, 0, 1};
    auto pixelAt = [&](double x, double y, double z) {
        const double p[3] = {x, y, z};
        double depth = 0, wx = 0, wy = 0;
        EXPECT_EQ(ProjectModelPointToWindow(CurrentView, p, &depth, &wx, &wy), 1);
        return PngPixel(o.output, static_cast<int>(wx), static_cast<int>(wy));
    };
    // The pocket (6 deep, cut by tool 1) beside the engraved circle, and the faced rim.
    const int pen = ToolTableSet.pens[1];
    ASSERT_GT(pen, 0);
    EXPECT_TRUE(testing::ColorNear(pixelAt(34, 40, -6), testing::LitColor(GlColors.pens[pen], up)));
    EXPECT_TRUE(testing::ColorNear(pixelAt(10, 40, 0), testing::LitColor(GlColors.pens[0], up)) ||
                testing::ColorNear(pixelAt(10, 40, 0),
                                   testing::LitColor(GlColors.pens[ToolTableSet.pens[3]], up)));
}

TEST_F(RenderTool, FailuresWriteNoPicture) {
    testing::ScratchDirectory dir;
    RenderToolOptions o;
    o.machine = dir.At("missing.mtl");
    o.output = dir.At("none.png");
    o.width = o.height = 16;
    std::string message;
    EXPECT_EQ(RunRenderTool(o, &message), 2);
    EXPECT_NE(message.find("machine file"), std::string::npos);
    o.machine.clear();
    o.boxGiven = 1;
    const double box[6] = {0, 0, 0, 10, 10, 10};
    std::copy(box, box + 6, o.box);
    o.pitch = 1.0;
    o.output = dir.At("no/such/dir/none.png");
    EXPECT_EQ(RunRenderTool(o, &message), 6);
    o.output = dir.At("none.png");
    o.program = dir.At("part.nc");
    EXPECT_EQ(RunRenderTool(o, &message), 4);
    EXPECT_FALSE(std::filesystem::exists(dir.At("none.png")));
}

TEST(GlColors, ColorRefsBecomeFloatsAndToolPenModeKeepsThePens) {
    float c[4];
    ColorRefToGlColor(0x00FF8000u, 0.25f, c);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 128.0f / 255.0f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_EQ(c[3], 0.25f);
    ColorSet colors;
    colors.pens[7] = MakeColorRef(255, 0, 0);
    DisplayModeSettings modes;
    modes.workAlpha = 0.5f;
    SetWorkPenColors(colors, modes);
    EXPECT_EQ(GlColors.pens[7][0], 1.0f);
    EXPECT_EQ(GlColors.pens[7][3], 0.5f);
    colors.pens[7] = MakeColorRef(0, 255, 0);
    modes.colorMode = 1;  // "TOOL-PEN": the pens keep their colours
    SetWorkPenColors(colors, modes);
    EXPECT_EQ(GlColors.pens[7][0], 1.0f);
    EXPECT_EQ(GlColors.pens[7][1], 0.0f);
    modes.machineAlpha = 0.4f;
    colors.vice = MakeColorRef(0, 0, 51);
    SetMachineColors(colors, modes);
    EXPECT_EQ(GlColors.vice[2], 0.2f);
    EXPECT_EQ(GlColors.vice[3], 0.4f);
}

}  // namespace
}  // namespace mirexa
