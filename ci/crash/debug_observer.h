// The crash observer: the interface a failure handler calls, the process-wide
// pointer to the observer in charge, and the server's one observer. Installing
// the observer installs no exception filter; whatever handles a fatal failure
// reads CurrentDebugObserver and calls OnFailure on it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "ci/crash/crash_reporter.h"

namespace ci {

class DebugObserver {
 public:
  // `context` is the handler's own value (ignored by the server's observer);
  // `exception` is the failure's record, or null when there is none;
  // `min_interval` is the least time, in 100-nanosecond units, between two
  // reporting attempts. Returns true.
  virtual bool OnFailure(std::uint32_t context, EXCEPTION_POINTERS* exception,
                         std::uint64_t min_interval) = 0;

 protected:
  ~DebugObserver() = default;  // never deleted through the interface
};

// Reports through a crash reporter (ci/crash/crash_reporter.h), one failure at a
// time: a failure that comes while OnFailure runs (a fault inside the report,
// which the failure handler passes here again, or one on another thread) returns
// true at once, so the observer is never re-entered.
class ServerDebugObserver : public DebugObserver {
 public:
  // `reporter`: null for the process's reporter (ProcessCrashReporter).
  constexpr explicit ServerDebugObserver(CrashReporter* reporter = nullptr) : reporter_(reporter) {}
  bool OnFailure(std::uint32_t context, EXCEPTION_POINTERS* exception,
                 std::uint64_t min_interval) override;

 private:
  CrashReporter* reporter_;
  std::atomic<bool> reporting_{false};
};

// The process's reporter: the default settings, uploading with UploadReport.
// Made on first use.
CrashReporter& ProcessCrashReporter();

// The observer a failure handler is to call; null when none is installed.
extern DebugObserver* CurrentDebugObserver;
// Set when InstallServerDebugObserver put the pointer in place.
extern bool CurrentDebugObserverInstalled;

// Points CurrentDebugObserver at the server's observer unless another observer
// is already there, and prepares the process's reporter so that a failure finds
// it ready.
void InstallServerDebugObserver();
// Clears the pointer, if InstallServerDebugObserver set it.
void UninstallServerDebugObserver();

// Installs the observer for its lifetime: a static object of the executable, so
// that the pointer is set during static initialisation and cleared at exit.
class DebugObserverInstallation {
 public:
  DebugObserverInstallation() { InstallServerDebugObserver(); }
  ~DebugObserverInstallation() { UninstallServerDebugObserver(); }
  DebugObserverInstallation(const DebugObserverInstallation&) = delete;
  DebugObserverInstallation& operator=(const DebugObserverInstallation&) = delete;
};

}  // namespace ci
