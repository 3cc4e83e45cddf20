// The idle monitor's state machine against a simulated clock: the event's waits
// advance the clock, and scheduled lock changes happen at their times.
#include "admin_prefs/module/idle_monitor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

namespace ci {
namespace {

class SimulatedServer : public ModuleLocks::ZeroActions, public IdleEvent {
 public:
  SimulatedServer() : locks(this) {}

  // At `time_ms` the lock count changes by `delta` (+1 a new object, -1 a release);
  // 0 is the module's stop request with its signal.
  void At(std::uint64_t time_ms, int delta) { schedule_.emplace(time_ms, delta); }

  void SignalIdle() override { signalled_ = true; }
  void QuitNow() override {
    ++quit_now_calls;
    quit_times.push_back(now);
  }

  WaitResult Wait(std::uint32_t timeout_ms) override {
    waits.push_back(timeout_ms);
    const bool forever = timeout_ms == kForever;
    const std::uint64_t deadline = now + timeout_ms;
    for (;;) {
      if (signalled_) {
        signalled_ = false;
        return WaitResult::kSignalled;
      }
      auto next = schedule_.begin();
      if (next == schedule_.end() || (!forever && next->first > deadline)) break;
      now = next->first;
      const int delta = next->second;
      schedule_.erase(next);
      if (delta > 0) {
        locks.Lock();
      } else if (delta < 0) {
        locks.Unlock();
      } else {
        locks.RequestStop();
        SignalIdle();
      }
    }
    if (forever) {  // nothing will ever signal: the real monitor would block here
      blocked_forever = true;
      return WaitResult::kFailed;
    }
    now = deadline;
    return WaitResult::kTimedOut;
  }

  ModuleLocks locks;
  std::uint64_t now = 0;
  bool blocked_forever = false;
  int quit_now_calls = 0;
  std::vector<std::uint64_t> quit_times;
  std::vector<std::uint32_t> waits;

 private:
  bool signalled_ = false;
  std::multimap<std::uint64_t, int> schedule_;
};

TEST(IdleMonitor, EndsOneTimeOutAfterTheLastRelease) {
  SimulatedServer server;
  server.At(100, +1);
  server.At(150, +1);
  server.At(2000, -1);
  server.At(3000, -1);  // the last one
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 3000u + 5000u);
  EXPECT_EQ(server.quit_now_calls, 0);
}

TEST(IdleMonitor, NewObjectInsideTheWindowRestartsTheCountdownAtTheNextZero) {
  SimulatedServer server;
  server.At(0, +1);
  server.At(1000, -1);  // countdown starts
  server.At(4000, +1);  // within the window: the time-out at 6000 finds a lock
  server.At(9000, -1);  // counting starts again here
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 9000u + 5000u);
}

TEST(IdleMonitor, CreateAndReleaseInsideTheWindowExtendIt) {
  SimulatedServer server;
  server.At(0, +1);
  server.At(10, -1);
  server.At(3000, +1);  // a short-lived object: count 0 -> 1 -> 0
  server.At(3500, -1);
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 3500u + 5000u);
}

TEST(IdleMonitor, ReadsTheTimeOutFromTheModuleEachTime) {
  SimulatedServer server;
  server.locks.set_idle_timeout_ms(250);
  server.At(0, +1);
  server.At(40, -1);
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 290u);
  EXPECT_EQ(server.waits.back(), 250u);
}

TEST(IdleMonitor, WithoutAnySignalItNeverEnds) {
  // The monitor itself only counts after a signal; the module arms it at start.
  SimulatedServer server;
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kWaitFailed);
  EXPECT_TRUE(server.blocked_forever);
}

TEST(IdleMonitor, ArmedAtStartEndsAServerThatNeverGetsAnObject) {
  SimulatedServer server;
  server.locks.ArmIdleCountdown();
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 5000u);
}

TEST(IdleMonitor, ArmedAtStartStillWaitsForAnObjectThatOutlivesTheTimeOut) {
  SimulatedServer server;
  server.locks.ArmIdleCountdown();
  server.At(200, +1);
  server.At(20000, -1);
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 25000u);
}

TEST(IdleMonitor, KeepsWatchingAfterProposingTheQuitUntilStopped) {
  // The module found an object created after the first decision and went on
  // serving: the monitor must count again from that object's release.
  SimulatedServer server;
  server.At(0, +1);
  server.At(100, -1);   // idle decision at 5100
  server.At(5200, +1);  // an activation just after the decision
  server.At(7000, -1);  // idle decision at 12000
  server.At(13000, 0);  // the module ends and stops the monitor
  RunIdleMonitor(server.locks, server, server);
  EXPECT_EQ(server.quit_times, (std::vector<std::uint64_t>{5100, 12000}));
  EXPECT_EQ(server.now, 13000u);
  EXPECT_FALSE(server.blocked_forever);
}

TEST(IdleMonitor, StopEndsTheMonitorAlsoWhileCounting) {
  SimulatedServer server;
  server.At(0, +1);
  server.At(100, -1);
  server.At(2000, 0);  // within the countdown
  EXPECT_EQ(WaitUntilIdle(server.locks, server), IdleMonitorEnd::kStopped);
  EXPECT_EQ(server.now, 2000u);
  EXPECT_EQ(server.quit_now_calls, 0);
}

TEST(IdleMonitor, AMonitorThatCannotWaitLeavesTheQuitToTheLastRelease) {
  SimulatedServer server;
  server.At(0, +1);
  RunIdleMonitor(server.locks, server, server);  // nothing signals: the wait "fails"
  EXPECT_TRUE(server.blocked_forever);
  EXPECT_FALSE(server.locks.delayed_shutdown());
  EXPECT_EQ(server.quit_now_calls, 0);  // an object is still held
  server.locks.Unlock();
  EXPECT_EQ(server.quit_now_calls, 1);
}

TEST(IdleMonitor, ReleaseRacingWithTheTimeOutIsNotIdle) {
  // The activity flag set after the wait timed out sends the monitor back to wait.
  class RacingEvent : public IdleEvent {
   public:
    explicit RacingEvent(ModuleLocks* locks) : locks_(locks) {}
    WaitResult Wait(std::uint32_t timeout_ms) override {
      ++calls;
      if (calls == 1) return WaitResult::kSignalled;  // the count reached zero
      if (calls == 2) {
        // Time-out, but a release sets the activity flag just as it happens.
        locks_->Lock();
        locks_->Unlock();
        return WaitResult::kTimedOut;
      }
      if (calls == 3) return WaitResult::kSignalled;  // that release's signal
      return WaitResult::kTimedOut;
    }
    int calls = 0;

   private:
    ModuleLocks* locks_;
  };
  class NoActions : public ModuleLocks::ZeroActions {
    void SignalIdle() override {}
    void QuitNow() override {}
  } actions;
  ModuleLocks locks(&actions);
  RacingEvent event(&locks);
  EXPECT_EQ(WaitUntilIdle(locks, event), IdleMonitorEnd::kIdle);
  EXPECT_EQ(event.calls, 4);
}

TEST(IdleMonitor, FailedTimedWaitIsReported) {
  class FailingEvent : public IdleEvent {
   public:
    WaitResult Wait(std::uint32_t timeout_ms) override {
      return timeout_ms == kForever ? WaitResult::kSignalled : WaitResult::kFailed;
    }
  } event;
  class NoActions : public ModuleLocks::ZeroActions {
    void SignalIdle() override {}
    void QuitNow() override {}
  } actions;
  ModuleLocks locks(&actions);
  EXPECT_EQ(WaitUntilIdle(locks, event), IdleMonitorEnd::kWaitFailed);
}

}  // namespace
}  // namespace ci
