// What the software OpenGL driver will take of the address space, checked before the view leads
// it there: the driver does not survive its own allocation failures (it ends the process in a
// segmentation fault), so the view makes no context, compiles no list and renders no frame that
// the memory left to the process cannot hold with a reserve to spare, and says "Memory over!"
// instead.
#pragma once

#include <cstdint>

namespace mirexa {

// Figures measured with the driver the program ships with (Mesa 22.3, llvmpipe) under Xvfb, the
// real window of 1600 x 1000 pixels, from the growth of VmSize in /proc/self/status:
// - the view's context: 287 MB, plus 147.5 MB for each rasteriser thread (its stack and its
//   allocator's arena; 0, 1, 2, 4 and 8 threads gave 287, 435, 582, 877 and 1,467 MB), plus
//   130 MB until the first frame is shown (the surface at the window's size, the first shaders);
// - the stock's display lists: 59.7, 48.5 and 42.4 bytes a triangle for 0.39, 1.5 and 5.8
//   million triangles (a pocketed box at 0.4, 0.2 and 0.1 mm), with no peak above what stays;
// - a frame: 11 to 37 MB of scratch space above the lists it draws;
// - a larger drawable: 24.3, 20.1 and 21.1 bytes a pixel more at 800 x 500, 1600 x 1000 and
//   3200 x 2000 pixels (the surface, the view's framebuffer object and the frame's buffers).
// The estimates below take each figure with a margin.
constexpr std::uint64_t kGlContextBaseBytes = std::uint64_t{460} << 20;    // 287 + 130 measured
constexpr std::uint64_t kGlContextThreadBytes = std::uint64_t{160} << 20;  // 147.5 measured
constexpr std::uint64_t kListBytesPerTriangle = 72;                        // 42 to 60 measured
// The triangles a stock block's list is expected to hold at least (blocks of a 0.1 mm cut held
// up to 21,000).
constexpr std::uint64_t kBlockTrianglesAtLeast = 32768;
constexpr std::uint64_t kDrawableBytesPerPixel = 32;  // 20 to 24 measured
// Kept free for the driver whenever it works: a frame's scratch space, the list being compiled
// when the check was made, the picture handed to the window and a message box.
constexpr std::uint64_t kDriverReserveBytes = std::uint64_t{128} << 20;
// Below this a frame is not rendered at all (the last picture stays).
constexpr std::uint64_t kFrameBytes = std::uint64_t{64} << 20;

// The driver's rasteriser threads: LP_NUM_THREADS when set, else one a processor online (none on
// a single processor), at most 32.
int CountRasteriserThreads();

// The address space the view's context needs until its first frame is shown. Most of it is
// reserved, not used: the process held 190 MB resident in all after its first frame.
std::uint64_t EstimateGlContextBytes();
// 1 when the context fits: its address space, with the reserve to spare, in what the limit
// leaves, and the reserve in the memory available.
int GlContextMemoryFits();

// Bytes the process can still take (GetAvailableMemoryBytes: the memory available, bounded by
// the address-space limit less the address space held). Tests may replace the source (it then
// stands for the address-space room as well); null restores the real one. A source that cannot
// tell (0) lets everything through.
using MemoryRoomSource = std::uint64_t (*)();
void SetDriverMemoryRoomSource(MemoryRoomSource source);
// 1 when need bytes fit in the room with the reserve to spare (or the room cannot be told).
int DriverMemoryFits(std::uint64_t need);
// 1 when a frame may be rendered: the room holds kFrameBytes (or cannot be told).
int DriverMemoryFitsFrame();
// The room in megabytes, for messages (0 when it cannot be told).
std::uint64_t DriverMemoryRoomMegabytes();

// A shortage of the view's drawing: noted where it is found (in the middle of a rebuild or a
// frame, where no box may be shown) and shown once, after the frame, as "Memory over!". While a
// shortage stays (the next rebuild is short again) it is not shown again; a rebuild that fits
// ends it.
void NoteDisplayMemoryShortage();
void EndDisplayMemoryShortage();
// Shows the message of a shortage noted and not yet shown ("Memory over!", the caption
// "Data size error"; in automatic mode a log line); 1 when it showed one.
int ShowPendingDisplayMemoryShortage();

}  // namespace mirexa
