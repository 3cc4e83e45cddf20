#include "tests/admin_prefs/module/memory_trend.h"

#include <algorithm>

namespace ci {
namespace test {
namespace {

double Median(std::vector<double> values) {
  const std::size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  if (values.size() % 2 == 1) return values[middle];
  const double lower = *std::max_element(values.begin(), values.begin() + middle);
  return (lower + values[middle]) / 2;
}

}  // namespace

MemoryTrend MeasureMemoryTrend(const std::vector<std::uint64_t>& samples, long long calls) {
  MemoryTrend trend;
  const std::size_t window = samples.size() / kMemoryWindows;
  if (window == 0 || calls <= 0) return trend;
  for (int i = 0; i < kMemoryWindows; ++i) {
    // The last window also takes the samples left over.
    const auto begin = samples.begin() + i * window;
    const auto end = i == kMemoryWindows - 1 ? samples.end() : begin + window;
    trend.medians[i] = Median(std::vector<double>(begin, end));
  }
  std::vector<double> growths;
  for (int i = 2; i < kMemoryWindows; ++i)
    growths.push_back(trend.medians[i] - trend.medians[i - 1]);
  trend.bytes_per_call = Median(growths) / (static_cast<double>(calls) / kMemoryWindows);
  return trend;
}

}  // namespace test
}  // namespace ci
