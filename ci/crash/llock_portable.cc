#include <mutex>
#include <new>

#include "ci/crash/llock.h"

namespace ci {
namespace {

static_assert(sizeof(std::recursive_mutex) <= LLock::kStorageSize, "mutex does not fit");
static_assert(alignof(std::recursive_mutex) <= 8, "mutex alignment");

std::recursive_mutex* AsMutex(unsigned char* storage) {
  return std::launder(reinterpret_cast<std::recursive_mutex*>(storage));
}

}  // namespace

LLock::LLock() { new (storage_) std::recursive_mutex; }

LLock::~LLock() { AsMutex(storage_)->~recursive_mutex(); }

bool LLock::Lock() {
  AsMutex(storage_)->lock();
  return true;
}

bool LLock::Unlock() {
  AsMutex(storage_)->unlock();
  return true;
}

}  // namespace ci
