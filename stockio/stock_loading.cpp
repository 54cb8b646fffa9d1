// Stock loading: dispatch by extension to the DME, DMF and STL readers, the STL grid sized from
// the mesh bounds, the common tail, box bounds under a frame, and the matrix file and its dump.
#include "stockio/stock_loading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "geometry/vector_math.h"
#include "platform/controls.h"
#include "platform/file_reading.h"
#include "platform/message_box.h"
#include "services/file_paths.h"
#include "services/program_log.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "services/ui_hooks.h"
#include "stock/grid_node_index.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/dme_file.h"
#include "stockio/dmf_file.h"
#include "stockio/stl_files.h"
#include "stockio/stl_height_map.h"
#include "stockio/stl_import.h"

namespace mirexa {

StockLoadSettings StockLoadOptions;

namespace {

// Characters of the matrix path and of a matrix file line that are used.
constexpr std::size_t kMatrixPathCharacters = 63;
constexpr std::size_t kMatrixLineCharacters = 64;

void SetIdentityFrame(StockFrame* frame) {
    *frame = StockFrame{};
    frame->values[0] = frame->values[4] = frame->values[8] = 1.0;
}

void LogLoadProblem(const std::string& text) {
    AppendLogEntry(text + "\n");
}

// Reads one line of the matrix file (at most kMatrixLineCharacters characters kept; the rest of
// a longer line is dropped). False at the end of the file.
bool ReadMatrixLine(std::FILE* stream, std::string* line) {
    line->clear();
    int c = std::fgetc(stream);
    if (c == EOF) {
        return false;
    }
    long consumed = 0;
    for (; c != EOF && c != '\n'; c = std::fgetc(stream)) {
        if (line->size() < kMatrixLineCharacters) {
            line->push_back(static_cast<char>(c));
        }
        // An endless line or the abort request: no matrix comes from this file.
        if (++consumed % kAbortTestInterval == 0 &&
            (consumed > kLineTailLimit || ReadAbortRequested())) {
            line->clear();
            return false;
        }
    }
    return true;
}

// The number at the start of a line (blanks and a "+" skipped), locale-free. False when the line
// holds no number or a non-finite one.
bool ParseMatrixValue(const std::string& line, double* out) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos) {
        return false;
    }
    if (line[i] == '+') {
        ++i;
    }
    double value = 0;
    auto [end, error] = std::from_chars(line.data() + i, line.data() + line.size(), value);
    if (error != std::errc() || end == line.data() + i || !std::isfinite(value)) {
        return false;
    }
    *out = value;
    return true;
}

// 1 when any ray of the family holds an interval of material.
bool HoldsMaterial(const DexelFamily& family) {
    for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
        if (family.counts[cell] >= 2) {
            return true;
        }
    }
    return false;
}

// The STL branch: frame from the matrix file, grid from the mesh bounds, the conversion.
int LoadStlStock(WindowHandle owner, StockModel* model, std::string_view path, StockFrame frame,
                 double pitch, int referenceDirection, std::string* problem) {
    ReadMatrixFile(&frame);
    SnapStockFrame(frame, &model->frame);
    if (!std::isfinite(pitch) || !(pitch > 0.0)) {
        return AbandonStockLoad(model, kStockDefinitionError);
    }
    int format = 0;
    int result = DetectStlImportFormat(path, referenceDirection, &format);
    if (result != 1) {
        NoteStockLoadProblem(problem, std::string(path) + ": " +
                                          (result == kStockFileDataError
                                               ? "it cannot be read or is no STL file"
                                               : "the reference direction is not one of the six"));
        return AbandonStockLoad(model, result);
    }
    StlFileBounds bounds;
    result = GetStlFileBounds(format, path, &bounds);
    if (result != 1) {
        NoteStockLoadProblem(problem, std::string(path) + ": its facets cannot be read");
        return AbandonStockLoad(model, result);
    }
    // A mesh beyond any machine's reach, or flat along an axis, holds no stock.
    for (int axis = 0; axis < 3; ++axis) {
        if (!(std::fabs(bounds.minCorner[axis]) <= kStockCoordinateLimit) ||
            !(std::fabs(bounds.maxCorner[axis]) <= kStockCoordinateLimit) ||
            !(bounds.maxCorner[axis] > bounds.minCorner[axis])) {
            NoteStockLoadProblem(
                problem,
                std::string(path) + ": the mesh is flat or beyond the reach of any machine");
            return AbandonStockLoad(model, kStockFileDataError);
        }
    }
    // Grid: standard mode starts at the whole millimetre below the minimum, reference mode at
    // the minimum; at least 2 nodes per axis. Counts in double, refused beyond 32 bits.
    std::int32_t nodes[3] = {};
    double origin[3] = {};
    for (int axis = 0; axis < 3; ++axis) {
        const double low = bounds.minCorner[axis];
        const double high = bounds.maxCorner[axis];
        origin[axis] = referenceDirection == 0 ? std::floor(low) : low;
        double n = NodeIndexAtOrAbove(high, origin[axis], pitch) + 1.0;
        if (!(n >= 2.0)) {
            n = 2.0;
        }
        if (!(n <= 2147483647.0)) {
            return AbandonStockLoad(model, kStockGridTooLarge);
        }
        nodes[axis] = static_cast<std::int32_t>(n);
    }
    if (ExceedsGridCellLimit(nodes[0], nodes[1], nodes[2])) {
        return AbandonStockLoad(model, kStockGridTooLarge);
    }
    int a = 0;
    int b = 0;
    int c = 0;
    if (referenceDirection < 0 && GetReferenceAxisTriple(referenceDirection, &a, &b, &c)) {
        // Looking from the negative side, the grid ends exactly at the maximum; the node tables
        // are built from this origin, so they agree with it.
        origin[c] = bounds.maxCorner[c] - (nodes[c] - 1) * pitch;
    }
    model->nx = nodes[0];
    model->ny = nodes[1];
    model->nz = nodes[2];
    model->pitch = pitch;
    for (int axis = 0; axis < 3; ++axis) {
        model->origin[axis] = origin[axis];
    }
    result = BuildLoadedGrid(model, false);
    if (result != 1) {
        return AbandonStockLoad(model, result);
    }
    if (referenceDirection != 0) {
        for (int axis = 0; axis < 3; ++axis) {
            model->minCorner[axis] = bounds.minCorner[axis];
            model->maxCorner[axis] = bounds.maxCorner[axis];
        }
    }
    StlConversion conversion;
    conversion.format = format;
    conversion.path = path;
    conversion.settings = &StockLoadOptions.stlAdjustments;
    conversion.clipToGrid = referenceDirection != 0 ? 1 : 0;
    result = RunStlConversion(owner, model, conversion, referenceDirection);
    if (result == 1 && !HoldsMaterial(model->z)) {
        NoteStockLoadProblem(problem, std::string(path) + ": the mesh encloses no material");
        return AbandonStockLoad(model, kStockFileDataError);
    }
    return result;
}

}  // namespace

void NoteStockLoadProblem(std::string* problem, const std::string& reason) {
    if (problem != nullptr && problem->empty()) {
        *problem = reason;
    }
}

int AbandonStockLoad(StockModel* model, int code) {
    FreeStockModel(model);
    model->nx = 0;
    return code;
}

int ExceedsGridCellLimit(std::int32_t nx, std::int32_t ny, std::int32_t nz) {
    const std::uint64_t x = static_cast<std::uint64_t>(std::max(nx, 0));
    const std::uint64_t y = static_cast<std::uint64_t>(std::max(ny, 0));
    const std::uint64_t z = static_cast<std::uint64_t>(std::max(nz, 0));
    return x * y + y * z + x * z > StockLoadOptions.maxGridCells ? 1 : 0;
}

int BuildLoadedGrid(StockModel* model, bool singleBlock) {
    int result = singleBlock ? InitStockGridSingleBlock(model) : InitStockGridBlocks(model);
    if (result == 1) {
        result = AllocStockModel(model);
    }
    return result;
}

int LoadStockModel(WindowHandle owner, StockModel* model, std::string_view path, double pitch,
                   int referenceDirection, std::string* problem) {
    StockFrame identity;
    SetIdentityFrame(&identity);
    return LoadStockModelFile(owner, model, path, identity, pitch, referenceDirection, problem);
}

int LoadStockModelFile(WindowHandle owner, StockModel* model, std::string_view path,
                       const StockFrame& frame, double pitch, int referenceDirection,
                       std::string* problem) {
    FreeStockModel(model);
    if (problem != nullptr) {
        problem->clear();
    }
    int result = kStockFileDataError;
    if (HasFileExtension(path, ".DME")) {
        result = ReadDmeStock(model, path, problem);
        if (result == 1) {
            TransformBoxToBounds(model->frame, model->minCorner, model->maxCorner);
        }
    } else if (HasFileExtension(path, ".DMF")) {
        result = ReadDmfStock(model, path, frame);
    } else if (HasFileExtension(path, ".STL")) {
        result = LoadStlStock(owner, model, path, frame, pitch, referenceDirection, problem);
    } else {
        LogLoadProblem("Stock file of unknown kind: " + std::string(path));
        return AbandonStockLoad(model, kStockFileDataError);
    }
    if (result != 1) {
        return result;
    }
    FinishLoadedStock(model);
    if (HasFileExtension(path, ".STL") && !StockLoadOptions.matrixPath.empty()) {
        TransformBoxToBounds(model->frame, model->minCorner, model->maxCorner);
    }
    return 1;
}

void ReportStockLoadFailure(int result, const std::string& problem) {
    if (result >= 1) {
        return;
    }
    if (result == kStockFileDataError) {
        const std::string text =
            problem.empty() ? std::string("Data Destroyed!") : "Data Destroyed! - " + problem;
        ShowMessageOrLog(0, text.c_str(), "Data error", MBX_OK | MBX_TOPMOST);
    } else {
        ShowMessageOrLog(0, "Memory over!", "Data size error", MBX_OK | MBX_TOPMOST);
    }
}

void FinishLoadedStock(StockModel* model) {
    for (int a = 0; a < 3; ++a) {
        model->reservedNodes[a] = model->lastNode[a];
    }
    model->reservedNodes[3] = 0;
    model->reservedValue = 0.0;
    RefreshStockFrame(model);
    SetStatusBarText(MainStatusBar.load(), 0, 0, "");
}

void TransformBoxToBounds(const StockFrame& frame, double minCorner[3], double maxCorner[3]) {
    for (int a = 0; a < 3; ++a) {
        if (!(minCorner[a] <= maxCorner[a])) {
            return;
        }
    }
    double corners[24];
    ListBoxCorners(minCorner, maxCorner, corners);
    for (int a = 0; a < 3; ++a) {
        minCorner[a] = 1e11;
        maxCorner[a] = -1e11;
    }
    for (int k = 0; k < 8; ++k) {
        double p[3];
        TransformPoint(frame.values, corners + 3 * k, p);
        for (int a = 0; a < 3; ++a) {
            minCorner[a] = std::min(minCorner[a], p[a]);
            maxCorner[a] = std::max(maxCorner[a], p[a]);
        }
    }
}

int ReadMatrixFile(StockFrame* frame) {
    const std::string& setting = StockLoadOptions.matrixPath;
    if (setting.empty()) {
        return 0;
    }
    const std::string path = setting.substr(0, kMatrixPathCharacters);
    std::FILE* stream = OpenFileStream(path, "r");
    if (stream == nullptr) {
        LogLoadProblem("STL MATRIX file cannot be opened: " + path);
        return 0;
    }
    StockFrame read;
    std::string line;
    int parsed = 0;
    while (parsed < 12 && ReadMatrixLine(stream, &line)) {
        if (!ParseMatrixValue(line, &read.values[parsed])) {
            break;
        }
        ++parsed;
    }
    std::fclose(stream);
    if (parsed < 12) {
        LogLoadProblem("STL MATRIX file holds fewer than 12 numbers: " + path);
        return 0;
    }
    double inverse[9];
    InvertMatrix3(read.values, inverse);
    for (double v : inverse) {
        if (!std::isfinite(v)) {
            LogLoadProblem("STL MATRIX file holds a singular matrix: " + path);
            return 0;
        }
    }
    *frame = read;
    return 1;
}

int WriteMatrixDebug(const StockFrame& frame) {
    if (!StockLoadOptions.checkMatrix) {
        return 0;
    }
    std::FILE* stream = OpenFileStream("matrix.txt", "w");
    if (stream == nullptr) {
        return 0;
    }
    int ok = 1;
    for (double v : frame.values) {
        char text[400];
        char* end = std::to_chars(text, text + sizeof text - 1, v, std::chars_format::fixed, 6).ptr;
        *end++ = '\n';
        ok &= WriteOutputBytes(stream, text, static_cast<std::uint64_t>(end - text));
    }
    if (std::fclose(stream) != 0) {
        ok = 0;
    }
    return ok;
}

int GetStlFileBounds(int format, std::string_view path, StlFileBounds* bounds) {
    StlConversion conversion;
    conversion.format = format;
    conversion.path = path;
    conversion.settings = &StockLoadOptions.stlAdjustments;
    StlImportReader input;
    if (!OpenStlImportReader(conversion, &input)) {
        return kStockFileDataError;
    }
    const double infinity = std::numeric_limits<double>::infinity();
    std::fill(bounds->minCorner, bounds->minCorner + 3, infinity);
    std::fill(bounds->maxCorner, bounds->maxCorner + 3, -infinity);
    int any = 0;
    double normal[3];
    double v[9];
    while (ReadNextImportFacet(&input, conversion, normal, v)) {
        for (int k = 0; k < 9; ++k) {
            bounds->minCorner[k % 3] = std::min(bounds->minCorner[k % 3], v[k]);
            bounds->maxCorner[k % 3] = std::max(bounds->maxCorner[k % 3], v[k]);
        }
        any = 1;
    }
    CloseStlImportReader(&input);
    return any ? 1 : kStockFileDataError;
}

}  // namespace mirexa
