// Whether a server's memory still grows once warm, judged from samples of its
// private bytes taken at even intervals through a soak.
//
// Under Wine memory climbs to a plateau (heap caches, fragmentation) whose height
// depends on how many large messages happened to be in flight at once, and single
// samples swing by 10-20%. So one reading against another decides nothing. The
// samples are cut into windows of equal length; their medians are steady. A leak
// grows steadily: it raises every window's median above the one before, by about
// its size per call times the calls of a window. The plateau moves up in steps
// (seen: by 1 MB late in a healthy minute), and a step raises only one or two of
// the differences. The verdict is the median of the differences between
// successive windows, the first window (the climb to the plateau) left out.
#pragma once

#include <cstdint>
#include <vector>

namespace ci {
namespace test {

// Between what a healthy server shows (-54 to +107 bytes per call in 20 soaks of
// both word sizes beside other tests) and the smallest leak the soak is to catch
// (256 bytes per call, measured as 262 to 271).
constexpr double kLeakBytesPerCall = 170;
constexpr int kMemoryWindows = 8;

struct MemoryTrend {
  double medians[kMemoryWindows] = {};  // bytes, of each window in time order
  // The median growth from one window's median to the next (from the second
  // window on), per call of a window (`calls` / kMemoryWindows).
  double bytes_per_call = 0;
  bool leaks() const { return bytes_per_call > kLeakBytesPerCall; }
};

// `samples` in time order over a run of `calls` calls in all; with fewer samples
// than windows, nothing is judged (bytes_per_call 0).
MemoryTrend MeasureMemoryTrend(const std::vector<std::uint64_t>& samples, long long calls);

}  // namespace test
}  // namespace ci
