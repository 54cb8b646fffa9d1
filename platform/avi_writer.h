// A small RIFF AVI writer: one video stream of uncompressed 24-bit bottom-up frames (BI_RGB,
// rows padded to 4 bytes, blue-green-red), written as "00db" chunks with an idx1 index, in the
// plain RIFF form that standard players and ffprobe open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_replacement.h"

namespace mirexa {

// A plain RIFF file must stay below 2 GB (sizes are 32-bit and many readers take them as
// signed); 1 GB keeps a wide margin.
inline constexpr std::uint64_t kAviDefaultSizeLimit = std::uint64_t{1} << 30;

// Byte sizes of the fixed parts of the layout.
inline constexpr std::uint32_t kAviBitmapHeaderSize = 40;  // the "strf" chunk of the stream
inline constexpr std::uint32_t kAviIndexEntrySize = 16;

// Return codes.
inline constexpr int kAviOk = 1;
inline constexpr int kAviBadArguments = 0;
inline constexpr int kAviCannotCreate = -1;  // the file could not be created
inline constexpr int kAviWriteFailed = -2;   // a write, seek or close failed
inline constexpr int kAviSizeLimit = -3;     // the frame would take the file past its limit

// One file being written. Fields are the writer's; callers read them.
struct AviFileWriter {
    FileReplacement replacement = {};  // the temporary file beside the target
    std::FILE* file = {};              // its stream (owned by the replacement)
    std::string path = {};
    int width = {};                 // pixels
    int height = {};                // pixels
    int stride = {};                // bytes per row: width * 3 rounded up to a multiple of 4
    std::uint32_t frameBytes = {};  // stride * height
    std::uint32_t scale = 1;        // frame rate = rate / scale frames per second
    std::uint32_t rate = 1;
    std::uint64_t sizeLimit = kAviDefaultSizeLimit;  // bytes the finished file may take at most
    int headersWritten = {};
    int failed = {};                // a write failed: nothing more is written into the movie list
    std::uint64_t movieStart = {};  // file offset of the "movi" tag
    std::uint64_t endOffset = {};   // file offset behind the last whole frame
    std::vector<std::uint32_t> frameOffsets = {};  // of each frame chunk, from the "movi" tag
};

// Starts a recording into path that must stay within sizeLimit bytes: the frames go to a
// temporary file beside it (FileReplacement), and an earlier file of that name stays as it is
// until CloseAviFile renames the finished recording over it. Nothing is written until
// WriteAviHeaders. kAviOk, kAviBadArguments for an empty path, or
// kAviCannotCreate.
int OpenAviFile(AviFileWriter* writer, const char* path,
                std::uint64_t sizeLimit = kAviDefaultSizeLimit);

// Fixes the frame format and writes the headers with zero frames: width x height pixels (1 ..
// 32,767 each, stride * height below the size limit), rate / scale frames per second (both
// >= 1). kAviOk, kAviBadArguments (also when one frame would not fit the size limit), or
// kAviWriteFailed (the writer is then marked failed).
int WriteAviHeaders(AviFileWriter* writer, int width, int height, std::uint32_t rate,
                    std::uint32_t scale);

// Appends one frame of frameBytes bytes (bottom row first, rows stride bytes apart) as a key
// frame. kAviOk; kAviSizeLimit when the finished file would pass the size limit with it (nothing
// is written); kAviWriteFailed when the write failed (the partial chunk is dropped when the file
// is closed); kAviBadArguments without headers, with a short buffer, or after a failure.
int AppendAviFrame(AviFileWriter* writer, const std::uint8_t* pixels, std::size_t size);

// Finishes and closes the file: writes the index of the whole frames behind the last of them,
// cuts off anything after it, sets the sizes and frame counts of the headers and renames the
// recording over the target. A recording whose headers were never written is removed. The
// writer is reset. kAviOk, or kAviWriteFailed when finishing failed: the recording is then
// removed and the earlier file of the name is kept.
int CloseAviFile(AviFileWriter* writer);

// Frames written so far.
inline std::uint32_t CountAviFrames(const AviFileWriter& writer) {
    return static_cast<std::uint32_t>(writer.frameOffsets.size());
}

}  // namespace mirexa
