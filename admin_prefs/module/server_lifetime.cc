#include "admin_prefs/module/server_lifetime.h"

namespace ci {

ComInitOutcome ClassifyComInit(HResult hr, bool mscoree_loaded) {
  if (Succeeded(hr)) return ComInitOutcome::kInitialisedHere;
  if (hr == kRPC_E_CHANGED_MODE && mscoree_loaded) return ComInitOutcome::kInitialisedElsewhere;
  return ComInitOutcome::kFailed;
}

void ServerLifetime::OnLastRelease() {
  if (delayed_shutdown_.load()) {
    activity_.store(true);
    signals_->WakeIdleMonitor();
  } else {
    signals_->EndMessageLoop();
  }
}

void ServerLifetime::ArmIdleCountdown() {
  activity_.store(true);
  signals_->WakeIdleMonitor();
}

bool ServerLifetime::SwitchToImmediateShutdown() {
  delayed_shutdown_.store(false);
  // A release racing with the switch may also quit; a second quit message is harmless.
  return locks_.Count() == 0;
}

// --- Counting down (the idle monitor thread) ---

IdleMonitorEnd WaitUntilIdle(ServerLifetime& lifetime, IdleEvent& event) {
  using WaitResult = IdleEvent::WaitResult;
  for (;;) {
    if (event.Wait(IdleEvent::kForever) == WaitResult::kFailed) return IdleMonitorEnd::kWaitFailed;
    WaitResult result;
    do {
      if (lifetime.stop_requested()) return IdleMonitorEnd::kStopped;
      lifetime.ClearActivity();
      result = event.Wait(lifetime.idle_timeout_ms());
    } while (result == WaitResult::kSignalled);
    if (result == WaitResult::kFailed) return IdleMonitorEnd::kWaitFailed;
    if (lifetime.stop_requested()) return IdleMonitorEnd::kStopped;
    // A release that raced with the time-out, or a new lock, means not idle yet.
    // The mark comes first: a lock taken after it, even one already released,
    // keeps the main thread serving.
    lifetime.MarkIdleDecision();
    if (!lifetime.activity() && lifetime.locks().Count() == 0) return IdleMonitorEnd::kIdle;
  }
}

void RunIdleMonitor(ServerLifetime& lifetime, IdleEvent& event) {
  for (;;) {
    switch (WaitUntilIdle(lifetime, event)) {
      case IdleMonitorEnd::kIdle:
        lifetime.signals().EndMessageLoop();
        break;
      case IdleMonitorEnd::kStopped:
        return;
      case IdleMonitorEnd::kWaitFailed:
        // Fall back to ending at the last release rather than serving forever.
        if (lifetime.SwitchToImmediateShutdown()) lifetime.signals().EndMessageLoop();
        return;
    }
  }
}

// --- Pausing, serving again and ending (the main thread) ---

namespace {

// After the quit message: true when nothing was created since the idle decision.
// The decision's mark, not the activity flag, tells: the monitor clears the flag
// whenever a release wakes it, so reading the flag here would make the outcome
// depend on which thread runs first. The mark only means something while the idle
// monitor is in use.
bool NothingCreatedSinceIdleDecision(const ServerLifetime& lifetime) {
  return lifetime.locks().Count() == 0 &&
         !(lifetime.delayed_shutdown() && lifetime.LockedSinceIdleDecision());
}

// The class objects could not be taken back or registered again, so no new client
// can reach this process; clients that hold objects still can. Their calls are
// dispatched, unregistered, until the last lock goes (which then quits at once),
// and the run ends with `failure`.
HResult ServeHoldersThenFail(ServerSteps& steps, ServerLifetime& lifetime, HResult failure) {
  if (!lifetime.SwitchToImmediateShutdown()) steps.RunMessageLoop();
  return failure;
}

// Serves until a quit message finds the server still idle with its class objects
// suspended and revoked; ending revokes whatever is still registered.
HResult ServeUntilIdle(ServerSteps& steps, ServerLifetime& lifetime) {
  for (;;) {
    VU_RETURN_IF_FAILED(steps.RunMessageLoop());
    HResult hr = steps.SuspendAndRevokeClassObjects();
    if (Failed(hr)) return ServeHoldersThenFail(steps, lifetime, hr);
    if (lifetime.delayed_shutdown()) steps.DispatchCallsFor(lifetime.pause_ms());
    if (NothingCreatedSinceIdleDecision(lifetime)) return kS_OK;
    hr = steps.RegisterAndResumeClassObjects();
    if (Failed(hr)) return ServeHoldersThenFail(steps, lifetime, hr);
    // An object came and went since the decision: count the idle time again.
    if (lifetime.locks().Count() == 0 && lifetime.delayed_shutdown()) {
      lifetime.ArmIdleCountdown();
    }
  }
}

}  // namespace

HResult RunServer(ServerSteps& steps, ServerLifetime& lifetime) {
  HResult hr = steps.RegisterClassObjects();
  if (hr != kS_OK) {
    lifetime.set_delayed_shutdown(false);
  } else if (lifetime.delayed_shutdown()) {
    hr = steps.StartIdleMonitor();
    // A server that is started but never gets an object must not run forever:
    // start counting now, as if the last lock had just gone.
    if (hr == kS_OK) lifetime.ArmIdleCountdown();
  }
  if (hr != kS_OK) return Succeeded(hr) ? steps.RevokeClassObjects() : hr;
  hr = ServeUntilIdle(steps, lifetime);
  // Also after a failure, when no client can be served any more.
  const HResult revoked = steps.RevokeClassObjects();
  return Failed(hr) ? hr : revoked;
}

}  // namespace ci
