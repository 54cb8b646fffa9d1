// The AVI writer against an independent reader of the RIFF layout: sizes, counts, rate, the
// 40-byte format, the index, and frames that come back byte for byte; the size limit and failed
// writes end a file that still reads whole.
#include "platform/avi_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/write_faults.h"
#include "support/avi_file_reader.h"
#include "support/scratch_directory.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::AviFileFacts;
using testing::ReadAviFile;

class AviWriterTest : public ::testing::Test {
protected:
    void TearDown() override {
        DisarmWriteFaults();
    }
    std::string At(const std::string& name) const {
        return directory_.At(name);
    }
    // A frame whose every byte tells its frame, row and byte position apart.
    static std::vector<std::uint8_t> Frame(const AviFileWriter& w, int index) {
        std::vector<std::uint8_t> bytes(w.frameBytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(index) * 31);
        }
        return bytes;
    }
    testing::ScratchDirectory directory_;
};

TEST_F(AviWriterTest, AFileReadsBackWithItsHeadersIndexAndFrames) {
    // Widths whose rows need padding (101 * 3 = 303 -> 304) and none (4 * 3 = 12).
    for (const int width : {101, 4}) {
        SCOPED_TRACE(width);
        const std::string path = At("frames.avi");
        AviFileWriter w;
        ASSERT_EQ(OpenAviFile(&w, path.c_str()), kAviOk);
        ASSERT_EQ(WriteAviHeaders(&w, width, 7, 5, 1), kAviOk);
        EXPECT_EQ(w.stride, width == 101 ? 304 : 12);
        std::vector<std::vector<std::uint8_t>> written;
        for (int i = 0; i < 3; ++i) {
            written.push_back(Frame(w, i));
            ASSERT_EQ(AppendAviFrame(&w, written.back().data(), written.back().size()), kAviOk);
        }
        EXPECT_EQ(CountAviFrames(w), 3u);
        const std::uint32_t stride = static_cast<std::uint32_t>(w.stride);
        ASSERT_EQ(CloseAviFile(&w), kAviOk);
        EXPECT_EQ(w.file, nullptr);

        const AviFileFacts f = ReadAviFile(path);
        EXPECT_TRUE(f.problems.empty()) << ::testing::PrintToString(f.problems);
        EXPECT_EQ(f.totalFrames, 3u);
        EXPECT_EQ(f.indexEntries, 3u);
        EXPECT_EQ(f.rate, 5u);
        EXPECT_EQ(f.scale, 1u);
        EXPECT_EQ(f.formatSize, kAviBitmapHeaderSize);
        EXPECT_EQ(f.width, width);
        EXPECT_EQ(f.height, 7);
        EXPECT_EQ(f.bitCount, 24);
        EXPECT_EQ(f.compression, 0u);
        EXPECT_EQ(f.imageSize, stride * 7);
        EXPECT_EQ(f.frames, written);
        // Headers 224 bytes, three chunks with their 8-byte heads, the index.
        EXPECT_EQ(f.fileSize, 224 + 3 * (8 + stride * 7) + 8 + 3 * 16);
    }
}

TEST_F(AviWriterTest, BadFormatsAndCallsOutOfOrderAreRefused) {
    AviFileWriter w;
    EXPECT_EQ(OpenAviFile(&w, ""), kAviBadArguments);
    EXPECT_EQ(OpenAviFile(&w, At("missing/dir/x.avi").c_str()), kAviCannotCreate);
    ASSERT_EQ(OpenAviFile(&w, At("bad.avi").c_str()), kAviOk);
    const std::uint8_t pixel[16] = {};
    EXPECT_EQ(AppendAviFrame(&w, pixel, sizeof pixel), kAviBadArguments);  // no headers yet
    EXPECT_EQ(WriteAviHeaders(&w, 0, 5, 1, 1), kAviBadArguments);
    EXPECT_EQ(WriteAviHeaders(&w, 32768, 5, 1, 1), kAviBadArguments);
    EXPECT_EQ(WriteAviHeaders(&w, 5, 5, 0, 1), kAviBadArguments);
    ASSERT_EQ(WriteAviHeaders(&w, 1, 1, 1, 1), kAviOk);
    EXPECT_EQ(WriteAviHeaders(&w, 1, 1, 1, 1), kAviBadArguments);  // only once
    EXPECT_EQ(AppendAviFrame(&w, pixel, 3), kAviBadArguments);     // shorter than a frame
    EXPECT_EQ(CloseAviFile(&w), kAviOk);
    EXPECT_TRUE(ReadAviFile(At("bad.avi")).problems.empty());
    // A file whose format was never fixed is not left behind.
    ASSERT_EQ(OpenAviFile(&w, At("empty.avi").c_str()), kAviOk);
    EXPECT_EQ(CloseAviFile(&w), kAviOk);
    EXPECT_FALSE(fs::exists(At("empty.avi")));
}

TEST_F(AviWriterTest, TheSizeLimitStopsBeforeTheFileWouldPassIt) {
    // 10 x 10 frames: 320 bytes each, 8 more per chunk and 16 per index entry. Room for 4.
    const std::uint64_t perFrame = 320 + 8 + 16;
    const std::uint64_t limit = 224 + 8 + 4 * perFrame + perFrame / 2;
    const std::string path = At("limit.avi");
    AviFileWriter w;
    ASSERT_EQ(OpenAviFile(&w, path.c_str(), limit), kAviOk);
    ASSERT_EQ(WriteAviHeaders(&w, 10, 10, 1, 1), kAviOk);
    int result = kAviOk;
    int frames = 0;
    while ((result = AppendAviFrame(&w, Frame(w, frames).data(), w.frameBytes)) == kAviOk) {
        ++frames;
        ASSERT_LT(frames, 100);
    }
    EXPECT_EQ(result, kAviSizeLimit);
    EXPECT_EQ(frames, 4);
    ASSERT_EQ(CloseAviFile(&w), kAviOk);
    const AviFileFacts f = ReadAviFile(path);
    EXPECT_TRUE(f.problems.empty()) << ::testing::PrintToString(f.problems);
    EXPECT_EQ(f.totalFrames, 4u);
    EXPECT_LE(f.fileSize, limit);
    // A limit too small for even one frame refuses the format.
    ASSERT_EQ(OpenAviFile(&w, At("tiny.avi").c_str(), 300), kAviOk);
    EXPECT_EQ(WriteAviHeaders(&w, 10, 10, 1, 1), kAviBadArguments);
    CloseAviFile(&w);
}

TEST_F(AviWriterTest, AFailedWriteIsReportedAndTheFileKeepsItsWholeFrames) {
    // Writes: the headers, then a chunk head and its pixels per frame. Fail the pixels of the
    // third frame, then each of the writes of closing.
    for (const int failAt : {7, 8, 9}) {
        SCOPED_TRACE(failAt);
        const std::string path = At("fail.avi");
        AviFileWriter w;
        ASSERT_EQ(OpenAviFile(&w, path.c_str()), kAviOk);
        ArmWriteFaults(failAt, kWriteFaultWrite);
        ASSERT_EQ(WriteAviHeaders(&w, 8, 4, 1, 1), kAviOk);
        int frames = 0;
        int result = kAviOk;
        while (frames < 3 &&
               (result = AppendAviFrame(&w, Frame(w, frames).data(), w.frameBytes)) == kAviOk) {
            ++frames;
        }
        if (failAt == 7) {
            EXPECT_EQ(result, kAviWriteFailed);
            EXPECT_EQ(frames, 2);
            // Nothing more goes into the movie after a failure.
            EXPECT_EQ(AppendAviFrame(&w, Frame(w, 0).data(), w.frameBytes), kAviBadArguments);
            ASSERT_EQ(CloseAviFile(&w), kAviOk);
            const AviFileFacts f = ReadAviFile(path);
            EXPECT_TRUE(f.problems.empty()) << ::testing::PrintToString(f.problems);
            EXPECT_EQ(f.totalFrames, 2u);
        } else {
            EXPECT_EQ(frames, 3);
            EXPECT_EQ(CloseAviFile(&w), kAviWriteFailed);
        }
        DisarmWriteFaults();
    }
}

}  // namespace
}  // namespace mirexa
