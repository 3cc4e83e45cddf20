// Stands in for the product's first-run program in the EULA tests. It leaves the
// marker "vufirstboot.ran" beside itself at once and "vufirstboot.done" about two
// seconds later, so a test can tell that it was started and that its starter did
// not wait for it.
#include <windows.h>

#include <string>

namespace {

void LeaveMarker(const std::wstring& directory, const wchar_t* name) {
  HANDLE file = ::CreateFileW((directory + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

}  // namespace

int wmain() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  directory.resize(directory.find_last_of(L'\\') + 1);
  LeaveMarker(directory, L"vufirstboot.ran");
  ::Sleep(2000);
  LeaveMarker(directory, L"vufirstboot.done");
  return 0;
}
