#include "ci/crash/mutex_creators_win.h"

namespace ci {
namespace {

ExtendedCreators g_extended_creators;

template <typename Fn>
Fn LookUp(HMODULE module, const char* name) {
  // GetProcAddress answers a generic pointer; the caller names the real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

const ExtendedCreators& ProcessExtendedCreators() { return g_extended_creators; }

void ResolveExtendedCreators(OsVersionClass os_class, ExtendedCreators* creators) {
  if (creators->create_mutex_ex && creators->create_event_ex) return;
  if (os_class < kOsVista) return;
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  creators->create_mutex_ex = LookUp<CreateMutexExWFn>(kernel, "CreateMutexExW");
  creators->create_event_ex = LookUp<CreateEventExWFn>(kernel, "CreateEventExW");
}

void ResolveExtendedCreators() {
  if (g_extended_creators.create_mutex_ex && g_extended_creators.create_event_ex) return;
  ResolveExtendedCreators(GetOsVersionClass(), &g_extended_creators);
}

HANDLE CreateNamedMutex(const ExtendedCreators& creators, const wchar_t* name,
                        SECURITY_ATTRIBUTES* attributes) {
  if (creators.create_mutex_ex) {
    return creators.create_mutex_ex(attributes, name, 0, kMutexAccess);
  }
  return ::CreateMutexW(attributes, FALSE, name);
}

}  // namespace ci
