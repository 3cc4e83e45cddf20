#include "admin_prefs/module/module_locks.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ci {
namespace {

class RecordingActions : public ModuleLocks::ZeroActions {
 public:
  void SignalIdle() override { ++signals; }
  void QuitNow() override { ++quits; }
  int signals = 0;
  int quits = 0;
};

TEST(ModuleLocks, LastReleaseWithDelayedShutdownSignalsTheMonitor) {
  RecordingActions actions;
  ModuleLocks locks(&actions);
  EXPECT_TRUE(locks.delayed_shutdown());
  EXPECT_EQ(locks.idle_timeout_ms(), 5000u);
  EXPECT_EQ(locks.pause_ms(), 1000u);
  EXPECT_EQ(locks.Lock(), 1);
  EXPECT_EQ(locks.Lock(), 2);
  EXPECT_EQ(locks.Unlock(), 1);
  EXPECT_EQ(actions.signals, 0);
  EXPECT_FALSE(locks.activity());
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(actions.signals, 1);
  EXPECT_EQ(actions.quits, 0);
  EXPECT_TRUE(locks.activity());
  locks.ClearActivity();
  EXPECT_FALSE(locks.activity());
}

TEST(ModuleLocks, LastReleaseWithoutDelayedShutdownQuitsAtOnce) {
  RecordingActions actions;
  ModuleLocks locks(&actions);
  locks.set_delayed_shutdown(false);
  locks.Lock();
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(actions.quits, 1);
  EXPECT_EQ(actions.signals, 0);
  EXPECT_FALSE(locks.activity());
}

TEST(ModuleLocks, SwitchToImmediateShutdownQuitsNowOrAtTheLastRelease) {
  RecordingActions actions;
  ModuleLocks idle(&actions);
  EXPECT_TRUE(idle.SwitchToImmediateShutdown());

  ModuleLocks busy(&actions);
  busy.Lock();
  EXPECT_FALSE(busy.SwitchToImmediateShutdown());
  EXPECT_FALSE(busy.delayed_shutdown());
  busy.Unlock();
  EXPECT_EQ(actions.quits, 1);
}

TEST(ModuleLocks, CountsStayExactUnderConcurrentUse) {
  RecordingActions actions;
  ModuleLocks locks(&actions);
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
  EXPECT_EQ(actions.signals, 0);
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(actions.signals, 1);
}

TEST(ModuleLocks, AnUnlockWithoutItsLockIsIgnored) {
  RecordingActions actions;
  ModuleLocks locks(&actions);
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(locks.Count(), 0) << "never below zero, so the server can still idle out";
  EXPECT_EQ(actions.signals, 0);
  locks.Lock();
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(actions.signals, 1) << "the next real release still counts";
}

TEST(ModuleLocks, AStrayServerUnlockLeavesAnotherClientsObjectLocked) {
  RecordingActions actions;
  ModuleLocks locks(&actions);
  locks.Lock();  // another client's object
  EXPECT_EQ(locks.UnlockServer(), 1) << "no LockServer(TRUE) to match";
  EXPECT_EQ(locks.Count(), 1);
  EXPECT_EQ(actions.signals, 0);
  // Matched pairs count as module locks.
  EXPECT_EQ(locks.LockServer(), 2);
  EXPECT_EQ(locks.LockServer(), 3);
  EXPECT_EQ(locks.UnlockServer(), 2);
  EXPECT_EQ(locks.UnlockServer(), 1);
  EXPECT_EQ(locks.UnlockServer(), 1);
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(actions.signals, 1);
}

TEST(ModuleLocks, AnyLockAfterTheIdleDecisionIsSeenEvenWhenReleased) {
  RecordingActions actions;
  ModuleLocks locks(&actions);
  locks.Lock();
  locks.Unlock();
  locks.MarkIdleDecision();
  EXPECT_FALSE(locks.LockedSinceIdleDecision());
  locks.Lock();
  locks.Unlock();
  locks.ClearActivity();  // what the monitor does when the release wakes it
  EXPECT_TRUE(locks.LockedSinceIdleDecision());
  locks.MarkIdleDecision();
  EXPECT_FALSE(locks.LockedSinceIdleDecision());
}

}  // namespace
}  // namespace ci
