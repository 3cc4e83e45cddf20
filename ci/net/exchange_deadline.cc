#include "ci/net/exchange_deadline.h"

namespace ci {

void ExchangeDeadline::Start(std::uint64_t now_ms, std::uint32_t budget_ms) {
  limited_ = budget_ms != 0;
  end_ms_ = now_ms + budget_ms;
}

bool ExchangeDeadline::Expired(std::uint64_t now_ms) const { return limited_ && now_ms >= end_ms_; }

std::uint32_t ExchangeDeadline::Clip(std::uint32_t setting_ms, std::uint64_t now_ms) const {
  if (!limited_) return setting_ms;
  const std::uint64_t left = now_ms < end_ms_ ? end_ms_ - now_ms : 0;
  if (left == 0) return 1;
  if (setting_ms != 0 && setting_ms < left) return setting_ms;
  return static_cast<std::uint32_t>(left);  // at most the 32-bit budget
}

}  // namespace ci
