#include "ci/net/client_handles_win.h"

#include "ci/base/hresult.h"
#include "ci/base/runtime_library_win.h"
#include "ci/net/http_client.h"

namespace ci {

void ClientHandles::CloseAll() {
  VU_UNDER_LOCK(&lock_) {
    for (Slot slot : {kRequest, kConnection, kSession}) {
      if (handles_[slot] != nullptr) CallGuarded<BOOL>(FALSE, close_, handles_[slot]);
      handles_[slot] = nullptr;
    }
  }
}

bool ClientHandles::Keep(Handle handle, Slot slot) {
  VU_UNDER_LOCK(&lock_) {
    if (!aborted_) {
      handles_[slot] = handle;
      return true;
    }
  }
  CallGuarded<BOOL>(FALSE, close_, handle);
  return false;
}

ClientHandles::Handle ClientHandles::Get(Slot slot) {
  Handle handle = nullptr;
  VU_UNDER_LOCK(&lock_) { handle = handles_[slot]; }
  return handle;
}

void ClientHandles::Abort() {
  aborted_ = true;
  if (abort_event_) ::SetEvent(abort_event_.get());
  CloseAll();
}

bool ClientHandles::PauseUnlessAborted(std::uint32_t ms) {
  if (abort_event_) {
    ::WaitForSingleObject(abort_event_.get(), ms);
    return !aborted_;
  }
  // No event to wait on: short sleeps, looking at the flag between them.
  constexpr std::uint32_t kSliceMs = 20;
  for (std::uint32_t waited = 0; waited < ms && !aborted_; waited += kSliceMs) {
    ::Sleep(ms - waited < kSliceMs ? ms - waited : kSliceMs);
  }
  return !aborted_;
}

HResult ClientHandles::FailedCall() const { return aborted_ ? kE_ABORT : HResultFromFailedCall(); }

}  // namespace ci
