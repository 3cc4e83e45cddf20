#include "tools/crash_test_win.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "ci/base/utf8.h"
#include "ci/crash/debug_observer.h"

namespace ci {
namespace {

// Read through a volatile pointer so that the compiler cannot see the fault
// coming and turn it into a trap instruction.
int* volatile g_nowhere = nullptr;

LONG WINAPI ReportFailure(EXCEPTION_POINTERS* exception) {
  if (CurrentDebugObserver != nullptr) CurrentDebugObserver->OnFailure(0, exception, 0);
  // Ends the process with the exception's code, without a debugger.
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void RunCrashTest(const std::string& report_host) {
  InstallServerDebugObserver();
  CrashReporter& reporter = ProcessCrashReporter();
  if (!report_host.empty())
    reporter.settings().report_host = Utf8ToWide(report_host.data(), report_host.size());
  if (!reporter.ReportingConsent()) {
    std::printf(
        "crash-test: reporting consent (SendAnonymousData) is not given: the failure "
        "will not be reported\n");
  }
  std::printf("crash-test: faulting on purpose; a report goes to %s port 80\n",
              WideToUtf8(reporter.settings().report_host).c_str());
  std::fflush(stdout);
  ::SetUnhandledExceptionFilter(ReportFailure);
  *g_nowhere = 0;
  std::abort();  // not reached: the write above faults
}

}  // namespace ci
