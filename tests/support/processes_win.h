// Starting and waiting for the helper programs, servers and clients the Windows
// tests run.
#pragma once

#include <windows.h>

#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/wide_string.h"
#include "ci/base/win_handles.h"

namespace ci {
namespace test {

// The folder of the running test program, and a file in it.
WString TestDirectory();
WString BesideTestProgram(const WString& file_name);
WString FullPath(const WString& path);
inline WString Quoted(const WString& path) { return u'"' + path + u'"'; }

// Where a started program writes: inheritable handles for its standard output
// and error (its input stays the test's own).
struct OutputHandles {
  HANDLE output = nullptr;
  HANDLE error = nullptr;
};

// Starts `command_line` (the program's path first, quoted when it holds spaces);
// the process handle, null when it could not be started. With `redirect` the
// program inherits the test's inheritable handles.
UniqueHandle StartProcess(const WString& command_line, const OutputHandles* redirect = nullptr);

// The exit code of `process`, or STILL_ACTIVE when it has not ended within
// `timeout_ms` (or the handle is null).
DWORD WaitForExit(HANDLE process, DWORD timeout_ms);
inline bool IsRunning(HANDLE process) { return ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// Waits for every process within one shared `timeout_ms`; their exit codes in
// order, STILL_ACTIVE for those that had not ended.
std::vector<DWORD> WaitForAll(const std::vector<UniqueHandle>& processes, DWORD timeout_ms);

// Runs `command_line` and waits for it; the whole exit code as an HRESULT, or
// `fallback` when the program could not be run or did not end within a minute.
HResult RunAndWait(const WString& command_line, HResult fallback = kE_FAIL);

}  // namespace test
}  // namespace ci
