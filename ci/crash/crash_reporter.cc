#include "ci/crash/crash_reporter.h"

#include <limits>

namespace ci {

bool IntervalElapsed(const ReportingState& state, std::uint64_t now, std::uint64_t min_interval) {
  if (state.last_attempt_time == 0) return true;
  const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t next = min_interval > limit - state.last_attempt_time
                                 ? limit
                                 : state.last_attempt_time + min_interval;
  return now > next;
}

bool MayReport(const ReportingState& state, std::uint32_t failure_address, std::uint64_t now) {
  if (failure_address != 0 && failure_address == state.last_reported_address) return false;
  if (state.last_upload_time == 0) return true;
  // A clock that went back below the last upload also counts as "within a day".
  const std::uint64_t day_ago = now > kOneDayFileTime ? now - kOneDayFileTime : 0;
  return state.last_upload_time <= day_ago;
}

void RecordAcceptedReport(ReportingState* state, std::uint32_t failure_address, std::uint64_t now) {
  if (failure_address != 0) state->last_reported_address = failure_address;
  state->last_upload_time = now;
}

}  // namespace ci
