#include "admin_prefs/module/module_locks.h"

namespace ci {

namespace {

// Decrements `value` unless it is already zero or below; false when it was.
bool DecrementAboveZero(std::atomic<std::int32_t>& value, std::int32_t* now) {
  std::int32_t current = value.load();
  do {
    if (current <= 0) {
      *now = current;
      return false;
    }
  } while (!value.compare_exchange_weak(current, current - 1));
  *now = current - 1;
  return true;
}

}  // namespace

std::int32_t ModuleLocks::Unlock() {
  std::int32_t count = 0;
  if (!DecrementAboveZero(count_, &count)) return count;
  if (count == 0) listener_->OnLastRelease();
  return count;
}

std::int32_t ModuleLocks::LockServer() {
  server_locks_.fetch_add(1);
  return Lock();
}

std::int32_t ModuleLocks::UnlockServer() {
  std::int32_t outstanding = 0;
  if (!DecrementAboveZero(server_locks_, &outstanding)) return Count();
  return Unlock();
}

}  // namespace ci
