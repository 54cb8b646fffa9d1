// STL files: detection of the three encodings on byte-built files, counting and reading against
// hostile text and binary input, the polygon stream, and the writers read back.
#include "stockio/stl_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "support/scratch_directory.h"
#include "support/stl_test_meshes.h"

namespace mirexa {
namespace {

using testing::AsciiStl;
using testing::BinaryStl;
using testing::BoxMesh;
using testing::Facet;
using testing::MeshFacet;
using testing::ReadWholeFile;
using testing::ScratchDirectory;

const double kNoOffset[3] = {0, 0, 0};

std::vector<StlFacet> ReadAll(int format, const std::string& path, int capacity = -1,
                              const double* offset = kNoOffset) {
    if (capacity < 0) {
        capacity = CountStlFacets(format, path);
    }
    std::vector<StlFacet> facets(static_cast<std::size_t>(capacity));
    double lo[3];
    double hi[3];
    int n = ReadStlFacets(format, capacity, path, offset, lo, hi, facets.data());
    facets.resize(static_cast<std::size_t>(n));
    return facets;
}

const MeshFacet kTriangle = Facet({0, 0, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});

TEST(DetectStlFormat, ClassifiesBinaryByCountAndSize) {
    ScratchDirectory dir;
    std::vector<MeshFacet> two = {kTriangle, kTriangle};
    EXPECT_EQ(DetectStlFormat(dir.Write("a.stl", BinaryStl(two))), kStlFormatBinary);
    EXPECT_EQ(DetectStlFormat(dir.Write("b.stl", BinaryStl(two, true))), kStlFormatSwapped);
    // Bytes after the last record: binary when the count fits.
    EXPECT_EQ(DetectStlFormat(dir.Write("c.stl", BinaryStl(two, false, -1, "", "tail"))),
              kStlFormatBinary);
    // A count larger than the records that fit: not STL, unless "facet" is in the header.
    EXPECT_EQ(DetectStlFormat(dir.Write("d.stl", BinaryStl(two, false, 9))), kStlFormatNone);
    EXPECT_EQ(DetectStlFormat(dir.Write("e.stl", BinaryStl(two, false, 9, "my facet model"))),
              kStlFormatAscii);
    // "facet" in the header of a binary whose count fits: the count decides first.
    EXPECT_EQ(DetectStlFormat(dir.Write("f.stl", BinaryStl(two, false, -1, "facet"))),
              kStlFormatBinary);
    // 84 bytes with count 0: binary with no facets.
    std::string empty = dir.Write("g.stl", BinaryStl({}));
    EXPECT_EQ(DetectStlFormat(empty), kStlFormatBinary);
    EXPECT_EQ(CountStlFacets(kStlFormatBinary, empty), 0);
    EXPECT_TRUE(ReadAll(kStlFormatBinary, empty, 4).empty());
    EXPECT_EQ(DetectStlFormat(dir.Write("h.stl", "")), kStlFormatNone);
    EXPECT_EQ(DetectStlFormat(dir.At("missing.stl")), kStlFormatNone);
    EXPECT_EQ(DetectStlFormat(dir.Path()), kStlFormatNone);
}

TEST(DetectStlFormat, FindsTextInAnyCaseAndNeverTakesShortFilesForBinary) {
    ScratchDirectory dir;
    EXPECT_EQ(DetectStlFormat(dir.Write("a.stl", AsciiStl({kTriangle}))), kStlFormatAscii);
    std::string upper = std::string(200, ' ') + "FACET";
    EXPECT_EQ(DetectStlFormat(dir.Write("b.stl", upper + std::string(100, '\n'))), kStlFormatAscii);
    // "Facet" must start within the first 250 bytes.
    EXPECT_EQ(DetectStlFormat(dir.Write("c.stl", std::string(249, ' ') + "Facet" + "\n")),
              kStlFormatAscii);
    EXPECT_EQ(DetectStlFormat(dir.Write("d.stl", std::string(250, ' ') + "facet\n")),
              kStlFormatNone);
    // A minimal text facet shorter than a binary header is text, not an empty binary file.
    const std::string tiny =
        "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\n";
    ASSERT_LT(tiny.size(), 84u);
    std::string path = dir.Write("tiny.stl", tiny);
    ASSERT_EQ(DetectStlFormat(path), kStlFormatAscii);
    EXPECT_EQ(ReadAll(kStlFormatAscii, path, 1).size(), 1u);
    EXPECT_EQ(DetectStlFormat(dir.Write("e.stl", "solid\nendsolid\n")), kStlFormatNone);
}

TEST(CountStlFacets, BoundsBinaryCountsByTheFileSize) {
    ScratchDirectory dir;
    std::vector<MeshFacet> two = {kTriangle, kTriangle};
    // The count claims more than the file holds; a reader that trusted it would overrun.
    std::string path = dir.Write("a.stl", BinaryStl(two, false, 0xFFFFFFFFu));
    EXPECT_EQ(CountStlFacets(kStlFormatBinary, path), 2);
    EXPECT_EQ(CountStlFacets(kStlFormatSwapped, path), 2);
    EXPECT_EQ(ReadAll(kStlFormatBinary, path, 100).size(), 2u);
    EXPECT_EQ(CountStlFacets(kStlFormatNone, path), 0);
    EXPECT_EQ(CountStlFacets(1, path), 0);
    EXPECT_EQ(CountStlFacets(kStlFormatBinary, dir.At("missing.stl")), 0);
    // ASCII counts "endfacet" lines up to "endsolid".
    std::string text = AsciiStl({kTriangle, kTriangle, kTriangle}) + AsciiStl({kTriangle});
    EXPECT_EQ(CountStlFacets(kStlFormatAscii, dir.Write("b.stl", text)), 3);
}

TEST(ReadStlFacets, ReadsEveryEncodingOfAMeshAlike) {
    ScratchDirectory dir;
    std::vector<MeshFacet> box = BoxMesh({0, 0, 0}, {10, 20, 30});
    const double offset[3] = {1, 2, 3};
    std::vector<std::vector<StlFacet>> results;
    for (const auto& [name, bytes, format] :
         {std::tuple{"a.stl", AsciiStl(box), kStlFormatAscii},
          std::tuple{"b.stl", BinaryStl(box), kStlFormatBinary},
          std::tuple{"s.stl", BinaryStl(box, true), kStlFormatSwapped}}) {
        std::string path = dir.Write(name, bytes);
        ASSERT_EQ(DetectStlFormat(path), format) << name;
        ASSERT_EQ(CountStlFacets(format, path), 12) << name;
        std::vector<StlFacet> facets(12);
        double lo[3];
        double hi[3];
        ASSERT_EQ(ReadStlFacets(format, 12, path, offset, lo, hi, facets.data()), 12);
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(lo[a], offset[a]) << name;
        }
        EXPECT_EQ(hi[0], 11);
        EXPECT_EQ(hi[1], 22);
        EXPECT_EQ(hi[2], 33);
        results.push_back(facets);
    }
    for (int f = 0; f < 12; ++f) {
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(results[0][f].values[i], results[1][f].values[i]) << f << " " << i;
            EXPECT_EQ(results[2][f].values[i], results[1][f].values[i]) << f << " " << i;
        }
        EXPECT_EQ(results[1][f].values[3], box[f].values[3] + 1.0);
    }
}

TEST(ReadStlFacets, RepairsAndSnapsNormalsByEncoding) {
    ScratchDirectory dir;
    // Clockwise seen from +z: the recomputed normal points down.
    MeshFacet zero = Facet({0, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0});
    MeshFacet slanted = Facet({1, 0.3f, 0.2f}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    MeshFacet down = Facet({0.2f, -1, 0.1f}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    MeshFacet tiny = Facet({0, 0, 1}, {1e-20f, -1e-15f, 0}, {1, 0, 0}, {0, 1, 0});
    std::vector<MeshFacet> mesh = {zero, slanted, down, tiny};
    std::vector<StlFacet> binary = ReadAll(kStlFormatBinary, dir.Write("b.stl", BinaryStl(mesh)));
    ASSERT_EQ(binary.size(), 4u);
    EXPECT_EQ(binary[0].values[0], 0);
    EXPECT_EQ(binary[0].values[1], 0);
    EXPECT_EQ(binary[0].values[2], -1);
    EXPECT_EQ(binary[1].values[0], 1);
    EXPECT_EQ(binary[1].values[1], 0);
    EXPECT_EQ(binary[1].values[2], 0);
    EXPECT_EQ(binary[2].values[0], 0);
    EXPECT_EQ(binary[2].values[1], -1);
    EXPECT_EQ(binary[2].values[2], 0);
    EXPECT_EQ(binary[3].values[3], 0.0);  // binary vertex floats below 1e-14 become 0
    EXPECT_EQ(binary[3].values[4], 0.0);

    std::vector<StlFacet> ascii = ReadAll(kStlFormatAscii, dir.Write("a.stl", AsciiStl(mesh)));
    ASSERT_EQ(ascii.size(), 4u);
    EXPECT_EQ(ascii[0].values[2], 0);  // a zero normal stays zero in text
    EXPECT_EQ(ascii[1].values[1], 0);
    EXPECT_EQ(ascii[2].values[1], -1);
    EXPECT_NE(ascii[3].values[3], 0.0);  // text vertices are taken as written
}

TEST(ReadStlFacets, AcceptsTheSpellingsOfTextFiles) {
    ScratchDirectory dir;
    const std::string text =
        "solid x\r\n"
        "FACET NORMAL 0 0 +1\r\n"
        "\tOuter Loop\r\n"
        "vertex 1.5e1\t-2 .5\r\n"
        "  Vertex 1,2 3\r\n"
        "VERTEX 0 0 0\r\n"
        "end loop\r\n"
        "end facet\r\n"
        "facet\n"  // no numbers at all: the normal reads 0
        "outer loop\n"
        "vertex 1 1 1\n"
        "vertex 2 2\n"  // a missing number reads 0
        "vertex 3 3 3\n"
        "endloop\n"
        "endfacet\n"
        "end solid\n"
        "facet normal 0 0 1\nouter loop\nvertex 9 9 9\nvertex 9 9 9\nvertex 9 9 9\nendloop\n";
    std::string path = dir.Write("a.stl", text);
    ASSERT_EQ(DetectStlFormat(path), kStlFormatAscii);
    EXPECT_EQ(CountStlFacets(kStlFormatAscii, path), 2);
    std::vector<StlFacet> f = ReadAll(kStlFormatAscii, path, 10);
    ASSERT_EQ(f.size(), 2u);
    const double first[12] = {0, 0, 1, 15, -2, 0.5, 1, 3, 0, 0, 0, 0};
    const double second[12] = {0, 0, 0, 1, 1, 1, 2, 2, 0, 3, 3, 3};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(f[0].values[i], first[i]) << i;
        EXPECT_EQ(f[1].values[i], second[i]) << i;
    }
}

TEST(ReadStlFacets, NeverWritesPastTheLoopOrTheArray) {
    ScratchDirectory dir;
    // Loops of two and of four vertices; a file with more loops than "endfacet" lines; a line
    // longer than 255 characters whose tail looks like a keyword line.
    const std::string text =
        "solid\n"
        "facet normal 0 0 1\nouter loop\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
        "vertex 7 7 7\nendloop\nendfacet\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 2 0 0\nvertex 0 2 0\nendloop\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 3 0 0\n" +
        std::string(300, 'x') + "vertex 8 8 8\n" +
        "vertex 0 3 0\nendloop\n"
        "endsolid\n";
    std::string path = dir.Write("a.stl", text);
    ASSERT_EQ(CountStlFacets(kStlFormatAscii, path), 2);
    // The array is exactly as large as the count: three loops would overrun it.
    std::vector<StlFacet> f = ReadAll(kStlFormatAscii, path);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].values[6], 1);  // the fourth vertex of the loop is ignored
    EXPECT_EQ(f[0].values[9], 0);
    EXPECT_EQ(f[1].values[6], 2);
    std::vector<StlFacet> all = ReadAll(kStlFormatAscii, path, 10);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].values[6], 3);  // the long line's tail was not read as a vertex
    EXPECT_EQ(all[2].values[10], 3);
}

TEST(ReadStlFacets, StopsAtShortRecordsAndSkipsNonFiniteFacets) {
    ScratchDirectory dir;
    std::vector<MeshFacet> mesh = BoxMesh({0, 0, 0}, {1, 1, 1});
    mesh[3].values[4] = std::numeric_limits<float>::quiet_NaN();
    mesh[5].values[0] = std::numeric_limits<float>::infinity();
    std::string bytes = BinaryStl(mesh);
    EXPECT_EQ(ReadAll(kStlFormatBinary, dir.Write("a.stl", bytes), 12).size(), 10u);
    // A file cut at every length: never more facets than whole records, nothing read past.
    mesh = BoxMesh({0, 0, 0}, {1, 1, 1});
    mesh.resize(3);
    bytes = BinaryStl(mesh);
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        std::string path = dir.Write("cut.stl", bytes.substr(0, size));
        std::size_t whole = size < 84 ? 0 : (size - 84) / 50;
        EXPECT_EQ(ReadAll(kStlFormatBinary, path, 3).size(), whole) << size;
        EXPECT_EQ(CountStlFacets(kStlFormatBinary, path), static_cast<int>(whole)) << size;
        int format = DetectStlFormat(path);
        EXPECT_TRUE(format == kStlFormatNone || format == kStlFormatBinary) << size;
    }
}

TEST(DrawStlFile, StreamsFacetsTurnedWithTheirNormals) {
    ScratchDirectory dir;
    std::vector<MeshFacet> mesh = {Facet({1, 0, 0}, {5, 0, 0}, {5, 1, 0}, {5, 0, 1})};
    struct Polygon {
        double normal[3];
        double vertices[9];
    };
    std::vector<Polygon> seen;
    auto sink = [](void* context, const double normal[3], const double vertices[9]) {
        Polygon p;
        std::copy(normal, normal + 3, p.normal);
        std::copy(vertices, vertices + 9, p.vertices);
        static_cast<std::vector<Polygon>*>(context)->push_back(p);
    };
    StlDisplayRotation rotation;
    rotation.mode = 1;
    rotation.axis = 2;  // +90 degrees about Z through (5, 0, 0)
    rotation.centre[0] = 5;
    const double offset[3] = {0, 0, 0};
    for (const auto& [name, bytes, format] :
         {std::tuple{"a.stl", AsciiStl(mesh), kStlFormatAscii},
          std::tuple{"b.stl", BinaryStl(mesh, true), kStlFormatSwapped}}) {
        seen.clear();
        DrawStlFile(format, dir.Write(name, bytes), offset, rotation, 2.0, sink, &seen);
        ASSERT_EQ(seen.size(), 1u) << name;
        // The normal turns with the part: +X becomes +Y.
        EXPECT_NEAR(seen[0].normal[0], 0, 1e-15);
        EXPECT_NEAR(seen[0].normal[1], 1, 1e-15);
        // (5, 1, 0) turns to (4, 0, 0), then is halved by the unit factor.
        EXPECT_NEAR(seen[0].vertices[3], 2.0, 1e-15);
        EXPECT_NEAR(seen[0].vertices[4], 0.0, 1e-15);
        EXPECT_NEAR(seen[0].vertices[0], 2.5, 1e-15);
    }
    seen.clear();
    DrawStlFile(kStlFormatNone, dir.At("a.stl"), offset, rotation, 1.0, sink, &seen);
    EXPECT_TRUE(seen.empty());
}

// Writes facets through the writer into a file and returns its bytes.
std::string WriteFacets(const ScratchDirectory& dir, int mode, bool relative,
                        const std::vector<std::array<double, 9>>& triangles, int* count) {
    std::string path = dir.At("out.stl");
    StlWriterState state;
    state.writeMode = mode;
    state.stream = std::fopen(path.c_str(), "wb");
    state.relative = relative ? 1 : 0;
    state.origin[0] = 100;
    EXPECT_EQ(BeginStlFile(&state), 1);
    *count = 0;
    for (const auto& t : triangles) {
        WriteStlFacetAuto(&state, count, t.data(), t.data() + 3, t.data() + 6);
    }
    EXPECT_EQ(FinishStlFile(&state, *count), 1);
    std::fclose(state.stream);
    return ReadWholeFile(path);
}

TEST(WriteStlFacet, WritesTheExactTextLocaleFree) {
    ScratchDirectory dir;
    // A comma-decimal numeric locale must not change the text (when the system has one).
    std::setlocale(LC_NUMERIC, "de_DE.utf8");
    int count = 0;
    std::string text = WriteFacets(
        dir, kStlWriteAscii, false,
        {{0, 0, 0, 2, 0, 0, 0, 0.5, 0}, {1, 1, 1, 2, 2, 2, 3, 3, 3}, {0, 0, 0, 0, 0, 1, 0, 1, 0}},
        &count);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(count, 2);  // the collinear facet is neither written nor counted
    EXPECT_EQ(text,
              "solid\n"
              "  facet normal 0.000000 0.000000 1.000000\n"
              "    outer loop\n"
              "      vertex 0.000000 0.000000 0.000000\n"
              "      vertex 2.000000 0.000000 0.000000\n"
              "      vertex 0.000000 0.500000 0.000000\n"
              "    endloop\n"
              "  endfacet\n"
              "  facet normal -1.000000 0.000000 0.000000\n"
              "    outer loop\n"
              "      vertex 0.000000 0.000000 0.000000\n"
              "      vertex 0.000000 0.000000 1.000000\n"
              "      vertex 0.000000 1.000000 0.000000\n"
              "    endloop\n"
              "  endfacet\n"
              "endsolid\n");
}

TEST(WriteStlFacet, BinaryModesReadBackAlike) {
    ScratchDirectory dir;
    std::vector<std::array<double, 9>> triangles = {{100, 0, 0, 101, 0, 0, 100, 1, 0},
                                                    {100.1, 0.2, 0.3, 101, 0.7, 0, 100, 1, 5},
                                                    {0, 0, 0, 1, 1, 1, 2, 2, 2}};
    int count = 0;
    std::string plain = WriteFacets(dir, kStlWriteBinary, true, triangles, &count);
    ASSERT_EQ(count, 2);
    ASSERT_EQ(plain.size(), 84u + 50u * 2u);
    EXPECT_EQ(plain.substr(0, 80), std::string(80, ' '));
    std::string a = dir.Write("plain.stl", plain);
    std::string swapped = WriteFacets(dir, kStlWriteSwapped, true, triangles, &count);
    std::string b = dir.Write("swapped.stl", swapped);
    ASSERT_EQ(DetectStlFormat(a), kStlFormatBinary);
    ASSERT_EQ(DetectStlFormat(b), kStlFormatSwapped);
    std::vector<StlFacet> fa = ReadAll(kStlFormatBinary, a);
    std::vector<StlFacet> fb = ReadAll(kStlFormatSwapped, b);
    ASSERT_EQ(fa.size(), 2u);
    ASSERT_EQ(fb.size(), 2u);
    for (int f = 0; f < 2; ++f) {
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(fa[f].values[i], fb[f].values[i]);
        }
    }
    EXPECT_EQ(fa[0].values[3], 0.0);  // relative to the origin x = 100
    EXPECT_EQ(fa[0].values[2], 1.0);
    EXPECT_EQ(fa[1].values[3], static_cast<float>(100.1 - 100));
}

TEST(WriteStlFacet, ReportsAFailedStream) {
    StlWriterState state;
    const double v[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const double n[3] = {0, 0, 1};
    EXPECT_EQ(WriteStlFacet(&state, n, v[0], v[1], v[2]), 0);
    int count = 0;
    EXPECT_EQ(WriteStlFacetAuto(&state, &count, v[0], v[1], v[2]), -1);
    EXPECT_EQ(count, 0);
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full != nullptr) {
        state.stream = full;
        state.failed = 0;
        std::setvbuf(full, nullptr, _IONBF, 0);
        EXPECT_EQ(WriteStlFacet(&state, n, v[0], v[1], v[2]), 0);
        EXPECT_EQ(state.failed, 1);
        EXPECT_EQ(FinishStlFile(&state, 1), 0);
        std::fclose(full);
    }
}

// A coordinate a reader could not take (not finite, or beyond f32 in binary) is never written:
// the facet is refused and the state says why.
TEST(WriteStlFacet, RefusesCoordinatesThatAreNotFinite) {
    ScratchDirectory dir;
    const double nan = std::nan("");
    const struct {
        int mode;
        double x;
    } cases[] = {{kStlWriteAscii, nan},
                 {kStlWriteAscii, HUGE_VAL},
                 {kStlWriteBinary, nan},
                 {kStlWriteBinary, 1e39},
                 {kStlWriteSwapped, -1e39}};
    for (const auto& c : cases) {
        StlWriterState state;
        state.writeMode = c.mode;
        state.stream = std::fopen(dir.At("bad.stl").c_str(), "wb");
        const double v[3][3] = {{0, 0, 0}, {c.x, 0, 0}, {0, 1, 0}};
        const double n[3] = {0, 0, 1};
        int count = 0;
        EXPECT_EQ(WriteStlFacetAuto(&state, &count, v[0], v[1], v[2]), -1) << c.x;
        EXPECT_EQ(WriteStlFacet(&state, n, v[0], v[1], v[2]), 0) << c.x;
        EXPECT_EQ(count, 0);
        EXPECT_EQ(state.notFinite, 1);
        EXPECT_EQ(FinishStlFile(&state, count), 0);
        std::fclose(state.stream);
        EXPECT_EQ(ReadWholeFile(dir.At("bad.stl")).find("nan"), std::string::npos);
    }
}

TEST(ByteSwapArray, ReversesEachWord) {
    std::uint32_t words[3] = {0x01020304u, 0xA0B0C0D0u, 7};
    ByteSwapArray(words, 2);
    EXPECT_EQ(words[0], 0x04030201u);
    EXPECT_EQ(words[1], 0xD0C0B0A0u);
    EXPECT_EQ(words[2], 7u);
    ByteSwapArray(words, 0);
    EXPECT_EQ(words[0], 0x04030201u);
}

}  // namespace
}  // namespace mirexa
