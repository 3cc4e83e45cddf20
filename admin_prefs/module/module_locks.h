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
  std::int32_t Lock() { return count_.fetch_add(1) + 1; }
  // Interlocked decrement; at zero sets the activity flag and signals the idle
  // monitor (delayed shutdown) or quits at once. Returns the new count.
  std::int32_t Unlock();
  std::int32_t Count() const { return count_.load(); }

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
  std::atomic<bool> activity_{false};
  std::atomic<std::uint32_t> idle_timeout_ms_{kDefaultIdleTimeoutMs};
  std::uint32_t pause_ms_ = kDefaultPauseMs;
  std::atomic<bool> delayed_shutdown_{true};
  std::atomic<bool> stop_requested_{false};
};

}  // namespace ci
