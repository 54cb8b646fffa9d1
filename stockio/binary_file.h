// Checked binary input for the stock and mesh readers: every read is measured against the bytes
// the file still holds, so a count or size taken from an untrusted file can be tested before
// anything is allocated for it, and a short file is seen as such instead of being read past.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace mirexa {

// An open file read from the start. All numbers of our binary formats are little-endian; the
// Read helpers convert them for the host.
struct BinaryInput {
    std::FILE* stream = {};
    std::uint64_t size = {};      // bytes in the file when it was opened
    std::uint64_t position = {};  // bytes consumed so far
};

// Opens the file for binary reading (OpenFileStream, so a name differing in case is found) and
// takes its size from the open stream. 1, or 0 with the record zeroed when it cannot be opened
// or is not a regular file.
int OpenBinaryInput(std::string_view path, BinaryInput* input);
// Closes the stream (null-safe) and zeroes the record.
void CloseBinaryInput(BinaryInput* input);

// Bytes between the position and the recorded size (0 when the position is beyond it).
std::uint64_t RemainingInputBytes(const BinaryInput& input);

// Reads exactly n bytes. 1 when all arrived; 0 when fewer remain by the recorded size or the
// stream delivered fewer (the file shrank): the position is then unreliable and the caller
// stops reading.
int ReadInputBytes(BinaryInput* input, void* out, std::uint64_t n);
// Skips n bytes with the same rule.
int SkipInputBytes(BinaryInput* input, std::uint64_t n);
// Moves to an absolute offset within the recorded size. 1, or 0 when it lies beyond it or the
// stream refuses.
int SeekInput(BinaryInput* input, std::uint64_t offset);

// Little-endian fields; each returns what ReadInputBytes returns and leaves *out unchanged on
// failure.
int ReadInputI32(BinaryInput* input, std::int32_t* out);
int ReadInputU32(BinaryInput* input, std::uint32_t* out);
int ReadInputF32(BinaryInput* input, float* out);
int ReadInputF64(BinaryInput* input, double* out);

// Little-endian fields out of a byte buffer (no alignment needed).
std::uint32_t LoadLittleU32(const unsigned char* bytes);
std::int32_t LoadLittleI32(const unsigned char* bytes);
float LoadLittleF32(const unsigned char* bytes);
double LoadLittleF64(const unsigned char* bytes);
// The 32-bit word with its four bytes reversed.
std::uint32_t ReverseWordBytes(std::uint32_t word);

// Writes n bytes; 1 when all were written. A null stream writes nothing and gives 0.
int WriteOutputBytes(std::FILE* stream, const void* bytes, std::uint64_t n);

}  // namespace mirexa
