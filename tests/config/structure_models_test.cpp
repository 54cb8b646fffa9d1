// Machine structure models: facet records, the sort by top height against a reference sort,
// free boxes, region splits, and loading by the checks and the rotary type.
#include "config/structure_models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

#include "definition_test_support.h"

namespace mirexa {
namespace {

using testing::DefinitionFileTest;

StlFacet MakeFacet(std::initializer_list<double> vertices, double id = 0) {
    StlFacet f;
    f.values[0] = id;
    int i = 3;
    for (double v : vertices) {
        f.values[i++] = v;
    }
    return f;
}

// The twelve facets of the box [lo, hi].
std::vector<StlFacet> BoxFacets(const double lo[3], const double hi[3]) {
    std::vector<StlFacet> facets;
    const double x0 = lo[0], y0 = lo[1], z0 = lo[2], x1 = hi[0], y1 = hi[1], z1 = hi[2];
    const double quads[6][12] = {
        {x0, y0, z0, x0, y1, z0, x1, y1, z0, x1, y0, z0},
        {x0, y0, z1, x1, y0, z1, x1, y1, z1, x0, y1, z1},
        {x0, y0, z0, x1, y0, z0, x1, y0, z1, x0, y0, z1},
        {x0, y1, z0, x0, y1, z1, x1, y1, z1, x1, y1, z0},
        {x0, y0, z0, x0, y0, z1, x0, y1, z1, x0, y1, z0},
        {x1, y0, z0, x1, y1, z0, x1, y1, z1, x1, y0, z1},
    };
    for (const auto& q : quads) {
        facets.push_back(MakeFacet({q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], q[8]}));
        facets.push_back(MakeFacet({q[0], q[1], q[2], q[6], q[7], q[8], q[9], q[10], q[11]}));
    }
    return facets;
}

MachineModel ModelOf(std::vector<StlFacet> facets) {
    MachineModel model;
    model.facetCount = static_cast<std::int32_t>(facets.size());
    model.facets = std::move(facets);
    for (int k = 0; k < 3; ++k) {
        model.min[k] = 1e11, model.max[k] = -1e11;
    }
    for (const StlFacet& f : model.facets) {
        for (int v = 0; v < 3; ++v) {
            for (int k = 0; k < 3; ++k) {
                model.min[k] = std::min(model.min[k], f.values[3 + 3 * v + k]);
                model.max[k] = std::max(model.max[k], f.values[3 + 3 * v + k]);
            }
        }
    }
    return model;
}

using StructureModelsTest = DefinitionFileTest;

TEST_F(StructureModelsTest, FacetRecordsKindsPlanesAndBoxes) {
    const StlFacet facets[] = {
        MakeFacet({1, 1, 0, 1, 1, 5, 1, 1, 9}),  // shares x and y: x is tested first
        MakeFacet({0, 2, 0, 4, 2, 0, 0, 2, 3}),
        MakeFacet({0, 0, 7, 4, 0, 7, 0, 3, 7}),
        MakeFacet({0, 0, 0, 1, 0, 1, 0, 1, 2}),
    };
    FacetRecord records[4];
    BuildFacetRecords(4, facets, records);
    EXPECT_EQ(records[0].kind, 0);
    EXPECT_EQ(records[1].kind, 1);
    EXPECT_EQ(records[2].kind, 2);
    EXPECT_EQ(records[3].kind, 3);
    EXPECT_DOUBLE_EQ(records[2].plane[2], 1.0);
    EXPECT_DOUBLE_EQ(records[2].plane[3], -7.0);
    EXPECT_DOUBLE_EQ(records[1].max[0], 4.0);
    EXPECT_DOUBLE_EQ(records[1].max[2], 3.0);
    EXPECT_DOUBLE_EQ(records[3].min[2], 0.0);
}

TEST_F(StructureModelsTest, SortAgreesWithAStableReferenceSort) {
    EXPECT_EQ(FacetSortRunCount(4999), 1);
    EXPECT_EQ(FacetSortRunCount(5000), 2);
    EXPECT_EQ(FacetSortRunCount(12000), 2);
    EXPECT_EQ(FacetSortRunCount(15000), 3);
    EXPECT_EQ(FacetSortRunCount(300000), 50);
    EXPECT_EQ(FacetSortRunCount(2000000), 50);

    const unsigned seed = 20240611;
    std::mt19937 random(seed);
    for (int n : {1, 37, 4999, 12000, 31234}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", n " + std::to_string(n));
        std::vector<StlFacet> facets;
        std::uniform_int_distribution<int> height(-20, 20);  // many equal heights
        for (int i = 0; i < n; ++i) {
            const double z = height(random) * 0.5;
            facets.push_back(MakeFacet({0, 0, z - 1, 1, 0, z, 0, 1, z - 2}, i));
        }
        std::vector<FacetRecord> records(facets.size());
        BuildFacetRecords(n, facets.data(), records.data());
        std::vector<int> expected(n);
        for (int i = 0; i < n; ++i) {
            expected[i] = i;
        }
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            return facets[a].values[8] > facets[b].values[8];  // z of the second vertex
        });
        SortFacetsByTopZ(n, facets.data(), records.data());
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(static_cast<int>(facets[i].values[0]), expected[i]) << "position " << i;
            ASSERT_EQ(records[i].max[2], facets[i].values[8]) << "records move with facets";
        }
    }
}

TEST_F(StructureModelsTest, MergeMovesOnBelowItsStartHeight) {
    std::vector<StlFacet> facets;
    for (int i = 0; i < 12000; ++i) {
        const double z = (i % 3 == 0) ? -5e10 : -2e10 - i;
        facets.push_back(MakeFacet({0, 0, z, 1, 0, z, 0, 1, z}, i));
    }
    std::vector<FacetRecord> records(facets.size());
    BuildFacetRecords(12000, facets.data(), records.data());
    SortFacetsByTopZ(12000, facets.data(), records.data());
    for (int i = 1; i < 12000; ++i) {
        ASSERT_GE(records[i - 1].max[2], records[i].max[2]) << i;
    }
}

TEST_F(StructureModelsTest, FreeBoxAroundAPoint) {
    const double lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10};
    const std::vector<StlFacet> cube = BoxFacets(lo, hi);
    double freeLo[3], freeHi[3];
    const double above[3] = {5, 5, 20};
    FacetArrayBounds(12, cube.data(), above, freeLo, freeHi);
    EXPECT_DOUBLE_EQ(freeLo[2], 10.0);
    EXPECT_DOUBLE_EQ(freeLo[0], -1e11);
    EXPECT_DOUBLE_EQ(freeHi[2], 1e11);

    // Inside a closed box: the bottom and top cut z, the y walls cut y; the x walls then cover
    // the whole y-z section of the box and do not cut.
    const double inside[3] = {5, 5, 5};
    FacetArrayBounds(12, cube.data(), inside, freeLo, freeHi);
    for (int k = 1; k < 3; ++k) {
        EXPECT_DOUBLE_EQ(freeLo[k], 0.0) << k;
        EXPECT_DOUBLE_EQ(freeHi[k], 10.0) << k;
    }
    EXPECT_DOUBLE_EQ(freeLo[0], -1e11);
    EXPECT_DOUBLE_EQ(freeHi[0], 1e11);

    // A facet whose box holds the point cannot be kept out; it does not invert the box.
    std::vector<StlFacet> slanted = {MakeFacet({0, 0, 0, 10, 0, 10, 0, 10, 10})};
    FacetArrayBounds(1, slanted.data(), inside, freeLo, freeHi);
    for (int k = 0; k < 3; ++k) {
        EXPECT_LE(freeLo[k], inside[k]);
        EXPECT_GE(freeHi[k], inside[k]);
    }
}

TEST_F(StructureModelsTest, RegionCodesAndSplits) {
    // Every position of a facet on z, x, y has one code, and the 27 positions use all 19.
    const double lo[3] = {0, 0, 0}, hi[3] = {10, 10, 10};
    const double at[3] = {12, -2, 5};  // above, below, across
    std::set<int> codes;
    for (int z = 0; z < 3; ++z) {
        for (int x = 0; x < 3; ++x) {
            for (int y = 0; y < 3; ++y) {
                const double px = at[x], py = at[y], pz = at[z];
                const double wx = x == 2 ? 4 : 0, wy = y == 2 ? 4 : 0, wz = z == 2 ? 4 : 0;
                const StlFacet f =
                    MakeFacet({px - wx, py - wy, pz - wz, px + wx, py, pz + wz, px, py + wy, pz});
                codes.insert(FacetRegionCode(f, lo, hi));
            }
        }
    }
    EXPECT_EQ(codes.size(), 19u);
    EXPECT_EQ(*codes.rbegin(), 18);
    EXPECT_EQ(FacetRegionCode(MakeFacet({5, 5, 12, 6, 5, 12, 5, 6, 13}), lo, hi), 5);
    EXPECT_EQ(FacetRegionCode(MakeFacet({12, 5, 5, 12, 6, 5, 12, 5, 6}), lo, hi), 3);

    // A single base model split around a free box: a facet across the whole box lands in
    // region 18, which has its own array; facets beyond all three faces count in a corner.
    const MachineModel model = ModelOf({MakeFacet({-5, -5, -5, 15, 5, 5, 5, 15, 15}),
                                        MakeFacet({12, 12, 12, 13, 12, 12, 12, 13, 12}),
                                        MakeFacet({-3, 12, -3, -2, 12, -3, -3, 13, -3})});
    std::vector<MachineModel> regions;
    std::int32_t corners[8];
    BinFacetsByRegion(model, lo, hi, &regions, corners);
    ASSERT_EQ(regions.size(), 19u);
    EXPECT_EQ(regions[18].facetCount, 1);
    EXPECT_EQ(regions[18].records.size(), 1u);
    EXPECT_EQ(regions[11].facetCount, 1);
    EXPECT_EQ(corners[7], 1) << "beyond hi on x, y and z";
    EXPECT_EQ(corners[2], 1) << "beyond hi on y only";
    EXPECT_DOUBLE_EQ(regions[0].min[0], 1e9) << "an empty region keeps its inverted box";
    EXPECT_DOUBLE_EQ(regions[0].max[0], -1e9);

    // The thirds split of a box model: every facet lands somewhere, sorted within its region.
    const double big[3] = {30, 30, 30};
    const MachineModel box = ModelOf(BoxFacets(lo, big));
    BinFacetsByRegion2(box, &regions);
    int total = 0;
    for (const MachineModel& region : regions) {
        total += region.facetCount;
        for (int i = 1; i < region.facetCount; ++i) {
            EXPECT_GE(region.records[i - 1].max[2], region.records[i].max[2]);
        }
    }
    EXPECT_EQ(total, 12);
    EXPECT_EQ(regions[11].facetCount, 0) << "no facet of a box lies in a corner third";
}

// Loading through the machine file, in the samples folder (names are relative to it).
class StructureLoadTest : public DefinitionFileTest {
protected:
    void Load(const std::string& text) {
        const auto replace = std::filesystem::copy_options::overwrite_existing;
        std::filesystem::copy(std::string(MIREXA_SAMPLES) + "/table.stl", scratch_.At("table.stl"),
                              replace);
        std::filesystem::copy(std::string(MIREXA_SAMPLES) + "/vice.stl", scratch_.At("vice.stl"),
                              replace);
        ReadMachine(text);
    }
};

TEST_F(StructureLoadTest, SampleTableAndViceWithTheirOffsets) {
    Checks.structurePairs[kToolTable] = 1;
    Load(
        "TABLE MODEL OFFSET=0,0,-0.01\nTABLE MODEL=table.stl\nVICE MODEL=vice.stl\n"
        "VICE MODEL=vice.stl\nVICE MODEL OFFSET=100,0,0\n");
    const MachineStructureModels& s = StructureModels;
    EXPECT_EQ(s.table.facetCount, 12);
    EXPECT_DOUBLE_EQ(s.table.max[2], -0.01);
    EXPECT_DOUBLE_EQ(s.table.min[0], -300.0);
    EXPECT_DOUBLE_EQ(s.table.records[0].max[2], -0.01) << "the top face first";
    ASSERT_EQ(s.vices.size(), 2u);
    EXPECT_EQ(s.vices[0].facetCount, 36);
    EXPECT_DOUBLE_EQ(s.vices[1].min[0], 25.0) << "the second vice has the copied offset";
    EXPECT_DOUBLE_EQ(s.vices[0].max[2], 60.0);

    // Without its checks the table is not loaded; the vices always are.
    Checks.structurePairs[kToolTable] = 0;
    Load("TABLE MODEL=table.stl\nVICE MODEL=vice.stl\n");
    EXPECT_EQ(s.table.facetCount, 0);
    EXPECT_EQ(s.vices.size(), 1u);

    // A check switched on later loads what is missing and keeps what is loaded.
    const StlFacet* viceData = s.vices[0].facets.data();
    Checks.structurePairs[kArborTable] = 2;
    EnsureMachineModelsLoaded();
    EXPECT_EQ(s.table.facetCount, 12);
    EXPECT_EQ(s.vices[0].facets.data(), viceData);
}

TEST_F(StructureLoadTest, RotaryTypesChooseTablesAndHeads) {
    for (StructurePair pair : {kToolTable1, kToolTable2, kHeadWork, kHead1Work, kHead2Work}) {
        Checks.structurePairs[pair] = 1;
    }
    const std::string models =
        "TABLE1 MODEL=table.stl\nTABLE2 MODEL=vice.stl\nHEAD MODEL=vice.stl\n"
        "HEAD1 MODEL=vice.stl\nHEAD2 MODEL=vice.stl\n";
    const MachineStructureModels& s = StructureModels;
    Load("ROTARY TYPE=HEAD\n" + models);
    EXPECT_TRUE(s.table1Regions.empty());
    EXPECT_EQ(s.table2.facetCount, 0);
    EXPECT_EQ(s.head.facetCount, 36);
    EXPECT_EQ(s.head1.facetCount, 36);
    EXPECT_EQ(s.head2.facetCount, 36);
    EXPECT_TRUE(s.head.records.empty()) << "heads keep facets only";
    EXPECT_DOUBLE_EQ(s.head.corners[21], 75.0) << "corner 7: x of the max corner";
    EXPECT_DOUBLE_EQ(s.head.corners[23], 60.0);

    Load("ROTARY TYPE=TABLE\n" + models);
    EXPECT_EQ(s.table1Regions.size(), 19u);
    EXPECT_EQ(s.table2.facetCount, 36);
    EXPECT_EQ(s.head1.facetCount, 0);
    EXPECT_EQ(s.head2.facetCount, 0);

    Load("ROTARY TYPE=MIX\n" + models);
    ASSERT_EQ(s.table1Regions.size(), 1u);
    EXPECT_EQ(s.table1Regions[0].facetCount, 12);
    EXPECT_EQ(s.table2.facetCount, 0);
}

TEST_F(StructureLoadTest, BaseModelsAroundTheirFreeBox) {
    Checks.structurePairs[kToolBasic] = 1;
    Checks.structurePairs[kToolTable] = 1;
    // A base of the table's shape 100 below it: the free box starts at its top face.
    Load("TABLE MODEL=table.stl\nBASIC MODEL=table.stl\nBASIC MODEL OFFSET=0,0,-100\n");
    const MachineStructureModels& s = StructureModels;
    ASSERT_EQ(s.basicRegions.size(), 19u);
    EXPECT_TRUE(s.basics.empty());
    EXPECT_DOUBLE_EQ(s.basicFreeMin[2], -100.0);
    EXPECT_DOUBLE_EQ(s.basicFreeMax[2], 1e11);
    int total = 0;
    for (const MachineModel& region : s.basicRegions) {
        total += region.facetCount;
    }
    EXPECT_EQ(total, 12);

    Load("TABLE MODEL=table.stl\nBASIC MODEL=table.stl\nBASIC MODEL=vice.stl\n");
    ASSERT_EQ(s.basics.size(), 2u);
    EXPECT_EQ(s.basicFreeBoxes.size(), 12u);
    EXPECT_TRUE(s.basicRegions.empty());
}

TEST_F(StructureLoadTest, FilesThatHoldMoreFacetsThanCountedAreBounded) {
    // Two loops but one "endfacet": counted as one facet, read into one place.
    scratch_.Write("odd.stl",
                   "solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                   "vertex 0 1 0\nendloop\nouter loop\nvertex 0 0 1\nvertex 1 0 1\n"
                   "vertex 0 1 1\nendloop\nendfacet\nendsolid\n");
    MachineModel model;
    const double offset[3] = {};
    std::filesystem::current_path(scratch_.Path());
    EXPECT_EQ(LoadModelFacets("odd.stl", offset, &model), 1);
    EXPECT_EQ(model.facetCount, 1);
    EXPECT_EQ(LoadModelFacets("none.stl", offset, &model), 0);
    EXPECT_EQ(model.facetCount, 0);
}

}  // namespace
}  // namespace mirexa
