#include "admin_prefs/module/idle_monitor.h"

namespace ci {

IdleMonitorEnd WaitUntilIdle(ModuleLocks& locks, IdleEvent& event) {
  using WaitResult = IdleEvent::WaitResult;
  for (;;) {
    if (event.Wait(IdleEvent::kForever) == WaitResult::kFailed) return IdleMonitorEnd::kWaitFailed;
    WaitResult result;
    do {
      if (locks.stop_requested()) return IdleMonitorEnd::kStopped;
      locks.ClearActivity();
      result = event.Wait(locks.idle_timeout_ms());
    } while (result == WaitResult::kSignalled);
    if (result == WaitResult::kFailed) return IdleMonitorEnd::kWaitFailed;
    if (locks.stop_requested()) return IdleMonitorEnd::kStopped;
    // A release that raced with the time-out, or a new lock, means not idle yet.
    // The mark comes first: a lock taken after it, even one already released,
    // keeps the main thread serving.
    locks.MarkIdleDecision();
    if (!locks.activity() && locks.Count() == 0) return IdleMonitorEnd::kIdle;
  }
}

void RunIdleMonitor(ModuleLocks& locks, IdleEvent& event, ModuleLocks::ZeroActions& actions) {
  for (;;) {
    switch (WaitUntilIdle(locks, event)) {
      case IdleMonitorEnd::kIdle:
        actions.QuitNow();
        break;
      case IdleMonitorEnd::kStopped:
        return;
      case IdleMonitorEnd::kWaitFailed:
        // Fall back to ending at the last release rather than serving forever.
        if (locks.SwitchToImmediateShutdown()) actions.QuitNow();
        return;
    }
  }
}

}  // namespace ci
