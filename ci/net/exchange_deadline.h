// The deadline of one HTTP exchange (request and answer) in milliseconds of a
// monotonic clock, and the library time-outs cut to what is left of it.
#pragma once

#include <cstdint>

namespace ci {

class ExchangeDeadline {
 public:
  // No deadline until Start.
  ExchangeDeadline() = default;

  // The exchange begins at `now_ms` and may last `budget_ms`; 0: no deadline.
  void Start(std::uint64_t now_ms, std::uint32_t budget_ms);
  bool Expired(std::uint64_t now_ms) const;
  // A library time-out of `setting_ms` (0: the library waits without limit) cut
  // to the time left, and never 0 while a deadline stands (a library takes 0 for
  // no limit), so 1 ms once the deadline has passed. Without a deadline the
  // setting as it is.
  std::uint32_t Clip(std::uint32_t setting_ms, std::uint64_t now_ms) const;

 private:
  bool limited_ = false;
  std::uint64_t end_ms_ = 0;
};

}  // namespace ci
