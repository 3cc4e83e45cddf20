#include "admin_prefs/idle_monitor.h"

namespace ci {

IdleMonitorEnd WaitUntilIdle(ModuleLocks& locks, IdleEvent& event) {
  using WaitResult = IdleEvent::WaitResult;
  for (;;) {
    if (event.Wait(IdleEvent::kForever) == WaitResult::kFailed) return IdleMonitorEnd::kWaitFailed;
    WaitResult result;
    do {
      locks.ClearActivity();
      result = event.Wait(locks.idle_timeout_ms());
    } while (result == WaitResult::kSignalled);
    if (result == WaitResult::kFailed) return IdleMonitorEnd::kWaitFailed;
    // A release that raced with the time-out, or a new lock, means not idle yet.
    if (!locks.activity() && locks.Count() == 0) return IdleMonitorEnd::kIdle;
  }
}

}  // namespace ci
