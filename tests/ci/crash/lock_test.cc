#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ci/crash/llock.h"
#include "ci/crash/lockable.h"

namespace ci {
namespace {

class CountingLock : public Lockable {
 public:
  bool Lock() override {
    ++locks;
    held = true;
    return lock_result;
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
