// HttpClient over WinHTTP, through the process-wide binding.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <memory>
#include <string>

#include "ci/net/http_client.h"
#include "ci/net/http_client_creators.h"
#include "ci/net/library_http_client_win.h"
#include "ci/net/probe_host.h"
#include "ci/net/winhttp_api_win.h"

namespace ci {

class WinHttpClient : public LibraryHttpClient {
 public:
  // `api` must outlive the client (the process-wide binding does).
  explicit WinHttpClient(const WinHttpApi* api, ProbeEndpoint probe = DefaultProbeEndpoint());
  ~WinHttpClient() override;

  HResult GetResponseHeader(const WString& name, WString* value) override;
  HResult GetRawResponseHeaders(WString* value) override;
  HResult QueryProxyAuthScheme(std::uint32_t* scheme) override;
  HResult GetProxyForUrl(const WString& url, WString* proxy) override;
  HResult GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                       WString* bypass) override;
  HResult CrackUrl(const WString& url, bool escape, UrlComponents* components) override;
  HResult Send(const WString& host, std::uint16_t port, const WString& path) override;
  bool CheckConnection() override;

 private:
  HResult SendOnce(const WString& host, std::uint16_t port, const WString& path,
                   bool use_proxy) override;
  // Asks for the proxy of `url` as proxy_mode says; false when there is nothing to
  // ask or the lookup failed. On success the caller frees the strings of `info`.
  bool LookUpAutoProxy(HINTERNET session, const std::wstring& url, WINHTTP_PROXY_INFO* info);
  HResult QueryHeader(DWORD level, const wchar_t* name, WString* value);
  BOOL ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) override;
  void LimitReceiveWait(void* request, DWORD ms) override;

  const WinHttpApi* api_;
  ProbeEndpoint probe_;
};

}  // namespace ci
