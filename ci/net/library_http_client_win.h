// What both library clients share: the handles of the last exchange with their
// lock and abort flag, the last status, Abort, and reading the body in its three
// forms through the library's own chunk reader.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/fault_guard_win.h"
#include "ci/net/body_forms_win.h"
#include "ci/net/client_handles_win.h"
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

  // One read of the body of `request` (the library call, guarded); FALSE for a
  // failed read.
  virtual BOOL ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) = 0;

  ClientHandles handles_;
  std::atomic<std::uint32_t> status_{0};

 private:
  BodySource MakeBodySource();
};

}  // namespace ci
