#include <windows.h>

#include <new>
#include <type_traits>

#include "ci/crash/locks.h"

namespace ci {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= LLock::kStorageSize, "critical section does not fit");
static_assert(alignof(CRITICAL_SECTION) <= 8, "critical section alignment");
static_assert(kWaitWithoutLimit == INFINITE, "a wait without limit");
static_assert(
    std::is_same_v<CreateMutexExWFn, HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD)>,
    "CreateMutexExW's type");
static_assert(
    std::is_same_v<CreateEventExWFn, HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD)>,
    "CreateEventExW's type");

// Desired access of a mutex made with the extended creator.
constexpr DWORD kMutexAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// How long a timed wait for a critical section sleeps between two tries.
constexpr DWORD kSectionRetryMs = 1;

CRITICAL_SECTION* AsSection(unsigned char* storage) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

ExtendedCreators g_extended_creators;

template <typename Fn>
Fn LookUp(HMODULE module, const char* name) {
  // GetProcAddress answers a generic pointer; the caller names the real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

SECURITY_DESCRIPTOR g_null_dacl_descriptor;
SECURITY_ATTRIBUTES g_null_dacl_attributes;
bool g_null_dacl_ready = false;

}  // namespace

// ---------------------------------------------------------------------------
// LLock: a critical section held in place.

LLock::LLock() { ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }

LLock::~LLock() { ::DeleteCriticalSection(AsSection(storage_)); }

bool LLock::Lock() {
  ::EnterCriticalSection(AsSection(storage_));
  return true;
}

LockWait LLock::TryLockFor(std::uint32_t timeout_ms) {
  if (timeout_ms == kWaitWithoutLimit) return Lock() ? LockWait::kHeld : LockWait::kTimedOut;
  // A critical section has no timed wait: try again until the time is up.
  const DWORD start = ::GetTickCount();
  while (!::TryEnterCriticalSection(AsSection(storage_))) {
    if (::GetTickCount() - start >= timeout_ms) return LockWait::kTimedOut;
    ::Sleep(kSectionRetryMs);
  }
  return LockWait::kHeld;
}

bool LLock::Unlock() {
  ::LeaveCriticalSection(AsSection(storage_));
  return true;
}

// ---------------------------------------------------------------------------
// GLock: a named mutex.

void GLock::HandleCloser::operator()(void* handle) const { ::CloseHandle(handle); }

GLock::GLock(const wchar_t* name, SECURITY_ATTRIBUTES* attributes) {
  ResolveExtendedCreators();
  mutex_.reset(CreateNamedMutex(ProcessExtendedCreators(), name, attributes));
}

GLock::~GLock() = default;

bool GLock::Lock() { return TryLockFor(kWaitWithoutLimit) == LockWait::kHeld; }

LockWait GLock::TryLockFor(std::uint32_t timeout_ms) {
  if (!mutex_) return LockWait::kNoLock;
  const DWORD wait = ::WaitForSingleObject(mutex_.get(), timeout_ms);
  return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? LockWait::kHeld : LockWait::kTimedOut;
}

bool GLock::Unlock() { return mutex_ && ::ReleaseMutex(mutex_.get()) != FALSE; }

// ---------------------------------------------------------------------------
// The kernel-object creators and the open security attributes.

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

SECURITY_ATTRIBUTES* NullDaclSecurityAttributes() {
  if (!g_null_dacl_ready) {
    if (!::InitializeSecurityDescriptor(&g_null_dacl_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&g_null_dacl_descriptor, TRUE, nullptr, FALSE)) {
      return nullptr;
    }
    g_null_dacl_attributes.nLength = sizeof(g_null_dacl_attributes);
    g_null_dacl_attributes.lpSecurityDescriptor = &g_null_dacl_descriptor;
    g_null_dacl_attributes.bInheritHandle = FALSE;
    g_null_dacl_ready = true;
  }
  return &g_null_dacl_attributes;
}

}  // namespace ci
