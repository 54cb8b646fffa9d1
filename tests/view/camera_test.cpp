// The camera: the software projection against the GL matrices and against the pixel GL lights
// for every orientation code and both projections, the AXIS DIRECTION words against where their
// axes land, and the drag, zoom and pan operations.
#include "view/camera.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "config/machine_file.h"
#include "geometry/orientation_frames.h"
#include "stock/stock_model.h"
#include "view/snapshots.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

using testing::OffscreenView;

const int kOrientationCodes[] = {0,  1,  2,  3,  10, 11, 12, 13, 20, 21,
                                 22, 23, 30, 31, 32, 33, 40, 41, 42, 43};

// A camera with random angles, zoom and centre.
void RandomCamera(std::mt19937& random, int code, int perspective, ViewState* view) {
    std::uniform_real_distribution<double> angle(0.0, 360.0);
    std::uniform_real_distribution<double> zoom(0.6, 2.5);
    std::uniform_real_distribution<double> centre(-0.3, 0.3);
    view->angleA = angle(random);
    view->angleB = angle(random);
    view->zoom = zoom(random);
    for (double& c : view->centre) {
        c = centre(random);
    }
    view->orientationCode = code;
    view->perspective = perspective;
    UpdateViewTrig(view);
}

// Where GL puts a model point (mm): the current matrices read back and applied by hand.
bool GlWindowPoint(const ViewState& view, const double point[3], double* x, double* y,
                   double* eyeZ) {
    double mv[16], pr[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    const double p[4] = {point[0] / DisplayUnitFactor, point[1] / DisplayUnitFactor,
                         point[2] / DisplayUnitFactor, 1.0};
    double eye[4] = {}, clip[4] = {};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            eye[r] += mv[c * 4 + r] * p[c];  // column-major
        }
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            clip[r] += pr[c * 4 + r] * eye[c];
        }
    }
    if (!(clip[3] > 0.0)) {
        return false;
    }
    *x = (clip[0] / clip[3] + 1.0) / 2.0 * view.width;
    *y = view.height - (clip[1] / clip[3] + 1.0) / 2.0 * view.height;
    *eyeZ = eye[2];
    return true;
}

void LoadCamera(ViewState* view) {
    SetViewProjection(view);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyModelViewTransform(*view);
}

TEST(Camera, ProjectionAgreesWithTheGlMatricesForEveryOrientation) {
    OffscreenView offscreen(96, 64);
    ASSERT_TRUE(offscreen.ok());
    const unsigned seed = 24017;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-300.0, 300.0);
    int compared = 0;
    for (int code : kOrientationCodes) {
        for (int perspective = 0; perspective < 2; ++perspective) {
            for (int camera = 0; camera < 4; ++camera) {
                ViewState view = CurrentView;
                RandomCamera(random, code, perspective, &view);
                LoadCamera(&view);
                for (int i = 0; i < 10; ++i) {
                    const double p[3] = {coordinate(random), coordinate(random),
                                         coordinate(random)};
                    double depth = 0, x = 0, y = 0, gx = 0, gy = 0, eyeZ = 0;
                    const int projected = ProjectModelPointToWindow(view, p, &depth, &x, &y);
                    if (projected != 1) {
                        // Only a perspective point at or behind the eye is refused.
                        ASSERT_EQ(perspective, 1) << "seed " << seed << " code " << code;
                        continue;
                    }
                    ASSERT_TRUE(GlWindowPoint(view, p, &gx, &gy, &eyeZ))
                        << "seed " << seed << " code " << code;
                    EXPECT_NEAR(x, gx, 1e-3) << "seed " << seed << " code " << code;
                    EXPECT_NEAR(y, gy, 1e-3) << "seed " << seed << " code " << code;
                    EXPECT_NEAR(depth + view.eyeOffset, eyeZ, 1e-5) << "code " << code;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 700);
}

// The pixel GL lights for a one-pixel point lies where the projection says.
TEST(Camera, MarkerPointLandsOnTheProjectedPixel) {
    const int width = 80, height = 60;
    OffscreenView offscreen(width, height);
    ASSERT_TRUE(offscreen.ok());
    const unsigned seed = 7001;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-150.0, 150.0);
    std::vector<std::uint8_t> pixels(ViewCapture.size);
    for (int code : kOrientationCodes) {
        for (int perspective = 0; perspective < 2; ++perspective) {
            ViewState view = CurrentView;
            RandomCamera(random, code, perspective, &view);
            int drawn = 0;
            for (int attempt = 0; attempt < 50 && drawn < 3; ++attempt) {
                const double p[3] = {coordinate(random), coordinate(random), coordinate(random)};
                double depth = 0, x = 0, y = 0;
                if (ProjectModelPointToWindow(view, p, &depth, &x, &y) != 1 || x < 1 || y < 1 ||
                    x > width - 1 || y > height - 1) {
                    continue;
                }
                // Keep clear of pixel edges, where rounding decides.
                const double fx = x - std::floor(x), fy = y - std::floor(y);
                if (fx < 0.05 || fx > 0.95 || fy < 0.05 || fy > 0.95 || depth < -10 ||
                    depth > 3.5) {
                    continue;
                }
                glViewport(0, 0, width, height);
                glClearColor(0, 0, 0, 1);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                glDisable(GL_LIGHTING);
                glDisable(GL_DEPTH_TEST);
                LoadCamera(&view);
                glPointSize(1.0f);
                glColor3f(1, 1, 1);
                glBegin(GL_POINTS);
                glVertex3d(p[0] / DisplayUnitFactor, p[1] / DisplayUnitFactor,
                           p[2] / DisplayUnitFactor);
                glEnd();
                ASSERT_EQ(ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size()), 1);
                std::vector<std::pair<int, int>> lit;
                for (int row = 0; row < height; ++row) {
                    for (int column = 0; column < width; ++column) {
                        if (pixels[static_cast<std::size_t>(row) * ViewCapture.stride +
                                   static_cast<std::size_t>(column) * 3] > 128) {
                            lit.emplace_back(column, height - 1 - row);
                        }
                    }
                }
                ASSERT_EQ(lit.size(), 1u) << "seed " << seed << " code " << code;
                EXPECT_EQ(lit[0].first, static_cast<int>(std::floor(x))) << "code " << code;
                EXPECT_EQ(lit[0].second, static_cast<int>(std::floor(y))) << "code " << code;
                ++drawn;
            }
            EXPECT_EQ(drawn, 3) << "code " << code << " perspective " << perspective;
        }
    }
}

TEST(Camera, AxisDirectionWordsPutTheirAxesRightAndBack) {
    const char* kWords[] = {"RIGHT-Y,BACK+X", "RIGHT-X,BACK-Y", "RIGHT+Y,BACK-X", "RIGHT+Z,BACK+Y",
                            "RIGHT+Z,BACK+X", "RIGHT+Z,BACK-Y", "RIGHT+Z,BACK-X", "RIGHT-Z,BACK+Y",
                            "RIGHT-Z,BACK+X", "RIGHT-Z,BACK-Y", "RIGHT-Z,BACK-X", "RIGHT+X,BACK-Z",
                            "RIGHT-Y,BACK-Z", "RIGHT-X,BACK-Z", "RIGHT+Y,BACK-Z", "RIGHT+X,BACK+Z",
                            "RIGHT-Y,BACK+Z", "RIGHT-X,BACK+Z", "RIGHT+Y,BACK+Z"};
    ViewState view;
    view.angleA = view.angleB = 0.0;
    UpdateViewTrig(&view);
    SetViewSize(&view, 200, 100);
    auto axisPoint = [](char sign, char axis, double p[3]) {
        p[0] = p[1] = p[2] = 0.0;
        p[axis - 'X'] = sign == '+' ? 100.0 : -100.0;
    };
    for (const char* word : kWords) {
        view.orientationCode = AxisDirectionCode(word);
        ASSERT_GT(view.orientationCode, 0) << word;
        double right[3], back[3], depth = 0, x = 0, y = 0;
        axisPoint(word[5], word[6], right);
        axisPoint(word[12], word[13], back);
        ASSERT_EQ(ProjectModelPointToWindow(view, right, &depth, &x, &y), 1);
        EXPECT_GT(x, 100.0) << word;  // right of the centre
        EXPECT_EQ(y, 50.0) << word;
        ASSERT_EQ(ProjectModelPointToWindow(view, back, &depth, &x, &y), 1);
        EXPECT_EQ(x, 100.0) << word;
        EXPECT_LT(y, 50.0) << word;  // above the centre: away from the operator
    }
    // Unknown words and codes 50 and above turn nothing.
    EXPECT_EQ(AxisDirectionCode("RIGHT+Q,BACK+X"), 0);
    EXPECT_EQ(AxisDirectionCode(""), 0);
    double p[3] = {1, 2, 3};
    OrientPointForProjection(50, &p[0], &p[1], &p[2]);
    EXPECT_EQ(p[0], 1.0);
    EXPECT_EQ(p[1], 2.0);
    EXPECT_EQ(p[2], 3.0);
    // The vector turn undoes the point turn for every code.
    for (int code : kOrientationCodes) {
        double v[3] = {1, 2, 3};
        OrientPointForProjection(code, &v[0], &v[1], &v[2]);
        OrientVectorForView(code, &v[0], &v[1], &v[2]);
        EXPECT_EQ(v[0], 1.0) << code;
        EXPECT_EQ(v[1], 2.0) << code;
        EXPECT_EQ(v[2], 3.0) << code;
    }
}

TEST(Camera, CentreProjectsToTheMiddleAndPointsAtTheEyeAreRefused) {
    for (int perspective = 0; perspective < 2; ++perspective) {
        ViewState view;
        SetViewSize(&view, 300, 200);
        view.perspective = perspective;
        view.angleA = 33.0;
        view.angleB = 71.0;
        view.zoom = 1.7;
        view.centre[0] = 0.1;
        view.centre[1] = -0.2;
        view.centre[2] = 0.05;
        UpdateViewTrig(&view);
        const double centre[3] = {0.1 * DisplayUnitFactor, -0.2 * DisplayUnitFactor,
                                  0.05 * DisplayUnitFactor};
        double depth = 1, x = 0, y = 0;
        ASSERT_EQ(ProjectModelPointToWindow(view, centre, &depth, &x, &y), 1);
        EXPECT_NEAR(x, 150.0, 1e-9);
        EXPECT_NEAR(y, 100.0, 1e-9);
        EXPECT_NEAR(depth, 0.0, 1e-12);
    }
    // Looking straight down: depth runs along +Z. The eye sits 4 units above the centre.
    ViewState view;
    SetViewSize(&view, 100, 100);
    view.perspective = 1;
    view.angleA = view.angleB = 0.0;
    UpdateViewTrig(&view);
    double depth = 0, x = -1, y = -1;
    const double nearEye[3] = {0, 0, (4.0 - kViewNearPlane) * DisplayUnitFactor};
    const double behind[3] = {0, 0, 5.0 * DisplayUnitFactor};
    const double inFront[3] = {0, 0, 3.9 * DisplayUnitFactor};
    EXPECT_EQ(ProjectModelPointToWindow(view, nearEye, &depth, &x, &y), kProjectBehindEye);
    EXPECT_EQ(ProjectModelPointToWindow(view, behind, &depth, &x, &y), kProjectBehindEye);
    EXPECT_EQ(x, -1.0);  // outputs left alone
    EXPECT_EQ(ProjectModelPointToWindow(view, inFront, &depth, &x, &y), 1);
    view.perspective = 0;  // orthographic has no eye point
    EXPECT_EQ(ProjectModelPointToWindow(view, behind, &depth, &x, &y), 1);
}

TEST(Camera, RotatingDragsAddUpWrapAndKeepTheirLimits) {
    ViewState view;
    SetViewSize(&view, 400, 400);  // half width 200
    view.angleA = 100.0;
    view.angleB = 45.0;
    UpdateViewTrig(&view);
    // Two drags of 2 px act as one of 4 px: 4 * 72 / 200 = 1.44 -> 1 step of 2.5 deg.
    view.lastDragX = 50;
    EXPECT_EQ(MouseDragView(&view, 52, 0, kMouseModeRotate, 10), 0);
    EXPECT_EQ(view.angleA, 100.0);
    EXPECT_EQ(MouseDragView(&view, 54, 0, kMouseModeRotate, 20), 1);
    EXPECT_EQ(view.angleA, 102.5);
    EXPECT_EQ(view.lastRotationAxis, 1);
    EXPECT_EQ(view.lastRotationStep, 1);
    // Seen from below (B = 200) a rightward drag lowers A, and A wraps below 0.
    view.angleB = 200.0;
    view.angleA = 1.0;
    UpdateViewTrig(&view);
    EXPECT_EQ(MouseDragView(&view, 54 + 10, 0, kMouseModeRotate, 30), 1);  // 3.6 -> 4 steps
    EXPECT_DOUBLE_EQ(view.angleA, 351.0);
    // ... and leftward drags push A past 360, which wraps too.
    view.angleA = 359.0;
    EXPECT_EQ(MouseDragView(&view, 64 - 10, 0, kMouseModeRotate, 40), 1);
    EXPECT_DOUBLE_EQ(view.angleA, 9.0);
    EXPECT_GE(view.angleA, 0.0);
    // Dragging down lowers B; a B of exactly 360 is kept.
    view.angleB = 357.5;
    view.lastDragY = 100;
    EXPECT_EQ(MouseDragView(&view, view.lastDragX, 100 - 6, kMouseModeRotate, 50), 1);  // up
    EXPECT_DOUBLE_EQ(view.angleB, 360.0);
    EXPECT_EQ(view.lastRotationAxis, 2);
    EXPECT_EQ(MouseDragView(&view, view.lastDragX, 94 + 6, kMouseModeRotate, 60), 1);  // down
    EXPECT_DOUBLE_EQ(view.angleB, 357.5);
    EXPECT_EQ(view.lastRotationStep, -1);
}

TEST(Camera, ZoomDragsAndWheelStepsScaleTheZoom) {
    ViewState view;
    SetViewSize(&view, 400, 300);
    view.lastDragX = 0;
    view.lastDragY = 0;
    ASSERT_EQ(MouseDragView(&view, 200, 0, kMouseModeZoom, 5), 1);  // half the width rightward
    EXPECT_NEAR(view.zoom, std::pow(1.1, 20), 1e-9);
    EXPECT_EQ(view.dragTick, 0u);
    ASSERT_EQ(MouseDragView(&view, 200, -150, kMouseModeZoom, 6), 1);  // half the height upward
    EXPECT_NEAR(view.zoom, 1.0, 1e-12);
    ZoomBySteps(&view, 2);
    EXPECT_NEAR(view.zoom, 1.21, 1e-12);
    ZoomBySteps(&view, -2);
    ZoomBySteps(&view, 0);  // 0 divides by 1.1^0
    EXPECT_NEAR(view.zoom, 1.0, 1e-12);
}

// A pan drag by (dx, dy) moves the picture of a point at the centre's depth by (dx, dy).
TEST(Camera, PanMovesThePictureWithTheCursor) {
    for (int perspective = 0; perspective < 2; ++perspective) {
        for (int code : {0, 11, 42}) {
            ViewState view;
            SetViewSize(&view, 320, 240);
            view.perspective = perspective;
            view.orientationCode = code;
            view.angleA = 210.0;
            view.angleB = 120.0;
            view.zoom = 1.3;
            UpdateViewTrig(&view);
            const double fixed[3] = {0, 0, 0};  // the centre before the pan
            double depth = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            ASSERT_EQ(ProjectModelPointToWindow(view, fixed, &depth, &x0, &y0), 1);
            view.lastDragX = 100;
            view.lastDragY = 100;
            ASSERT_EQ(MouseDragView(&view, 117, 91, kMouseModePan, 1), 1);
            ASSERT_EQ(ProjectModelPointToWindow(view, fixed, &depth, &x1, &y1), 1);
            EXPECT_NEAR(x1 - x0, 17.0, 1e-9) << perspective << " " << code;
            EXPECT_NEAR(y1 - y0, -9.0, 1e-9) << perspective << " " << code;
        }
    }
}

// The perspective scale is right from the start and after every change of projection, without
// waiting for a resize.
TEST(Camera, PerspectiveScaleNeedsNoResizeAfterAProjectionChange) {
    ViewState view;
    SetViewSize(&view, 200, 100);
    const double expected = 50.0 / std::tan(15.0 * M_PI / 180.0) / 4.0;
    EXPECT_NEAR(view.perspectiveScale, expected, 1e-9);
    OffscreenView offscreen(64, 64);
    ASSERT_TRUE(offscreen.ok());
    view.perspective = 1;
    SetViewProjection(&view);
    EXPECT_NEAR(view.perspectiveScale, expected, 1e-9);
    view.perspective = 0;
    SetViewProjection(&view);
    view.perspective = 1;
    double point[3] = {0, 0, 0};
    PanByScreenDelta(view, expected, 0.0, point);  // one display unit at zoom 1
    EXPECT_NEAR(point[0], view.cosA, 1e-12);
}

TEST(Camera, RotationCentreIsTheStockMiddleOrTheWorkOffset) {
    StockModels[0] = StockModel{};
    CurrentStockIndex = 0;
    ViewState view;
    // Without a stock: the external offset plus the selected work offset.
    WorkOffsetHooks saved = WorkOffsetSource;
    WorkOffsetSource.readEntry = [](int index, double out[5]) {
        for (int i = 0; i < 5; ++i) {
            out[i] = index == 0 ? 10.0 * (i + 1) : (index == 2 ? 100.0 : 999.0);
        }
    };
    WorkOffsetSource.currentIndex = [] { return 2; };
    SetRotationCentre(&view);
    EXPECT_DOUBLE_EQ(view.centre[0], 110.0 / DisplayUnitFactor);
    EXPECT_DOUBLE_EQ(view.centre[2], 130.0 / DisplayUnitFactor);
    WorkOffsetSource = saved;
    // With a stock: the middle of its material bounds.
    double maxCorner[3] = {100, 50, 20}, minCorner[3] = {0, -50, -10};
    StockModels[0].nx = 2;
    StockModels[0].maxCorner = maxCorner;
    StockModels[0].minCorner = minCorner;
    SetRotationCentre(&view);
    EXPECT_DOUBLE_EQ(view.centre[0], 50.0 / DisplayUnitFactor);
    EXPECT_DOUBLE_EQ(view.centre[1], 0.0);
    EXPECT_DOUBLE_EQ(view.centre[2], 5.0 / DisplayUnitFactor);
    StockModels[0] = StockModel{};
}

}  // namespace
}  // namespace mirexa
