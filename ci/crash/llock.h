// A process-local lock: one critical section on Windows (re-entrant for the
// owning thread), a recursive mutex in the portable build.
#pragma once

#include <cstddef>

#include "ci/crash/lockable.h"

namespace ci {

class LLock : public Lockable {
 public:
  LLock();
  ~LLock() override;
  LLock(const LLock&) = delete;
  LLock& operator=(const LLock&) = delete;

  bool Lock() override;
  bool Unlock() override;

  // Room for the platform object, held in place so that a lock costs no
  // allocation; each implementation checks at compile time that it fits.
  static constexpr std::size_t kStorageSize = 64;

 private:
  alignas(8) unsigned char storage_[kStorageSize];
};

}  // namespace ci
