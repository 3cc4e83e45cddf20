#include "ci/crash/crash_reporter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace ci {
namespace {

constexpr std::uint64_t kMinute = 600000000ull;
constexpr std::uint64_t kHour = 60 * kMinute;
// A plausible present: some 400 years after 1601.
constexpr std::uint64_t kNow = 134000000000000000ull;

TEST(IntervalElapsedTest, FollowsTheLastAttempt) {
  struct Case {
    const char* name;
    std::uint64_t last_attempt;
    std::uint64_t now;
    std::uint64_t min_interval;
    bool expected;
  };
  const Case cases[] = {
      {"first attempt always", 0, kNow, kHour, true},
      {"ten minutes into an hour", kNow, kNow + 10 * kMinute, kHour, false},
      {"exactly the interval is not later", kNow, kNow + kHour, kHour, false},
      {"one unit past the interval", kNow, kNow + kHour + 1, kHour, true},
      {"zero interval, same instant", kNow, kNow, 0, false},
      {"zero interval, next instant", kNow, kNow + 1, 0, true},
      {"huge interval does not wrap", kNow, kNow + kHour, std::numeric_limits<std::uint64_t>::max(),
       false},
  };
  for (const Case& c : cases) {
    ReportingState state;
    state.last_attempt_time = c.last_attempt;
    EXPECT_EQ(IntervalElapsed(state, c.now, c.min_interval), c.expected) << c.name;
  }
}

TEST(MayReportTest, OneReportPerAddressAndPerDay) {
  struct Case {
    const char* name;
    std::uint32_t last_address;
    std::uint64_t last_upload;
    std::uint32_t address;
    std::uint64_t now;
    bool expected;
  };
  const Case cases[] = {
      {"nothing reported yet", 0, 0, 0x401000, kNow, true},
      {"same address again", 0x401000, 0, 0x401000, kNow, false},
      {"address 0 is never a repeat", 0, 0, 0, kNow, true},
      {"other address within a day", 0x401000, kNow, 0x402000, kNow + kHour, false},
      {"no address within a day", 0x401000, kNow, 0, kNow + 23 * kHour, false},
      {"exactly a day later", 0x401000, kNow, 0x402000, kNow + kOneDayFileTime, true},
      {"clock went back before the upload", 0x401000, kNow, 0x402000, kNow - kHour, false},
      {"same address even a day later", 0x401000, kNow, 0x401000, kNow + 2 * kOneDayFileTime,
       false},
  };
  for (const Case& c : cases) {
    ReportingState state;
    state.last_reported_address = c.last_address;
    state.last_upload_time = c.last_upload;
    EXPECT_EQ(MayReport(state, c.address, c.now), c.expected) << c.name;
  }
}

TEST(RecordAcceptedReportTest, KeepsTheLastAddressWhenTheReportHasNone) {
  ReportingState state;
  RecordAcceptedReport(&state, 0x401000, kNow);
  EXPECT_EQ(state.last_reported_address, 0x401000u);
  EXPECT_EQ(state.last_upload_time, kNow);

  RecordAcceptedReport(&state, 0, kNow + 2 * kOneDayFileTime);
  EXPECT_EQ(state.last_reported_address, 0x401000u);
  EXPECT_EQ(state.last_upload_time, kNow + 2 * kOneDayFileTime);
  EXPECT_EQ(state.last_attempt_time, 0u);  // attempts are the observer's business
}

}  // namespace
}  // namespace ci
