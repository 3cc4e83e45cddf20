// The lock interface shared by the process-local and machine-wide locks, and a
// scope guard over it.
#pragma once

namespace ci {

class Lockable {
 public:
  // Acquires, waiting without limit; true when the lock is held.
  virtual bool Lock() = 0;
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

}  // namespace ci

// Runs the following statement or block once while `lockable` (a Lockable*) is held.
#define VU_UNDER_LOCK(lockable) \
  for (::ci::ScopedLock ci_scoped_lock_(lockable); ci_scoped_lock_.TakeFirstPass();)
