// Lock counting of the server module and the idle bookkeeping that goes with it.
// Platform-free: the Windows module supplies what happens when the count reaches
// zero (signal the idle monitor's event, or post the quit message).
#pragma once

#include <atomic>
#include <cstdint>

namespace ci {

class ModuleLocks {
 public:
  // What the module does when the last lock goes.
  class ZeroActions {
   public:
    virtual void SignalIdle() = 0;  // delayed shutdown: wake the idle monitor
    virtual void QuitNow() = 0;     // immediate shutdown: end the message loop
   protected:
    ~ZeroActions() = default;
  };

  static constexpr std::uint32_t kDefaultIdleTimeoutMs = 5000;
  static constexpr std::uint32_t kDefaultPauseMs = 1000;

  explicit ModuleLocks(ZeroActions* actions) : actions_(actions) {}
  ModuleLocks(const ModuleLocks&) = delete;
  ModuleLocks& operator=(const ModuleLocks&) = delete;

  // Interlocked increment; returns the new count.
  std::int32_t Lock() {
    locks_taken_.fetch_add(1);  // first, so that no new lock is ever seen without it
    return count_.fetch_add(1) + 1;
  }
  // Interlocked decrement; at zero sets the activity flag and signals the idle
  // monitor (delayed shutdown) or quits at once. Returns the new count. The count
  // never goes below zero: an unlock with no lock to match is ignored.
  std::int32_t Unlock();
  std::int32_t Count() const { return count_.load(); }

  // IClassFactory::LockServer. A server lock is a module lock; an unlock while no
  // server lock is outstanding is ignored, so that a stray LockServer(FALSE)
  // cannot take away the lock of another client's object.
  std::int32_t LockServer();
  std::int32_t UnlockServer();

  // The idle monitor's decision that the server is idle remembers how many locks
  // had been taken by then. Whatever the monitor does afterwards with the
  // activity flag, the main thread can then tell whether any object came (and
  // perhaps went) since the decision.
  void MarkIdleDecision() { idle_decision_mark_.store(locks_taken_.load()); }
  bool LockedSinceIdleDecision() const { return locks_taken_.load() != idle_decision_mark_.load(); }

  // Starts the idle countdown as if the count had just reached zero, so that a
  // server that never gets an object still ends after the idle time-out.
  void ArmIdleCountdown();

  bool activity() const { return activity_.load(); }
  void ClearActivity() { activity_.store(false); }

  // Set once serving has ended: tells the idle monitor to end.
  void RequestStop() { stop_requested_.store(true); }
  bool stop_requested() const { return stop_requested_.load(); }

  bool delayed_shutdown() const { return delayed_shutdown_.load(); }
  void set_delayed_shutdown(bool on) { delayed_shutdown_.store(on); }
  // For when the idle monitor cannot wait any more: later releases quit at once.
  // Returns true when nothing holds the server now, so the caller should quit.
  bool SwitchToImmediateShutdown();
  std::uint32_t idle_timeout_ms() const { return idle_timeout_ms_.load(); }
  void set_idle_timeout_ms(std::uint32_t ms) { idle_timeout_ms_.store(ms); }
  std::uint32_t pause_ms() const { return pause_ms_; }
  void set_pause_ms(std::uint32_t ms) { pause_ms_ = ms; }

 private:
  ZeroActions* actions_;
  std::atomic<std::int32_t> count_{0};
  std::atomic<std::int32_t> server_locks_{0};
  std::atomic<std::uint64_t> locks_taken_{0};
  std::atomic<std::uint64_t> idle_decision_mark_{0};
  std::atomic<bool> activity_{false};
  std::atomic<std::uint32_t> idle_timeout_ms_{kDefaultIdleTimeoutMs};
  std::uint32_t pause_ms_ = kDefaultPauseMs;
  std::atomic<bool> delayed_shutdown_{true};
  std::atomic<bool> stop_requested_{false};
};

}  // namespace ci
