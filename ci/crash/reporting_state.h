// The crash observer's in-memory reporting state and the three throttles that
// decide whether a failure is reported. Times are file times: 100-nanosecond
// units since 1601-01-01 UTC. Every process starts with all zeroes; nothing here
// is read back from the registry.
#pragma once

#include <cstdint>

namespace ci {

// 24 hours in 100-nanosecond units.
constexpr std::uint64_t kOneDayFileTime = 864000000000ull;

struct ReportingState {
  std::uint64_t last_attempt_time = 0;
  std::uint32_t last_reported_address = 0;
  std::uint64_t last_upload_time = 0;
};

// The caller's minimum interval: false while `now` is not later than the last
// attempt plus `min_interval` (a first attempt always passes). Saturates, so a
// huge interval means "never again" rather than wrapping around.
bool IntervalElapsed(const ReportingState& state, std::uint64_t now, std::uint64_t min_interval);

// One report per failure address (0 is no address and is never matched) and one
// report per 24 hours after a successful upload.
bool MayReport(const ReportingState& state, std::uint32_t failure_address, std::uint64_t now);

// Remembers an accepted report: its address (when not 0) and the upload time.
void RecordAcceptedReport(ReportingState* state, std::uint32_t failure_address, std::uint64_t now);

}  // namespace ci
