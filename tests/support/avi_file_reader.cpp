// The test reader of AVI files and the ffprobe runner.
#include "support/avi_file_reader.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/bounded_wait.h"

namespace mirexa::testing {

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 4 > b.size()) {
        return 0;
    }
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return at + 2 > b.size() ? 0 : static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

bool TagAt(const std::vector<std::uint8_t>& b, std::size_t at, const char* tag) {
    return at + 4 <= b.size() && std::memcmp(b.data() + at, tag, 4) == 0;
}

}  // namespace

AviFileFacts ReadAviFile(const std::string& path) {
    AviFileFacts f;
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    auto fail = [&f](const std::string& text) { f.problems.push_back(text); };
    f.fileSize = b.size();
    if (!TagAt(b, 0, "RIFF") || !TagAt(b, 8, "AVI ")) {
        fail("no RIFF AVI form");
        return f;
    }
    f.riffSize = U32(b, 4);
    if (std::uint64_t{f.riffSize} + 8 != b.size()) {
        fail("RIFF size " + std::to_string(f.riffSize) + " for a file of " +
             std::to_string(b.size()));
    }
    // Header list.
    if (!TagAt(b, 12, "LIST") || !TagAt(b, 20, "hdrl") || !TagAt(b, 24, "avih")) {
        fail("no header list");
        return f;
    }
    const std::size_t hdrlEnd = 20 + U32(b, 16);
    const std::size_t avih = 32;
    if (U32(b, 28) != 56) {
        fail("main header size");
    }
    f.totalFrames = U32(b, avih + 16);
    if (U32(b, avih + 24) != 1) {
        fail("stream count");
    }
    std::size_t at = avih + 56;
    if (!TagAt(b, at, "LIST") || !TagAt(b, at + 8, "strl")) {
        fail("no stream list");
        return f;
    }
    const std::size_t strlEnd = at + 8 + U32(b, at + 4);
    at += 12;
    if (!TagAt(b, at, "strh") || !TagAt(b, at + 8, "vids")) {
        fail("no video stream header");
        return f;
    }
    const std::size_t strh = at + 8;
    f.scale = U32(b, strh + 20);
    f.rate = U32(b, strh + 24);
    f.streamLength = U32(b, strh + 32);
    at = strh + U32(b, at + 4);
    if (!TagAt(b, at, "strf")) {
        fail("no stream format");
        return f;
    }
    f.formatSize = U32(b, at + 4);
    const std::size_t bih = at + 8;
    if (U32(b, bih) != 40) {
        fail("bitmap header size field");
    }
    f.width = static_cast<std::int32_t>(U32(b, bih + 4));
    f.height = static_cast<std::int32_t>(U32(b, bih + 8));
    f.bitCount = U16(b, bih + 14);
    f.compression = U32(b, bih + 16);
    f.imageSize = U32(b, bih + 20);
    if (bih + f.formatSize != strlEnd || strlEnd != hdrlEnd) {
        fail("list sizes of the headers");
    }
    // Movie list.
    at = hdrlEnd;
    if (!TagAt(b, at, "LIST") || !TagAt(b, at + 8, "movi")) {
        fail("no movie list");
        return f;
    }
    const std::size_t movi = at + 8;
    const std::size_t moviEnd = movi + U32(b, at + 4);
    const std::uint32_t stride = (static_cast<std::uint32_t>(f.width) * 3 + 3) / 4 * 4;
    const std::uint32_t frameBytes = stride * static_cast<std::uint32_t>(f.height);
    std::vector<std::size_t> chunkOffsets;
    for (at = movi + 4; at + 8 <= moviEnd;) {
        if (!TagAt(b, at, "00db")) {
            fail("unexpected chunk in the movie list");
            return f;
        }
        const std::uint32_t size = U32(b, at + 4);
        if (size != frameBytes) {
            fail("frame chunk of " + std::to_string(size) + " bytes");
        }
        if (at + 8 + size > moviEnd) {
            fail("frame chunk past the movie list");
            return f;
        }
        chunkOffsets.push_back(at - movi);
        f.frames.emplace_back(b.begin() + static_cast<long>(at + 8),
                              b.begin() + static_cast<long>(at + 8 + size));
        at += 8 + size + (size & 1);
    }
    if (at != moviEnd) {
        fail("movie list size");
    }
    // Index.
    if (!TagAt(b, moviEnd, "idx1")) {
        fail("no index");
        return f;
    }
    const std::uint32_t indexSize = U32(b, moviEnd + 4);
    f.indexEntries = indexSize / 16;
    if (moviEnd + 8 + indexSize != b.size()) {
        fail("index size or bytes after the index");
    }
    if (f.indexEntries != chunkOffsets.size()) {
        fail("index entries differ from the chunks");
    }
    for (std::uint32_t i = 0; i < f.indexEntries && i < chunkOffsets.size(); ++i) {
        const std::size_t e = moviEnd + 8 + std::size_t{i} * 16;
        if (!TagAt(b, e, "00db") || (U32(b, e + 4) & 0x10) == 0 ||
            U32(b, e + 8) != chunkOffsets[i] || U32(b, e + 12) != frameBytes) {
            fail("index entry " + std::to_string(i));
        }
    }
    if (f.totalFrames != chunkOffsets.size() || f.streamLength != chunkOffsets.size()) {
        fail("frame counts of the headers");
    }
    return f;
}

namespace {

// Runs a program without a shell, within the tests' bound, and returns its standard output and
// error; its exit status in *status (-1 when it could not be started or did not end by itself).
std::string RunProgram(const std::vector<std::string>& arguments, int* status) {
    int raw = -1;
    std::string output = testing::CaptureProgramOutput(arguments, &raw);
    *status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

}  // namespace

int HaveFfprobe() {
    int status = 0;
    RunProgram({"ffprobe", "-version"}, &status);
    return status == 0 ? 1 : 0;
}

ProbeResult ProbeWithFfprobe(const std::string& path) {
    ProbeResult r;
    int status = 0;
    r.output = RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                           "-show_entries", "stream=width,height,r_frame_rate,nb_read_frames",
                           "-of", "default=noprint_wrappers=1", path},
                          &status);
    if (status != 0) {
        return r;
    }
    std::istringstream lines(r.output);
    std::string line;
    int seen = 0;
    while (std::getline(lines, line)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "width") {
            r.width = std::atoi(value.c_str());
            seen |= 1;
        } else if (key == "height") {
            r.height = std::atoi(value.c_str());
            seen |= 2;
        } else if (key == "r_frame_rate") {
            r.rate = value;
            seen |= 4;
        } else if (key == "nb_read_frames") {
            r.frames = std::atoi(value.c_str());
            seen |= 8;
        }
    }
    r.ok = seen == 15 ? 1 : 0;
    return r;
}

}  // namespace mirexa::testing
