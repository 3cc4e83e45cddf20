// What both library clients share: the handles of the last exchange with their
// lock and abort flag, the last status, the exchange deadline, Abort, the attempt
// loop over the library's own SendOnce, and reading the body in its three forms
// through the library's own chunk reader.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/runtime_library_win.h"
#include "ci/net/body_forms_win.h"
#include "ci/net/client_handles_win.h"
#include "ci/net/exchange_deadline.h"
#include "ci/net/http_client.h"

namespace ci {

// Calls into either library go through the fault guard; a fault reads as the
// call's own failure value (FALSE, a null handle).
template <typename Call>
BOOL GuardedBool(const Call& call) {
  return GuardedCall<BOOL>(FALSE, call);
}
template <typename Call>
void* GuardedHandle(const Call& call) {
  return GuardedCall<void*>(nullptr, call);
}

inline std::wstring ToWide(const WString& s) { return std::wstring(AsWin(s), s.size()); }

class LibraryHttpClient : public HttpClient {
 public:
  HResult Abort() override;
  std::uint32_t GetStatusCode() override { return status_; }
  HResult ReadResponseBody(WString* text, std::uint32_t max_bytes) override;
  HResult ReadResponseBodyToBuffer(std::vector<std::uint8_t>* bytes,
                                   std::uint32_t max_bytes) override;
  HResult ReadResponseBodyToFile(const WString& path, std::uint32_t max_bytes) override;

 protected:
  explicit LibraryHttpClient(ClientHandles::CloseFn close) : handles_(close) {}

  // One exchange with the library; the attempts of Send are made of these.
  virtual HResult SendOnce(const WString& host, std::uint16_t port, const WString& path,
                           bool use_proxy) = 0;
  // One read of the body of `request` (guarded library calls): waits for data,
  // then takes at most `capacity` of what is there, so that a slow answer is read
  // as it comes; 0 bytes at the end. FALSE for a failed read.
  virtual BOOL ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) = 0;
  // Cuts the receive time-out of `request` to `ms` (the exchange deadline is near).
  virtual void LimitReceiveWait(void* request, DWORD ms) = 0;

  // The attempts of Send over SendOnce (ci/net/send_attempts.h).
  HResult RunAttempts(const WString& host, std::uint16_t port, const WString& path);
  // Starts one exchange: closes the handles of the last one, forgets its status
  // (it goes with them) and starts the deadline.
  void BeginExchange();
  // A library time-out cut to what is left of the exchange.
  DWORD TimeLeft(std::uint32_t setting_ms) const;
  // After each step of an exchange: E_ABORT once aborted, kE_HTTP_TIMEOUT past
  // the deadline, else S_OK.
  HResult StepCheck() const;
  // The result of a library call of the exchange that failed: E_ABORT once
  // aborted, kE_HTTP_TIMEOUT past the deadline (whatever the library made of its
  // cut time-out), else the thread's last error.
  HResult CallFailure() const;

  ClientHandles handles_;
  std::atomic<std::uint32_t> status_{0};

 private:
  static std::uint64_t NowMs() { return ::GetTickCount64(); }
  // The length the answer's Content-Length declares, when it counts: not for
  // answers without a body (1xx, 204, 304) nor beside a Transfer-Encoding.
  std::uint64_t DeclaredBodyLength();
  BodySource MakeBodySource();

  ExchangeDeadline deadline_;
};

}  // namespace ci
