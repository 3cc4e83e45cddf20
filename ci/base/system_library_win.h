// Run-time libraries of the platform: loaded from the system directory only, so
// that a library planted beside the executable or in the current directory under
// a platform name never runs in this process, and bound by entry-point name.
#pragma once

#include <windows.h>

#include "ci/base/win_handles.h"

namespace ci {

// The loader seam: LoadLibraryExW's signature.
using LoadLibraryExFn = HMODULE(WINAPI*)(LPCWSTR name, HANDLE file, DWORD flags);

// Loads `name` (a file name, with or without ".dll") from the system directory.
// Where the loader does not know LOAD_LIBRARY_SEARCH_SYSTEM32 (older systems
// without the search-path update), loads the full path in the system directory
// instead. Null on failure, with the loader's last error.
UniqueLibrary LoadSystemLibrary(const wchar_t* name, LoadLibraryExFn load = &::LoadLibraryExW);

// Looks up `name` in `module` into `*entry`; false when it is missing.
template <typename Fn>
bool BindEntryPoint(HMODULE module, const char* name, Fn* entry) {
  const FARPROC address = ::GetProcAddress(module, name);
  // Through a generic function pointer type: the two pointer types differ.
  *entry = address ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address)) : nullptr;
  return address != nullptr;
}

}  // namespace ci
