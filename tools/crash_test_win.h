// adminprefs crash-test: the crash-reporting path seen working in this process.
#pragma once

#include <string>

namespace ci {

// Installs the crash observer and an unhandled-exception filter that hands the
// failure to it (minimum interval 0), then faults with an access violation. The
// process ends with that exception's code; the function does not return.
// `report_host` (UTF-8), when not empty, replaces the built-in crash-report host.
[[noreturn]] void RunCrashTest(const std::string& report_host);

}  // namespace ci
