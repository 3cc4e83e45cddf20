// Order and results of running the server, with the platform steps recorded.
#include "admin_prefs/module_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ci {
namespace {

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
  void RunMessageLoop() override {
    calls.push_back(armed ? "loop(armed)" : "loop");
  }
  HResult RevokeClassObjects() override {
    calls.push_back("revoke");
    return revoke_result;
  }
  void Sleep(std::uint32_t ms) override { calls.push_back("sleep " + std::to_string(ms)); }
  void SignalIdle() override { armed = true; }
  void QuitNow() override {}

  HResult register_result = kS_OK;
  HResult monitor_result = kS_OK;
  HResult revoke_result = kS_OK;
  bool armed = false;
  ModuleLocks locks;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(RunServer, ServesUntilIdleThenRevokesAndPauses) {
  RecordedSteps steps;
  EXPECT_EQ(RunServer(steps, steps.locks), kS_OK);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "revoke", "sleep 1000"}));
  EXPECT_TRUE(steps.locks.activity());
}

TEST(RunServer, RegistrationFailureEndsWithItsResultAndNoLoop) {
  RecordedSteps steps;
  steps.register_result = static_cast<HResult>(0x80070005u);
  EXPECT_EQ(RunServer(steps, steps.locks), static_cast<HResult>(0x80070005u));
  EXPECT_EQ(steps.calls, (Calls{"register"}));
  EXPECT_FALSE(steps.locks.delayed_shutdown());
}

TEST(RunServer, EmptyClassTableRevokesWithoutLoopOrPause) {
  RecordedSteps steps;
  steps.register_result = kS_FALSE;
  EXPECT_EQ(RunServer(steps, steps.locks), kS_OK);
  EXPECT_EQ(steps.calls, (Calls{"register", "revoke"}));
}

TEST(RunServer, MonitorThatCannotStartGivesEFailWithoutLoop) {
  RecordedSteps steps;
  steps.monitor_result = kE_FAIL;
  EXPECT_EQ(RunServer(steps, steps.locks), kE_FAIL);
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor"}));
  EXPECT_FALSE(steps.armed);
}

TEST(RunServer, RevocationFailureBecomesTheExitCode) {
  RecordedSteps steps;
  steps.revoke_result = static_cast<HResult>(0x800401F9u);
  EXPECT_EQ(RunServer(steps, steps.locks), static_cast<HResult>(0x800401F9u));
  EXPECT_EQ(steps.calls, (Calls{"register", "monitor", "loop(armed)", "revoke", "sleep 1000"}));
}

TEST(RunServer, WithoutDelayedShutdownNoMonitorAndNoPause) {
  RecordedSteps steps;
  steps.locks.set_delayed_shutdown(false);
  EXPECT_EQ(RunServer(steps, steps.locks), kS_OK);
  EXPECT_EQ(steps.calls, (Calls{"register", "loop", "revoke"}));
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
