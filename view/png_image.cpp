// The view's PNG writer: 8-bit RGB through libpng, written to a temporary file that replaces the
// target only when the whole image was written.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_replacement.h"
#include "platform/write_faults.h"
#include "view/snapshots.h"

namespace mirexa {

namespace {

// libpng reports errors here; the jump returns to the setjmp of WritePngRows.
void OnPngError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// libpng's writes and flushes go through the write-fault seam; a failure is a libpng error.
void WritePngBytes(png_structp png, png_bytep bytes, png_size_t count) {
    auto* stream = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (WriteStream(bytes, 1, count, stream) != count) {
        png_error(png, "write failed");
    }
}

void FlushPngBytes(png_structp png) {
    if (FlushStream(static_cast<std::FILE*>(png_get_io_ptr(png))) != 0) {
        png_error(png, "flush failed");
    }
}

// Writes the rows to the open stream. 1, or 0 when libpng reported an error.
int WritePngRows(std::FILE* stream, png_bytepp rows, int width, int height) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return 0;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, stream, WritePngBytes, FlushPngBytes);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return 1;
}

}  // namespace

int SavePngImage(const char* path, const std::uint8_t* pixels, int stride, int width, int height) {
    if (path == nullptr || path[0] == '\0' || pixels == nullptr || width < 1 || height < 1 ||
        stride < width * 3) {
        return kPngBadArguments;
    }
    // 1. The rows from the top down: PNG row i is buffer row height - 1 - i.
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int i = 0; i < height; ++i) {
        rows[static_cast<std::size_t>(i)] = const_cast<png_bytep>(
            pixels + static_cast<std::size_t>(height - 1 - i) * static_cast<std::size_t>(stride));
    }
    // 2. A temporary file of its own in the target's directory, so that the rename cannot cross
    // devices and no planted file is followed; the name is fixed ("tmp.png"), so a link planted
    // under it is replaced, never followed into the file it leads to.
    FileReplacement replacement;
    std::FILE* stream = BeginFileReplacement(path, &replacement, -1, FileLinks::Replace)
                            ? OpenFileReplacementStream(&replacement)
                            : nullptr;
    if (stream == nullptr) {
        return kPngCannotCreate;
    }
    // 3. The image; any failure of libpng or of the stream removes the temporary file.
    if (!WritePngRows(stream, rows.data(), width, height)) {
        AbandonFileReplacement(&replacement);
        return kPngWriteFailed;
    }
    if (!FinishFileReplacement(&replacement, 0)) {
        return kPngWriteFailed;
    }
    return kPngWritten;
}

}  // namespace mirexa
