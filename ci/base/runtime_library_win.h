// Run-time libraries of the platform: loaded from the system directory only, so
// that a library planted beside the executable or in the current directory under
// a platform name never runs in this process, bound by entry-point name, and
// called so that a fault inside the library (an access violation, an illegal
// instruction, a division by zero) ends the call as a failure and the process
// goes on. See docs/architecture.md, "Run-time libraries and the fault guard".
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

// --- Guarded calls ---------------------------------------------------------------

// Runs body(context) on the calling thread. Returns true when it returned, false
// when it faulted; after a fault, frames between the guard and the fault are
// abandoned without running their cleanup. Guards nest.
bool RunGuarded(void (*body)(void* context), void* context);

// Runs call() under RunGuarded; returns its result, or `on_fault` when it faulted.
// `call` is typically a lambda making one library call.
template <typename R, typename Call>
R GuardedCall(R on_fault, const Call& call) {
  struct Frame {
    const Call* call;
    R result;
  } frame{&call, on_fault};
  const bool completed = RunGuarded(
      [](void* context) {
        Frame& f = *static_cast<Frame*>(context);
        f.result = (*f.call)();
      },
      &frame);
  return completed ? frame.result : on_fault;
}

// GuardedCall of fn(args...), for calls whose arguments have their exact types.
template <typename R, typename Fn, typename... Args>
R CallGuarded(R on_fault, Fn fn, Args... args) {
  return GuardedCall<R>(on_fault, [&] { return static_cast<R>(fn(args...)); });
}

}  // namespace ci
