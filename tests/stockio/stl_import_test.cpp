// STL import into dexels: closed meshes in every encoding and conversion mode against their
// analytic rays and volumes, the template frame, the point-in-triangle tables, the normal
// snapping, the height-map conversion with its repair, and hostile files.
#include "stockio/stl_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/stl_files.h"
#include "stockio/stl_height_map.h"
#include "stockio/stock_loading.h"
#include "support/scratch_directory.h"
#include "support/stl_test_meshes.h"
#include "support/stock_invariants.h"

namespace mirexa {
namespace {

using testing::AsciiStl;
using testing::BinaryStl;
using testing::BoxMesh;
using testing::Facet;
using testing::MeshFacet;
using testing::ScratchDirectory;

// Every ray of every family, for whole-model comparisons.
std::vector<DexelRay> AllRays(const StockModel& model) {
    std::vector<DexelRay> rays;
    for (const DexelFamily* f : {&model.z, &model.x, &model.y}) {
        for (std::int64_t cell = 0; cell < f->cellCount; ++cell) {
            rays.push_back(ReadDexelRay(*f, cell));
        }
    }
    return rays;
}

// Material volume (mm^3) by the Z family: every ray's length times pitch^2, counting the rays
// on the grid's border at half or a quarter weight (trapezoidal rule).
double ZVolume(const StockModel& model) {
    double volume = 0;
    for (int iy = 0; iy < model.ny; ++iy) {
        for (int ix = 0; ix < model.nx; ++ix) {
            DexelRay ray = ReadDexelRay(model.z, static_cast<std::int64_t>(iy) * model.nx + ix);
            double length = 0;
            for (std::size_t k = 0; k + 1 < ray.ends.size(); k += 2) {
                length += ray.ends[k + 1] - ray.ends[k];
            }
            double weight = (ix == 0 || ix == model.nx - 1 ? 0.5 : 1.0) *
                            (iy == 0 || iy == model.ny - 1 ? 0.5 : 1.0);
            volume += weight * length * model.pitch * model.pitch;
        }
    }
    return volume;
}

// A closed UV sphere, outward and counter-clockwise.
std::vector<MeshFacet> SphereMesh(double radius, const double centre[3], int slices, int stacks) {
    auto point = [&](int i, int j) {
        const double theta = M_PI * j / stacks;
        const double phi = 2 * M_PI * i / slices;
        return std::array<float, 3>{
            static_cast<float>(centre[0] + radius * std::sin(theta) * std::cos(phi)),
            static_cast<float>(centre[1] + radius * std::sin(theta) * std::sin(phi)),
            static_cast<float>(centre[2] + radius * std::cos(theta))};
    };
    std::vector<MeshFacet> out;
    for (int j = 0; j < stacks; ++j) {
        for (int i = 0; i < slices; ++i) {
            auto a = point(i, j), b = point(i, j + 1), c = point(i + 1, j + 1), d = point(i + 1, j);
            if (j != 0) {
                out.push_back(Facet({0, 0, 0}, a, b, d));
            }
            if (j != stacks - 1) {
                out.push_back(Facet({0, 0, 0}, b, c, d));
            }
        }
    }
    return out;
}

// Volume enclosed by a closed, outward mesh (mm^3): the sum of the signed tetrahedra from the
// origin to every facet.
double MeshVolume(const std::vector<MeshFacet>& mesh) {
    double volume = 0;
    for (const MeshFacet& f : mesh) {
        const float* a = f.values.data() + 3;
        const float* b = a + 3;
        const float* c = b + 3;
        volume += (static_cast<double>(a[0]) * (b[1] * c[2] - b[2] * c[1]) -
                   static_cast<double>(a[1]) * (b[0] * c[2] - b[2] * c[0]) +
                   static_cast<double>(a[2]) * (b[0] * c[1] - b[1] * c[0])) /
                  6.0;
    }
    return volume;
}

StockModel LoadFile(const std::string& path, double pitch, int direction, int* result) {
    StockModel model;
    SetStockUndoRingSize(&model, 1);
    *result = LoadStockModel(nullptr, &model, path, pitch, direction);
    return model;
}

TEST(ConvertStlStandard, TurnsAClosedCubeIntoFullRaysInEveryEncoding) {
    ScratchDirectory dir;
    std::vector<MeshFacet> cube = BoxMesh({0, 0, 0}, {10, 10, 10});
    std::vector<std::vector<DexelRay>> results;
    for (const auto& [name, bytes] :
         {std::pair{"a.stl", AsciiStl(cube)}, std::pair{"b.stl", BinaryStl(cube)},
          std::pair{"s.stl", BinaryStl(cube, true)}}) {
        int result = 0;
        StockModel model = LoadFile(dir.Write(name, bytes), 1.0, 0, &result);
        ASSERT_EQ(result, 1) << name;
        EXPECT_EQ(model.nx, 11);
        EXPECT_EQ(model.ny, 11);
        EXPECT_EQ(model.nz, 11);
        EXPECT_EQ(model.origin[0], 0);
        EXPECT_TRUE(StockInvariantsHold(model, true));
        for (const DexelFamily* f : {&model.z, &model.x, &model.y}) {
            for (std::int64_t cell = 0; cell < f->cellCount; ++cell) {
                DexelRay ray = ReadDexelRay(*f, cell);
                ASSERT_EQ(ray.ends, (std::vector<double>{0, 10})) << name << " cell " << cell;
                EXPECT_EQ(ray.flags, (std::vector<std::uint8_t>{0, 0}));
                EXPECT_EQ(ray.stamps, (std::vector<std::int32_t>{0, 0}));
            }
        }
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(model.minCorner[a], 0);
            EXPECT_EQ(model.maxCorner[a], 10);
        }
        results.push_back(AllRays(model));
        FreeStockModel(&model);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[2], results[1]);
}

TEST(ConvertStlStandard, GivesASphereItsVolumeWithConsistentFamilies) {
    ScratchDirectory dir;
    const double centre[3] = {0.3, -0.2, 5.1};
    const double radius = 4.0;
    const std::vector<MeshFacet> mesh = SphereMesh(radius, centre, 96, 48);
    std::string path = dir.Write("ball.stl", BinaryStl(mesh));
    int result = 0;
    StockModel model = LoadFile(path, 0.25, 0, &result);
    ASSERT_EQ(result, 1);
    EXPECT_TRUE(StockInvariantsHold(model, true));
    // The mesh's own volume, a little below the sphere's; the rays sample it on the lattice.
    const double exact = MeshVolume(mesh);
    EXPECT_NEAR(exact, 4.0 / 3.0 * M_PI * radius * radius * radius, 0.005 * exact);
    EXPECT_NEAR(ZVolume(model), exact, 0.002 * exact);
    FreeStockModel(&model);
}

TEST(LoadStlAsDexelModel, GivesTheSameRaysInAFramedTemplate) {
    ScratchDirectory dir;
    const double box[6] = {0, 0, 0, 10, 6, 4};
    std::vector<MeshFacet> mesh = BoxMesh({2, 1, 1}, {7, 5, 3});
    // The template frame turns 90 degrees about Z and shifts: a local point p lies at
    // (-p.y, p.x, p.z) + (100, 20, -5).
    StockFrame frame;
    const double f[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 100, 20, -5};
    std::copy(f, f + 12, frame.values);
    std::vector<MeshFacet> placed = mesh;
    for (MeshFacet& facet : placed) {
        for (int v = 1; v <= 3; ++v) {
            float* p = facet.values.data() + 3 * v;
            const float x = p[0], y = p[1];
            p[0] = -y + 100;
            p[1] = x + 20;
            p[2] = p[2] - 5;
        }
        facet.values[0] = facet.values[1] = facet.values[2] = 0;
    }
    StockModel identityTemplate;
    StockModel framedTemplate;
    SetStockUndoRingSize(&identityTemplate, 1);
    SetStockUndoRingSize(&framedTemplate, 1);
    ASSERT_EQ(CreateBoxStockIdentity(&identityTemplate, box, 1.0), 1);
    ASSERT_EQ(CreateBoxStock(&framedTemplate, box, frame, 1.0), 1);
    StockModel plain;
    StockModel framed;
    ASSERT_EQ(LoadStlAsDexelModel(nullptr, &plain, dir.Write("p.stl", BinaryStl(mesh)),
                                  identityTemplate, 0),
              1);
    ASSERT_EQ(LoadStlAsDexelModel(nullptr, &framed, dir.Write("f.stl", BinaryStl(placed)),
                                  framedTemplate, 0),
              1);
    EXPECT_EQ(plain.undo.size, 1);
    EXPECT_EQ(plain.blocks.count, 1);
    EXPECT_EQ(framed.frameFlag, 1);
    EXPECT_TRUE(StockInvariantsHold(plain, true));
    EXPECT_EQ(AllRays(plain), AllRays(framed));
    DexelRay z = ReadDexelRay(plain.z, 3 * plain.nx + 4);
    EXPECT_EQ(z.ends, (std::vector<double>{1, 3}));
    for (StockModel* m : {&identityTemplate, &framedTemplate, &plain, &framed}) {
        FreeStockModel(m);
    }
}

TEST(LoadStlAsDexelModel, RefusesWhatWouldLeaveAFreedModelLoaded) {
    ScratchDirectory dir;
    const double box[6] = {0, 0, 0, 4, 4, 4};
    StockModel stockTemplate;
    SetStockUndoRingSize(&stockTemplate, 1);
    ASSERT_EQ(CreateBoxStockIdentity(&stockTemplate, box, 1.0), 1);
    std::string mesh = BinaryStl(BoxMesh({1, 1, 1}, {3, 3, 3}));
    StockModel target;
    // Not ".STL": nothing loaded, reported as bad data.
    EXPECT_EQ(LoadStlAsDexelModel(nullptr, &target, dir.Write("m.txt", mesh), stockTemplate, 0),
              kStockFileDataError);
    EXPECT_EQ(target.nx, 0);
    // A template without a grid.
    StockModel empty;
    EXPECT_EQ(LoadStlAsDexelModel(nullptr, &target, dir.Write("m.stl", mesh), empty, 0),
              kStockFileDataError);
    EXPECT_EQ(target.nx, 0);
    // No facets at all; not an STL file.
    EXPECT_EQ(
        LoadStlAsDexelModel(nullptr, &target, dir.Write("e.stl", BinaryStl({})), stockTemplate, 0),
        kStockFileDataError);
    EXPECT_EQ(
        LoadStlAsDexelModel(nullptr, &target, dir.Write("n.stl", "garbage"), stockTemplate, 0),
        kStockFileDataError);
    EXPECT_EQ(target.nx, 0);
    // The basic model in work coordinates: the work offset moves the mesh for this load only.
    StockLoadOptions.stlAdjustments.basicModelInWork = 1;
    StlImportCallbacks.workOffset = [](double out[3]) {
        out[0] = 0;
        out[1] = 0;
        out[2] = -1;
    };
    EXPECT_EQ(LoadStlAsDexelModel(nullptr, &target, dir.Write("m.stl", mesh), stockTemplate, 0), 1);
    StlImportCallbacks.workOffset = nullptr;
    StockLoadOptions.stlAdjustments.basicModelInWork = 0;
    EXPECT_EQ(StockLoadOptions.stlAdjustments.coordinateSystem, 0);
    EXPECT_EQ(ReadDexelRay(target.z, 2 * 5 + 2).ends, (std::vector<double>{0, 2}));
    FreeStockModel(&target);
    FreeStockModel(&stockTemplate);
}

TEST(ConvertStlStandard, ImportsRaysOfAnyLength) {
    ScratchDirectory dir;
    // 5001 slabs 0.5 thick stacked in z: the Z rays through them get 10,002 ends.
    std::vector<MeshFacet> slabs;
    for (int k = 0; k <= 5000; ++k) {
        std::vector<MeshFacet> slab =
            BoxMesh({0, 0, static_cast<float>(k)}, {1, 1, static_cast<float>(k) + 0.5f});
        slabs.insert(slabs.end(), slab.begin(), slab.end());
    }
    int result = 0;
    StockModel model = LoadFile(dir.Write("slabs.stl", BinaryStl(slabs)), 0.25, 0, &result);
    ASSERT_EQ(result, 1);
    DexelRay ray = ReadDexelRay(model.z, 2 * model.nx + 2);  // the ray at (0.5, 0.5)
    ASSERT_EQ(ray.ends.size(), 10002u);
    EXPECT_EQ(ray.ends[10000], 5000.0);
    EXPECT_EQ(ray.ends[10001], 5000.5);
    EXPECT_TRUE(StockInvariantsHold(model));
    FreeStockModel(&model);
}

TEST(TestPointInTriangleB, ClassifiesVerticesEdgesAndInside) {
    // Right triangle in the XY plane with axis-parallel legs and a slanted hypotenuse.
    const double t[9] = {0, 0, 5, 4, 0, 5, 0, 4, 5};
    struct Case {
        double x, y;
        int expected;
    };
    const Case cases[] = {
        {0, 0, 1},  {4, 0, 2}, {0, 4, 3},  // vertices
        {2, 0, 4},  {0, 2, 6},             // legs parallel to the axes
        {2, 2, 7},  {1, 3, 7},             // on the slanted edge
        {1, 1, 7},                         // inside
        {-1, 0, 0}, {5, 0, 0}, {2, 2.0001, 0}, {3, 3, 0}, {-0.5, 2, 0},  // outside
    };
    for (const Case& c : cases) {
        const double p[3] = {c.x, c.y, 99};
        EXPECT_EQ(TestPointInTriangleB(t, 0, 1, p), c.expected) << c.x << ", " << c.y;
    }
    // The same triangle seen on other axes: the edge from vertex 2 to 3 parallel to an axis.
    const double u[9] = {0, 0, 0, 0, 4, 0, 0, 4, 4};
    const double q[3] = {7, 4, 2};
    EXPECT_EQ(TestPointInTriangleB(u, 1, 2, q), 5);
}

TEST(SnapDiagonalNormal, MakesDiagonalsExactAndNormalisesTheRest) {
    struct Case {
        double v[3];
        double n[3];
    };
    const Case cases[] = {
        {{1, -1, 0}, {1, -1, 0}}, {{-2, 2, 0}, {-1, 1, 0}}, {{0, -3, -3}, {0, -1, -1}},
        {{5, 0, 5}, {1, 0, 1}},   {{0, 0, 2}, {0, 0, 1}},   {{3, 4, 0}, {0.6, 0.8, 0}},
    };
    for (const Case& c : cases) {
        double n[3] = {9, 9, 9};
        SnapDiagonalNormal(c.v, n);
        for (int a = 0; a < 3; ++a) {
            EXPECT_DOUBLE_EQ(n[a], c.n[a]) << c.v[0] << " " << c.v[1] << " " << c.v[2];
        }
    }
    double n[3] = {7, 8, 9};
    const double zero[3] = {0, 0, 0};
    SnapDiagonalNormal(zero, n);
    EXPECT_EQ(n[0], 7);
}

TEST(ApplyImportScaleMirror, ScalesMirrorsAndAddsTheWorkOffset) {
    StlImportAdjustments settings;
    settings.scaleOn[0] = 1;
    settings.scaleRate[0] = 2;
    settings.scaleCentre[0] = 1;
    settings.mirrorOn[1] = 1;
    settings.mirrorCentre[1] = 5;
    settings.coordinateSystem = 1;
    StlImportCallbacks.workOffset = [](double out[3]) {
        out[0] = 100;
        out[1] = 0;
        out[2] = -3;
    };
    double p[3] = {3, 1, 2};
    ApplyImportScaleMirror(settings, p);
    StlImportCallbacks.workOffset = nullptr;
    EXPECT_EQ(p[0], 105);  // (3 - 1) * 2 + 1 + 100
    EXPECT_EQ(p[1], 9);    // 2 * 5 - 1
    EXPECT_EQ(p[2], -1);
    // Non-uniform scale zeroes a normal; a uniform one keeps it and mirrors.
    double n[3] = {0, 1, 0};
    ApplyImportMirrorToNormal(settings, n);
    EXPECT_EQ(n[1], 0);
    settings.scaleOn[1] = settings.scaleOn[2] = 1;
    settings.scaleRate[1] = settings.scaleRate[2] = 2;
    double m[3] = {0, 1, 0};
    ApplyImportMirrorToNormal(settings, m);
    EXPECT_EQ(m[1], -1);
}

TEST(ConvertStlToFamily, SkipsFacetsParallelToTheRaysAndDegenerateOnes) {
    ScratchDirectory dir;
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 5, 5, 5, 1.0, 1), 1);
    // One facet in the plane z = 2 covering the whole grid, one standing in x = 1 (parallel to
    // the Y and Z rays' planes in part), and one collapsed to a segment seen along z.
    std::vector<MeshFacet> mesh = {
        Facet({0, 0, 1}, {-1, -1, 2}, {9, -1, 2}, {-1, 9, 2}),
        Facet({0, 0, 0}, {1, 0, 0}, {1, 3, 3}, {1, 3, 0}),
    };
    StlConversion conversion;
    conversion.format = kStlFormatBinary;
    std::string path = dir.Write("m.stl", BinaryStl(mesh));
    conversion.path = path;
    DexelReconcileState state;
    ASSERT_EQ(ConvertStlToFamily(&model, &state, conversion, 0, 1, 2), 1);
    ASSERT_EQ(ConvertStlToFamily(&model, &state, conversion, 1, 2, 0), 1);
    // Every Z ray meets the horizontal facet once: a doubled end 2, 2.
    for (std::int64_t cell = 0; cell < model.z.cellCount; ++cell) {
        EXPECT_EQ(ReadDexelRay(model.z, cell).ends, (std::vector<double>{2, 2})) << cell;
    }
    // The X family meets only the standing facet (x = 1) inside its triangle (y, z).
    EXPECT_EQ(ReadDexelRay(model.x, 1 * 5 + 2).ends, (std::vector<double>{1, 1}));
    EXPECT_EQ(ReadDexelRay(model.x, 3 * 5 + 1).ends, (std::vector<double>{}));
    FreeStockModel(&model);
}

TEST(ConvertStlHeightMap, GivesAClosedBoxTheSameRaysFromEverySide) {
    ScratchDirectory dir;
    std::string path = dir.Write("box.stl", BinaryStl(BoxMesh({1, 2, 3}, {6, 5, 7})));
    int result = 0;
    StockModel standard = LoadFile(path, 1.0, 0, &result);
    ASSERT_EQ(result, 1);
    for (int r : {3, -3, 2, -2, 1, -1}) {
        StockModel model = LoadFile(path, 1.0, r, &result);
        ASSERT_EQ(result, 1) << r;
        EXPECT_TRUE(StockInvariantsHold(model, true)) << r;
        ASSERT_EQ(model.nx, standard.nx);
        ASSERT_EQ(model.ny, standard.ny);
        ASSERT_EQ(model.nz, standard.nz);
        EXPECT_EQ(model.origin[0], 1);  // reference mode starts the grid at the minimum
        EXPECT_EQ(AllRays(model), AllRays(standard)) << r;
        const int axis = std::abs(r) == 3 ? 2 : (std::abs(r) == 2 ? 1 : 0);
        EXPECT_EQ(model.faceFlags->faces[2 * axis + (r > 0 ? 0 : 1)], 0) << r;
        EXPECT_EQ(model.faceFlags->faces[2 * axis + (r > 0 ? 1 : 0)], 1) << r;
        FreeStockModel(&model);
    }
    FreeStockModel(&standard);
}

TEST(ConvertStlHeightMap, ReadsAnOpenDomeFromAboveAndBelow) {
    ScratchDirectory dir;
    // The upper half of a sphere, open at the bottom (z = 0).
    const double centre[3] = {0, 0, 0};
    std::vector<MeshFacet> sphere = SphereMesh(5.0, centre, 64, 32);
    std::vector<MeshFacet> dome;
    for (const MeshFacet& f : sphere) {
        if (f.values[5] >= -1e-6f && f.values[8] >= -1e-6f && f.values[11] >= -1e-6f) {
            dome.push_back(f);
        }
    }
    std::string path = dir.Write("dome.stl", BinaryStl(dome));
    int result = 0;
    StockModel up = LoadFile(path, 0.5, 3, &result);
    ASSERT_EQ(result, 1);
    EXPECT_TRUE(StockInvariantsHold(up, true));
    // The centre ray runs from the grid bottom to the top of the dome; the ray at x = 3 to the
    // surface height 4 there.
    const int ix = (up.nx - 1) / 2;
    const std::int64_t middle = static_cast<std::int64_t>(ix) * up.nx + ix;
    const std::int64_t side = middle + 6;
    DexelRay centreRay = ReadDexelRay(up.z, middle);
    ASSERT_EQ(centreRay.ends.size(), 2u);
    EXPECT_EQ(centreRay.ends[0], up.nodesZ[0]);
    EXPECT_NEAR(centreRay.ends[1], 5.0, 0.02);
    EXPECT_NEAR(ReadDexelRay(up.z, side).ends[1], 4.0, 0.03);
    // Volume of a half ball.
    const double half = 2.0 / 3.0 * M_PI * 125.0;
    EXPECT_NEAR(ZVolume(up), half, 0.03 * half);
    FreeStockModel(&up);
    // From below the dome is seen from inside: rays from the surface up to the grid's top.
    StockModel down = LoadFile(path, 0.5, -3, &result);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(down.nodesZ[down.nz - 1], 5.0);  // the grid ends at the mesh's maximum
    EXPECT_EQ(down.origin[2], down.nodesZ[0]);
    DexelRay inner = ReadDexelRay(down.z, side);
    ASSERT_EQ(inner.ends.size(), 2u);
    EXPECT_NEAR(inner.ends[0], 4.0, 0.03);
    EXPECT_EQ(inner.ends[1], 5.0);
    EXPECT_EQ(ReadDexelRay(down.z, 0).ends, (std::vector<double>{5, 5}));
    EXPECT_TRUE(StockInvariantsHold(down, true));
    FreeStockModel(&down);
}

TEST(FillMissedHeights, FillsSingleMissedRaysOnly) {
    // Base 0, rays at 5; one single missed ray and a run of two.
    std::vector<double> line = {5, 0, 5, 5, 0, 0, 5};
    FillMissedHeights(3, 7, 1, line.data(), 0.0);
    EXPECT_EQ(line, (std::vector<double>{5, 5, 5, 5, 0, 0, 5}));
    // Looking from below (base 10): neighbours must lie below the base.
    std::vector<double> grid = {4, 4, 4, 4, 10, 4, 4, 4, 4};
    FillMissedHeights(-3, 3, 3, grid.data(), 10.0);
    EXPECT_EQ(grid[4], 4);
    std::vector<double> notBeyond = {0.05, 0, 0.05};
    FillMissedHeights(3, 3, 1, notBeyond.data(), 0.0);
    EXPECT_EQ(notBeyond[1], 0);
}

TEST(TestPointInTriangleA, UsesItsTolerances) {
    const double t[9] = {0, 0, 0, 4, 0, 0, 0, 4, 0};
    const double nearVertex[3] = {4.005, 0, 9};
    const double onEdge[3] = {2, 0, 9};
    const double inside[3] = {1, 1, 9};
    const double outside[3] = {3, 3, 9};
    EXPECT_EQ(TestPointInTriangleA(t, 0, 1, nearVertex), 1);
    EXPECT_EQ(TestPointInTriangleA(t, 0, 1, onEdge), 2);
    EXPECT_EQ(TestPointInTriangleA(t, 0, 1, inside), 3);
    EXPECT_EQ(TestPointInTriangleA(t, 0, 1, outside), 0);
}

TEST(ConvertStlHeightMap, IgnoresPlaneValuesFarBeyondTheFacet) {
    ScratchDirectory dir;
    StockModel model;
    ASSERT_EQ(BuildEmptyStock(&model, 5, 5, 5, 1.0, 1), 1);
    model.minCorner[2] = 0;
    model.maxCorner[2] = 4;
    // A facet standing almost upright just beside the ray (1, 0): the ray lies within 0.01 of
    // its vertex, where the facet's plane is 40 below the facet's own range. Looking from
    // below, that value must not lower the ray.
    std::vector<MeshFacet> mesh = {
        Facet({0, 0, 0}, {1.004f, 0, 0}, {1.004f, 4, 0}, {1.005f, 0, 10}),
        Facet({0, 0, 1}, {2, 0, 3}, {4, 0, 3}, {2, 4, 3})};
    std::string path = dir.Write("m.stl", BinaryStl(mesh));
    StlConversion conversion;
    conversion.format = kStlFormatBinary;
    conversion.path = path;
    std::vector<double> heights;
    ASSERT_EQ(ConvertStlHeightMap(&model, conversion, 0, 1, 2, -1, &heights), 1);
    EXPECT_EQ(heights[1], 4.0);  // left at the base
    EXPECT_EQ(heights[2], 3.0);
    EXPECT_EQ(heights[5 + 2], 3.0);
    EXPECT_EQ(model.minCorner[2], 3.0);
    FreeStockModel(&model);
}

}  // namespace
}  // namespace mirexa
