// The off-screen OpenGL context: draw with a display list and read the pixels back. A machine
// without a working EGL fails here loudly; the view and image output depend on it.
#include "platform/gl_context.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace mirexa {
namespace {

TEST(OffscreenGl, DisplayListDrawsAndPixelsReadBack) {
    OffscreenGlContext context;
    std::string error;
    ASSERT_EQ(CreateOffscreenGlContext(64, 32, &context, &error), 1)
        << "no off-screen OpenGL context: " << error;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    RecordProperty("gl_version", version);

    glViewport(0, 0, 64, 32);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 32, -1, 1);  // one unit per pixel, origin at the bottom left
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLuint list = glGenLists(1);
    ASSERT_NE(list, 0u);
    glNewList(list, GL_COMPILE);
    glColor3ub(255, 0, 0);
    glBegin(GL_QUADS);  // the left half, bottom row to top row
    glVertex2i(0, 0);
    glVertex2i(32, 0);
    glVertex2i(32, 32);
    glVertex2i(0, 32);
    glEnd();
    glColor3ub(0, 255, 0);
    glBegin(GL_QUADS);  // the top-right quarter
    glVertex2i(32, 16);
    glVertex2i(64, 16);
    glVertex2i(64, 32);
    glVertex2i(32, 32);
    glEnd();
    glEndList();
    glCallList(list);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    std::vector<std::uint8_t> pixels;
    ASSERT_EQ(ReadOffscreenPixelsRgb(context, &pixels), 1);
    ASSERT_EQ(pixels.size(), 64u * 32u * 3u);
    auto at = [&](int x, int yFromTop) {
        std::size_t i = (static_cast<std::size_t>(yFromTop) * 64 + static_cast<std::size_t>(x)) * 3;
        return std::vector<int>{pixels[i], pixels[i + 1], pixels[i + 2]};
    };
    EXPECT_EQ(at(5, 5), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(5, 28), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at(50, 5), (std::vector<int>{0, 255, 0}));  // top rows come first
    EXPECT_EQ(at(50, 28), (std::vector<int>{0, 0, 255}));
    glDeleteLists(list, 1);
    DestroyOffscreenGlContext(&context);
    EXPECT_EQ(context.display, nullptr);
    EXPECT_EQ(MakeOffscreenGlContextCurrent(context), 0);
}

TEST(OffscreenGl, RejectsAnEmptySize) {
    OffscreenGlContext context;
    std::string error;
    EXPECT_EQ(CreateOffscreenGlContext(0, 10, &context, &error), 0);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace mirexa
