// Stand-in program started by the process-launch test: leaves a marker file named
// after its own path (path + ".ran") holding its command line, and exits with 0.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  const std::wstring marker = std::wstring(path, length) + L".ran";
  HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  const wchar_t* command_line = ::GetCommandLineW();
  DWORD written = 0;
  ::WriteFile(file, command_line, static_cast<DWORD>(wcslen(command_line) * sizeof(wchar_t)),
              &written, nullptr);
  ::CloseHandle(file);
  return 0;
}
