// The locks: the interface shared by the process-local and machine-wide locks, a
// scope guard over it, the process-local LLock and, on Windows, the machine-wide
// GLock with the kernel-object helpers it is built from. The header stays free of
// <windows.h>: portable code (the proxy state) holds an LLock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ci/crash/os_version.h"

#ifdef _WIN32
// The platform's record, named without <windows.h> (SECURITY_ATTRIBUTES).
struct _SECURITY_ATTRIBUTES;
#endif

namespace ci {

// How a wait with a time limit ended.
enum class LockWait {
  kHeld,      // the lock is held and is to be released
  kTimedOut,  // the time ran out, or the wait failed, without the lock
  kNoLock,    // there is no lock to wait for: nothing is held
};

// The time limit of a wait that has none (the platform's INFINITE).
constexpr std::uint32_t kWaitWithoutLimit = 0xFFFFFFFFu;

class Lockable {
 public:
  // Acquires, waiting without limit; true when the lock is held.
  virtual bool Lock() = 0;
  // Acquires, waiting at most `timeout_ms` (kWaitWithoutLimit: no limit).
  virtual LockWait TryLockFor(std::uint32_t timeout_ms) = 0;
  // Releases; true on success.
  virtual bool Unlock() = 0;
  virtual ~Lockable() = default;
};

// Holds a lock for the lifetime of the object. The result of the wait is not
// checked: code under a ScopedLock goes on without the lock when the wait fails.
class ScopedLock {
 public:
  explicit ScopedLock(Lockable* lock) : lock_(lock) { lock_->Lock(); }
  ~ScopedLock() { lock_->Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  // True exactly once: lets a loop header run its body a single time under the
  // lock (see VU_UNDER_LOCK).
  bool TakeFirstPass() {
    const bool first = first_pass_;
    first_pass_ = false;
    return first;
  }

 private:
  Lockable* lock_;
  bool first_pass_ = true;
};

// A process-local lock: one critical section on Windows (re-entrant for the
// owning thread), a recursive timed mutex in the portable build.
class LLock : public Lockable {
 public:
  LLock();
  ~LLock() override;
  LLock(const LLock&) = delete;
  LLock& operator=(const LLock&) = delete;

  bool Lock() override;
  // Never kNoLock: the lock always exists.
  LockWait TryLockFor(std::uint32_t timeout_ms) override;
  bool Unlock() override;

  // Room for the platform object, held in place so that a lock costs no
  // allocation; each implementation checks at compile time that it fits.
  static constexpr std::size_t kStorageSize = 64;

 private:
  alignas(8) unsigned char storage_[kStorageSize];
};

#ifdef _WIN32

// A lock shared by every process of the machine through a named mutex.
class GLock : public Lockable {
 public:
  // Creates (or opens) the mutex `name`; a failed creation leaves no handle and
  // every wait then fails at once. Construction itself never fails.
  explicit GLock(const wchar_t* name, _SECURITY_ATTRIBUTES* attributes = nullptr);
  GLock(const GLock&) = delete;
  GLock& operator=(const GLock&) = delete;
  ~GLock() override;

  // Waits without limit through the virtual TryLockFor, so a subclass that
  // overrides the timed form changes both.
  bool Lock() override;
  // kHeld when the wait ends with the mutex owned, also when its previous owner
  // died holding it; kNoLock without a mutex; kTimedOut on time-out or failure.
  LockWait TryLockFor(std::uint32_t timeout_ms) override;
  bool Unlock() override;

  bool has_handle() const { return static_cast<bool>(mutex_); }

 private:
  struct HandleCloser {
    void operator()(void* handle) const;
  };
  std::unique_ptr<void, HandleCloser> mutex_;
};

// The creation functions for named kernel objects: the extended ones where the
// system is of the Vista class, the plain ones otherwise. The types are the
// platform's (checked where the functions are looked up).
using CreateMutexExWFn = void*(__stdcall*)(_SECURITY_ATTRIBUTES*, const wchar_t*, unsigned long,
                                           unsigned long);
using CreateEventExWFn = void*(__stdcall*)(_SECURITY_ATTRIBUTES*, const wchar_t*, unsigned long,
                                           unsigned long);

struct ExtendedCreators {
  CreateMutexExWFn create_mutex_ex = nullptr;
  CreateEventExWFn create_event_ex = nullptr;
};

// The process-wide pointers, filled by ResolveExtendedCreators().
const ExtendedCreators& ProcessExtendedCreators();

// Looks both creators up in the already loaded kernel32.dll when `os_class` is
// the Vista class or above and they are not both set yet; leaves them alone on an
// older class, so that the plain creators are used there.
void ResolveExtendedCreators(OsVersionClass os_class, ExtendedCreators* creators);

// The same for the process-wide pointers and the running system's class.
void ResolveExtendedCreators();

// A named mutex (a HANDLE), not initially owned: through CreateMutexExW when
// `creators` has it, CreateMutexW otherwise. Null when creation failed.
void* CreateNamedMutex(const ExtendedCreators& creators, const wchar_t* name,
                       _SECURITY_ATTRIBUTES* attributes);

// Open security attributes for kernel objects that every account must reach: one
// process-wide record (handle not inheritable) whose descriptor carries a present
// but null DACL. Built on the first successful call and reused; null when the
// descriptor could not be set up, and the next call tries again.
_SECURITY_ATTRIBUTES* NullDaclSecurityAttributes();

#endif  // _WIN32

}  // namespace ci

// Runs the following statement or block once while `lockable` (a Lockable*) is held.
#define VU_UNDER_LOCK(lockable) \
  for (::ci::ScopedLock ci_scoped_lock_(lockable); ci_scoped_lock_.TakeFirstPass();)
