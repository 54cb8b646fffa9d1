// The RIFF AVI writer: fixed headers, "00db" frame chunks in the movie list, the idx1 index and
// the sizes set when the file is closed. Every write goes through the checked file calls.
#include "platform/avi_writer.h"

#include <sys/types.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_replacement.h"
#include "platform/write_faults.h"

namespace mirexa {

namespace {

// File offsets of the layout (bytes). The headers have a fixed size, so the movie list always
// starts at the same place.
constexpr std::uint32_t kRiffSizeAt = 4;
constexpr std::uint32_t kHeaderListSize = 192;  // "hdrl" + avih chunk + strl list
constexpr std::uint32_t kStreamListSize = 116;  // "strl" + strh chunk + strf chunk
constexpr std::uint32_t kMainHeaderSize = 56;
constexpr std::uint32_t kStreamHeaderSize = 56;
constexpr std::uint32_t kTotalFramesAt = 48;  // in the main header
constexpr std::uint32_t kStreamLengthAt = 140;
constexpr std::uint32_t kMovieListSizeAt = 216;
constexpr std::uint32_t kMovieTagAt = 220;
constexpr std::uint32_t kFirstChunkAt = 224;
constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyFrame = 0x10;
constexpr std::uint64_t kAviHardSizeLimit = 0x7FFFFFFF;

// Little-endian byte builder of the headers.
struct ByteBuilder {
    std::uint8_t bytes[kFirstChunkAt] = {};
    std::size_t used = {};
    void Tag(const char* fourcc) {
        std::memcpy(bytes + used, fourcc, 4);
        used += 4;
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes[used++] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    void U16(std::uint16_t v) {
        bytes[used++] = static_cast<std::uint8_t>(v);
        bytes[used++] = static_cast<std::uint8_t>(v >> 8);
    }
};

void PutU32(std::uint8_t* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

bool WriteBytes(AviFileWriter* w, const void* bytes, std::size_t count) {
    return count == 0 || WriteStream(bytes, 1, count, w->file) == count;
}

bool SeekTo(AviFileWriter* w, std::uint64_t offset) {
    return fseeko(w->file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool PatchU32(AviFileWriter* w, std::uint64_t offset, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutU32(bytes, value);
    return SeekTo(w, offset) && WriteBytes(w, bytes, 4);
}

// The size of the finished file with `frames` frames: headers, chunks and the index.
std::uint64_t FinishedSize(const AviFileWriter& w, std::uint64_t frames) {
    return kFirstChunkAt + frames * (8 + std::uint64_t{w.frameBytes}) + 8 +
           frames * kAviIndexEntrySize;
}

}  // namespace

int OpenAviFile(AviFileWriter* writer, const char* path, std::uint64_t sizeLimit) {
    if (writer == nullptr || path == nullptr || path[0] == '\0') {
        return kAviBadArguments;
    }
    *writer = AviFileWriter{};
    // The recording goes to a temporary file beside the target; an earlier recording of that
    // name stays until the new one is finished.
    if (!BeginFileReplacement(path, &writer->replacement, -1, FileLinks::Replace)) {
        return kAviCannotCreate;
    }
    writer->file = OpenFileReplacementStream(&writer->replacement);
    if (writer->file == nullptr) {
        return kAviCannotCreate;
    }
    writer->path = path;
    // Sizes in the file are 32-bit, and readers take them as signed.
    writer->sizeLimit = sizeLimit < kAviHardSizeLimit ? sizeLimit : kAviHardSizeLimit;
    return kAviOk;
}

int WriteAviHeaders(AviFileWriter* w, int width, int height, std::uint32_t rate,
                    std::uint32_t scale) {
    if (w == nullptr || w->file == nullptr || w->headersWritten || width < 1 || height < 1 ||
        width > 32767 || height > 32767 || rate < 1 || scale < 1) {
        return kAviBadArguments;
    }
    const int stride = (width * 3 + 3) / 4 * 4;
    const std::uint64_t frameBytes = std::uint64_t(stride) * std::uint64_t(height);
    w->width = width;
    w->height = height;
    w->stride = stride;
    w->frameBytes = static_cast<std::uint32_t>(frameBytes);
    w->rate = rate;
    w->scale = scale;
    if (frameBytes > 0xFFFFFFF0u || FinishedSize(*w, 1) > w->sizeLimit) {
        return kAviBadArguments;
    }
    const std::uint64_t perSecond = frameBytes * rate / scale;
    ByteBuilder b;
    b.Tag("RIFF");
    b.U32(0);  // set when closed
    b.Tag("AVI ");
    b.Tag("LIST");
    b.U32(kHeaderListSize);
    b.Tag("hdrl");
    // Main header.
    b.Tag("avih");
    b.U32(kMainHeaderSize);
    b.U32(static_cast<std::uint32_t>(std::uint64_t{1000000} * scale / rate));  // us per frame
    b.U32(perSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(perSecond));
    b.U32(0);  // padding granularity
    b.U32(kAvifHasIndex);
    b.U32(0);  // total frames: set when closed
    b.U32(0);  // initial frames
    b.U32(1);  // streams
    b.U32(w->frameBytes);
    b.U32(static_cast<std::uint32_t>(width));
    b.U32(static_cast<std::uint32_t>(height));
    for (int i = 0; i < 4; ++i) {
        b.U32(0);
    }
    // Stream list: header and format.
    b.Tag("LIST");
    b.U32(kStreamListSize);
    b.Tag("strl");
    b.Tag("strh");
    b.U32(kStreamHeaderSize);
    b.Tag("vids");
    b.Tag("DIB ");  // uncompressed device-independent bitmaps
    b.U32(0);       // flags
    b.U16(0);       // priority
    b.U16(0);       // language
    b.U32(0);       // initial frames
    b.U32(scale);
    b.U32(rate);
    b.U32(0);  // start
    b.U32(0);  // length: set when closed
    b.U32(w->frameBytes);
    b.U32(0xFFFFFFFFu);  // quality: the default
    b.U32(0);            // sample size: frames vary in principle
    b.U16(0);            // frame rectangle: left, top, right, bottom
    b.U16(0);
    b.U16(static_cast<std::uint16_t>(width));
    b.U16(static_cast<std::uint16_t>(height));
    b.Tag("strf");
    b.U32(kAviBitmapHeaderSize);
    b.U32(kAviBitmapHeaderSize);
    b.U32(static_cast<std::uint32_t>(width));
    b.U32(static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    b.U16(1);                                   // planes
    b.U16(24);                                  // bits per pixel
    b.U32(0);                                   // BI_RGB: uncompressed
    b.U32(w->frameBytes);
    b.U32(0);  // pixels per metre, x and y
    b.U32(0);
    b.U32(0);  // colours used, important
    b.U32(0);
    b.Tag("LIST");
    b.U32(4);  // the movie list's size: set when closed
    b.Tag("movi");
    if (!WriteBytes(w, b.bytes, b.used)) {
        w->failed = 1;
        return kAviWriteFailed;
    }
    w->headersWritten = 1;
    w->movieStart = kMovieTagAt;
    w->endOffset = kFirstChunkAt;
    return kAviOk;
}

int AppendAviFrame(AviFileWriter* w, const std::uint8_t* pixels, std::size_t size) {
    if (w == nullptr || w->file == nullptr || !w->headersWritten || w->failed ||
        pixels == nullptr || size < w->frameBytes) {
        return kAviBadArguments;
    }
    if (FinishedSize(*w, w->frameOffsets.size() + 1) > w->sizeLimit) {
        return kAviSizeLimit;
    }
    std::uint8_t header[8] = {'0', '0', 'd', 'b'};
    PutU32(header + 4, w->frameBytes);
    if (!SeekTo(w, w->endOffset) || !WriteBytes(w, header, 8) ||
        !WriteBytes(w, pixels, w->frameBytes)) {
        w->failed = 1;
        return kAviWriteFailed;
    }
    w->frameOffsets.push_back(static_cast<std::uint32_t>(w->endOffset - w->movieStart));
    w->endOffset += 8 + std::uint64_t{w->frameBytes};
    return kAviOk;
}

int CloseAviFile(AviFileWriter* w) {
    if (w == nullptr || w->file == nullptr) {
        return kAviBadArguments;
    }
    if (!w->headersWritten) {
        AbandonFileReplacement(&w->replacement);
        *w = AviFileWriter{};
        return kAviOk;
    }
    // 1. The index behind the last whole frame (a partial frame after a failure is overwritten
    // and cut off).
    const std::uint32_t frames = CountAviFrames(*w);
    std::vector<std::uint8_t> index(8 + std::size_t{frames} * kAviIndexEntrySize);
    std::memcpy(index.data(), "idx1", 4);
    PutU32(index.data() + 4, frames * kAviIndexEntrySize);
    for (std::uint32_t i = 0; i < frames; ++i) {
        std::uint8_t* entry = index.data() + 8 + std::size_t{i} * kAviIndexEntrySize;
        std::memcpy(entry, "00db", 4);
        PutU32(entry + 4, kAviifKeyFrame);
        PutU32(entry + 8, w->frameOffsets[i]);
        PutU32(entry + 12, w->frameBytes);
    }
    const std::uint64_t total = w->endOffset + index.size();
    bool ok = SeekTo(w, w->endOffset) && WriteBytes(w, index.data(), index.size());
    // 2. Nothing after the index.
    ok = ok && FlushStream(w->file) == 0 &&
         ftruncate(fileno(w->file), static_cast<off_t>(total)) == 0;
    // 3. Sizes and counts.
    ok = ok && PatchU32(w, kRiffSizeAt, static_cast<std::uint32_t>(total - 8)) &&
         PatchU32(w, kTotalFramesAt, frames) && PatchU32(w, kStreamLengthAt, frames) &&
         PatchU32(w, kMovieListSizeAt, static_cast<std::uint32_t>(w->endOffset - kMovieTagAt));
    // 4. The finished recording (its whole frames) takes the target's place; when finishing
    // failed (a full disk) it is removed and the earlier recording of the name stays.
    if (ok) {
        ok = FinishFileReplacement(&w->replacement, 0) != 0;
    } else {
        AbandonFileReplacement(&w->replacement);
    }
    *w = AviFileWriter{};
    return ok ? kAviOk : kAviWriteFailed;
}

}  // namespace mirexa
