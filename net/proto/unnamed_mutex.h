// A process-local mutex without a name: a Win32 mutex in the Windows builds, a
// standard mutex elsewhere. Owned by each message type record and by the registry.
#pragma once

#include <memory>

class UnnamedMutex {
 public:
  UnnamedMutex();  // created unowned
  ~UnnamedMutex();
  UnnamedMutex(const UnnamedMutex&) = delete;
  UnnamedMutex& operator=(const UnnamedMutex&) = delete;

  // Waits without time-out. Where the platform could not create the mutex,
  // Lock and Unlock do nothing.
  void Lock();
  void Unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class UnnamedMutexLock {
 public:
  explicit UnnamedMutexLock(UnnamedMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~UnnamedMutexLock() { mutex_.Unlock(); }
  UnnamedMutexLock(const UnnamedMutexLock&) = delete;
  UnnamedMutexLock& operator=(const UnnamedMutexLock&) = delete;

 private:
  UnnamedMutex& mutex_;
};
