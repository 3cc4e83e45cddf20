// Counting locks: exact under threads, never below zero, LockServer pairs only.
#include "admin_prefs/module/module_locks.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ci {
namespace {

class CountingListener : public ModuleLocks::LastReleaseListener {
 public:
  void OnLastRelease() override { ++last_releases; }
  int last_releases = 0;
};

TEST(ModuleLocks, CountsStayExactUnderConcurrentUse) {
  CountingListener listener;
  ModuleLocks locks(&listener);
  locks.Lock();  // held throughout, so no thread sees zero
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&locks] {
      for (int i = 0; i < 10000; ++i) {
        locks.Lock();
        locks.Unlock();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(locks.Count(), 1);
  EXPECT_EQ(listener.last_releases, 0);
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(listener.last_releases, 1);
}

TEST(ModuleLocks, AnUnlockWithoutItsLockIsIgnored) {
  CountingListener listener;
  ModuleLocks locks(&listener);
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(locks.Count(), 0) << "never below zero, so the server can still idle out";
  EXPECT_EQ(listener.last_releases, 0);
  locks.Lock();
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(listener.last_releases, 1) << "the next real release still counts";
}

TEST(ModuleLocks, AStrayServerUnlockLeavesAnotherClientsObjectLocked) {
  CountingListener listener;
  ModuleLocks locks(&listener);
  locks.Lock();  // another client's object
  EXPECT_EQ(locks.UnlockServer(), 1) << "no LockServer(TRUE) to match";
  EXPECT_EQ(locks.Count(), 1);
  EXPECT_EQ(listener.last_releases, 0);
  // Matched pairs count as module locks.
  EXPECT_EQ(locks.LockServer(), 2);
  EXPECT_EQ(locks.LockServer(), 3);
  EXPECT_EQ(locks.UnlockServer(), 2);
  EXPECT_EQ(locks.UnlockServer(), 1);
  EXPECT_EQ(locks.UnlockServer(), 1);
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(listener.last_releases, 1);
}

}  // namespace
}  // namespace ci
