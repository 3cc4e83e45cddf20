// HttpClient over WinHTTP, through the process-wide binding to the library.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <memory>
#include <string>

#include "ci/net/http_client.h"
#include "ci/net/library_http_client_win.h"

namespace ci {

// The process-wide binding to the WinHTTP library: nineteen entry points looked
// up by name, bound once by the first client and kept loaded for the life of the
// process.
struct WinHttpApi {
  decltype(&::WinHttpAddRequestHeaders) add_request_headers;
  decltype(&::WinHttpCloseHandle) close_handle;
  decltype(&::WinHttpConnect) connect;
  decltype(&::WinHttpCrackUrl) crack_url;
  decltype(&::WinHttpGetDefaultProxyConfiguration) get_default_proxy_configuration;
  decltype(&::WinHttpOpen) open;
  decltype(&::WinHttpOpenRequest) open_request;
  decltype(&::WinHttpQueryAuthSchemes) query_auth_schemes;
  decltype(&::WinHttpQueryDataAvailable) query_data_available;
  decltype(&::WinHttpQueryHeaders) query_headers;
  decltype(&::WinHttpQueryOption) query_option;
  decltype(&::WinHttpReadData) read_data;
  decltype(&::WinHttpReceiveResponse) receive_response;
  decltype(&::WinHttpSendRequest) send_request;
  decltype(&::WinHttpSetCredentials) set_credentials;
  decltype(&::WinHttpSetOption) set_option;
  decltype(&::WinHttpSetStatusCallback) set_status_callback;
  decltype(&::WinHttpSetTimeouts) set_timeouts;
  decltype(&::WinHttpGetProxyForUrl) get_proxy_for_url;

  static constexpr int kEntryPointCount = 19;

  // Fills every entry from `module`; false (and every entry null) when one is
  // missing.
  bool Bind(HMODULE module);

  // The process-wide binding: "winhttp", else "winhttp5", from the system
  // directory. Null when neither library loads or an entry point is missing.
  static const WinHttpApi* Process();
};

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
