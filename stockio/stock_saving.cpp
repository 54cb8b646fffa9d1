// Stock saving: dispatch by the path's ending, the STL head, surface and count, written through
// a replacement of the file that keeps the previous file when anything fails.
#include "stockio/stock_saving.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>
#include <string>

#include "platform/file_replacement.h"
#include "platform/text.h"
#include "services/file_paths.h"
#include "stockio/dme_file.h"
#include "stockio/stl_files.h"
#include "stockio/surface_extraction.h"

namespace mirexa {

namespace {

// Bytes of the output buffer of an STL file.
constexpr std::size_t kStlStreamBuffer = 1 << 20;

// The code a sink returns when the stream refused a facet.
constexpr int kSinkWriteFailed = -100;

// 1 when the last four characters of the path equal the ending, ignoring case.
bool PathEndsWith(std::string_view path, std::string_view ending) {
    return path.size() >= ending.size() &&
           EqualIgnoringCase(path.substr(path.size() - ending.size()), ending) != 0;
}

// The STL file being written and the facets written to it.
struct StlSink {
    StlWriterState* state = {};
    int count = {};
};

int WriteStlSinkFacet(void* context, const MeshFacet& facet) {
    auto* sink = static_cast<StlSink*>(context);
    if (sink->count == INT_MAX) {
        errno = EFBIG;  // the count field could not hold another facet
        return kSinkWriteFailed;
    }
    const double* v = &facet.vertices[0][0];
    if (facet.normalGiven) {
        if (WriteStlFacet(sink->state, facet.normal, v, v + 3, v + 6) != 1) {
            return kSinkWriteFailed;
        }
        ++sink->count;
        return 1;
    }
    const int result = WriteStlFacetAuto(sink->state, &sink->count, v, v + 3, v + 6);
    return result < 0 ? kSinkWriteFailed : result;
}

// Writes the surface to the open stream. kStockSaveDone or a failure code.
int WriteStlStock(const StockModel& model, std::FILE* stream, int writeMode, int relative,
                  const double origin[3], int threads) {
    StlWriterState state;
    state.writeMode = writeMode;
    state.stream = stream;
    // An origin of exactly zero makes the relative form the plain one.
    const bool zeroOrigin =
        origin == nullptr || (origin[0] == 0.0 && origin[1] == 0.0 && origin[2] == 0.0);
    state.relative = relative != 0 && !zeroOrigin ? 1 : 0;
    if (state.relative) {
        for (int i = 0; i < 3; ++i) {
            state.origin[i] = origin[i];
        }
    }
    if (!BeginStlFile(&state)) {
        return kStockSaveWriteError;
    }
    StlSink sink;
    sink.state = &state;
    MeshExtractionOptions options;
    options.threads = threads;
    const std::int64_t result = ExtractStockMesh(model, {WriteStlSinkFacet, &sink}, options);
    if (result == kMeshExtractionNoModel) {
        return kStockSaveNoModel;
    }
    if (result == kMeshExtractionNoMemory) {
        return kStockSaveNoMemory;
    }
    if (result < 0) {
        return state.notFinite ? kStockSaveNotFinite : kStockSaveWriteError;
    }
    return FinishStlFile(&state, sink.count) ? kStockSaveDone : kStockSaveWriteError;
}

}  // namespace

int SaveStockFile(const StockModel& model, std::string_view path, int writeMode, int relative,
                  const double origin[3], int threads) {
    const bool dme = PathEndsWith(path, ".DME");
    const bool stl = !dme && PathEndsWith(path, ".STL");
    if (!dme && !stl) {
        return kStockSaveNotStockPath;
    }
    if (model.nx < 2 || model.ny < 2 || model.nz < 2 || model.x.counts == nullptr ||
        model.y.counts == nullptr || model.z.counts == nullptr) {
        return kStockSaveNoModel;
    }
    if (stl && writeMode != kStlWriteAscii && writeMode != kStlWriteBinary &&
        writeMode != kStlWriteSwapped) {
        writeMode = kStlWriteBinary;
    }
    const std::string target = ConvertPathSeparators(path);
    // A file of its own beside the target: an unwritable path is told apart from a failed write,
    // and two saves to one name never write into each other's bytes.
    FileReplacement replacement;
    std::FILE* stream = BeginFileReplacement(target, &replacement)
                            ? OpenFileReplacementStream(&replacement)
                            : nullptr;
    if (stream == nullptr) {
        return kStockSaveOpenError;
    }
    int result = kStockSaveWriteError;
    // Memory that runs out in a writer (a record's buffer, the surface's work) fails the save.
    try {
        if (dme) {
            result = WriteDmeStream(model, stream) == 1 ? kStockSaveDone : kStockSaveWriteError;
        } else {
            std::setvbuf(stream, nullptr, _IOFBF, kStlStreamBuffer);
            result = WriteStlStock(model, stream, writeMode, relative, origin, threads);
        }
    } catch (const std::bad_alloc&) {
        result = kStockSaveNoMemory;
    }
    if (result != kStockSaveDone) {
        AbandonFileReplacement(&replacement);
    } else if (!FinishFileReplacement(&replacement, 0)) {
        result = kStockSaveWriteError;
    }
    return result;
}

}  // namespace mirexa
