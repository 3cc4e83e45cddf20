#include "ci/crash/locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace ci {
namespace {

class CountingLock : public Lockable {
 public:
  bool Lock() override {
    ++locks;
    held = true;
    return lock_result;
  }
  LockWait TryLockFor(std::uint32_t) override {
    ADD_FAILURE() << "a scoped lock waits without limit";
    return LockWait::kTimedOut;
  }
  bool Unlock() override {
    ++unlocks;
    held = false;
    return true;
  }
  int locks = 0;
  int unlocks = 0;
  bool held = false;
  bool lock_result = true;
};

TEST(ScopedLock, HoldsForItsScopeEvenWhenTheWaitFails) {
  CountingLock lock;
  lock.lock_result = false;
  {
    ScopedLock hold(&lock);
    EXPECT_TRUE(lock.held);
    EXPECT_EQ(lock.unlocks, 0);
  }
  EXPECT_EQ(lock.locks, 1);
  EXPECT_EQ(lock.unlocks, 1);
  EXPECT_FALSE(lock.held);
}

TEST(ScopedLock, UnderLockRunsTheBlockOnceAndLeavesOnBreak) {
  CountingLock lock;
  int runs = 0;
  VU_UNDER_LOCK(&lock) {
    EXPECT_TRUE(lock.held);
    ++runs;
  }
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(lock.held);

  VU_UNDER_LOCK(&lock) {
    ++runs;
    break;
  }
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(lock.locks, 2);
  EXPECT_EQ(lock.unlocks, 2);
}

TEST(LLock, ReentrantForTheOwningThread) {
  LLock lock;
  EXPECT_TRUE(lock.Lock());
  EXPECT_TRUE(lock.Lock());
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(lock.Unlock());
}

TEST(LLock, TimedWaitHoldsAFreeLockAndIsReentrant) {
  LLock lock;
  EXPECT_EQ(lock.TryLockFor(0), LockWait::kHeld);
  EXPECT_EQ(lock.TryLockFor(0), LockWait::kHeld);  // the owner may take it again
  EXPECT_EQ(lock.TryLockFor(kWaitWithoutLimit), LockWait::kHeld);
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(lock.Unlock());
  // Released as often as taken: another thread gets it at once.
  LockWait other = LockWait::kTimedOut;
  std::thread([&] {
    other = lock.TryLockFor(0);
    if (other == LockWait::kHeld) lock.Unlock();
  }).join();
  EXPECT_EQ(other, LockWait::kHeld);
}

TEST(LLock, TimedWaitRunsOutWhileAnotherThreadHoldsIt) {
  LLock lock;
  ASSERT_TRUE(lock.Lock());
  LockWait at_once = LockWait::kHeld;
  LockWait after_a_while = LockWait::kHeld;
  std::chrono::steady_clock::duration waited{};
  std::thread([&] {
    at_once = lock.TryLockFor(0);
    const auto start = std::chrono::steady_clock::now();
    after_a_while = lock.TryLockFor(50);
    waited = std::chrono::steady_clock::now() - start;
  }).join();
  EXPECT_EQ(at_once, LockWait::kTimedOut);
  EXPECT_EQ(after_a_while, LockWait::kTimedOut);
  EXPECT_GE(waited, std::chrono::milliseconds(40));
  EXPECT_TRUE(lock.Unlock());
}

TEST(LLock, TimedWaitGetsTheLockWhenItIsReleasedInTime) {
  LLock lock;
  ASSERT_TRUE(lock.Lock());
  std::atomic<bool> waiting{false};
  LockWait result = LockWait::kTimedOut;
  std::thread waiter([&] {
    waiting = true;
    result = lock.TryLockFor(10000);
    if (result == LockWait::kHeld) lock.Unlock();
  });
  while (!waiting) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(lock.Unlock());
  waiter.join();
  EXPECT_EQ(result, LockWait::kHeld);
}

TEST(LLock, SerialisesThreads) {
  LLock lock;
  int plain_counter = 0;  // only ever touched under the lock
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        ScopedLock hold(&lock);
        if (inside.fetch_add(1) != 0) overlap = true;
        ++plain_counter;
        inside.fetch_sub(1);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(overlap);
  EXPECT_EQ(plain_counter, 8000);
}

}  // namespace
}  // namespace ci
