#include <windows.h>

#include <new>

#include "ci/crash/llock.h"

namespace ci {
namespace {

static_assert(sizeof(CRITICAL_SECTION) <= LLock::kStorageSize, "critical section does not fit");
static_assert(alignof(CRITICAL_SECTION) <= 8, "critical section alignment");

CRITICAL_SECTION* AsSection(unsigned char* storage) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

}  // namespace

LLock::LLock() { ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }

LLock::~LLock() { ::DeleteCriticalSection(AsSection(storage_)); }

bool LLock::Lock() {
  ::EnterCriticalSection(AsSection(storage_));
  return true;
}

bool LLock::Unlock() {
  ::LeaveCriticalSection(AsSection(storage_));
  return true;
}

}  // namespace ci
