// adminprefs crash-test: the crash-reporting path seen working. The fault
// happens in a child process (this executable with a hidden sub-command); the
// parent watches it and reports what came of it.
#pragma once

#include <string>
#include <vector>

namespace ci {

// The hidden sub-command the parent starts the child with.
constexpr char kCrashTestChildCommand[] = "crash-test-child";

// Runs the child, waits for it to end and prints what it left: the dump, the
// upload's outcome and the bookkeeping values before and after. `report_host`
// (UTF-8), when not empty, replaces the built-in crash-report host. Returns 0
// only when a report was sent and accepted, 1 otherwise.
int RunCrashTest(const std::string& report_host, bool json);

// The child: installs the crash observer and an unhandled-exception filter that
// hands the failure to it (minimum interval 0), writes one line about its upload
// to standard output, and faults with an access violation; the process ends with
// that exception's code. `args` follow the sub-command: "--report-host=HOST".
[[noreturn]] void RunCrashTestChild(const std::vector<std::string>& args);

}  // namespace ci
