// The server's lifetime: when it serves, counts down, pauses, serves again and
// ends. Platform-free; the Windows module supplies the steps (ServerSteps), the
// idle monitor's event (IdleEvent) and the two signals (LifetimeSignals).
//
//   start (RunServer): RegisterClassObjects, StartIdleMonitor, ArmIdleCountdown
//            |
//            v
//   +---> serving: the main thread dispatches calls (RunMessageLoop)
//   |        |  the last lock goes: OnLastRelease sets the activity flag and
//   |        |  wakes the monitor (ArmIdleCountdown does the same at start)
//   |        v
//   |     counting down: the monitor thread (WaitUntilIdle) starts the idle
//   |        |  time-out again at each wake-up; a lock or the activity flag
//   |        |  at the time-out sends it back to wait for the next release.
//   |        |  A quiet time-out: MarkIdleDecision, then EndMessageLoop, a
//   |        |  proposal only (the monitor goes on watching)
//   |        v
//   |     pausing: SuspendAndRevokeClassObjects, then (monitor in use)
//   |        |  DispatchCallsFor the pause: clients that hold an object or a
//   |        |  class object are still served
//   |        |
//   +--------+  serving again, when a lock was taken since the decision
//            |  (LockedSinceIdleDecision): RegisterAndResumeClassObjects, and
//            |  ArmIdleCountdown when nothing holds the server any more
//            v  nothing taken since the decision
//     ending: RevokeClassObjects; the module then stops the monitor
//             (RequestStop and a wake-up) and returns the exit code
//
// When suspending or registering again fails, no new client can reach the
// process: ServeHoldersThenFail switches to immediate shutdown, dispatches the
// holders' calls until the last lock goes (which ends the loop at once) and the
// run ends with that failure. When the monitor cannot wait on its event, the
// same switch makes the last release end the loop. Without the monitor (delayed
// shutdown off) the last release always ends the loop at once, with no pause.
#pragma once

#include <atomic>
#include <cstdint>

#include "admin_prefs/module/module_locks.h"
#include "ci/base/hresult.h"

namespace ci {

// Starting: how the result of joining the main thread to COM is taken.
enum class ComInitOutcome {
  kInitialisedHere,       // undo with CoUninitialize at exit
  kInitialisedElsewhere,  // another party set up COM in the other model; serve anyway
  kFailed,                // the module cannot run
};

// `hr` is CoInitialize's result; `mscoree_loaded` whether "Mscoree.dll" is in the
// process (its runtime initialises COM in the multithreaded model).
ComInitOutcome ClassifyComInit(HResult hr, bool mscoree_loaded);

// What the lifetime makes happen on the module's threads.
class LifetimeSignals {
 public:
  virtual void WakeIdleMonitor() = 0;  // signal the monitor's event
  virtual void EndMessageLoop() = 0;   // post the quit message to the main thread

 protected:
  ~LifetimeSignals() = default;
};

// The module's shutdown event as the monitor sees it.
class IdleEvent {
 public:
  enum class WaitResult { kSignalled, kTimedOut, kFailed };
  static constexpr std::uint32_t kForever = 0xFFFFFFFFu;

  // Waits until the event is signalled (which resets it) or `timeout_ms` passes.
  virtual WaitResult Wait(std::uint32_t timeout_ms) = 0;

 protected:
  ~IdleEvent() = default;
};

// The steps of running the server, supplied by the Windows module.
class ServerSteps {
 public:
  // Registers every class object; the result of the last registration.
  virtual HResult RegisterClassObjects() = 0;
  // Creates the shutdown event and the idle monitor thread; E_FAIL when either fails.
  virtual HResult StartIdleMonitor() = 0;
  // Pumps messages until the quit message ends the loop (S_OK); a failure when
  // messages can no longer be read.
  virtual HResult RunMessageLoop() = 0;
  // Stops handing out objects to new activations and takes the class objects
  // back; calls to class objects that clients already hold are still dispatched.
  virtual HResult SuspendAndRevokeClassObjects() = 0;
  // Registers the class objects again and lets activations through again.
  virtual HResult RegisterAndResumeClassObjects() = 0;
  // Keeps dispatching incoming calls for `ms`, without ending at a quit message.
  virtual void DispatchCallsFor(std::uint32_t ms) = 0;
  // Revokes the registered class objects, stopping at the first failure.
  virtual HResult RevokeClassObjects() = 0;

 protected:
  ~ServerSteps() = default;
};

enum class IdleMonitorEnd {
  kIdle,        // the server has been idle for the time-out: quit
  kWaitFailed,  // the event cannot be waited on; the module must not rely on the monitor
  kStopped,     // the module has stopped serving and asked the monitor to end
};

// The lifetime's state, shared by the main thread, the monitor thread and the
// threads that release locks. It owns the lock count and hears its last release.
class ServerLifetime : private ModuleLocks::LastReleaseListener {
 public:
  static constexpr std::uint32_t kDefaultIdleTimeoutMs = 5000;
  static constexpr std::uint32_t kDefaultPauseMs = 1000;

  explicit ServerLifetime(LifetimeSignals* signals) : signals_(signals) {}
  ServerLifetime(const ServerLifetime&) = delete;
  ServerLifetime& operator=(const ServerLifetime&) = delete;

  ModuleLocks& locks() { return locks_; }
  const ModuleLocks& locks() const { return locks_; }

  // The idle monitor's decision that the server is idle remembers how many locks
  // had been taken by then. Whatever the monitor does afterwards with the
  // activity flag, the main thread can then tell whether any object came (and
  // perhaps went) since the decision.
  void MarkIdleDecision() { idle_decision_mark_.store(locks_.LocksTaken()); }
  bool LockedSinceIdleDecision() const { return locks_.LocksTaken() != idle_decision_mark_.load(); }

  // Starts the idle countdown as if the count had just reached zero, so that a
  // server that never gets an object still ends after the idle time-out.
  void ArmIdleCountdown();

  // Set by each last release with the monitor in use; cleared by the monitor.
  bool activity() const { return activity_.load(); }
  void ClearActivity() { activity_.store(false); }

  // Set once serving has ended: tells the idle monitor to end.
  void RequestStop() { stop_requested_.store(true); }
  bool stop_requested() const { return stop_requested_.load(); }

  // Whether the idle monitor is in use (otherwise the last release ends the loop).
  bool delayed_shutdown() const { return delayed_shutdown_.load(); }
  void set_delayed_shutdown(bool on) { delayed_shutdown_.store(on); }
  // For when the idle monitor cannot be relied on: later releases end the loop
  // at once. Returns true when nothing holds the server now, so the caller should
  // end it itself.
  bool SwitchToImmediateShutdown();

  std::uint32_t idle_timeout_ms() const { return idle_timeout_ms_.load(); }
  void set_idle_timeout_ms(std::uint32_t ms) { idle_timeout_ms_.store(ms); }
  std::uint32_t pause_ms() const { return pause_ms_; }
  void set_pause_ms(std::uint32_t ms) { pause_ms_ = ms; }

  LifetimeSignals& signals() { return *signals_; }

 private:
  // With the monitor in use: sets the activity flag and wakes the monitor;
  // otherwise ends the message loop.
  void OnLastRelease() override;

  LifetimeSignals* signals_;
  ModuleLocks locks_{this};
  std::atomic<std::uint64_t> idle_decision_mark_{0};
  std::atomic<bool> activity_{false};
  std::atomic<std::uint32_t> idle_timeout_ms_{kDefaultIdleTimeoutMs};
  std::uint32_t pause_ms_ = kDefaultPauseMs;
  std::atomic<bool> delayed_shutdown_{true};
  std::atomic<bool> stop_requested_{false};
};

// Counting down: waits for the count to reach zero, then for a full idle time-out
// (read from `lifetime` each time) without a further signal; a signal within the
// time-out restarts it. Returns kIdle once the time-out passes with no activity
// and no lock.
IdleMonitorEnd WaitUntilIdle(ServerLifetime& lifetime, IdleEvent& event);

// The idle monitor thread's work: proposes the quit (EndMessageLoop) at each idle
// decision and goes back to waiting, since the module may find a new object and
// go on serving. Returns when the module asks it to stop (a stop request and a
// signal). When the event cannot be waited on, later releases quit at once.
void RunIdleMonitor(ServerLifetime& lifetime, IdleEvent& event);

// The main thread's run: registers, serves until idle, revokes; returns the exit
// code: S_OK after an idle shutdown, otherwise the HRESULT of the step that
// failed (also when the message loop fails).
//
// The quit message is only a proposal: before ending, the class objects are
// suspended and revoked and, with delayed shutdown, the pause is spent still
// dispatching calls. If an object was created after the idle decision (the lock
// count is above zero, or a lock was taken since the decision), the class objects
// are registered again and serving goes on, with the countdown armed again when
// nothing holds the server. So an activation that reached the server before it
// stopped handing out objects is always served by a process that keeps running.
HResult RunServer(ServerSteps& steps, ServerLifetime& lifetime);

}  // namespace ci
