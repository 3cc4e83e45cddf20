// Order and results of running the server, with the platform steps recorded.
#include "admin_prefs/module/module_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// Records each step; `on_loop`, `on_suspend` and `on_serve` act as clients would
// while that step runs (create an object, call it, release it).
class RecordedSteps : public ServerSteps, public ModuleLocks::ZeroActions {
 public:
  RecordedSteps() : locks(this) {}

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
    locks.ClearActivity();
    locks.MarkIdleDecision();
    return loop_result;
  }
  HResult SuspendClassObjects() override {
    calls.push_back("suspend");
    if (on_suspend) on_suspend();
    return suspend_result;
  }
  HResult ResumeClassObjects() override {
    calls.push_back("resume");
    return resume_result;
  }
  void ServeFor(std::uint32_t ms) override {
    calls.push_back("serve " + std::to_string(ms));
    if (on_serve) on_serve();
  }
  HResult RevokeClassObjects() override {
    calls.push_back("revoke");
    return revoke_result;
  }
  void SignalIdle() override { armed = true; }
  void QuitNow() override { calls.push_back("quit now"); }

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
  ModuleLocks locks;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(RunServer, ServesUntilIdleThenSuspendsServesThePauseAndRevokes) {
  RecordedSteps steps;
  EXPECT_HR_OK(RunServer(steps, steps.locks));
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
    EXPECT_HR_OK(RunServer(steps, steps.locks));
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
  EXPECT_HR_OK(RunServer(steps, steps.locks));
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
      if (monitor_first) steps.locks.ClearActivity();
    };
    EXPECT_HR_OK(RunServer(steps, steps.locks));
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
    EXPECT_HR_EQ(RunServer(steps, steps.locks), failure);
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
  EXPECT_EQ(RunServer(steps, steps.locks), invalid_handle);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "revoke"}));
}

TEST(RunServer, FailedSuspensionIsTheExitCode) {
  RecordedSteps steps;
  steps.suspend_result = kE_FAIL;
  EXPECT_HR_EQ(RunServer(steps, steps.locks), kE_FAIL);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "suspend", "revoke"}));
}

TEST(RunServer, RegistrationFailureEndsWithItsResultAndNoLoop) {
  RecordedSteps steps;
  steps.register_result = static_cast<HResult>(0x80070005u);
  EXPECT_HR_EQ(RunServer(steps, steps.locks), static_cast<HResult>(0x80070005u));
  EXPECT_EQ(steps.calls, (Calls{"register"}));
  EXPECT_FALSE(steps.locks.delayed_shutdown());
}

TEST(RunServer, EmptyClassTableRevokesWithoutLoopOrPause) {
  RecordedSteps steps;
  steps.register_result = kS_FALSE;
  EXPECT_HR_OK(RunServer(steps, steps.locks));
  EXPECT_EQ(steps.calls, (Calls{"register", "revoke"}));
}

TEST(RunServer, MonitorThatCannotStartGivesEFailWithoutLoop) {
  RecordedSteps steps;
  steps.monitor_result = kE_FAIL;
  EXPECT_HR_EQ(RunServer(steps, steps.locks), kE_FAIL);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor"}));
  EXPECT_FALSE(steps.armed);
}

TEST(RunServer, RevocationFailureBecomesTheExitCode) {
  RecordedSteps steps;
  steps.revoke_result = static_cast<HResult>(0x800401F9u);
  EXPECT_HR_EQ(RunServer(steps, steps.locks), static_cast<HResult>(0x800401F9u));
  EXPECT_EQ(steps.calls,
            (Calls{"register", "monitor", "loop(armed)", "suspend", "serve 1000", "revoke"}));
}

TEST(RunServer, WithoutDelayedShutdownNoMonitorAndNoPause) {
  RecordedSteps steps;
  steps.locks.set_delayed_shutdown(false);
  // A lock taken after the quit still keeps the server serving.
  steps.on_suspend = [&steps] {
    if (steps.loops == 1) steps.locks.Lock();
  };
  steps.on_loop = [&steps](int loop) {
    if (loop == 1) steps.locks.Unlock();  // quits at once
  };
  EXPECT_HR_OK(RunServer(steps, steps.locks));
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
