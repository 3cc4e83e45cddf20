#include <chrono>
#include <mutex>
#include <new>

#include "ci/crash/locks.h"

namespace ci {
namespace {

static_assert(sizeof(std::recursive_timed_mutex) <= LLock::kStorageSize, "mutex does not fit");
static_assert(alignof(std::recursive_timed_mutex) <= 8, "mutex alignment");

std::recursive_timed_mutex* AsMutex(unsigned char* storage) {
  return std::launder(reinterpret_cast<std::recursive_timed_mutex*>(storage));
}

}  // namespace

LLock::LLock() { new (storage_) std::recursive_timed_mutex; }

LLock::~LLock() { AsMutex(storage_)->~recursive_timed_mutex(); }

bool LLock::Lock() {
  AsMutex(storage_)->lock();
  return true;
}

LockWait LLock::TryLockFor(std::uint32_t timeout_ms) {
  if (timeout_ms == kWaitWithoutLimit) {
    AsMutex(storage_)->lock();
    return LockWait::kHeld;
  }
  return AsMutex(storage_)->try_lock_for(std::chrono::milliseconds(timeout_ms))
             ? LockWait::kHeld
             : LockWait::kTimedOut;
}

bool LLock::Unlock() {
  AsMutex(storage_)->unlock();
  return true;
}

}  // namespace ci
