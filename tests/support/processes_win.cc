#include "tests/support/processes_win.h"

#include <cstdio>

#include "ci/base/paths.h"

namespace ci {
namespace test {

WString TestDirectory() { return GetDirectoryPart(GetModulePath(nullptr)); }

WString BesideTestProgram(const WString& file_name) { return TestDirectory() + u"\\" + file_name; }

WString FullPath(const WString& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = ::GetFullPathNameW(AsWin(path), MAX_PATH, buffer, nullptr);
  return (n == 0 || n >= MAX_PATH) ? path : FromWin(buffer, n);
}

UniqueHandle StartProcess(const WString& command_line, const OutputHandles* redirect) {
  WString mutable_line = command_line;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (redirect != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = redirect->output;
    startup.hStdError = redirect->error;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION info = {};
  // Under Wine on a loaded machine a start now and then fails at once (seen
  // with nothing wrong in the command line): try again a little later before
  // calling it a failure, and say why when it stays one.
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(nullptr, AsWin(mutable_line), nullptr, nullptr, redirect != nullptr, 0,
                         nullptr, nullptr, &startup, &info)) {
      break;
    }
    const DWORD error = ::GetLastError();
    std::fprintf(stderr, "starting %ls failed (attempt %d): error %lu\n", AsWin(command_line),
                 attempt, static_cast<unsigned long>(error));
    if (attempt == 3) return UniqueHandle();
    ::Sleep(200);
    mutable_line = command_line;
  }
  UniqueHandle thread(info.hThread);
  return UniqueHandle(info.hProcess);
}

DWORD WaitForExit(HANDLE process, DWORD timeout_ms) {
  if (process == nullptr || ::WaitForSingleObject(process, timeout_ms) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process, &code);
  return code;
}

std::vector<DWORD> WaitForAll(const std::vector<UniqueHandle>& processes, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  std::vector<DWORD> codes;
  for (const UniqueHandle& process : processes) {
    const DWORD elapsed = ::GetTickCount() - start;
    codes.push_back(WaitForExit(process.get(), elapsed < timeout_ms ? timeout_ms - elapsed : 0));
  }
  return codes;
}

HResult RunAndWait(const WString& command_line, HResult fallback) {
  UniqueHandle process = StartProcess(command_line);
  if (!process || ::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return fallback;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return fallback;
  return static_cast<HResult>(code);
}

}  // namespace test
}  // namespace ci
