#include "ci/crash/debug_observer.h"

#include "ci/crash/report_upload.h"

namespace ci {
namespace {

ServerDebugObserver g_server_debug_observer;

}  // namespace

DebugObserver* CurrentDebugObserver = nullptr;
bool CurrentDebugObserverInstalled = false;

CrashReporter& ProcessCrashReporter() {
  static CrashReporter reporter(CrashReporterSettings::Defaults(
      [](const WString& host, const std::vector<std::uint8_t>& dump_bytes) {
        return UploadReport(host, dump_bytes);
      }));
  return reporter;
}

bool ServerDebugObserver::OnFailure(std::uint32_t /*context*/, EXCEPTION_POINTERS* exception,
                                    std::uint64_t min_interval) {
  if (reporting_.exchange(true)) return true;
  CrashReporter& reporter = reporter_ != nullptr ? *reporter_ : ProcessCrashReporter();
  reporter.OnFailure(exception, min_interval);
  reporting_ = false;
  return true;
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
