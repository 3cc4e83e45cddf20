#include "admin_prefs/module_run.h"

namespace ci {

ComInitOutcome ClassifyComInit(HResult hr, bool mscoree_loaded) {
  if (Succeeded(hr)) return ComInitOutcome::kInitialisedHere;
  if (hr == kRPC_E_CHANGED_MODE && mscoree_loaded) return ComInitOutcome::kInitialisedElsewhere;
  return ComInitOutcome::kFailed;
}

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
  if (hr == kS_OK) steps.RunMessageLoop();
  if (Succeeded(hr)) {
    hr = steps.RevokeClassObjects();
    if (locks.delayed_shutdown()) steps.Sleep(locks.pause_ms());
  }
  return hr;
}

}  // namespace ci
