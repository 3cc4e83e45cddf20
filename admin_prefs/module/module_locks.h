// The server module's lock count: live service objects plus outstanding
// LockServer(TRUE) requests. Platform-free; what the last release means (wake the
// idle monitor, or end the message loop) is the server lifetime's decision.
#pragma once

#include <atomic>
#include <cstdint>

namespace ci {

class ModuleLocks {
 public:
  // Told each time the count comes down to zero.
  class LastReleaseListener {
   public:
    virtual void OnLastRelease() = 0;

   protected:
    ~LastReleaseListener() = default;
  };

  explicit ModuleLocks(LastReleaseListener* listener) : listener_(listener) {}
  ModuleLocks(const ModuleLocks&) = delete;
  ModuleLocks& operator=(const ModuleLocks&) = delete;

  // Interlocked increment; returns the new count.
  std::int32_t Lock() {
    locks_taken_.fetch_add(1);  // first, so that no new lock is ever seen without it
    return count_.fetch_add(1) + 1;
  }
  // Interlocked decrement; at zero tells the listener. Returns the new count. The
  // count never goes below zero: an unlock with no lock to match is ignored.
  std::int32_t Unlock();
  std::int32_t Count() const { return count_.load(); }

  // IClassFactory::LockServer. A server lock is a module lock; an unlock while no
  // server lock is outstanding is ignored, so that a stray LockServer(FALSE)
  // cannot take away the lock of another client's object.
  std::int32_t LockServer();
  std::int32_t UnlockServer();

  // How many locks were ever taken; it only grows, so a lock that came and went
  // between two readings still shows.
  std::uint64_t LocksTaken() const { return locks_taken_.load(); }

 private:
  LastReleaseListener* listener_;
  std::atomic<std::int32_t> count_{0};
  std::atomic<std::int32_t> server_locks_{0};
  std::atomic<std::uint64_t> locks_taken_{0};
};

}  // namespace ci
