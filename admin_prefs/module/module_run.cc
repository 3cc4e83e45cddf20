#include "admin_prefs/module/module_run.h"

namespace ci {

ComInitOutcome ClassifyComInit(HResult hr, bool mscoree_loaded) {
  if (Succeeded(hr)) return ComInitOutcome::kInitialisedHere;
  if (hr == kRPC_E_CHANGED_MODE && mscoree_loaded) return ComInitOutcome::kInitialisedElsewhere;
  return ComInitOutcome::kFailed;
}

namespace {

// After the quit message: true when nothing was created since the idle decision.
// The decision's mark, not the activity flag, tells: the monitor clears the flag
// whenever a release wakes it, so reading the flag here would make the outcome
// depend on which thread runs first. The mark only means something while the idle
// monitor is in use.
bool StillIdle(const ModuleLocks& locks) {
  return locks.Count() == 0 && !(locks.delayed_shutdown() && locks.LockedSinceIdleDecision());
}

// The class objects could not be taken back or registered again, so no new client
// can reach this process; clients that hold objects still can. Their calls are
// dispatched, unregistered, until the last lock goes (which then quits at once),
// and the run ends with `failure`.
HResult ServeHoldersThenFail(ServerSteps& steps, ModuleLocks& locks, HResult failure) {
  if (!locks.SwitchToImmediateShutdown()) steps.RunMessageLoop();
  return failure;
}

// Serves until a quit message finds the server still idle with its class objects
// suspended; they stay suspended for the revocation.
HResult ServeUntilIdle(ServerSteps& steps, ModuleLocks& locks) {
  for (;;) {
    VU_RETURN_IF_FAILED(steps.RunMessageLoop());
    HResult hr = steps.SuspendClassObjects();
    if (Failed(hr)) return ServeHoldersThenFail(steps, locks, hr);
    if (locks.delayed_shutdown()) steps.ServeFor(locks.pause_ms());
    if (StillIdle(locks)) return kS_OK;
    hr = steps.ResumeClassObjects();
    if (Failed(hr)) return ServeHoldersThenFail(steps, locks, hr);
    // An object came and went since the decision: count the idle time again.
    if (locks.Count() == 0 && locks.delayed_shutdown()) locks.ArmIdleCountdown();
  }
}

}  // namespace

HResult RunServer(ServerSteps& steps, ModuleLocks& locks) {
  HResult hr = steps.RegisterClassObjects();
  if (hr != kS_OK) {
    locks.set_delayed_shutdown(false);
  } else if (locks.delayed_shutdown()) {
    hr = steps.StartIdleMonitor();
    // A server that is started but never gets an object must not run forever:
    // start counting now, as if the last lock had just gone.
    if (hr == kS_OK) locks.ArmIdleCountdown();
  }
  if (hr != kS_OK) return Succeeded(hr) ? steps.RevokeClassObjects() : hr;
  hr = ServeUntilIdle(steps, locks);
  // Also after a failure, when no client can be served any more.
  const HResult revoked = steps.RevokeClassObjects();
  return Failed(hr) ? hr : revoked;
}

}  // namespace ci
