// Checked binary input measured against the file size, and little-endian field access.
#include "stockio/binary_file.h"

#include <sys/stat.h>

#include <bit>
#include <cstring>

#include "platform/write_faults.h"
#include "services/file_paths.h"

namespace mirexa {

static_assert(std::endian::native == std::endian::little,
              "the stock and mesh formats are read and written as the host's bytes");

int OpenBinaryInput(std::string_view path, BinaryInput* input) {
    *input = BinaryInput{};
    std::FILE* stream = OpenFileStream(path, "rb");
    if (stream == nullptr) {
        return 0;
    }
    struct stat info = {};
    if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        std::fclose(stream);
        return 0;
    }
    input->stream = stream;
    input->size = static_cast<std::uint64_t>(info.st_size);
    return 1;
}

void CloseBinaryInput(BinaryInput* input) {
    if (input->stream != nullptr) {
        std::fclose(input->stream);
    }
    *input = BinaryInput{};
}

std::uint64_t RemainingInputBytes(const BinaryInput& input) {
    return input.position < input.size ? input.size - input.position : 0;
}

int ReadInputBytes(BinaryInput* input, void* out, std::uint64_t n) {
    if (input->stream == nullptr || n > RemainingInputBytes(*input)) {
        return 0;
    }
    if (n == 0) {
        return 1;
    }
    std::size_t got = std::fread(out, 1, static_cast<std::size_t>(n), input->stream);
    input->position += got;
    return got == n ? 1 : 0;
}

int SkipInputBytes(BinaryInput* input, std::uint64_t n) {
    if (input->stream == nullptr || n > RemainingInputBytes(*input)) {
        return 0;
    }
    return SeekInput(input, input->position + n);
}

int SeekInput(BinaryInput* input, std::uint64_t offset) {
    if (input->stream == nullptr || offset > input->size ||
        fseeko(input->stream, static_cast<off_t>(offset), SEEK_SET) != 0) {
        return 0;
    }
    input->position = offset;
    return 1;
}

int ReadInputI32(BinaryInput* input, std::int32_t* out) {
    unsigned char bytes[4];
    if (!ReadInputBytes(input, bytes, 4)) {
        return 0;
    }
    *out = LoadLittleI32(bytes);
    return 1;
}

int ReadInputU32(BinaryInput* input, std::uint32_t* out) {
    unsigned char bytes[4];
    if (!ReadInputBytes(input, bytes, 4)) {
        return 0;
    }
    *out = LoadLittleU32(bytes);
    return 1;
}

int ReadInputF32(BinaryInput* input, float* out) {
    unsigned char bytes[4];
    if (!ReadInputBytes(input, bytes, 4)) {
        return 0;
    }
    *out = LoadLittleF32(bytes);
    return 1;
}

int ReadInputF64(BinaryInput* input, double* out) {
    unsigned char bytes[8];
    if (!ReadInputBytes(input, bytes, 8)) {
        return 0;
    }
    *out = LoadLittleF64(bytes);
    return 1;
}

std::uint32_t LoadLittleU32(const unsigned char* bytes) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

std::int32_t LoadLittleI32(const unsigned char* bytes) {
    std::int32_t value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

float LoadLittleF32(const unsigned char* bytes) {
    float value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

double LoadLittleF64(const unsigned char* bytes) {
    double value = 0;
    std::memcpy(&value, bytes, 8);
    return value;
}

std::uint32_t ReverseWordBytes(std::uint32_t word) {
    return ((word & 0xFFu) << 24) | ((word & 0xFF00u) << 8) | ((word >> 8) & 0xFF00u) |
           (word >> 24);
}

int WriteOutputBytes(std::FILE* stream, const void* bytes, std::uint64_t n) {
    if (stream == nullptr) {
        return 0;
    }
    return WriteStream(bytes, 1, static_cast<std::size_t>(n), stream) == n ? 1 : 0;
}

}  // namespace mirexa
