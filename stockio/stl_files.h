// STL files: recognising the three encodings (ASCII, binary, binary with byte-swapped 32-bit
// words), counting and reading facets, streaming them to a polygon sink, and writing facets.
//
// Every reader treats the file as untrusted: binary counts are bounded by what the file's size
// can hold, short reads end the reading, ASCII lines are cut at 255 characters (the rest of a
// longer line is discarded, never read as a new line), numbers are read without regard to the
// locale and a facet with a non-finite value is left out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "stockio/binary_file.h"

namespace mirexa {

// StlFileFormat: what DetectStlFormat finds and every reader takes. 1 is never produced.
constexpr int kStlFormatNone = 0;     // not readable as STL (cannot be opened, empty, inconsistent)
constexpr int kStlFormatAscii = 2;    // text
constexpr int kStlFormatBinary = 3;   // binary, little-endian
constexpr int kStlFormatSwapped = 4;  // binary with every 32-bit word byte-swapped

// StlWriteMode: the encoding the writers produce.
constexpr int kStlWriteAscii = 0;
constexpr int kStlWriteBinary = 1;
constexpr int kStlWriteSwapped = 2;

// Binary layout: an 80-byte header, the u32 facet count, then 50-byte records (normal, three
// vertices as f32 triples, a u16 attribute word).
constexpr int kStlBinaryHeaderBytes = 84;
constexpr int kStlBinaryRecordBytes = 50;
// ASCII lines hold at most this many characters; the buffer keeps one more for the NUL.
constexpr int kStlLineCharacters = 255;

// One facet: values 0-2 the normal, 3-5 vertex 1, 6-8 vertex 2, 9-11 vertex 3 (mm). Arrays of
// them are contiguous, facet i starting at double 12 * i.
struct StlFacet {
    double values[12] = {};
};

// The encoding of a file: kStlFormatNone when it cannot be opened, is empty, or is a binary file
// whose count does not fit its size and whose first 254 bytes hold no "facet" (any case).
// Detection reads the first 256 bytes (zero beyond the end of a shorter file):
//  - files of 84 bytes or more whose u32 at byte 80 equals (size - 84) / 50 are binary
//    (kStlFormatBinary); with the bytes of that count reversed, kStlFormatSwapped;
//  - otherwise "facet" in the first 254 bytes makes the file ASCII;
//  - otherwise a file of 84 bytes or more with a count from 1 to the records that fit is binary
//    with trailing bytes; anything else is kStlFormatNone.
// A file shorter than 84 bytes is never binary, so a short ASCII facet is not taken for an empty
// binary file.
int DetectStlFormat(std::string_view path);

// The number of facets: for binary the count in the file (byte-swapped for kStlFormatSwapped),
// never more than the records the file's size holds; for ASCII the "endfacet"/"end facet"
// lines before the first "endsolid"/"end solid". 0 for kStlFormatNone, an unknown format or a
// file that cannot be opened; never negative.
int CountStlFacets(int format, std::string_view path);

// Reads at most capacity facets into the caller's array and returns how many were stored (0 for
// kStlFormatNone or an unknown format, in which case nothing is touched). Otherwise the corners
// start at 1e11 / -1e11 and widen by every stored vertex.
//  - Binary: vertex floats of magnitude below 1e-14 become 0; each vertex gets the offset added;
//    a normal of three exact zeros becomes the unit (v2 - v1) x (v3 - v1) of the file's floats
//    (still 0 for a degenerate facet).
//  - ASCII: the normal of the "facet" line, the vertices of the "vertex" lines plus the offset;
//    a facet is stored at its "endloop"/"end loop" when its loop held three or more vertices
//    (extras ignored, fewer: the facet is left out); a zero normal stays zero.
//  - Both: axis snapping of the normal, in order: |x| = 1 zeroes y and z, then |y| = 1 zeroes x
//    and z, then |z| = 1 zeroes x and y; a facet with a non-finite vertex is left out.
// The file may have changed since it was counted: reading stops at the capacity or at the end of
// the data, whichever comes first.
int ReadStlFacets(int format, int capacity, std::string_view path, const double offset[3],
                  double minCorner[3], double maxCorner[3], StlFacet* facets);

// --- Streaming facets ----------------------------------------------------------------------

// One facet as the file holds it: binary floats widened to double, ASCII numbers as read. No
// snapping, offset or normal repair: each client applies its own.
struct StlRawFacet {
    double normal[3] = {};
    double vertices[9] = {};
};

// Reads a file facet by facet in any encoding. Open, call ReadNextStlFacet until it returns 0,
// close. The reader owns its stream.
struct StlFacetReader {
    BinaryInput input = {};  // the stream, its size and the bytes consumed so far
    int format = {};
    std::uint64_t recordsLeft = {};  // binary: records still to read
    int pumpEachKeywordLine = {};    // ASCII: pump messages after every keyword line
    int ended = {};                  // the data is exhausted
    double asciiNormal[3] = {};      // ASCII: the normal of the current facet
    double asciiVertices[9] = {};    // ASCII: the vertices of the current loop
    int asciiVertexIndex = {};       // ASCII: vertices seen in the current loop
    char line[kStlLineCharacters + 1] = {};
};

// Opens the file for the given format. Binary: reads the header and the count (byte-swapped for
// kStlFormatSwapped) and bounds the count by the records the file holds. 1 when the reader is
// open; 0 for kStlFormatNone, an unknown format or a file that cannot be opened (nothing is then
// left open).
int OpenStlFacetReader(int format, std::string_view path, StlFacetReader* reader);
// The next facet: 1 with *out filled; 0 at the end of the data (binary: the count or a short
// record; ASCII: "endsolid"/"end solid" or the end of the file). ASCII facets come at
// "endloop"/"end loop" when the loop held at least three "vertex" lines (the first three
// count); the vertex index restarts at "facet", "outer" and after each "endloop". Numbers are
// scanned from six characters after a keyword's first character (or the line end): each starts
// at the next digit, "-", "." or line feed and a missing one reads 0.
int ReadNextStlFacet(StlFacetReader* reader, StlRawFacet* out);
// Closes the stream (null-safe); the record is zeroed.
void CloseStlFacetReader(StlFacetReader* reader);

// 1 when every normal and vertex value is finite.
int IsStlFacetFinite(const StlRawFacet& facet);
// Vertex values of magnitude below 1e-14 become 0 (applied to binary vertex floats).
void SnapStlVertexZeros(StlRawFacet* facet);
// The unit (v2 - v1) x (v3 - v1) of nine vertex values; 1, or 0 with out = 0 when the cross
// product has length 0.
int ComputeStlFacetNormal(const double vertices[9], double out[3]);
// The axis snapping of a read normal (see ReadStlFacets).
void SnapStlNormalToAxis(double normal[3]);

// --- Drawing -------------------------------------------------------------------------------

// Receives one facet as a polygon: the normal and three vertices (display units).
using StlPolygonSink = void (*)(void* context, const double normal[3], const double vertices[9]);

// The stock rotation the machine-part display applies: when mode is 1 every vertex turns about
// the swing centre (RotateStlPoint) and the normal turns with it.
struct StlDisplayRotation {
    int mode = {};
    int axis = {};      // 0 X, 1 Y, 2 Z
    double sine = 1.0;  // of the rotation angle; 1 and 0 for the initial 90 degrees
    double cosine = 0.0;
    double centre[3] = {};  // swing centre (mm)
};

// Turns a point about the axis through the coordinate origin:
//   X: y' = c*y - s*z, z' = s*y + c*z;  Y: x' = c*x + s*z, z' = c*z - s*x;
//   Z: x' = c*x - s*y, y' = s*x + c*y.  Other axes leave the point unchanged.
void RotatePointAboutAxis(const StlDisplayRotation& rotation, double point[3]);
// The same about the swing centre.
void RotateStlPoint(const StlDisplayRotation& rotation, double point[3]);

// Streams every facet of the file to the sink: vertices (binary floats below 1e-14 taken as 0)
// plus the offset, turned by the rotation when its mode is 1, then divided by unitFactor (a
// factor that is not a positive finite number counts as 1). The normal is the file's, turned
// by the same rotation without the centre. ASCII files pump messages after every keyword line
// while message pumping is enabled. Nothing for kStlFormatNone or a null sink.
void DrawStlFile(int format, std::string_view path, const double offset[3],
                 const StlDisplayRotation& rotation, double unitFactor, StlPolygonSink sink,
                 void* context);

// --- Writing -------------------------------------------------------------------------------

// The open output of an STL file that facets are written to. Set by the stock saver.
struct StlWriterState {
    int writeMode = {};            // kStlWriteAscii, kStlWriteBinary or kStlWriteSwapped
    std::uint16_t attribute = {};  // attribute word of binary records (written as is, unswapped)
    std::FILE* stream = {};        // owned by the caller
    int relative = {};             // 1: every vertex is written minus the origin
    double origin[3] = {};         // mm
    int failed = {};               // set by the first write the stream did not take
    int notFinite = {};            // set by a facet refused for a coordinate beyond the format
};

// Writes the head: "solid\n" for ASCII; 80 blanks and a count of 0 for binary. 1, or 0 when the
// stream refused it (the state's failed flag is then set).
int BeginStlFile(StlWriterState* state);
// Ends the file: "endsolid\n" for ASCII; for binary the count goes to byte 80 (byte-swapped in
// the swapped mode) and the stream returns to its end. 1, or 0 when a write or the seek failed
// or an earlier write had failed.
int FinishStlFile(StlWriterState* state, int facetCount);

// Writes one facet with the given normal (as given, not normalised), vertices in the order
// given, minus the origin when relative. ASCII: "  facet normal %f %f %f", "    outer loop",
// three "      vertex %f %f %f", "    endloop", "  endfacet" (each ending in "\n"; numbers
// with six decimals, locale-free). Binary: the normal and vertices as f32, byte-swapped in the
// swapped mode, then the attribute word. 1 written; 0 when the stream is null or refused it, or
// when a value is not finite (or, binary, beyond the f32 range): nothing is written and the
// state's failed and notFinite flags are set.
int WriteStlFacet(StlWriterState* state, const double normal[3], const double v1[3],
                  const double v2[3], const double v3[3]);
// Writes the facet with the unit normal (v2 - v1) x (v3 - v1) of the written vertices and adds
// 1 to *facetCount. A facet of zero area is neither written nor counted (0). -1 when the write
// failed or a vertex is not finite, as WriteStlFacet (the count is not changed).
int WriteStlFacetAuto(StlWriterState* state, int* facetCount, const double v1[3],
                      const double v2[3], const double v3[3]);

// Reverses the four bytes of each of n 32-bit words in place; nothing for n below 1.
void ByteSwapArray(std::uint32_t* words, int n);

}  // namespace mirexa
