// A reader of recorded AVI files for the tests: it walks the RIFF chunks itself and checks the
// layout a player relies on, independently of the writer's code, and runs ffprobe where the
// machine has it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirexa::testing {

// What the file says, and what is wrong with it (empty when nothing is).
struct AviFileFacts {
    std::vector<std::string> problems = {};
    std::uint64_t fileSize = {};
    std::uint32_t riffSize = {};
    std::uint32_t totalFrames = {};  // main header
    std::uint32_t streamLength = {};
    std::uint32_t scale = {};
    std::uint32_t rate = {};
    std::uint32_t formatSize = {};  // of the strf chunk
    std::int32_t width = {};
    std::int32_t height = {};
    std::uint16_t bitCount = {};
    std::uint32_t compression = 0xFFFFFFFF;
    std::uint32_t imageSize = {};
    std::uint32_t indexEntries = {};
    // Per frame, in index order: the chunk size and its bytes.
    std::vector<std::vector<std::uint8_t>> frames = {};
};

// Reads and checks the file: the RIFF size is the file size - 8; the header list holds avih,
// one strl with strh ("vids") and a 40-byte strf; every LIST size matches its contents; the
// movie list holds "00db" chunks of stride x height bytes; idx1 has one key-frame entry per
// chunk, in order, whose offsets (from the "movi" tag) point at them; the frame counts agree.
AviFileFacts ReadAviFile(const std::string& path);

// 1 when an ffprobe program can be started.
int HaveFfprobe();

// ffprobe's count of decoded frames, width, height and frame rate ("5/1") of the first video
// stream; 0 when ffprobe failed or found no video (its output in *output).
struct ProbeResult {
    int ok = {};
    int frames = {};
    int width = {};
    int height = {};
    std::string rate = {};
    std::string output = {};
};
ProbeResult ProbeWithFfprobe(const std::string& path);

}  // namespace mirexa::testing
