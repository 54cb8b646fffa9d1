// Machine facts read from /proc and the process limits.
#include "platform/system_info.h"

#include <GL/gl.h>
#include <sys/resource.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/file_reading.h"

namespace mirexa {

namespace {

// A "Name: value kB" field of a /proc file in bytes (format: its sscanf pattern), 0 when absent.
std::uint64_t ReadKibibyteField(const char* path, const char* format) {
    std::uint64_t bytes = 0;
    if (std::FILE* file = std::fopen(path, "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            unsigned long long kib = 0;
            if (std::sscanf(line, format, &kib) == 1) {
                bytes = static_cast<std::uint64_t>(kib) * 1024u;
                break;
            }
        }
        std::fclose(file);
    }
    return bytes;
}

}  // namespace

std::uint64_t GetAddressSpaceRoomBytes() {
    struct rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return UINT64_MAX;
    }
    // The limit counts the address space the process already holds.
    const std::uint64_t cap = static_cast<std::uint64_t>(limit.rlim_cur);
    const std::uint64_t held = ReadKibibyteField("/proc/self/status", "VmSize: %llu kB");
    return held < cap ? cap - held : 1;
}

std::uint64_t GetAvailableMemoryBytes() {
    std::uint64_t available = ReadKibibyteField("/proc/meminfo", "MemAvailable: %llu kB");
    const std::uint64_t cap = GetAddressSpaceRoomBytes();
    if (cap != UINT64_MAX && (available == 0 || cap < available)) {
        available = cap;
    }
    return available;
}

int GetProcessorCount() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int>(count);
}

namespace {

// The value of a "KEY=value" line of an os-release file, quotes and escapes taken off.
std::string OsReleaseValue(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, key.size() + 1, key + "=") != 0) {
            continue;
        }
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            unescaped += value[i];
        }
        return unescaped;
    }
    return "";
}

std::string ReadSmallFile(const char* path) {
    std::string text;
    if (ReadWholeRegularFile(path, &text, 1u << 20) != 1) {
        // Files of /proc report a size of 0, which a regular-file read accepts; anything that
        // still fails leaves the text empty.
        text.clear();
    }
    return text;
}

std::string Trim(const std::string& s) {
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

const char* GlText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

std::string ParseOsReleaseName(const std::string& text) {
    std::string name = OsReleaseValue(text, "PRETTY_NAME");
    if (!name.empty()) {
        return name;
    }
    name = OsReleaseValue(text, "NAME");
    const std::string version = OsReleaseValue(text, "VERSION");
    if (!name.empty() && !version.empty()) {
        name += " " + version;
    }
    return name;
}

OsDescription ReadOsDescription() {
    OsDescription d;
    d.name = ParseOsReleaseName(ReadSmallFile("/etc/os-release"));
    if (d.name.empty()) {
        d.name = ParseOsReleaseName(ReadSmallFile("/usr/lib/os-release"));
    }
    struct utsname u = {};
    if (uname(&u) == 0) {
        d.kernel = std::string(u.sysname) + " " + u.release;
        d.machine = u.machine;
    }
    if (d.name.empty()) {
        d.name = "Linux";
    }
    return d;
}

std::string ParseCpuModelName(const std::string& cpuinfo) {
    static const char* const keys[] = {"model name", "Model", "cpu model", "Processor"};
    for (const char* key : keys) {
        std::istringstream lines(cpuinfo);
        std::string line;
        while (std::getline(lines, line)) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos && Trim(line.substr(0, colon)) == key) {
                return Trim(line.substr(colon + 1));
            }
        }
    }
    return "";
}

ProcessorInfo GetProcessorInfo() {
    ProcessorInfo info;
    info.count = GetProcessorCount();
    info.model = ParseCpuModelName(ReadSmallFile("/proc/cpuinfo"));
    return info;
}

int ParseMemInfoKb(const std::string& text, MemoryStatusKb* out) {
    double total = -1.0, available = -1.0, free = -1.0, swapTotal = 0.0, swapFree = 0.0,
           commitLimit = 0.0, committed = 0.0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        char key[64] = {};
        unsigned long long kib = 0;
        if (std::sscanf(line.c_str(), "%63[^:]: %llu", key, &kib) != 2) {
            continue;
        }
        const double value = static_cast<double>(kib);
        const std::string k = key;
        if (k == "MemTotal") {
            total = value;
        } else if (k == "MemAvailable") {
            available = value;
        } else if (k == "MemFree") {
            free = value;
        } else if (k == "SwapTotal") {
            swapTotal = value;
        } else if (k == "SwapFree") {
            swapFree = value;
        } else if (k == "CommitLimit") {
            commitLimit = value;
        } else if (k == "Committed_AS") {
            committed = value;
        }
    }
    if (total < 0.0) {
        return 0;
    }
    out->physicalTotal = total;
    out->physicalFree = available >= 0.0 ? available : (free >= 0.0 ? free : 0.0);
    out->pageFileTotal = swapTotal;
    out->pageFileFree = swapFree;
    out->virtualTotal = commitLimit;
    out->virtualFree = commitLimit > committed ? commitLimit - committed : 0.0;
    return 1;
}

int GetMemoryStatusKb(MemoryStatusKb* out) {
    return ParseMemInfoKb(ReadSmallFile("/proc/meminfo"), out);
}

int ReadOpenGlDescription(OpenGlDescription* out) {
    *out = {};
    if (glGetString(GL_VERSION) == nullptr) {
        return 0;
    }
    out->vendor = GlText(GL_VENDOR);
    out->renderer = GlText(GL_RENDERER);
    out->version = GlText(GL_VERSION);
    return 1;
}

}  // namespace mirexa
