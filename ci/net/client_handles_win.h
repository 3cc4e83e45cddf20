// The session, connection and request handles of one HTTP client, with its abort
// flag and the lock that keeps an Abort on another thread and a send from closing
// a handle twice. Both libraries' handles are plain pointers closed by a
// BOOL WINAPI(HINTERNET) function.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "ci/base/hresult.h"
#include "ci/base/win_handles.h"
#include "ci/crash/locks.h"

namespace ci {

class ClientHandles {
 public:
  using Handle = void*;
  using CloseFn = BOOL(WINAPI*)(Handle handle);
  enum Slot { kSession, kConnection, kRequest };

  explicit ClientHandles(CloseFn close)
      : close_(close), abort_event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~ClientHandles() { CloseAll(); }
  ClientHandles(const ClientHandles&) = delete;
  ClientHandles& operator=(const ClientHandles&) = delete;

  // Closes the request, then the connection, then the session (those not null).
  void CloseAll();
  // Keeps a handle just opened in its slot; once aborted, closes it instead and
  // answers false.
  bool Keep(Handle handle, Slot slot);
  Handle Get(Slot slot);
  // Sets the abort flag (never cleared), ends a pause and closes the handles.
  void Abort();
  bool aborted() const { return aborted_; }
  // Waits `ms` unless an Abort comes first; false when aborted.
  bool PauseUnlessAborted(std::uint32_t ms);
  // The result of a failed library call: E_ABORT once aborted (an Abort makes the
  // call in progress fail), else the thread's last error.
  HResult FailedCall() const;

 private:
  CloseFn close_;
  Handle handles_[3] = {nullptr, nullptr, nullptr};
  std::atomic<bool> aborted_{false};
  UniqueHandle abort_event_;  // manual reset, set by Abort
  LLock lock_;
};

}  // namespace ci
