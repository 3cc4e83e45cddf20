// The idle monitor: ends the server once its lock count has stayed at zero for
// the idle time-out with no new activity. Platform-free; the Windows module runs
// it on its own thread over an auto-reset event.
#pragma once

#include <cstdint>

#include "admin_prefs/module/module_locks.h"

namespace ci {

// The module's shutdown event as the monitor sees it.
class IdleEvent {
 public:
  enum class WaitResult { kSignalled, kTimedOut, kFailed };
  static constexpr std::uint32_t kForever = 0xFFFFFFFFu;

  // Waits until the event is signalled (which resets it) or `timeout_ms` passes.
  virtual WaitResult Wait(std::uint32_t timeout_ms) = 0;

 protected:
  ~IdleEvent() = default;
};

enum class IdleMonitorEnd {
  kIdle,        // the server has been idle for the time-out: quit
  kWaitFailed,  // the event cannot be waited on; the module must not rely on the monitor
  kStopped,     // the module has stopped serving and asked the monitor to end
};

// Waits for the count to reach zero, then for a full idle time-out (read from
// `locks` each time) without a further signal; a signal within the time-out
// restarts it. Returns kIdle once the time-out passes with no activity and no lock.
IdleMonitorEnd WaitUntilIdle(ModuleLocks& locks, IdleEvent& event);

// The idle monitor thread's work: proposes the quit (`actions.QuitNow()`) at each
// idle decision and goes back to waiting, since the module may find a new object
// and go on serving. Returns when the module asks it to stop (a stop request and
// a signal). When the event cannot be waited on, later releases quit at once.
void RunIdleMonitor(ModuleLocks& locks, IdleEvent& event, ModuleLocks::ZeroActions& actions);

}  // namespace ci
