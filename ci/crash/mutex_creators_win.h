// The creation functions for named kernel objects: the extended ones where the
// system is of the Vista class, the plain ones otherwise.
#pragma once

#include <windows.h>

#include "ci/crash/os_version.h"

namespace ci {

using CreateMutexExWFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
using CreateEventExWFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);

struct ExtendedCreators {
  CreateMutexExWFn create_mutex_ex = nullptr;
  CreateEventExWFn create_event_ex = nullptr;
};

// Desired access of a mutex made with the extended creator.
constexpr DWORD kMutexAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// The process-wide pointers, filled by ResolveExtendedCreators().
const ExtendedCreators& ProcessExtendedCreators();

// Looks both creators up in the already loaded kernel32.dll when `os_class` is
// the Vista class or above and they are not both set yet; leaves them alone on an
// older class, so that the plain creators are used there.
void ResolveExtendedCreators(OsVersionClass os_class, ExtendedCreators* creators);

// The same for the process-wide pointers and the running system's class.
void ResolveExtendedCreators();

// A named mutex, not initially owned: through CreateMutexExW when `creators` has
// it, CreateMutexW otherwise. Null when creation failed.
HANDLE CreateNamedMutex(const ExtendedCreators& creators, const wchar_t* name,
                        SECURITY_ATTRIBUTES* attributes);

}  // namespace ci
