// The WAV reader against hand-built files, the player's recorder, and the machine-facts parsers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sound.h"
#include "platform/system_info.h"

namespace mirexa {
namespace {

// A RIFF file built chunk by chunk: Chunk("fmt ", body) ...
struct WaveBuilder {
    std::vector<std::uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    WaveBuilder& Chunk(const char* id, std::vector<std::uint8_t> body, int claimed = -1) {
        bytes.insert(bytes.end(), id, id + 4);
        const std::uint32_t size = claimed >= 0 ? claimed : static_cast<std::uint32_t>(body.size());
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
        }
        bytes.insert(bytes.end(), body.begin(), body.end());
        if (body.size() & 1) {
            bytes.push_back(0);
        }
        return *this;
    }
    // A "fmt " chunk: format tag, channels, rate, bits.
    WaveBuilder& Format(int tag, int channels, int rate, int bits) {
        const int align = channels * bits / 8;
        std::vector<std::uint8_t> f = {static_cast<std::uint8_t>(tag), 0,
                                       static_cast<std::uint8_t>(channels), 0};
        for (int v : {rate, rate * align}) {
            for (int i = 0; i < 4; ++i) {
                f.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
            }
        }
        f.insert(f.end(),
                 {static_cast<std::uint8_t>(align), 0, static_cast<std::uint8_t>(bits), 0});
        return Chunk("fmt ", f);
    }
};

TEST(WaveFormat, ReadsPcmAndRefusesWhatItCannotPlay) {
    const std::vector<std::uint8_t> eight(8, 1);
    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
        int ok;
        int channels, bits;
        std::size_t dataOffset, dataBytes;
    } cases[] = {
        {"16-bit mono", WaveBuilder().Format(1, 1, 22050, 16).Chunk("data", eight).bytes, 1, 1, 16,
         44, 8},
        {"an odd chunk before the data is skipped with its pad byte",
         WaveBuilder().Format(1, 2, 44100, 8).Chunk("LIST", {1, 2, 3}).Chunk("data", eight).bytes,
         1, 2, 8, 56, 8},
        {"data claiming more than the file holds is cut to whole frames",
         WaveBuilder().Format(1, 2, 8000, 16).Chunk("data", {1, 2, 3, 4, 5, 6}, 1000).bytes, 1, 2,
         16, 44, 4},
        {"compressed", WaveBuilder().Format(2, 1, 22050, 16).Chunk("data", eight).bytes, 0},
        {"24-bit", WaveBuilder().Format(1, 1, 22050, 24).Chunk("data", eight).bytes, 0},
        {"data before fmt", WaveBuilder().Chunk("data", eight).Format(1, 1, 22050, 16).bytes, 0},
        {"no data", WaveBuilder().Format(1, 1, 22050, 16).bytes, 0},
        {"empty data", WaveBuilder().Format(1, 1, 22050, 16).Chunk("data", {}).bytes, 0},
        {"a chunk larger than the file", WaveBuilder().Chunk("LIST", {1, 2}, 99999).bytes, 0},
        {"not RIFF", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WaveFormat format;
        format.channels = -7;
        ASSERT_EQ(ReadWaveFormat(c.file.data(), c.file.size(), &format), c.ok);
        if (!c.ok) {
            EXPECT_EQ(format.channels, -7);  // untouched
            continue;
        }
        EXPECT_EQ(format.channels, c.channels);
        EXPECT_EQ(format.bitsPerSample, c.bits);
        EXPECT_EQ(format.dataOffset, c.dataOffset);
        EXPECT_EQ(format.dataBytes, c.dataBytes);
        EXPECT_LE(format.dataOffset + format.dataBytes, c.file.size());
    }
}

TEST(WaveFormat, TheRecorderTakesPlaysAndStopsInsteadOfTheDevice) {
    std::vector<std::pair<std::size_t, int>> seen;
    SetSoundRecorder(
        [&](const std::uint8_t*, std::size_t size, int flags) { seen.emplace_back(size, flags); });
    const auto wav = WaveBuilder().Format(1, 1, 22050, 16).Chunk("data", {0, 0}).bytes;
    EXPECT_EQ(PlayWaveMemory(wav.data(), wav.size(), SOUND_ASYNC | SOUND_MEMORY), 1);
    StopWaveSound();
    SetSoundRecorder({});
    EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, int>>{{wav.size(), 5}, {0, 0}}));
}

TEST(SystemInfo, ParsesOsReleaseCpuInfoAndMemInfo) {
    EXPECT_EQ(ParseOsReleaseName("NAME=\"Debian GNU/Linux\"\r\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                                 "(bookworm)\"\r\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(ParseOsReleaseName("NAME='Alpine \\\"x\\\"'\nVERSION=3.19\n"), "Alpine \"x\" 3.19");
    EXPECT_EQ(ParseOsReleaseName("ID=none\n"), "");
    EXPECT_EQ(ParseCpuModelName("processor\t: 0\nmodel name\t: AMD EPYC 7B13\nflags : x\n"),
              "AMD EPYC 7B13");
    EXPECT_EQ(ParseCpuModelName("Processor : ARMv7\n"), "ARMv7");

    MemoryStatusKb m;
    ASSERT_EQ(ParseMemInfoKb("MemTotal:       16000 kB\nMemFree:  1000 kB\nMemAvailable: 9000 kB\n"
                             "SwapTotal: 2048 kB\nSwapFree: 1024 kB\nCommitLimit: 10000 kB\n"
                             "Committed_AS: 12000 kB\n",
                             &m),
              1);
    EXPECT_EQ(m.physicalTotal, 16000);
    EXPECT_EQ(m.physicalFree, 9000);  // available, not merely free
    EXPECT_EQ(m.pageFileTotal, 2048);
    EXPECT_EQ(m.pageFileFree, 1024);
    EXPECT_EQ(m.virtualTotal, 10000);
    EXPECT_EQ(m.virtualFree, 0);  // over-committed: nothing left, never negative
    ASSERT_EQ(ParseMemInfoKb("MemTotal: 100 kB\nMemFree: 40 kB\n", &m), 1);
    EXPECT_EQ(m.physicalFree, 40);  // an old kernel without MemAvailable
    MemoryStatusKb untouched;
    untouched.physicalTotal = 5;
    EXPECT_EQ(ParseMemInfoKb("garbage\n", &untouched), 0);
    EXPECT_EQ(untouched.physicalTotal, 5);

    // This machine's own figures are there and sane.
    ASSERT_EQ(GetMemoryStatusKb(&m), 1);
    EXPECT_GT(m.physicalTotal, 0);
    EXPECT_LE(m.physicalFree, m.physicalTotal);
    EXPECT_FALSE(ReadOsDescription().kernel.empty());
}

}  // namespace
}  // namespace mirexa
