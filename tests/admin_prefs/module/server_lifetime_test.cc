// The server's lifetime against simulated threads and a simulated clock: what
// the last release does, the idle monitor's countdown (the event's waits advance
// the clock, and scheduled lock changes happen at their times), and the order and
// results of a run, with the platform steps recorded.
#include "admin_prefs/module/server_lifetime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// --- The last release and the idle decision ---

class RecordingSignals : public LifetimeSignals {
 public:
  void WakeIdleMonitor() override { ++signals; }
  void EndMessageLoop() override { ++quits; }
  int signals = 0;
  int quits = 0;
};

TEST(ServerLifetime, LastReleaseWithDelayedShutdownSignalsTheMonitor) {
  RecordingSignals actions;
  ServerLifetime lifetime(&actions);
  ModuleLocks& locks = lifetime.locks();
  EXPECT_TRUE(lifetime.delayed_shutdown());
  EXPECT_EQ(lifetime.idle_timeout_ms(), 5000u);
  EXPECT_EQ(lifetime.pause_ms(), 1000u);
  EXPECT_EQ(locks.Lock(), 1);
  EXPECT_EQ(locks.Lock(), 2);
  EXPECT_EQ(locks.Unlock(), 1);
  EXPECT_EQ(actions.signals, 0);
  EXPECT_FALSE(lifetime.activity());
  EXPECT_EQ(locks.Unlock(), 0);
  EXPECT_EQ(actions.signals, 1);
  EXPECT_EQ(actions.quits, 0);
  EXPECT_TRUE(lifetime.activity());
  lifetime.ClearActivity();
  EXPECT_FALSE(lifetime.activity());
}

TEST(ServerLifetime, LastReleaseWithoutDelayedShutdownQuitsAtOnce) {
  RecordingSignals actions;
  ServerLifetime lifetime(&actions);
  lifetime.set_delayed_shutdown(false);
  lifetime.locks().Lock();
  EXPECT_EQ(lifetime.locks().Unlock(), 0);
  EXPECT_EQ(actions.quits, 1);
  EXPECT_EQ(actions.signals, 0);
  EXPECT_FALSE(lifetime.activity());
}

TEST(ServerLifetime, SwitchToImmediateShutdownQuitsNowOrAtTheLastRelease) {
  RecordingSignals actions;
  ServerLifetime idle(&actions);
  EXPECT_TRUE(idle.SwitchToImmediateShutdown());

  ServerLifetime busy(&actions);
  busy.locks().Lock();
  EXPECT_FALSE(busy.SwitchToImmediateShutdown());
  EXPECT_FALSE(busy.delayed_shutdown());
  busy.locks().Unlock();
  EXPECT_EQ(actions.quits, 1);
}

TEST(ServerLifetime, AnyLockAfterTheIdleDecisionIsSeenEvenWhenReleased) {
  RecordingSignals actions;
  ServerLifetime lifetime(&actions);
  ModuleLocks& locks = lifetime.locks();
  locks.Lock();
  locks.Unlock();
  lifetime.MarkIdleDecision();
  EXPECT_FALSE(lifetime.LockedSinceIdleDecision());
  locks.Lock();
  locks.Unlock();
  lifetime.ClearActivity();  // what the monitor does when the release wakes it
  EXPECT_TRUE(lifetime.LockedSinceIdleDecision());
  lifetime.MarkIdleDecision();
  EXPECT_FALSE(lifetime.LockedSinceIdleDecision());
}

// --- Counting down: the idle monitor ---

class SimulatedServer : public LifetimeSignals, public IdleEvent {
 public:
  SimulatedServer() : lifetime(this), locks(lifetime.locks()) {}

  // At `time_ms` the lock count changes by `delta` (+1 a new object, -1 a release);
  // 0 is the module's stop request with its signal.
  void At(std::uint64_t time_ms, int delta) { schedule_.emplace(time_ms, delta); }

  void WakeIdleMonitor() override { signalled_ = true; }
  void EndMessageLoop() override {
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
        lifetime.RequestStop();
        WakeIdleMonitor();
      }
    }
    if (forever) {  // nothing will ever signal: the real monitor would block here
      blocked_forever = true;
      return WaitResult::kFailed;
    }
    now = deadline;
    return WaitResult::kTimedOut;
  }

  ServerLifetime lifetime;
  ModuleLocks& locks;
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
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 3000u + 5000u);
  EXPECT_EQ(server.quit_now_calls, 0);
}

TEST(IdleMonitor, NewObjectInsideTheWindowRestartsTheCountdownAtTheNextZero) {
  SimulatedServer server;
  server.At(0, +1);
  server.At(1000, -1);  // countdown starts
  server.At(4000, +1);  // within the window: the time-out at 6000 finds a lock
  server.At(9000, -1);  // counting starts again here
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 9000u + 5000u);
}

TEST(IdleMonitor, CreateAndReleaseInsideTheWindowExtendIt) {
  SimulatedServer server;
  server.At(0, +1);
  server.At(10, -1);
  server.At(3000, +1);  // a short-lived object: count 0 -> 1 -> 0
  server.At(3500, -1);
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 3500u + 5000u);
}

TEST(IdleMonitor, ReadsTheTimeOutFromTheModuleEachTime) {
  SimulatedServer server;
  server.lifetime.set_idle_timeout_ms(250);
  server.At(0, +1);
  server.At(40, -1);
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 290u);
  EXPECT_EQ(server.waits.back(), 250u);
}

TEST(IdleMonitor, WithoutAnySignalItNeverEnds) {
  // The monitor itself only counts after a signal; the module arms it at start.
  SimulatedServer server;
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kWaitFailed);
  EXPECT_TRUE(server.blocked_forever);
}

TEST(IdleMonitor, ArmedAtStartEndsAServerThatNeverGetsAnObject) {
  SimulatedServer server;
  server.lifetime.ArmIdleCountdown();
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kIdle);
  EXPECT_EQ(server.now, 5000u);
}

TEST(IdleMonitor, ArmedAtStartStillWaitsForAnObjectThatOutlivesTheTimeOut) {
  SimulatedServer server;
  server.lifetime.ArmIdleCountdown();
  server.At(200, +1);
  server.At(20000, -1);
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kIdle);
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
  RunIdleMonitor(server.lifetime, server);
  EXPECT_EQ(server.quit_times, (std::vector<std::uint64_t>{5100, 12000}));
  EXPECT_EQ(server.now, 13000u);
  EXPECT_FALSE(server.blocked_forever);
}

TEST(IdleMonitor, StopEndsTheMonitorAlsoWhileCounting) {
  SimulatedServer server;
  server.At(0, +1);
  server.At(100, -1);
  server.At(2000, 0);  // within the countdown
  EXPECT_EQ(WaitUntilIdle(server.lifetime, server), IdleMonitorEnd::kStopped);
  EXPECT_EQ(server.now, 2000u);
  EXPECT_EQ(server.quit_now_calls, 0);
}

TEST(IdleMonitor, AMonitorThatCannotWaitLeavesTheQuitToTheLastRelease) {
  SimulatedServer server;
  server.At(0, +1);
  RunIdleMonitor(server.lifetime, server);  // nothing signals: the wait "fails"
  EXPECT_TRUE(server.blocked_forever);
  EXPECT_FALSE(server.lifetime.delayed_shutdown());
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
  class NoActions : public LifetimeSignals {
    void WakeIdleMonitor() override {}
    void EndMessageLoop() override {}
  } actions;
  ServerLifetime lifetime(&actions);
  RacingEvent event(&lifetime.locks());
  EXPECT_EQ(WaitUntilIdle(lifetime, event), IdleMonitorEnd::kIdle);
  EXPECT_EQ(event.calls, 4);
}

TEST(IdleMonitor, FailedTimedWaitIsReported) {
  class FailingEvent : public IdleEvent {
   public:
    WaitResult Wait(std::uint32_t timeout_ms) override {
      return timeout_ms == kForever ? WaitResult::kSignalled : WaitResult::kFailed;
    }
  } event;
  class NoActions : public LifetimeSignals {
    void WakeIdleMonitor() override {}
    void EndMessageLoop() override {}
  } actions;
  ServerLifetime lifetime(&actions);
  EXPECT_EQ(WaitUntilIdle(lifetime, event), IdleMonitorEnd::kWaitFailed);
}

// --- Pausing, serving again and ending: the run ---

// Records each step; `on_loop`, `on_suspend` and `on_serve` act as clients would
// while that step runs (create an object, call it, release it).
class RecordedSteps : public ServerSteps, public LifetimeSignals {
 public:
  RecordedSteps() : lifetime(this), locks(lifetime.locks()) {}

  HResult RegisterClassObjects() override {
    calls.push_back("register");
    return register_result;
  }
  HResult StartIdleMonitor() override {
    calls.push_back("monitor");
    return monitor_result;
  }
  HResult RunMessageLoop() override {
    calls.push_back(armed ? "loop(armed)" : "loop");
    armed = false;
    if (on_loop) on_loop(loops);
    ++loops;
    // As the idle monitor does before it decides to quit.
    lifetime.ClearActivity();
    lifetime.MarkIdleDecision();
    return loop_result;
  }
  HResult SuspendAndRevokeClassObjects() override {
    calls.push_back("suspend");
    if (on_suspend) on_suspend();
    return suspend_result;
  }
  HResult RegisterAndResumeClassObjects() override {
    calls.push_back("resume");
    return resume_result;
  }
  void DispatchCallsFor(std::uint32_t ms) override {
    calls.push_back("serve " + std::to_string(ms));
    if (on_serve) on_serve();
  }
  HResult RevokeClassObjects() override {
    calls.push_back("revoke");
    return revoke_result;
  }
  void WakeIdleMonitor() override { armed = true; }
  void EndMessageLoop() override { calls.push_back("quit now"); }

  HResult register_result = kS_OK;
  HResult monitor_result = kS_OK;
  HResult loop_result = kS_OK;
  HResult suspend_result = kS_OK;
  HResult resume_result = kS_OK;
  HResult revoke_result = kS_OK;
  std::function<void(int)> on_loop;
  std::function<void()> on_suspend;
  std::function<void()> on_serve;
  int loops = 0;
  bool armed = false;  // the idle countdown was (re)started since the last loop
  ServerLifetime lifetime;
  ModuleLocks& locks;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(RunServer, ServesUntilIdleThenSuspendsServesThePauseAndRevokes) {
  RecordedSteps steps;
  EXPECT_HR_OK(RunServer(steps, steps.lifetime));
  EXPECT_EQ(steps.calls,
            (Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000", "revoke"}));
}

TEST(RunServer, ObjectCreatedAfterTheIdleDecisionKeepsTheServerServing) {
  // The idle monitor has posted the quit message; an activation reaches the
  // server before its class objects are suspended, or during the pause.
  for (const char* when : {"suspend", "pause"}) {
    SCOPED_TRACE(when);
    RecordedSteps steps;
    auto activation = [&steps] { steps.locks.Lock(); };
    (std::string(when) == "suspend" ? steps.on_suspend : steps.on_serve) = [&] {
      if (steps.loops == 1) activation();
    };
    int calls_served = 0;
    steps.on_loop = [&](int loop) {
      if (loop == 1) {
        // Serving goes on while the object lives: its calls are dispatched here.
        ASSERT_EQ(steps.locks.Count(), 1);
        ++calls_served;
        steps.locks.Unlock();  // the client lets go: the countdown starts again
      }
    };
    EXPECT_HR_OK(RunServer(steps, steps.lifetime));
    EXPECT_EQ(calls_served, 1);
    EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000",
                                  "resume", "loop", "suspend", "serve 1000", "revoke"}));
  }
}

TEST(RunServer, ObjectCreatedAndReleasedDuringThePauseArmsTheCountdownAgain) {
  RecordedSteps steps;
  steps.on_serve = [&steps] {
    if (steps.loops != 1) return;
    steps.locks.Lock();
    steps.locks.Unlock();  // sets the activity flag and signals the monitor
    steps.armed = false;   // that signal went to a monitor already counting
  };
  EXPECT_HR_OK(RunServer(steps, steps.lifetime));
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000",
                                "resume", "loop(armed)", "suspend", "serve 1000", "revoke"}));
}

TEST(RunServer, ReleaseDuringThePauseKeepsServingWhateverTheMonitorDidMeanwhile) {
  // The release wakes the idle monitor, which clears the activity flag as it
  // starts counting again; whether it does so before or after the main thread
  // looks, the object that came after the decision keeps the server serving.
  for (bool monitor_first : {false, true}) {
    SCOPED_TRACE(monitor_first ? "monitor first" : "main thread first");
    RecordedSteps steps;
    steps.on_serve = [&] {
      if (steps.loops != 1) return;
      steps.locks.Lock();
      steps.locks.Unlock();
      steps.armed = false;
      if (monitor_first) steps.lifetime.ClearActivity();
    };
    EXPECT_HR_OK(RunServer(steps, steps.lifetime));
    EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000",
                                  "resume", "loop(armed)", "suspend", "serve 1000", "revoke"}));
  }
}

TEST(RunServer, FailedRegistrationAgainServesTheHoldersThenEndsWithTheFailure) {
  // An object taken during the pause keeps the server; registering the class
  // objects again then fails (or, the other way, taking them back did). The
  // holder's calls are still dispatched, and the run ends only when it lets go.
  for (const char* failing : {"resume", "suspend"}) {
    SCOPED_TRACE(failing);
    RecordedSteps steps;
    const HResult failure = static_cast<HResult>(0x80010108u);  // RPC_E_DISCONNECTED
    const bool at_resume = std::string(failing) == "resume";
    (at_resume ? steps.resume_result : steps.suspend_result) = failure;
    (at_resume ? steps.on_serve : steps.on_suspend) = [&] {
      if (steps.loops == 1) steps.locks.Lock();
    };
    int calls_served = 0;
    steps.on_loop = [&](int loop) {
      if (loop != 1) return;
      ASSERT_EQ(steps.locks.Count(), 1) << "the holder's calls are served";
      ++calls_served;
      steps.locks.Unlock();  // the last lock: quits at once
    };
    EXPECT_HR_EQ(RunServer(steps, steps.lifetime), failure);
    EXPECT_EQ(calls_served, 1);
    const Calls expected =
        at_resume
            ? Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000",
                    "resume",   "loop",    "quit now",    "revoke"}
            : Calls{"register", "monitor", "loop(armed)", "suspend", "loop", "quit now", "revoke"};
    EXPECT_EQ(steps.calls, expected);
  }
}

TEST(RunServer, FailedMessageLoopIsTheExitCodeNotAnIdleEnd) {
  RecordedSteps steps;
  const HResult invalid_handle = static_cast<HResult>(0x80070006u);
  steps.loop_result = invalid_handle;
  EXPECT_EQ(RunServer(steps, steps.lifetime), invalid_handle);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "revoke"}));
}

TEST(RunServer, FailedSuspensionIsTheExitCode) {
  RecordedSteps steps;
  steps.suspend_result = kE_FAIL;
  EXPECT_HR_EQ(RunServer(steps, steps.lifetime), kE_FAIL);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "suspend", "revoke"}));
}

TEST(RunServer, RegistrationFailureEndsWithItsResultAndNoLoop) {
  RecordedSteps steps;
  steps.register_result = static_cast<HResult>(0x80070005u);
  EXPECT_HR_EQ(RunServer(steps, steps.lifetime), static_cast<HResult>(0x80070005u));
  EXPECT_EQ(steps.calls, (Calls{"register"}));
  EXPECT_FALSE(steps.lifetime.delayed_shutdown());
}

TEST(RunServer, EmptyClassTableRevokesWithoutLoopOrPause) {
  RecordedSteps steps;
  steps.register_result = kS_FALSE;
  EXPECT_HR_OK(RunServer(steps, steps.lifetime));
  EXPECT_EQ(steps.calls, (Calls{"register", "revoke"}));
}

TEST(RunServer, MonitorThatCannotStartGivesEFailWithoutLoop) {
  RecordedSteps steps;
  steps.monitor_result = kE_FAIL;
  EXPECT_HR_EQ(RunServer(steps, steps.lifetime), kE_FAIL);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor"}));
  EXPECT_FALSE(steps.armed);
}

TEST(RunServer, RevocationFailureBecomesTheExitCode) {
  RecordedSteps steps;
  steps.revoke_result = static_cast<HResult>(0x800401F9u);
  EXPECT_HR_EQ(RunServer(steps, steps.lifetime), static_cast<HResult>(0x800401F9u));
  EXPECT_EQ(steps.calls,
            (Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000", "revoke"}));
}

TEST(RunServer, WithoutDelayedShutdownNoMonitorAndNoPause) {
  RecordedSteps steps;
  steps.lifetime.set_delayed_shutdown(false);
  // A lock taken after the quit still keeps the server serving.
  steps.on_suspend = [&steps] {
    if (steps.loops == 1) steps.locks.Lock();
  };
  steps.on_loop = [&steps](int loop) {
    if (loop == 1) steps.locks.Unlock();  // quits at once
  };
  EXPECT_HR_OK(RunServer(steps, steps.lifetime));
  EXPECT_EQ(steps.calls, (Calls{"register", "loop", "suspend", "resume", "loop", "quit now",
                                "suspend", "revoke"}));
}

TEST(ClassifyComInit, OnlyTheRuntimesOtherModelCountsAsInitialisedElsewhere) {
  EXPECT_EQ(ClassifyComInit(kS_OK, false), ComInitOutcome::kInitialisedHere);
  EXPECT_EQ(ClassifyComInit(kS_FALSE, true), ComInitOutcome::kInitialisedHere);
  EXPECT_EQ(ClassifyComInit(kRPC_E_CHANGED_MODE, true), ComInitOutcome::kInitialisedElsewhere);
  EXPECT_EQ(ClassifyComInit(kRPC_E_CHANGED_MODE, false), ComInitOutcome::kFailed);
  EXPECT_EQ(ClassifyComInit(kE_OUTOFMEMORY, true), ComInitOutcome::kFailed);
}

}  // namespace
}  // namespace ci
