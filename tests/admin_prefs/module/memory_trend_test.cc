// The soak's leak decision on series shaped like the ones Wine shows: a climb to
// a plateau, wide swings of single samples, and a slow leak buried in them.
#include "tests/admin_prefs/module/memory_trend.h"

#include <gtest/gtest.h>

#include <random>

namespace ci {
namespace test {
namespace {

constexpr int kSamples = 3000;       // one every 20 ms for a minute
constexpr long long kCalls = 15000;  // the slowest soak seen (about 250 calls a second)

// As a soak under Wine looks: a climb to 52 MB over the first 5% of the run, most
// samples within 1.5% of it, one in six dipping by up to 20% (messages freed),
// and the plateau moving up once by `step` bytes somewhere after the climb; plus
// `leak` bytes per call made so far.
std::vector<std::uint64_t> Series(double step, double leak, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  const double step_at = 0.05 + 0.95 * unit(random);
  std::vector<std::uint64_t> samples;
  for (int i = 0; i < kSamples; ++i) {
    const double progress = static_cast<double>(i) / kSamples;
    double level = 52e6 * std::min(1.0, 0.75 + progress / 0.05 * 0.25);
    if (progress >= step_at) level += step;
    const double swing =
        unit(random) < 1.0 / 6 ? -0.2 * unit(random) : 0.015 * (2 * unit(random) - 1);
    samples.push_back(static_cast<std::uint64_t>(level * (1 + swing) + leak * progress * kCalls));
  }
  return samples;
}

TEST(MemoryTrendTest, AHealthyServerPassesWhateverTheSwingsAndAStepOfThePlateau) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    for (double step : {0.0, 1.0e6, 2.0e6}) {
      const MemoryTrend trend = MeasureMemoryTrend(Series(step, 0, seed), kCalls);
      EXPECT_FALSE(trend.leaks()) << "seed " << seed << ", step " << step << ": "
                                  << trend.bytes_per_call << " bytes per call";
    }
  }
}

TEST(MemoryTrendTest, ALeakOfAQuarterKilobytePerCallAlwaysFails) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    for (double step : {0.0, 1.0e6}) {
      const MemoryTrend trend = MeasureMemoryTrend(Series(step, 256, seed), kCalls);
      EXPECT_TRUE(trend.leaks()) << "seed " << seed << ", step " << step << ": "
                                 << trend.bytes_per_call << " bytes per call";
    }
  }
}

TEST(MemoryTrendTest, TheMedianGrowthBetweenWindowsAfterTheFirstCounts) {
  // Eight windows of two samples (the last also takes the one left over); from
  // the second window on the medians grow by 4, 4, 40 (a step), 4, 4 and 4,
  // over 2 calls a window.
  const std::vector<std::uint64_t> samples = {900, 900, 9,  11, 13, 15, 17, 19, 57,
                                              59,  61,  63, 65, 67, 69, 71, 70};
  const MemoryTrend trend = MeasureMemoryTrend(samples, 16);
  EXPECT_EQ(trend.medians[0], 900);
  EXPECT_EQ(trend.medians[1], 10);
  EXPECT_EQ(trend.medians[7], 70);
  EXPECT_DOUBLE_EQ(trend.bytes_per_call, 2);
  EXPECT_EQ(MeasureMemoryTrend({1, 2, 3}, 9).bytes_per_call, 0) << "too few samples to judge";
}

}  // namespace
}  // namespace test
}  // namespace ci
