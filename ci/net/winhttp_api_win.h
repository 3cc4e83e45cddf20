// The process-wide binding to the WinHTTP library: nineteen entry points looked
// up by name, bound once by the first client and kept loaded for the life of the
// process.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace ci {

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

}  // namespace ci
