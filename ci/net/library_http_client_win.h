// What both library clients share: the handles of the last exchange with their
// lock and abort flag, the last status, the exchange deadline, Abort, the attempt
// loop over the library's own SendOnce, reading the body in its three forms
// through the library's own chunk reader, and URL cracking. Each client includes
// its own library header (the WinHTTP and WinINet headers cannot meet in one
// file); this one needs neither.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/runtime_library_win.h"
#include "ci/base/hresult.h"
#include "ci/base/secret_wstring.h"
#include "ci/base/win_handles.h"
#include "ci/crash/locks.h"
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

// The session, connection and request handles of one HTTP client, with its abort
// flag and the lock that keeps an Abort on another thread and a send from closing
// a handle twice. Both libraries' handles are plain pointers closed by a
// BOOL WINAPI(HINTERNET) function.
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

// Splitting a URL with either library's URL cracker. Both fill a record with the
// same members (WinHTTP's URL_COMPONENTS, WinINet's URL_COMPONENTSW), so one
// template serves both.
// `crack(parts)` calls the library with the URL, its length and the flags, and
// returns its BOOL. The password is written into wiped storage only, and that is
// wiped on every way out.
template <typename Parts, typename Crack>
HResult CrackUrlInto(std::size_t url_length, Crack crack, UrlComponents* components) {
  // A buffer for every part: with escaping the decoded parts are written there.
  const DWORD room = static_cast<DWORD>(url_length + 1);
  std::vector<wchar_t> scheme(room), host(room), user(room), path(room), extra(room);
  SecretWString password;
  Parts parts{};
  parts.dwStructSize = sizeof(parts);
  parts.lpszScheme = scheme.data();
  parts.dwSchemeLength = room;
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = room;
  parts.lpszUserName = user.data();
  parts.dwUserNameLength = room;
  parts.lpszPassword = AsWin(password.Prepare(room));
  parts.dwPasswordLength = room;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = room;
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = room;
  if (!crack(&parts)) return HResultFromFailedCall();
  components->scheme = FromWin(scheme.data(), parts.dwSchemeLength);
  components->scheme_number = static_cast<std::int32_t>(parts.nScheme);
  components->host = FromWin(host.data(), parts.dwHostNameLength);
  components->port = parts.nPort;
  components->user = FromWin(user.data(), parts.dwUserNameLength);
  password.Truncate(parts.dwPasswordLength);
  components->password = password;
  components->path = FromWin(path.data(), parts.dwUrlPathLength);
  components->extra = FromWin(extra.data(), parts.dwExtraInfoLength);
  return kS_OK;
}

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

  // The attempts of Send over SendOnce (RunSendAttempts).
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
