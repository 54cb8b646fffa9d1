// STL files: encoding detection, the streaming facet reader shared by every client, facet
// counting and reading, the polygon stream of the machine-part display, and the facet writers.
#include "stockio/stl_files.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "geometry/vector_math.h"
#include "platform/write_faults.h"
#include "services/line_scanner.h"
#include "services/progress.h"
#include "services/shared_state.h"

namespace mirexa {

namespace {

// Bytes of the detection window; "facet" is looked for at offsets 0..249.
constexpr int kDetectWindowBytes = 256;
constexpr int kDetectFacetOffsets = 250;

// Keyword lines of the ASCII form.
enum class StlKeyword { None, Facet, Outer, Vertex, EndLoop, EndFacet, EndSolid };

// 1 when the text at p starts with the keyword, ignoring ASCII case.
bool StartsWithKeyword(const char* p, const char* keyword) {
    for (; *keyword != '\0'; ++p, ++keyword) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != *keyword) {
            return false;
        }
    }
    return true;
}

// The keyword of a line (it starts at the line's first character out of "efsovEFSOV") and its
// index in the line.
StlKeyword FindStlKeyword(const char* line, int* start) {
    const char* p = std::strpbrk(line, "efsovEFSOV");
    if (p == nullptr) {
        return StlKeyword::None;
    }
    *start = static_cast<int>(p - line);
    if (StartsWithKeyword(p, "endloop") || StartsWithKeyword(p, "end loop")) {
        return StlKeyword::EndLoop;
    }
    if (StartsWithKeyword(p, "endfacet") || StartsWithKeyword(p, "end facet")) {
        return StlKeyword::EndFacet;
    }
    if (StartsWithKeyword(p, "endsolid") || StartsWithKeyword(p, "end solid")) {
        return StlKeyword::EndSolid;
    }
    if (StartsWithKeyword(p, "facet")) {
        return StlKeyword::Facet;
    }
    if (StartsWithKeyword(p, "outer")) {
        return StlKeyword::Outer;
    }
    if (StartsWithKeyword(p, "vertex")) {
        return StlKeyword::Vertex;
    }
    return StlKeyword::None;
}

// Reads one line of at most kStlLineCharacters characters into the reader's buffer (without its
// line feed); the rest of a longer line is consumed and dropped. 0 at the end of the file.
int ReadStlLine(StlFacetReader* reader) {
    std::FILE* stream = reader->input.stream;
    int length = 0;
    int c = getc_unlocked(stream);
    if (c == EOF) {
        return 0;
    }
    while (c != EOF) {
        ++reader->input.position;
        if (c == '\n') {
            break;
        }
        if (length < kStlLineCharacters) {
            reader->line[length++] = static_cast<char>(c);
        }
        c = getc_unlocked(stream);
    }
    reader->line[length] = '\0';
    return 1;
}

// Three numbers behind a keyword: the scan starts six characters after the keyword's first
// character (or at the line end); each further number starts after the next blank or tab that
// follows the previous number's start. Missing numbers read 0.
void ScanStlTriple(const char* line, int keywordStart, double out[3]) {
    LineCursor cursor = static_cast<LineCursor>(keywordStart + strnlen(line + keywordStart, 6));
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            cursor += static_cast<LineCursor>(std::strcspn(line + cursor, " \t"));
        }
        ScanDouble(&cursor, line, &out[i]);
    }
}

int ReadNextBinaryFacet(StlFacetReader* reader, StlRawFacet* out) {
    unsigned char record[kStlBinaryRecordBytes];
    if (reader->recordsLeft == 0 || !ReadInputBytes(&reader->input, record, sizeof record)) {
        reader->ended = 1;
        return 0;
    }
    --reader->recordsLeft;
    for (int i = 0; i < 12; ++i) {
        std::uint32_t word = LoadLittleU32(record + 4 * i);
        if (reader->format == kStlFormatSwapped) {
            word = ReverseWordBytes(word);
        }
        float value = 0;
        std::memcpy(&value, &word, 4);
        double* target = i < 3 ? &out->normal[i] : &out->vertices[i - 3];
        *target = value;
    }
    return 1;
}

int ReadNextAsciiFacet(StlFacetReader* reader, StlRawFacet* out) {
    while (ReadStlLine(reader)) {
        int start = 0;
        StlKeyword keyword = FindStlKeyword(reader->line, &start);
        if (keyword == StlKeyword::None) {
            continue;
        }
        if (reader->pumpEachKeywordLine && MessagePumpEnabled.load(std::memory_order_relaxed)) {
            PumpMessagesEvery3s();
        }
        switch (keyword) {
            case StlKeyword::Facet:
                ScanStlTriple(reader->line, start, reader->asciiNormal);
                reader->asciiVertexIndex = 0;
                break;
            case StlKeyword::Outer:
                reader->asciiVertexIndex = 0;
                break;
            case StlKeyword::Vertex:
                if (reader->asciiVertexIndex < 3) {
                    ScanStlTriple(reader->line, start,
                                  reader->asciiVertices + 3 * reader->asciiVertexIndex);
                    ++reader->asciiVertexIndex;
                }
                break;
            case StlKeyword::EndLoop: {
                int complete = reader->asciiVertexIndex == 3;
                reader->asciiVertexIndex = 0;
                if (complete) {
                    std::memcpy(out->normal, reader->asciiNormal, sizeof out->normal);
                    std::memcpy(out->vertices, reader->asciiVertices, sizeof out->vertices);
                    return 1;
                }
                break;
            }
            case StlKeyword::EndSolid:
                reader->ended = 1;
                return 0;
            default:
                break;
        }
    }
    reader->ended = 1;
    return 0;
}

void WidenCorners(const double* vertices, double minCorner[3], double maxCorner[3]) {
    for (int v = 0; v < 3; ++v) {
        for (int a = 0; a < 3; ++a) {
            minCorner[a] = std::min(minCorner[a], vertices[3 * v + a]);
            maxCorner[a] = std::max(maxCorner[a], vertices[3 * v + a]);
        }
    }
}

// Formats "%f" (six decimals) without regard to the locale.
char* FormatFixed6(char* p, char* end, double value) {
    return std::to_chars(p, end, value, std::chars_format::fixed, 6).ptr;
}

int WriteAsciiFacet(StlWriterState* state, const double normal[3], const double vertices[9]) {
    // Each number takes at most 309 digits, a sign, a point and 6 decimals.
    char text[8 * 1024];
    char* p = text;
    char* end = text + sizeof text;
    auto put = [&](const char* s) {
        std::size_t n = std::strlen(s);
        std::memcpy(p, s, n);
        p += n;
    };
    auto putTriple = [&](const double* v) {
        for (int i = 0; i < 3; ++i) {
            *p++ = ' ';
            p = FormatFixed6(p, end, v[i]);
        }
        *p++ = '\n';
    };
    put("  facet normal");
    putTriple(normal);
    put("    outer loop\n");
    for (int v = 0; v < 3; ++v) {
        put("      vertex");
        putTriple(vertices + 3 * v);
    }
    put("    endloop\n  endfacet\n");
    return WriteOutputBytes(state->stream, text, static_cast<std::uint64_t>(p - text));
}

int WriteBinaryFacet(StlWriterState* state, const double normal[3], const double vertices[9]) {
    unsigned char record[kStlBinaryRecordBytes];
    for (int i = 0; i < 12; ++i) {
        float value = static_cast<float>(i < 3 ? normal[i] : vertices[i - 3]);
        std::uint32_t word = 0;
        std::memcpy(&word, &value, 4);
        if (state->writeMode == kStlWriteSwapped) {
            word = ReverseWordBytes(word);
        }
        std::memcpy(record + 4 * i, &word, 4);
    }
    std::memcpy(record + 48, &state->attribute, 2);
    return WriteOutputBytes(state->stream, record, sizeof record);
}

// The vertices as they are written: minus the origin when relative.
void PrepareWrittenVertices(const StlWriterState& state, const double v1[3], const double v2[3],
                            const double v3[3], double out[9]) {
    const double* source[3] = {v1, v2, v3};
    for (int v = 0; v < 3; ++v) {
        for (int a = 0; a < 3; ++a) {
            out[3 * v + a] = source[v][a] - (state.relative ? state.origin[a] : 0.0);
        }
    }
}

// A value a reader of the file can take: finite, and within the f32 range in binary.
bool IsWritableStlValue(const StlWriterState& state, double value) {
    const double limit = state.writeMode == kStlWriteAscii ? DBL_MAX : double{FLT_MAX};
    return std::fabs(value) <= limit;
}

int WritePreparedFacet(StlWriterState* state, const double normal[3], const double vertices[9]) {
    if (state->stream == nullptr) {
        state->failed = 1;
        return 0;
    }
    for (int i = 0; i < 12; ++i) {
        if (!IsWritableStlValue(*state, i < 3 ? normal[i] : vertices[i - 3])) {
            state->failed = 1;
            state->notFinite = 1;
            return 0;
        }
    }
    int ok = state->writeMode == kStlWriteAscii ? WriteAsciiFacet(state, normal, vertices)
                                                : WriteBinaryFacet(state, normal, vertices);
    if (!ok) {
        state->failed = 1;
    }
    return ok;
}

}  // namespace

int DetectStlFormat(std::string_view path) {
    BinaryInput input;
    if (!OpenBinaryInput(path, &input)) {
        return kStlFormatNone;
    }
    unsigned char window[kDetectWindowBytes] = {};
    std::uint64_t windowBytes = std::min<std::uint64_t>(input.size, kDetectWindowBytes);
    int complete = ReadInputBytes(&input, window, windowBytes);
    std::uint64_t size = input.size;
    CloseBinaryInput(&input);
    if (size == 0 || !complete) {
        return kStlFormatNone;
    }
    const bool mayBeBinary = size >= kStlBinaryHeaderBytes;
    const std::uint64_t fitting =
        mayBeBinary ? (size - kStlBinaryHeaderBytes) / kStlBinaryRecordBytes : 0;
    const std::uint32_t expected = static_cast<std::uint32_t>(fitting);
    const std::uint32_t count = LoadLittleU32(window + 80);
    if (mayBeBinary && count == expected) {
        return kStlFormatBinary;
    }
    if (mayBeBinary && ReverseWordBytes(count) == expected) {
        return kStlFormatSwapped;
    }
    for (int i = 0; i < kDetectFacetOffsets; ++i) {
        if (StartsWithKeyword(reinterpret_cast<const char*>(window) + i, "facet")) {
            return kStlFormatAscii;
        }
    }
    if (!mayBeBinary || count == 0 || expected == 0 || count > expected) {
        return kStlFormatNone;
    }
    return kStlFormatBinary;
}

int OpenStlFacetReader(int format, std::string_view path, StlFacetReader* reader) {
    *reader = StlFacetReader{};
    if (format != kStlFormatAscii && format != kStlFormatBinary && format != kStlFormatSwapped) {
        return 0;
    }
    if (!OpenBinaryInput(path, &reader->input)) {
        return 0;
    }
    reader->format = format;
    if (format == kStlFormatAscii) {
        return 1;
    }
    unsigned char head[kStlBinaryHeaderBytes];
    if (!ReadInputBytes(&reader->input, head, sizeof head)) {
        reader->ended = 1;
        return 1;
    }
    std::uint32_t count = LoadLittleU32(head + 80);
    if (format == kStlFormatSwapped) {
        count = ReverseWordBytes(count);
    }
    const std::uint64_t fitting = RemainingInputBytes(reader->input) / kStlBinaryRecordBytes;
    reader->recordsLeft = std::min<std::uint64_t>(count, fitting);
    return 1;
}

int ReadNextStlFacet(StlFacetReader* reader, StlRawFacet* out) {
    if (reader->input.stream == nullptr || reader->ended) {
        return 0;
    }
    return reader->format == kStlFormatAscii ? ReadNextAsciiFacet(reader, out)
                                             : ReadNextBinaryFacet(reader, out);
}

void CloseStlFacetReader(StlFacetReader* reader) {
    CloseBinaryInput(&reader->input);
    *reader = StlFacetReader{};
}

int IsStlFacetFinite(const StlRawFacet& facet) {
    for (double v : facet.normal) {
        if (!std::isfinite(v)) {
            return 0;
        }
    }
    for (double v : facet.vertices) {
        if (!std::isfinite(v)) {
            return 0;
        }
    }
    return 1;
}

void SnapStlVertexZeros(StlRawFacet* facet) {
    for (double& v : facet->vertices) {
        if (std::fabs(v) < 1e-14) {
            v = 0.0;
        }
    }
}

int ComputeStlFacetNormal(const double vertices[9], double out[3]) {
    double e1[3];
    double e2[3];
    Vec3Sub(vertices + 3, vertices, e1);
    Vec3Sub(vertices + 6, vertices, e2);
    Vec3Cross(e1, e2, out);
    double length = Vec3Length(out);
    if (!(length > 0.0) || !std::isfinite(length)) {
        out[0] = out[1] = out[2] = 0.0;
        return 0;
    }
    for (int a = 0; a < 3; ++a) {
        out[a] /= length;
    }
    return 1;
}

void SnapStlNormalToAxis(double normal[3]) {
    if (std::fabs(normal[0]) == 1.0) {
        normal[1] = normal[2] = 0.0;
    }
    if (std::fabs(normal[1]) == 1.0) {
        normal[0] = normal[2] = 0.0;
    }
    if (std::fabs(normal[2]) == 1.0) {
        normal[0] = normal[1] = 0.0;
    }
}

int CountStlFacets(int format, std::string_view path) {
    StlFacetReader reader;
    if (!OpenStlFacetReader(format, path, &reader)) {
        return 0;
    }
    std::uint64_t count = 0;
    if (format == kStlFormatAscii) {
        while (ReadStlLine(&reader)) {
            int start = 0;
            StlKeyword keyword = FindStlKeyword(reader.line, &start);
            if (keyword == StlKeyword::EndSolid) {
                break;
            }
            if (keyword == StlKeyword::EndFacet) {
                ++count;
            }
        }
    } else {
        count = reader.recordsLeft;
    }
    CloseStlFacetReader(&reader);
    return static_cast<int>(std::min<std::uint64_t>(count, INT32_MAX));
}

int ReadStlFacets(int format, int capacity, std::string_view path, const double offset[3],
                  double minCorner[3], double maxCorner[3], StlFacet* facets) {
    if (format != kStlFormatAscii && format != kStlFormatBinary && format != kStlFormatSwapped) {
        return 0;
    }
    for (int a = 0; a < 3; ++a) {
        minCorner[a] = 1e11;
        maxCorner[a] = -1e11;
    }
    StlFacetReader reader;
    if (capacity < 1 || facets == nullptr || !OpenStlFacetReader(format, path, &reader)) {
        return 0;
    }
    const bool binary = format != kStlFormatAscii;
    int stored = 0;
    StlRawFacet raw;
    while (stored < capacity && ReadNextStlFacet(&reader, &raw)) {
        if (!IsStlFacetFinite(raw)) {
            continue;
        }
        double* out = facets[stored].values;
        if (binary) {
            SnapStlVertexZeros(&raw);
            if (raw.normal[0] == 0.0 && raw.normal[1] == 0.0 && raw.normal[2] == 0.0) {
                ComputeStlFacetNormal(raw.vertices, raw.normal);
            }
        }
        SnapStlNormalToAxis(raw.normal);
        std::memcpy(out, raw.normal, 3 * sizeof(double));
        for (int i = 0; i < 9; ++i) {
            out[3 + i] = raw.vertices[i] + offset[i % 3];
        }
        WidenCorners(out + 3, minCorner, maxCorner);
        ++stored;
    }
    CloseStlFacetReader(&reader);
    return stored;
}

void RotatePointAboutAxis(const StlDisplayRotation& rotation, double point[3]) {
    const double s = rotation.sine;
    const double c = rotation.cosine;
    const double x = point[0];
    const double y = point[1];
    const double z = point[2];
    switch (rotation.axis) {
        case 0:
            point[1] = c * y - s * z;
            point[2] = s * y + c * z;
            break;
        case 1:
            point[0] = c * x + s * z;
            point[2] = c * z - s * x;
            break;
        case 2:
            point[0] = c * x - s * y;
            point[1] = s * x + c * y;
            break;
        default:
            break;
    }
}

void RotateStlPoint(const StlDisplayRotation& rotation, double point[3]) {
    for (int a = 0; a < 3; ++a) {
        point[a] -= rotation.centre[a];
    }
    RotatePointAboutAxis(rotation, point);
    for (int a = 0; a < 3; ++a) {
        point[a] += rotation.centre[a];
    }
}

void DrawStlFile(int format, std::string_view path, const double offset[3],
                 const StlDisplayRotation& rotation, double unitFactor, StlPolygonSink sink,
                 void* context) {
    StlFacetReader reader;
    if (sink == nullptr || !OpenStlFacetReader(format, path, &reader)) {
        return;
    }
    reader.pumpEachKeywordLine = 1;
    const double factor = (unitFactor > 0.0 && std::isfinite(unitFactor)) ? unitFactor : 1.0;
    StlRawFacet raw;
    while (ReadNextStlFacet(&reader, &raw)) {
        if (!IsStlFacetFinite(raw)) {
            continue;
        }
        if (format != kStlFormatAscii) {
            SnapStlVertexZeros(&raw);
        }
        double vertices[9];
        for (int v = 0; v < 3; ++v) {
            double* p = vertices + 3 * v;
            for (int a = 0; a < 3; ++a) {
                p[a] = raw.vertices[3 * v + a] + offset[a];
            }
            if (rotation.mode == 1) {
                RotateStlPoint(rotation, p);
            }
            for (int a = 0; a < 3; ++a) {
                p[a] /= factor;
            }
        }
        if (rotation.mode == 1) {
            RotatePointAboutAxis(rotation, raw.normal);
        }
        sink(context, raw.normal, vertices);
    }
    CloseStlFacetReader(&reader);
}

int BeginStlFile(StlWriterState* state) {
    int ok = 0;
    if (state->writeMode == kStlWriteAscii) {
        ok = WriteOutputBytes(state->stream, "solid\n", 6);
    } else {
        unsigned char head[kStlBinaryHeaderBytes];
        std::memset(head, ' ', 80);
        std::memset(head + 80, 0, 4);
        ok = WriteOutputBytes(state->stream, head, sizeof head);
    }
    if (!ok) {
        state->failed = 1;
    }
    return ok;
}

int FinishStlFile(StlWriterState* state, int facetCount) {
    int ok = 0;
    if (state->writeMode == kStlWriteAscii) {
        ok = WriteOutputBytes(state->stream, "endsolid\n", 9);
    } else if (state->stream != nullptr) {
        std::uint32_t count = static_cast<std::uint32_t>(std::max(facetCount, 0));
        if (state->writeMode == kStlWriteSwapped) {
            count = ReverseWordBytes(count);
        }
        ok = FlushStream(state->stream) == 0 && fseeko(state->stream, 80, SEEK_SET) == 0 &&
             WriteOutputBytes(state->stream, &count, 4) && fseeko(state->stream, 0, SEEK_END) == 0;
    }
    if (!ok) {
        state->failed = 1;
    }
    return ok && !state->failed ? 1 : 0;
}

int WriteStlFacet(StlWriterState* state, const double normal[3], const double v1[3],
                  const double v2[3], const double v3[3]) {
    double vertices[9];
    PrepareWrittenVertices(*state, v1, v2, v3, vertices);
    return WritePreparedFacet(state, normal, vertices);
}

int WriteStlFacetAuto(StlWriterState* state, int* facetCount, const double v1[3],
                      const double v2[3], const double v3[3]) {
    double vertices[9];
    PrepareWrittenVertices(*state, v1, v2, v3, vertices);
    for (double v : vertices) {
        if (!IsWritableStlValue(*state, v)) {
            state->failed = 1;
            state->notFinite = 1;
            return -1;
        }
    }
    double normal[3];
    if (!ComputeStlFacetNormal(vertices, normal)) {
        return 0;
    }
    if (!WritePreparedFacet(state, normal, vertices)) {
        return -1;
    }
    ++*facetCount;
    return 1;
}

void ByteSwapArray(std::uint32_t* words, int n) {
    for (int i = 0; i < n; ++i) {
        words[i] = ReverseWordBytes(words[i]);
    }
}

}  // namespace mirexa
