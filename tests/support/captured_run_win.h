// Running a console program from a Windows test and keeping what it prints.
#pragma once

#include <windows.h>

#include <string>

#include "ci/base/wide_string.h"

namespace ci {
namespace test {

struct CapturedRun {
  DWORD exit_code = STILL_ACTIVE;  // also when it could not be started or did not end
  std::string output;
  std::string error;  // empty when merged into `output`
};

enum class ErrorOutput { kApart, kMerged };

// Runs `command_line` with its standard output and error on pipes, within a
// minute. Reads until the program has ended and the pipes are empty, not until
// end of file: under Wine a process started on the program's behalf (a COM
// server, a helper) inherits its handles, and so the pipes, until it ends itself.
CapturedRun RunCapturingOutput(const WString& command_line, ErrorOutput error_output);

}  // namespace test
}  // namespace ci
