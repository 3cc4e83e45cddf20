// Started by the tally tests, several at once:
//   report_ids_recorder <start event> <hex id>...
// waits until the test opens the start event, records every id given (repeats
// count again) in the process-wide store and exits, so that the store adds its
// counts to the shared tally while static objects are destroyed.
#include <windows.h>

#include <cwchar>

#include "ci/crash/report_ids.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  ci::ReportIds& report_ids = ci::GlobalReportIds();
  HANDLE start = ::OpenEventW(SYNCHRONIZE, FALSE, argv[1]);
  if (!start) return 3;
  const DWORD wait = ::WaitForSingleObject(start, 30000);
  ::CloseHandle(start);
  if (wait != WAIT_OBJECT_0) return 4;
  for (int i = 2; i < argc; ++i) {
    if (!report_ids.RecordReportId(
            static_cast<std::uint32_t>(std::wcstoul(argv[i], nullptr, 16)))) {
      return 5;
    }
  }
  return 0;
}
