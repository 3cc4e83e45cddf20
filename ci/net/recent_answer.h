// A yes/no answer that is costly to get and changes rarely (is there a network?),
// reused for a short time instead of asked for again. Safe to share between
// threads: two threads may both ask when the answer runs out, never worse.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace ci {

class RecentAnswer {
 public:
  using MillisecondClock = std::uint64_t (*)();

  RecentAnswer(std::uint32_t lifetime_ms, MillisecondClock clock)
      : lifetime_ms_(lifetime_ms), clock_(clock) {}

  // The last answer when it is younger than the lifetime, otherwise ask().
  bool Get(const std::function<bool()>& ask) {
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

 private:
  // The time of the answer shifted left by two, bit 1 "answered", bit 0 the answer.
  std::atomic<std::uint64_t> state_{0};
  std::uint32_t lifetime_ms_;
  MillisecondClock clock_;
};

}  // namespace ci
