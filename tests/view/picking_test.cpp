// Picking and measuring: arc radii against hand-worked circles, the pick radius bounds, the
// choice among hits, the trace's limit and values, vice hits and the rubber band.
#include "view/picking.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "config/structure_models.h"
#include "view/display_lists.h"
#include "view/marker_lists.h"
#include "view/snapshots.h"
#include "view/view_window.h"
#include "view_test_support.h"

namespace mirexa {
namespace {

using testing::MakeBoxStock;
using testing::OffscreenView;

TEST(ArcRadius, CirclesInSpaceAndInEachPlane) {
    // Three points on a circle of radius 5 about (1, 2, 3) in a plane tilted about X by 30 deg.
    const double c = std::cos(M_PI / 6);
    const double s = std::sin(M_PI / 6);
    auto on = [&](double t, double out[3]) {
        const double u = 5 * std::cos(t);
        const double v = 5 * std::sin(t);
        out[0] = 1 + u;
        out[1] = 2 + v * c;
        out[2] = 3 + v * s;
    };
    double p1[3], p2[3], p3[3];
    on(0.3, p1);
    on(1.7, p2);
    on(4.0, p3);
    EXPECT_NEAR(ArcRadiusThrough3Points(kArcSpace, p1, p2, p3), 5.0, 1e-9);

    // Each plane drops its axis: points differing only on that axis by large amounts give the
    // circle of their two other coordinates (3-4-5 triangle: the right angle's hypotenuse 10 is
    // the diameter).
    const double a[3] = {0, 0, 0};
    const double b[3] = {6, 8, 0};
    const double d[3] = {6, 0, 0};
    const double xy1[3] = {0, 0, 100}, xy2[3] = {6, 8, -50}, xy3[3] = {6, 0, 7};
    EXPECT_NEAR(ArcRadiusThrough3Points(kArcPlaneXY, xy1, xy2, xy3), 5.0, 1e-9);
    const double yz1[3] = {100, 0, 0}, yz2[3] = {-4, 6, 8}, yz3[3] = {9, 6, 0};
    EXPECT_NEAR(ArcRadiusThrough3Points(kArcPlaneYZ, yz1, yz2, yz3), 5.0, 1e-9);
    const double zx1[3] = {0, 100, 0}, zx2[3] = {8, -3, 6}, zx3[3] = {0, 1, 6};
    EXPECT_NEAR(ArcRadiusThrough3Points(kArcPlaneZX, zx1, zx2, zx3), 5.0, 1e-9);
    EXPECT_NEAR(ArcRadiusThrough3Points(kArcSpace, a, b, d), 5.0, 1e-9);

    // Collinear points, in space and after dropping an axis.
    const double l1[3] = {0, 0, 0}, l2[3] = {1, 2, 3}, l3[3] = {2, 4, 6};
    EXPECT_EQ(ArcRadiusThrough3Points(kArcSpace, l1, l2, l3), kCollinearRadius);
    const double m1[3] = {0, 0, 0}, m2[3] = {1, 1, 5}, m3[3] = {2, 2, -3};
    EXPECT_EQ(ArcRadiusThrough3Points(kArcPlaneXY, m1, m2, m3), kCollinearRadius);
    EXPECT_LT(ArcRadiusThrough3Points(kArcSpace, m1, m2, m3), kCollinearRadius);
}

TEST(PickRadius, ClampsAtOnePixelAndAtTheViewHeight) {
    ViewState view;
    SetViewSize(&view, 1000, 600);
    StockModel model;
    model.nx = 1000;
    model.ny = 10;
    model.nz = 10;
    EXPECT_EQ(StockPickRadius(view, model), 1.0);  // 1000 * 0.7 / 1000 = 0.7
    model.nx = 100;
    EXPECT_DOUBLE_EQ(StockPickRadius(view, model), 7.0);
    view.zoom = 1000.0;
    EXPECT_EQ(StockPickRadius(view, model), 600.0);
}

PickHit Hit(double x, double y, double z, double depth, double pixel) {
    PickHit hit;
    hit.point[0] = x;
    hit.point[1] = y;
    hit.point[2] = z;
    hit.depth = depth;
    hit.pixelTerm = pixel;
    return hit;
}

TEST(PickChoice, NearestToTheEyeFirstFoundOnTiesAndAxisLocks) {
    const double picked[3] = {1, 2, 3};
    std::vector<PickHit> hits = {Hit(0, 0, 0, 0.5, 0.1), Hit(1, 0, 0, 1.0, 0.3),
                                 Hit(5, 5, 5, 1.0, 0.3), Hit(9, 2, 0, 0.9, 0.0)};
    // Scores against the front depth 1.0: 0.51, 0.3, 0.3, 0.1.
    EXPECT_EQ(ChooseNearestHit(hits, 1.0, {}, picked), 3);
    hits.pop_back();
    EXPECT_EQ(ChooseNearestHit(hits, 1.0, {}, picked), 1);          // the first of two equal scores
    EXPECT_EQ(ChooseNearestHit(hits, 1.0, {1, 0, 0}, picked), 1);   // only x == 1 remains
    EXPECT_EQ(ChooseNearestHit(hits, 1.0, {0, 1, 0}, picked), -1);  // no hit has y == 2
    EXPECT_EQ(ChooseNearestHit({}, 1.0, {}, picked), -1);
}

class PickingView : public ::testing::Test {
protected:
    void SetUp() override {
        ResetViewWindowState();
        DisplayUnitFactor = 20.0;  // 1 mm is 10 pixels in a 400-pixel view
        for (double& p : PickedPoint) {
            p = 0.0;
        }
        PickAxisLocks = {};
        points_.assign(3 * kTraceCapacity, 0.0);
        marks_.assign(kTraceCapacity, 0);
        BindTraceTables(points_.data(), marks_.data(), kTraceCapacity);
    }
    void TearDown() override {
        BindTraceTables(nullptr, nullptr, 0);
        StructureModels.vices.clear();
    }
    // The window point of a model point (mm).
    static void Cursor(const double point[3], int* x, int* y) {
        double depth, wx, wy;
        ASSERT_EQ(ProjectModelPointToWindow(CurrentView, point, &depth, &wx, &wy), 1);
        *x = static_cast<int>(std::lround(wx));
        *y = static_cast<int>(std::lround(wy));
    }
    OffscreenView view_{400, 400};
    std::vector<double> points_;
    std::vector<std::uint8_t> marks_;
};

TEST_F(PickingView, TopEndsAreChosenAndTheSamePointDoesNotFlagTheListAgain) {
    ASSERT_TRUE(view_.ok());
    DisplayUnitFactor = 20.0;
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    ViewMouseMode = kMouseModeMeasure;
    const double target[3] = {2, 3, 4};
    int x, y;
    Cursor(target, &x, &y);

    std::vector<PickHit>& buffer = PickHitBuffer();
    const PickHit* storage = buffer.data();
    EXPECT_GE(buffer.capacity(), static_cast<std::size_t>(kMostStockHits));
    SceneDirty.pickedPoint = 0;
    ASSERT_EQ(PickAtCursor(x, y, false), 1);
    EXPECT_EQ(PickedPoint[0], 2.0);
    EXPECT_EQ(PickedPoint[1], 3.0);
    EXPECT_EQ(PickedPoint[2], 4.0);  // the top end, nearest the eye
    EXPECT_EQ(SceneDirty.pickedPoint.load(), 2);
    EXPECT_EQ(PickHitBuffer().data(), storage);  // the one buffer, reused

    SceneDirty.pickedPoint = 1;  // list 28 built
    ASSERT_EQ(PickAtCursor(x, y, false), 1);
    EXPECT_EQ(SceneDirty.pickedPoint.load(), 1);

    // Every hit lies within the pick radius; the families come Z, then X, then Y.
    double front = 0;
    const int count = PickStockSegmentEnds(CurrentView, StockModels[0], x, y, &buffer, &front);
    ASSERT_GT(count, 0);
    const double radius = StockPickRadius(CurrentView, StockModels[0]);
    int lastFamilyRank = 0;
    for (const PickHit& hit : buffer) {
        EXPECT_LT(hit.pixelTerm * DisplayUnitFactor / CurrentView.zoom, radius);
        const int rank = hit.family == 2 ? 0 : hit.family + 1;
        EXPECT_GE(rank, lastFamilyRank);
        lastFamilyRank = rank;
    }
    EXPECT_DOUBLE_EQ(front, 4.0 / DisplayUnitFactor);

    // Far outside the stock nothing is near.
    EXPECT_EQ(PickAtCursor(2, 2, false), 0);
    EXPECT_EQ(PickedPoint[0], 2.0);
}

TEST_F(PickingView, AnAxisLockKeepsThePickOnItsPlane) {
    ASSERT_TRUE(view_.ok());
    DisplayUnitFactor = 20.0;
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    ViewMouseMode = kMouseModeMeasure;
    PickedPoint[0] = 1.0;
    PickedPoint[1] = -9.0;
    PickedPoint[2] = -9.0;
    PickAxisLocks.x = 1;
    const double near[3] = {2, 0, 4};  // the cursor is nearest x = 2, but x is locked at 1
    int x, y;
    Cursor(near, &x, &y);
    ASSERT_EQ(PickAtCursor(x, y, false), 1);
    EXPECT_EQ(PickedPoint[0], 1.0);
    EXPECT_EQ(PickedPoint[1], 0.0);
}

TEST_F(PickingView, EndsBehindTheEyeAreNeverPicked) {
    ASSERT_TRUE(view_.ok());
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    ViewMouseMode = kMouseModeMeasure;
    // In perspective at zoom 100 the top face (depth 4 / 20 * 100 = 20 display units) lies
    // behind the eye, 4 units in front of the centre; the bottom face (depth 0) is in view.
    CurrentView.perspective = 1;
    CurrentView.zoom = 100.0;
    PickedPoint[2] = 99.0;
    ASSERT_EQ(PickAtCursor(200, 200, false), 1);
    EXPECT_EQ(PickedPoint[0], 0.0);
    EXPECT_EQ(PickedPoint[1], 0.0);
    EXPECT_EQ(PickedPoint[2], 0.0);
}

TEST_F(PickingView, TraceRecordsDeltasAndRadiiAndStopsAtItsCapacity) {
    ASSERT_TRUE(view_.ok());
    const double lo[3] = {-5, -5, 0};
    const double hi[3] = {5, 5, 4};
    ASSERT_EQ(MakeBoxStock(0, lo, hi, 1.0, 2), 1);
    std::vector<double> points(9, 0.0);
    std::vector<std::uint8_t> marks(3, 0);
    BindTraceTables(points.data(), marks.data(), 3);
    ViewMouseMode = kMouseModeMeasure;
    const double picks[4][3] = {{0, 0, 0}, {3, 4, 0}, {6, 0, 0}, {1, 1, 1}};
    auto record = [&](int i) {
        for (int k = 0; k < 3; ++k) {
            PickedPoint[k] = picks[i][k];
        }
        return RecordTracePoint();
    };
    ASSERT_EQ(record(0), 1);
    EXPECT_EQ(MeasureTrace.distance, 0.0);
    EXPECT_EQ(MeasureTrace.radii[0], 0.0);
    ASSERT_EQ(record(1), 1);
    EXPECT_EQ(MeasureTrace.delta[0], 3.0);
    EXPECT_EQ(MeasureTrace.delta[1], 4.0);
    EXPECT_DOUBLE_EQ(MeasureTrace.distance, 5.0);
    EXPECT_EQ(MeasureTrace.radii[0], 0.0);  // fewer than two points before it
    ASSERT_EQ(record(2), 1);
    // (0,0), (3,4), (6,0): centre (3, 0.875) by 9 + k^2 = (4 - k)^2, radius sqrt(9 + 0.875^2).
    EXPECT_NEAR(MeasureTrace.radii[0], 3.125, 1e-12);
    EXPECT_NEAR(MeasureTrace.radii[3], 3.125, 1e-12);    // XY
    EXPECT_EQ(MeasureTrace.radii[1], kCollinearRadius);  // YZ: the points fall on a line
    EXPECT_EQ(MeasureTrace.count, 3);
    EXPECT_EQ(record(3), 0);  // full: not stored, radii still refreshed
    EXPECT_EQ(MeasureTrace.count, 3);
    EXPECT_EQ(points[6], 6.0);

    // Outside measure mode the point takes the next slot without counting.
    BindTraceTables(points.data(), marks.data(), 3);
    ViewMouseMode = kMouseModePathPick;
    marks.assign(3, 0);
    ASSERT_EQ(record(1), 1);
    EXPECT_EQ(MeasureTrace.count, 0);
    EXPECT_EQ(marks[0], 1);
    EXPECT_EQ(MeasureTrace.distance, 0.0);
}

TEST_F(PickingView, ViceVerticesAreCappedAtAHundred) {
    ASSERT_TRUE(view_.ok());
    MachineModel vice;
    const double point[3] = {1, 1, 1};
    for (int f = 0; f < 60; ++f) {
        StlFacet facet;
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                facet.values[3 + 3 * v + k] = point[k];
            }
        }
        vice.facets.push_back(facet);
    }
    vice.facetCount = 60;
    StructureModels.vices.push_back(vice);
    int x, y;
    Cursor(point, &x, &y);
    std::vector<PickHit> hits;
    double front = 0;
    EXPECT_EQ(PickViceModelVertex(CurrentView, x, y, &hits, &front), kMostViceHits);
    EXPECT_EQ(hits.size(), static_cast<std::size_t>(kMostViceHits));
    EXPECT_EQ(PickViceModelVertex(CurrentView, x + 25, y, &hits, &front), 0);

    // Without a stock the measuring tool picks the vice.
    ViewMouseMode = kMouseModeMeasure;
    ASSERT_EQ(PickAtCursor(x + 3, y, false), 1);
    EXPECT_EQ(PickedPoint[0], 1.0);
    EXPECT_EQ(PickedPointOnStock, 0);
}

// The rubber band: red where it runs, nothing when its corners are equal.
TEST_F(PickingView, RubberBandIsDrawnOnlyBetweenDifferentCorners) {
    ASSERT_TRUE(view_.ok());
    auto drawBand = [](int x0, int y0, int x1, int y1) {
        ClearViewWindow();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        ZoomRectangleState& r = ViewWindow.rectangle;
        r.startX = x0;
        r.startY = y0;
        r.endX = x1;
        r.endY = y1;
        const int xs[4] = {x0, x1, x1, x0};
        const int ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i) {
            r.corners[i][0] = 2.0 * xs[i] / 400 - 1.0;
            r.corners[i][1] = 1.0 - 2.0 * ys[i] / 400;
        }
        DrawSelectionRectangle();
        glFinish();
        std::vector<std::uint8_t> pixels(ViewCapture.size);
        ReadViewPixels(kPixelsRgb, pixels.data(), pixels.size());
        int red = 0;
        for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) {
            red += pixels[i] > 200 && pixels[i + 1] < 50 ? 1 : 0;
        }
        return red;
    };
    EXPECT_GT(drawBand(100, 100, 300, 250), 500);
    EXPECT_EQ(drawBand(150, 150, 150, 150), 0);
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 1.0f);
}

}  // namespace
}  // namespace mirexa
