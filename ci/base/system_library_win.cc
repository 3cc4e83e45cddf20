#include "ci/base/system_library_win.h"

#include <string>

namespace ci {
namespace {

std::wstring SystemDirectoryPath(const wchar_t* name) {
  wchar_t directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  if (std::wstring(name).find(L'.') == std::wstring::npos) path += L".dll";
  return path;
}

}  // namespace

UniqueLibrary LoadSystemLibrary(const wchar_t* name, LoadLibraryExFn load) {
  if (HMODULE module = load(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return UniqueLibrary(module);
  }
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return UniqueLibrary();
  // The flag is unknown to this loader. A full path is never searched for; the
  // library's own imports are then looked up from its directory first.
  const std::wstring path = SystemDirectoryPath(name);
  if (path.empty()) return UniqueLibrary();
  return UniqueLibrary(load(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace ci
