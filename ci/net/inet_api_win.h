// A binding to the WinINet library: twenty-three entry points looked up by name.
// Each WinINet client holds its own (the library reference and the table).
#pragma once

#include <windows.h>
#include <wininet.h>

#include "ci/base/win_handles.h"

namespace ci {

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

}  // namespace ci
