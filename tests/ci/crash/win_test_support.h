// Starting helper programs that sit beside the test executable.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ci/base/win_handles.h"

namespace ci {
namespace test {

// The full path of `file_name` in the directory of the running executable.
std::wstring BesideExecutable(const std::wstring& file_name);

// Starts `program` with `arguments` (quoted as given) and returns its process handle,
// null on failure.
UniqueHandle StartProcess(const std::wstring& program, const std::wstring& arguments);

// Waits for every process and returns their exit codes; a code of 0xFFFFFFFF marks
// a process that did not end within `timeout_ms`.
std::vector<DWORD> WaitForAll(const std::vector<UniqueHandle>& processes, DWORD timeout_ms);

}  // namespace test
}  // namespace ci
