// Meshes for the STL tests, written byte by byte in the three encodings: an axis-aligned box
// made of 12 outward facets, and helpers that lay out binary records and ASCII text.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace mirexa::testing {

// A triangle as the file holds it: normal, then three vertices.
struct MeshFacet {
    std::array<float, 12> values = {};
};

inline std::uint32_t SwapWord(std::uint32_t w) {
    return (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
}

inline void AppendWord(std::string* out, std::uint32_t word, bool swapped) {
    if (swapped) {
        word = SwapWord(word);
    }
    char bytes[4];
    std::memcpy(bytes, &word, 4);
    out->append(bytes, 4);
}

// A binary file: 80 header bytes (given text padded with blanks), the count (the facet count
// unless overridden), the records and any trailing bytes.
inline std::string BinaryStl(const std::vector<MeshFacet>& facets, bool swapped = false,
                             std::int64_t countOverride = -1, const std::string& header = "",
                             const std::string& trailing = "") {
    std::string out = header.substr(0, 80);
    out.resize(80, ' ');
    std::uint32_t count = countOverride >= 0 ? static_cast<std::uint32_t>(countOverride)
                                             : static_cast<std::uint32_t>(facets.size());
    AppendWord(&out, count, swapped);
    for (const MeshFacet& f : facets) {
        for (float v : f.values) {
            std::uint32_t w = 0;
            std::memcpy(&w, &v, 4);
            AppendWord(&out, w, swapped);
        }
        out.append("\x07\x00", 2);  // an attribute word that readers ignore
    }
    return out + trailing;
}

// ASCII text of the facets, each number printed with enough digits to give the float back.
inline std::string AsciiStl(const std::vector<MeshFacet>& facets) {
    std::string out = "solid mesh\n";
    char buffer[160];
    for (const MeshFacet& f : facets) {
        const auto& v = f.values;
        std::snprintf(buffer, sizeof buffer, "  facet normal %.9g %.9g %.9g\n    outer loop\n",
                      v[0], v[1], v[2]);
        out += buffer;
        for (int k = 1; k <= 3; ++k) {
            std::snprintf(buffer, sizeof buffer, "      vertex %.9g %.9g %.9g\n", v[3 * k],
                          v[3 * k + 1], v[3 * k + 2]);
            out += buffer;
        }
        out += "    endloop\n  endfacet\n";
    }
    return out + "endsolid mesh\n";
}

inline MeshFacet Facet(std::array<float, 3> n, std::array<float, 3> a, std::array<float, 3> b,
                       std::array<float, 3> c) {
    return MeshFacet{{n[0], n[1], n[2], a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]}};
}

// The 12 outward, counter-clockwise facets of the box [lo, hi].
inline std::vector<MeshFacet> BoxMesh(std::array<float, 3> lo, std::array<float, 3> hi) {
    std::vector<MeshFacet> out;
    auto corner = [&](int i) {
        return std::array<float, 3>{(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1],
                                    (i & 4) ? hi[2] : lo[2]};
    };
    // Each face as four corner indices, counter-clockwise seen from outside, and its normal.
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    const std::array<float, 3> normals[6] = {{0, 0, -1}, {0, 0, 1},  {0, -1, 0},
                                             {0, 1, 0},  {-1, 0, 0}, {1, 0, 0}};
    for (int f = 0; f < 6; ++f) {
        const int* q = faces[f];
        out.push_back(Facet(normals[f], corner(q[0]), corner(q[1]), corner(q[2])));
        out.push_back(Facet(normals[f], corner(q[0]), corner(q[2]), corner(q[3])));
    }
    return out;
}

}  // namespace mirexa::testing
