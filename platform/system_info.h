// Facts about the machine the program runs on: memory, processors, the system's name and the
// OpenGL driver, from uname, /etc/os-release, /proc and the current GL context.
#pragma once

#include <cstdint>
#include <string>

namespace mirexa {

// Bytes of memory the program can still take without pushing the system into swap or the
// out-of-memory killer (MemAvailable of /proc/meminfo, bounded by what the address-space limit
// leaves beside the address space the process holds).
// Returns 0 when it cannot be read.
std::uint64_t GetAvailableMemoryBytes();
// Bytes of address space the address-space limit still lets the process take beside what it
// holds (VmSize of /proc/self/status); UINT64_MAX without a limit.
std::uint64_t GetAddressSpaceRoomBytes();

// The number of processors the program may run on (at least 1).
int GetProcessorCount();

// The operating system: its name as /etc/os-release gives it ("Debian GNU/Linux 12 (bookworm)",
// "Linux" when the file is missing), the kernel ("Linux 6.1.0-18-amd64") and the machine
// ("x86_64").
struct OsDescription {
    std::string name = {};
    std::string kernel = {};
    std::string machine = {};
};
OsDescription ReadOsDescription();
// The name in the text of an os-release file: PRETTY_NAME, else NAME and VERSION, unquoted;
// "" when it has neither.
std::string ParseOsReleaseName(const std::string& text);

// The processors: how many the program may run on and the model name of the first ("" when
// /proc/cpuinfo does not give one).
struct ProcessorInfo {
    int count = 1;
    std::string model = {};
};
ProcessorInfo GetProcessorInfo();
// The first "model name" (or "Model", "cpu model", "Processor") value of /proc/cpuinfo text.
std::string ParseCpuModelName(const std::string& cpuinfo);

// Memory in kilobytes: physical total and available, swap total and free (where other systems
// have a page file), commit limit and what of it is still uncommitted (the virtual pair).
struct MemoryStatusKb {
    double physicalTotal = 0.0;
    double physicalFree = 0.0;
    double pageFileTotal = 0.0;
    double pageFileFree = 0.0;
    double virtualTotal = 0.0;
    double virtualFree = 0.0;
};
// Reads the figures from the text of /proc/meminfo; 1, or 0 when MemTotal is missing (*out
// untouched). MemAvailable stands for free memory where the kernel gives it, else MemFree.
int ParseMemInfoKb(const std::string& text, MemoryStatusKb* out);
// The same from /proc/meminfo; 0 when it cannot be read.
int GetMemoryStatusKb(MemoryStatusKb* out);

// The driver of the OpenGL context current on the calling thread; 0 (fields empty) when there
// is none.
struct OpenGlDescription {
    std::string vendor = {};
    std::string renderer = {};
    std::string version = {};
};
int ReadOpenGlDescription(OpenGlDescription* out);

}  // namespace mirexa
