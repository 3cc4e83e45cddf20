#include "ci/net/recent_answer.h"

namespace ci {

bool RecentAnswer::Get(const std::function<bool()>& ask) {
  const std::uint64_t now = clock_();
  const std::uint64_t state = state_.load(std::memory_order_acquire);
  if ((state & 2) != 0) {
    const std::uint64_t asked_at = state >> 2;
    // A clock that went backwards also asks again.
    if (now >= asked_at && now - asked_at < lifetime_ms_) return (state & 1) != 0;
  }
  const bool answer = ask();
  state_.store((now << 2) | 2 | (answer ? 1 : 0), std::memory_order_release);
  return answer;
}

}  // namespace ci
