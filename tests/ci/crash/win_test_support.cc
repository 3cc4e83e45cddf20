#include "win_test_support.h"

namespace ci {
namespace test {

std::wstring BesideExecutable(const std::wstring& file_name) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  directory.resize(directory.find_last_of(L'\\') + 1);
  return directory + file_name;
}

UniqueHandle StartProcess(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command_line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
    return UniqueHandle();
  }
  ::CloseHandle(info.hThread);
  return UniqueHandle(info.hProcess);
}

std::vector<DWORD> WaitForAll(const std::vector<UniqueHandle>& processes, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  std::vector<DWORD> codes;
  for (const UniqueHandle& process : processes) {
    const DWORD elapsed = ::GetTickCount() - start;
    const DWORD left = elapsed < timeout_ms ? timeout_ms - elapsed : 0;
    DWORD code = 0xFFFFFFFF;
    if (process && ::WaitForSingleObject(process.get(), left) == WAIT_OBJECT_0) {
      ::GetExitCodeProcess(process.get(), &code);
    }
    codes.push_back(code);
  }
  return codes;
}

}  // namespace test
}  // namespace ci
