// The view's PNG writer: 8-bit RGB through libpng, written to a temporary file that replaces the
// target only when the whole image was written.
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "view/snapshots.h"

namespace mirexa {

namespace {

// libpng reports errors here; the jump returns to the setjmp of WritePngRows.
void OnPngError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

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
    png_init_io(png, stream);
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
    // 2. A temporary file in the target's directory, so that the rename cannot cross devices.
    std::string temporary = std::string(path) + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        return kPngCannotCreate;
    }
    fchmod(descriptor, 0644);  // mkstemp makes the file private; a picture is for sharing
    std::FILE* stream = fdopen(descriptor, "wb");
    if (stream == nullptr) {
        close(descriptor);
        std::remove(temporary.c_str());
        return kPngCannotCreate;
    }
    // 3. The image; any failure of libpng or of the stream removes the temporary file.
    int ok = WritePngRows(stream, rows.data(), width, height);
    ok = (std::fflush(stream) == 0 && !std::ferror(stream)) ? ok : 0;
    ok = (std::fclose(stream) == 0) ? ok : 0;
    if (!ok || std::rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        return kPngWriteFailed;
    }
    return kPngWritten;
}

}  // namespace mirexa
