// Reading and writing ".DME" stock files, with every count and value of a read file checked
// before it is used.
#include "stockio/dme_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/write_faults.h"
#include "services/file_paths.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/dexel_reconcile.h"
#include "stockio/stock_loading.h"

namespace mirexa {

namespace {

constexpr char kDmeHeader[13] = "V1.0        ";
// Bytes per end in a cell record: the f64 end, the flag byte and the i32 stamp.
constexpr std::uint64_t kDmeBytesPerEnd = 13;
// Stream buffer of the reader and the writer.
constexpr std::size_t kDmeStreamBuffer = 1 << 20;

void SetIdentityFrame(StockFrame* frame) {
    *frame = StockFrame{};
    frame->values[0] = frame->values[4] = frame->values[8] = 1.0;
}

bool AllFinite(const double* values, int n) {
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(values[i])) {
            return false;
        }
    }
    return true;
}

// A placement frame is a rotation (rows of unit length at right angles, not a mirror) within
// this tolerance, with a move within the stock coordinate limit (mm).
constexpr double kFrameRotationTolerance = 1e-6;

bool IsPlacementFrame(const StockFrame& frame) {
    const double* r = frame.values;
    if (!AllFinite(r, 12)) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double dot =
                r[3 * i] * r[3 * j] + r[3 * i + 1] * r[3 * j + 1] + r[3 * i + 2] * r[3 * j + 2];
            if (!(std::fabs(dot - (i == j ? 1.0 : 0.0)) <= kFrameRotationTolerance)) {
                return false;
            }
        }
        if (!(std::fabs(r[9 + i]) <= kStockCoordinateLimit)) {
            return false;
        }
    }
    const double determinant = r[0] * (r[4] * r[8] - r[5] * r[7]) -
                               r[1] * (r[3] * r[8] - r[5] * r[6]) +
                               r[2] * (r[3] * r[7] - r[4] * r[6]);
    return determinant > 0.0;
}

// Reads n little-endian f64.
int ReadDoubles(BinaryInput* input, double* out, int n) {
    for (int i = 0; i < n; ++i) {
        if (!ReadInputF64(input, &out[i])) {
            return 0;
        }
    }
    return 1;
}

// The grid bounds of the three families' ray axes.
void FamilyAxisBounds(const StockModel& model, int axis, double* lower, double* upper) {
    const double* nodes = StockNodeTable(model, axis);
    *lower = nodes[0];
    *upper = nodes[StockNodeCount(model, axis) - 1];
}

// Stores a family's bounds and face flags in the model: corners and the (min, max) flag pair of
// the axis. Without any end the grid's bounds stand in.
void StoreFamilyBounds(StockModel* model, int axis, const DexelFamilyBounds& bounds) {
    double lower = 0;
    double upper = 0;
    FamilyAxisBounds(*model, axis, &lower, &upper);
    const bool any = bounds.lowest <= bounds.highest;
    model->minCorner[axis] = any ? bounds.lowest : lower;
    model->maxCorner[axis] = any ? bounds.highest : upper;
    model->faceFlags->faces[2 * axis] = static_cast<std::uint8_t>(bounds.aboveLower);
    model->faceFlags->faces[2 * axis + 1] = static_cast<std::uint8_t>(bounds.belowUpper);
}

}  // namespace

int ReadDexelFamily(BinaryInput* input, DexelFamily* family, double lower, double upper,
                    DexelFamilyBounds* bounds) {
    *bounds = DexelFamilyBounds{};
    std::vector<unsigned char> record;
    DexelRayList ray;
    for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
        std::int32_t count = 0;
        if (!ReadInputI32(input, &count)) {
            return 0;
        }
        if (count == 0) {
            continue;
        }
        // The cells still to come need their 4-byte counts too.
        const std::uint64_t laterCounts =
            4 * static_cast<std::uint64_t>(family->cellCount - cell - 1);
        const std::uint64_t remaining = RemainingInputBytes(*input);
        if (count < 0 || count % 2 != 0 ||
            kDmeBytesPerEnd * static_cast<std::uint64_t>(count) + laterCounts > remaining) {
            return 0;
        }
        const std::size_t n = static_cast<std::size_t>(count);
        record.resize(kDmeBytesPerEnd * n);
        if (!ReadInputBytes(input, record.data(), record.size())) {
            return 0;
        }
        ReserveDexelRay(&ray, count);
        ray.count = count;
        for (std::size_t i = 0; i < n; ++i) {
            const double end = LoadLittleF64(record.data() + 8 * i);
            if (!std::isfinite(end) || (i > 0 && end < ray.ends[i - 1])) {
                return 0;
            }
            ray.ends[i] = end;
            ray.flags[i] = record[8 * n + i];
            ray.stamps[i] = LoadLittleI32(record.data() + 9 * n + 4 * i);
        }
        bounds->lowest = std::min(bounds->lowest, ray.ends[0]);
        bounds->highest = std::max(bounds->highest, ray.ends[n - 1]);
        ClipDexelCellToRange(&ray.count, ray.ends.data(), ray.flags.data(), ray.stamps.data(),
                             lower, upper);
        if (ray.count == 0) {
            bounds->aboveLower = 1;
            bounds->belowUpper = 1;
            continue;
        }
        if (ray.ends[0] > lower) {
            bounds->aboveLower = 1;
        }
        if (ray.ends[static_cast<std::size_t>(ray.count - 1)] < upper) {
            bounds->belowUpper = 1;
        }
        SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                     family->lineStamps, ray.ends.data(), ray.flags.data(), ray.stamps.data(),
                     ray.count);
    }
    return 1;
}

int WriteDexelFamily(std::FILE* stream, const DexelFamily& family) {
    std::vector<unsigned char> record;
    for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
        const std::int32_t count = family.counts[cell] > 0 ? family.counts[cell] : 0;
        const std::size_t n = static_cast<std::size_t>(count);
        record.resize(4 + kDmeBytesPerEnd * n);
        std::memcpy(record.data(), &count, 4);
        if (n > 0) {
            const double* ends = DexelCellEnds(cell, family.capacity, family.counts, family.ends);
            const std::uint8_t* flags =
                DexelCellFlags(cell, family.capacity, family.counts, family.flags);
            const std::int32_t* stamps =
                DexelCellStamps(cell, family.capacity, family.counts, family.lineStamps);
            std::memcpy(record.data() + 4, ends, 8 * n);
            std::memcpy(record.data() + 4 + 8 * n, flags, n);
            std::memcpy(record.data() + 4 + 9 * n, stamps, 4 * n);
        }
        if (!WriteOutputBytes(stream, record.data(), record.size())) {
            return 0;
        }
    }
    return 1;
}

int ReadDmeStock(StockModel* model, std::string_view path, std::string* problem) {
    FreeStockModel(model);
    BinaryInput input;
    errno = 0;
    if (!OpenBinaryInput(path, &input)) {
        NoteStockLoadProblem(
            problem, std::string(path) + ": " + DescribeFileError(errno != 0 ? errno : EINVAL));
        return AbandonStockLoad(model, kStockFileDataError);
    }
    std::setvbuf(input.stream, nullptr, _IOFBF, kDmeStreamBuffer);
    auto fail = [&](int code, const char* reason) {
        CloseBinaryInput(&input);
        NoteStockLoadProblem(problem, std::string(path) + ": " + reason);
        return AbandonStockLoad(model, code);
    };
    const char* const kCutShort = "the file ends inside its header";
    // 1. Header and frame.
    char header[12];
    if (!ReadInputBytes(&input, header, sizeof header)) {
        return fail(kStockFileDataError, kCutShort);
    }
    if (EqualIgnoringCase(std::string_view(header, 4), "V1.0")) {
        StockFrame frame;
        if (!ReadDoubles(&input, frame.values, 12)) {
            return fail(kStockFileDataError, kCutShort);
        }
        if (!IsPlacementFrame(frame)) {
            return fail(kStockFileDataError, "the placement frame is not a rotation");
        }
        SnapStockFrame(frame, &model->frame);
    } else {
        SetIdentityFrame(&model->frame);
    }
    // 2. Grid, checked against the file before anything is allocated.
    std::int32_t n[3] = {};
    double pitch = 0;
    double origin[3] = {};
    if (!ReadInputI32(&input, &n[0]) || !ReadInputI32(&input, &n[1]) ||
        !ReadInputI32(&input, &n[2]) || !ReadInputF64(&input, &pitch) ||
        !ReadDoubles(&input, origin, 3)) {
        return fail(kStockFileDataError, kCutShort);
    }
    // A pitch no stock is built with, or a grid beyond any machine's reach, is no stock of ours.
    const char* const kNoGrid = "the grid is not one of a stock";
    if (n[0] < 2 || n[1] < 2 || n[2] < 2 || !DexelPitchUsable(pitch)) {
        return fail(kStockFileDataError, kNoGrid);
    }
    for (int a = 0; a < 3; ++a) {
        if (!(std::fabs(origin[a]) <= kStockCoordinateLimit) ||
            !(std::fabs(origin[a] + (n[a] - 1) * pitch) <= kStockCoordinateLimit)) {
            return fail(kStockFileDataError, kNoGrid);
        }
    }
    const std::uint64_t nx = static_cast<std::uint64_t>(n[0]);
    const std::uint64_t ny = static_cast<std::uint64_t>(n[1]);
    const std::uint64_t nz = static_cast<std::uint64_t>(n[2]);
    const std::uint64_t cells = nx * ny + nx * nz + ny * nz;
    if (cells > RemainingInputBytes(input) / 4) {
        return fail(kStockFileDataError, "the file is shorter than its grid");
    }
    if (ExceedsGridCellLimit(n[0], n[1], n[2])) {
        return fail(kStockGridTooLarge, "the grid is too large");
    }
    model->nx = n[0];
    model->ny = n[1];
    model->nz = n[2];
    model->pitch = pitch;
    for (int a = 0; a < 3; ++a) {
        model->origin[a] = origin[a];
    }
    const int result = BuildLoadedGrid(model, false);
    if (result != 1) {
        return fail(result, "the grid does not fit in memory");
    }
    // 3. The families: Z, Y, X, each clipped to its own axis's grid range.
    for (int axis : {2, 1, 0}) {
        double lower = 0;
        double upper = 0;
        FamilyAxisBounds(*model, axis, &lower, &upper);
        DexelFamilyBounds bounds;
        if (!ReadDexelFamily(&input, DexelFamilyOfAxis(model, axis), lower, upper, &bounds)) {
            return fail(kStockFileDataError, "the material data is damaged or cut short");
        }
        StoreFamilyBounds(model, axis, bounds);
    }
    CloseBinaryInput(&input);
    return 1;
}

int WriteDmeStream(const StockModel& model, std::FILE* stream) {
    if (model.nx < 2 || model.z.counts == nullptr || model.x.counts == nullptr ||
        model.y.counts == nullptr || stream == nullptr) {
        return 0;
    }
    std::setvbuf(stream, nullptr, _IOFBF, kDmeStreamBuffer);
    unsigned char head[kDmeHeadBytes];
    std::memcpy(head, kDmeHeader, 12);
    std::memcpy(head + 12, model.frame.values, 96);
    const std::int32_t counts[3] = {model.nx, model.ny, model.nz};
    std::memcpy(head + 108, counts, 12);
    std::memcpy(head + 120, &model.pitch, 8);
    std::memcpy(head + 128, model.origin, 24);
    return WriteOutputBytes(stream, head, sizeof head) && WriteDexelFamily(stream, model.z) &&
           WriteDexelFamily(stream, model.y) && WriteDexelFamily(stream, model.x);
}

int WriteDmeFile(const StockModel& model, std::string_view path) {
    if (model.nx < 2 || model.z.counts == nullptr || model.x.counts == nullptr ||
        model.y.counts == nullptr) {
        return 0;
    }
    std::FILE* stream = OpenFileStream(path, "wb");
    if (stream == nullptr) {
        return 0;
    }
    int ok = WriteDmeStream(model, stream);
    if (CloseStream(stream) != 0) {
        ok = 0;
    }
    return ok;
}

}  // namespace mirexa
