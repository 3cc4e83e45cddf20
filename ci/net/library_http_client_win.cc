#include "ci/net/library_http_client_win.h"

#include "ci/base/runtime_library_win.h"
#include "ci/base/hresult.h"
#include "ci/net/proxy_state.h"

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

HResult LibraryHttpClient::Abort() {
  handles_.Abort();
  return kS_OK;
}

HResult LibraryHttpClient::RunAttempts(const WString& host, std::uint16_t port,
                                       const WString& path) {
  return RunSendAttempts(
      *this, SendAttemptHooks{[&](bool use_proxy) { return SendOnce(host, port, path, use_proxy); },
                              [this] { return status_.load(); },
                              [this](std::uint32_t ms) { return handles_.PauseUnlessAborted(ms); },
                              [this] { return handles_.aborted(); },
                              [] { GlobalProxyState().MarkDirectWorks(); }});
}

void LibraryHttpClient::BeginExchange() {
  handles_.CloseAll();
  status_ = 0;
  deadline_.Start(NowMs(), exchange_timeout_ms);
}

DWORD LibraryHttpClient::TimeLeft(std::uint32_t setting_ms) const {
  return deadline_.Clip(setting_ms, NowMs());
}

HResult LibraryHttpClient::StepCheck() const {
  VU_RETURN_IF(handles_.aborted(), kE_ABORT);
  VU_RETURN_IF(deadline_.Expired(NowMs()), kE_HTTP_TIMEOUT);
  return kS_OK;
}

HResult LibraryHttpClient::CallFailure() const {
  const HResult step = StepCheck();
  return Failed(step) ? step : handles_.FailedCall();
}

std::uint64_t LibraryHttpClient::DeclaredBodyLength() {
  const std::uint32_t status = status_;
  if (status < 200 || status == 204 || status == 304) return kNoDeclaredLength;
  WString value;
  if (Succeeded(GetResponseHeader(u"Transfer-Encoding", &value)) && !value.empty()) {
    return kNoDeclaredLength;
  }
  value.clear();
  if (Failed(GetResponseHeader(u"Content-Length", &value))) return kNoDeclaredLength;
  return ParseContentLength(value.data(), value.size());
}

BodySource LibraryHttpClient::MakeBodySource() {
  void* request = handles_.Get(ClientHandles::kRequest);
  return BodySource{[this] { return handles_.aborted(); },
                    [this] { return deadline_.Expired(NowMs()); },
                    [this, request](std::uint8_t* buffer, std::uint32_t capacity,
                                    std::uint32_t* read) -> HResult {
                      const DWORD wait = TimeLeft(receive_timeout_ms);
                      if (wait != receive_timeout_ms) LimitReceiveWait(request, wait);
                      DWORD count = 0;
                      if (!ReadChunk(request, buffer, capacity, &count)) return CallFailure();
                      *read = count;
                      return kS_OK;
                    },
                    DeclaredBodyLength()};
}

HResult LibraryHttpClient::ReadResponseBody(WString* text, std::uint32_t max_bytes) {
  if (status_ == 0) return kE_FAIL;
  return ReadBodyAsText(MakeBodySource(), max_bytes, text);
}

HResult LibraryHttpClient::ReadResponseBodyToBuffer(std::vector<std::uint8_t>* bytes,
                                                    std::uint32_t max_bytes) {
  if (status_ == 0) return kE_FAIL;
  return ReadBodyAsBytes(MakeBodySource(), max_bytes, bytes);
}

HResult LibraryHttpClient::ReadResponseBodyToFile(const WString& path, std::uint32_t max_bytes) {
  if (status_ == 0) return kE_FAIL;
  return ReadBodyToNewFile(MakeBodySource(), max_bytes, path);
}

}  // namespace ci
