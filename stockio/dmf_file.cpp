// Reading ".DMF" height-map stock files: the head and data size checked against the file, the
// highest height found in a first pass, the Z rays filled in a second, the sides from profiles.
#include "stockio/dmf_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "stock/grid_node_index.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "stockio/binary_file.h"
#include "stockio/dexel_reconcile.h"
#include "stockio/height_profiles.h"
#include "stockio/stock_loading.h"

namespace mirexa {

namespace {

// One height in the file's encoding: an f32 when the scale is 0, else an i32 times the scale.
// The double value is the product itself; the value stored in rays is it rounded to f32.
double DecodeHeight(const unsigned char* bytes, double scale) {
    if (scale == 0.0) {
        return LoadLittleF32(bytes);
    }
    return static_cast<double>(LoadLittleI32(bytes)) * scale;
}

bool IsFiniteHeight(double value) {
    return std::isfinite(value) && std::isfinite(static_cast<float>(value));
}

// Where the parts of the data section start, from the head's fields.
struct DmfDataLayout {
    std::uint64_t heights = {};  // values in each part
    std::uint64_t flagsStart = {};
    std::uint64_t stampsStart = {};
    std::uint64_t bottomStart = {};
    bool hasFlags = {};
    bool hasStamps = {};
};

DmfDataLayout LayOutDmfData(std::uint64_t heights, std::int32_t layers) {
    DmfDataLayout layout;
    layout.heights = heights;
    layout.hasFlags = layers >= 1;
    layout.hasStamps = layers >= 2;
    layout.flagsStart = kDmfHeadBytes + 4 * heights;
    layout.stampsStart = layout.flagsStart + (layout.hasFlags ? heights : 0);
    layout.bottomStart = layout.stampsStart + (layout.hasStamps ? 4 * heights : 0) + 8;
    return layout;
}

// Reads count heights starting at offset into out (as f32 values); false on a short read or a
// non-finite height.
bool ReadHeightRow(BinaryInput* input, std::uint64_t offset, int count, double scale,
                   std::vector<unsigned char>* bytes, float* out) {
    bytes->resize(4 * static_cast<std::size_t>(count));
    if (!SeekInput(input, offset) || !ReadInputBytes(input, bytes->data(), bytes->size())) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const double h = DecodeHeight(bytes->data() + 4 * i, scale);
        if (!IsFiniteHeight(h)) {
            return false;
        }
        out[i] = static_cast<float>(h);
    }
    return true;
}

}  // namespace

int ReadDmfStock(StockModel* model, std::string_view path, const StockFrame& frame) {
    FreeStockModel(model);
    BinaryInput input;
    if (!OpenBinaryInput(path, &input)) {
        return AbandonStockLoad(model, kStockFileDataError);
    }
    auto fail = [&](int code) {
        CloseBinaryInput(&input);
        return AbandonStockLoad(model, code);
    };
    SnapStockFrame(frame, &model->frame);
    // 1. Head.
    unsigned char head[kDmfHeadBytes];
    if (!ReadInputBytes(&input, head, sizeof head)) {
        return fail(kStockFileDataError);
    }
    double values[12];
    for (int i = 0; i < 12; ++i) {
        values[i] = LoadLittleF64(head + 16 + 8 * i);
    }
    const std::int32_t nx = LoadLittleI32(head + 112);
    const std::int32_t ny = LoadLittleI32(head + 116);
    const double pitch = LoadLittleF64(head + 124);
    const double scale = LoadLittleF64(head + 140);
    const std::int32_t layers = LoadLittleI32(head + 148);
    const bool single = LoadLittleI32(head + 152) != 0;
    static const double kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const bool identity = std::equal(values, values + 9, kIdentity);
    const double x0 = identity ? values[9] : values[3];
    const double y0 = identity ? values[10] : values[7];
    // A pitch no stock is built with, or a grid beyond any machine's reach, is no stock of ours.
    auto within = [](double value) { return std::fabs(value) <= kStockCoordinateLimit; };
    if (nx < 2 || ny < 2 || !DexelPitchUsable(pitch) || !std::isfinite(scale) || !within(x0) ||
        !within(y0) || !within(x0 + (nx - 1) * pitch) || !within(y0 + (ny - 1) * pitch)) {
        return fail(kStockFileDataError);
    }
    const std::uint64_t cellsXY = static_cast<std::uint64_t>(nx) * static_cast<std::uint64_t>(ny);
    // Each height takes 4 bytes: a count the file cannot hold is refused before any sum of
    // sizes could overflow.
    if (!single && cellsXY > input.size / 4) {
        return fail(kStockFileDataError);
    }
    const DmfDataLayout layout = LayOutDmfData(single ? 1 : cellsXY, layers);
    if (layout.bottomStart + 4 > input.size) {
        return fail(kStockFileDataError);
    }
    // 2. First pass: the highest height and the bottom.
    std::vector<unsigned char> bytes;
    std::vector<float> row(static_cast<std::size_t>(single ? 1 : nx));
    const int rows = single ? 1 : ny;
    const int rowLength = single ? 1 : nx;
    double highest = -99999999999.0;
    for (int iy = 0; iy < rows; ++iy) {
        const std::uint64_t offset = kDmfHeadBytes + 4 * static_cast<std::uint64_t>(iy) * rowLength;
        if (!ReadHeightRow(&input, offset, rowLength, scale, &bytes, row.data())) {
            return fail(kStockFileDataError);
        }
        for (float h : row) {
            highest = std::max(highest, static_cast<double>(h));
        }
    }
    unsigned char bottomBytes[4];
    if (!SeekInput(&input, layout.bottomStart) || !ReadInputBytes(&input, bottomBytes, 4)) {
        return fail(kStockFileDataError);
    }
    const double bottom = DecodeHeight(bottomBytes, scale);
    if (!IsFiniteHeight(bottom) || !within(bottom) || !within(highest)) {
        return fail(kStockFileDataError);
    }
    const float bottomEnd = static_cast<float>(bottom);
    // 3. Grid: nz from the height range, at least 2 nodes.
    double nz = NodeIndexAtOrAbove(highest, bottom, pitch) + 1.0;
    if (!(nz >= 2.0)) {
        nz = 2.0;
    }
    if (!(nz <= 2147483647.0) || !std::isfinite(bottom + (nz - 1) * pitch)) {
        return fail(kStockGridTooLarge);
    }
    if (ExceedsGridCellLimit(nx, ny, static_cast<std::int32_t>(nz))) {
        return fail(kStockGridTooLarge);
    }
    model->nx = nx;
    model->ny = ny;
    model->nz = static_cast<std::int32_t>(nz);
    model->pitch = pitch;
    model->origin[0] = x0;
    model->origin[1] = y0;
    model->origin[2] = bottom;
    const int result = BuildLoadedGrid(model, false);
    if (result != 1) {
        return fail(result);
    }
    model->minCorner[0] = x0;
    model->minCorner[1] = y0;
    model->minCorner[2] = bottom;
    model->maxCorner[0] = model->nodesX[nx - 1];
    model->maxCorner[1] = model->nodesY[ny - 1];
    model->maxCorner[2] = highest;
    // 4. Second pass: one interval (bottom, height) per Z ray, with the node's flag and stamp on
    // its top end as the layers field provides them.
    std::vector<unsigned char> flagRow;
    std::vector<unsigned char> stampRow;
    double ends[2] = {bottomEnd, 0.0};
    std::uint8_t flags[2] = {};
    std::int32_t stamps[2] = {};
    for (int iy = 0; iy < ny; ++iy) {
        const int source = single ? 0 : iy;
        const std::uint64_t first = static_cast<std::uint64_t>(source) * rowLength;
        if (!ReadHeightRow(&input, kDmfHeadBytes + 4 * first, rowLength, scale, &bytes,
                           row.data())) {
            return fail(kStockFileDataError);
        }
        flagRow.assign(static_cast<std::size_t>(rowLength), 0);
        stampRow.assign(4 * static_cast<std::size_t>(rowLength), 0);
        if ((layout.hasFlags && (!SeekInput(&input, layout.flagsStart + first) ||
                                 !ReadInputBytes(&input, flagRow.data(), flagRow.size()))) ||
            (layout.hasStamps && (!SeekInput(&input, layout.stampsStart + 4 * first) ||
                                  !ReadInputBytes(&input, stampRow.data(), stampRow.size())))) {
            return fail(kStockFileDataError);
        }
        for (int ix = 0; ix < nx; ++ix) {
            const int k = single ? 0 : ix;
            ends[1] = row[static_cast<std::size_t>(k)];
            flags[1] = flagRow[static_cast<std::size_t>(k)];
            stamps[1] = LoadLittleI32(stampRow.data() + 4 * k);
            SetDexelCellByAxis(model, 2, ix, iy, ends, flags, stamps, 2);
        }
    }
    CloseBinaryInput(&input);
    // 5. Sides from the heights, then the Z rays whose height lies below the bottom emptied.
    if (!BuildSideFamiliesFromHeights(model, 1)) {
        return AbandonStockLoad(model, kStockGridTooLarge);
    }
    const DexelFamily& z = model->z;
    for (std::int64_t cell = 0; cell < z.cellCount; ++cell) {
        const double* e = DexelCellEnds(cell, z.capacity, z.counts, z.ends);
        if (z.counts[cell] == 2 && e[0] > e[1]) {
            SetDexelCell(cell, z.capacity, z.counts, z.ends, z.flags, z.lineStamps, nullptr,
                         nullptr, nullptr, 0);
        }
    }
    *model->faceFlags = StockFaceFlags{{1, 1, 1, 1, 0, 1}};
    return 1;
}

}  // namespace mirexa
