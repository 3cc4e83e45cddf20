#include "admin_prefs/module/module_locks.h"

namespace ci {

std::int32_t ModuleLocks::Unlock() {
  const std::int32_t count = count_.fetch_sub(1) - 1;
  if (count == 0) {
    if (delayed_shutdown_.load()) {
      activity_.store(true);
      actions_->SignalIdle();
    } else {
      actions_->QuitNow();
    }
  }
  return count;
}

void ModuleLocks::ArmIdleCountdown() {
  activity_.store(true);
  actions_->SignalIdle();
}

bool ModuleLocks::SwitchToImmediateShutdown() {
  delayed_shutdown_.store(false);
  // A release racing with the switch may also quit; a second quit message is harmless.
  return count_.load() == 0;
}

}  // namespace ci
