// HttpClient over WinINet, with its own binding to the library. Its sends are
// refused at once when the machine has no usable network.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>

#include "ci/base/win_handles.h"
#include "ci/net/http_client.h"
#include "ci/net/library_http_client_win.h"

namespace ci {

// A binding to the WinINet library: twenty-three entry points looked up by name.
// Each WinINet client holds its own (the library reference and the table).
struct InetApi {
  decltype(&::HttpAddRequestHeadersW) http_add_request_headers;
  decltype(&::HttpEndRequestW) http_end_request;
  decltype(&::HttpOpenRequestW) http_open_request;
  decltype(&::HttpQueryInfoW) http_query_info;
  decltype(&::HttpSendRequestExW) http_send_request_ex;
  decltype(&::HttpSendRequestW) http_send_request;
  decltype(&::InternetCloseHandle) close_handle;
  decltype(&::InternetConnectW) connect;
  decltype(&::InternetGetConnectedStateExW) get_connected_state_ex;
  decltype(&::InternetOpenW) open;
  decltype(&::InternetOpenUrlW) open_url;
  decltype(&::InternetQueryDataAvailable) query_data_available;
  decltype(&::InternetReadFile) read_file;
  decltype(&::InternetReadFileExW) read_file_ex;
  decltype(&::InternetSetStatusCallbackW) set_status_callback;
  decltype(&::InternetGetCookieW) get_cookie;
  decltype(&::InternetSetCookieW) set_cookie;
  decltype(&::InternetAutodial) autodial;
  decltype(&::InternetAutodialHangup) autodial_hangup;
  decltype(&::InternetQueryOptionW) query_option;
  decltype(&::InternetSetOptionW) set_option;
  decltype(&::InternetCheckConnectionW) check_connection;
  decltype(&::InternetCrackUrlW) crack_url;

  static constexpr int kEntryPointCount = 23;

  // Fills every entry from `module`; false (and every entry null) when one is missing.
  bool Bind(HMODULE module);
};

// "wininet" from the system directory with all its entry points bound; false (and
// both outputs empty) otherwise.
bool BindWinInet(UniqueLibrary* library, InetApi* api);

class InetHttpClient : public LibraryHttpClient {
 public:
  using NetworkCheck = bool (*)();

  // Takes over the library reference behind `api`.
  InetHttpClient(UniqueLibrary library, const InetApi& api,
                 ProbeEndpoint probe = DefaultProbeEndpoint(),
                 NetworkCheck network_available = nullptr);
  ~InetHttpClient() override;

  HResult GetResponseHeader(const WString& name, WString* value) override;
  HResult GetRawResponseHeaders(WString* value) override;
  HResult QueryProxyAuthScheme(std::uint32_t* scheme) override;
  // Always E_NOTIMPL: this client does no automatic proxy lookup.
  HResult GetProxyForUrl(const WString& url, WString* proxy) override;
  HResult GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                       WString* bypass) override;
  HResult CrackUrl(const WString& url, bool escape, UrlComponents* components) override;
  HResult Send(const WString& host, std::uint16_t port, const WString& path) override;
  bool CheckConnection() override;

 private:
  HResult SendOnce(const WString& host, std::uint16_t port, const WString& path,
                   bool use_proxy) override;
  BOOL ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) override;
  void LimitReceiveWait(void* request, DWORD ms) override;
  // One HttpQueryInfo of `level` (for HTTP_QUERY_CUSTOM, of the header `name`),
  // growing the buffer once when the first try says it is too small.
  HResult QueryInfo(DWORD level, const WString& name, WString* value);

  UniqueLibrary library_;
  InetApi api_;
  ProbeEndpoint probe_;
  NetworkCheck network_available_;
};

}  // namespace ci
