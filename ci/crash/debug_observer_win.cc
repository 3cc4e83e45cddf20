#include "ci/crash/debug_observer.h"

#include "ci/crash/crash_reporter.h"

namespace ci {
namespace {

ServerDebugObserver g_server_debug_observer;

}  // namespace

DebugObserver* CurrentDebugObserver = nullptr;
bool CurrentDebugObserverInstalled = false;

bool ServerDebugObserver::OnFailure(std::uint32_t /*context*/, EXCEPTION_POINTERS* exception,
                                    std::uint64_t min_interval) {
  return ProcessCrashReporter().OnFailure(exception, min_interval);
}

void InstallServerDebugObserver() {
  if (CurrentDebugObserver != nullptr) return;
  // Built now rather than on first failure, when allocating may no longer be safe.
  ProcessCrashReporter();
  CurrentDebugObserver = &g_server_debug_observer;
  CurrentDebugObserverInstalled = true;
}

void UninstallServerDebugObserver() {
  if (!CurrentDebugObserverInstalled) return;
  CurrentDebugObserver = nullptr;
  CurrentDebugObserverInstalled = false;
}

}  // namespace ci
