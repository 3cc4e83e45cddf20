#include "ci/net/inet_api_win.h"

#include "ci/base/runtime_library_win.h"

namespace ci {

bool InetApi::Bind(HMODULE module) {
  const bool bound =
      BindEntryPoint(module, "HttpAddRequestHeadersW", &http_add_request_headers) &&
      BindEntryPoint(module, "HttpEndRequestW", &http_end_request) &&
      BindEntryPoint(module, "HttpOpenRequestW", &http_open_request) &&
      BindEntryPoint(module, "HttpQueryInfoW", &http_query_info) &&
      BindEntryPoint(module, "HttpSendRequestExW", &http_send_request_ex) &&
      BindEntryPoint(module, "HttpSendRequestW", &http_send_request) &&
      BindEntryPoint(module, "InternetCloseHandle", &close_handle) &&
      BindEntryPoint(module, "InternetConnectW", &connect) &&
      BindEntryPoint(module, "InternetGetConnectedStateExW", &get_connected_state_ex) &&
      BindEntryPoint(module, "InternetOpenW", &open) &&
      BindEntryPoint(module, "InternetOpenUrlW", &open_url) &&
      BindEntryPoint(module, "InternetQueryDataAvailable", &query_data_available) &&
      BindEntryPoint(module, "InternetReadFile", &read_file) &&
      BindEntryPoint(module, "InternetReadFileExW", &read_file_ex) &&
      BindEntryPoint(module, "InternetSetStatusCallbackW", &set_status_callback) &&
      BindEntryPoint(module, "InternetGetCookieW", &get_cookie) &&
      BindEntryPoint(module, "InternetSetCookieW", &set_cookie) &&
      BindEntryPoint(module, "InternetAutodial", &autodial) &&
      BindEntryPoint(module, "InternetAutodialHangup", &autodial_hangup) &&
      BindEntryPoint(module, "InternetQueryOptionW", &query_option) &&
      BindEntryPoint(module, "InternetSetOptionW", &set_option) &&
      BindEntryPoint(module, "InternetCheckConnectionW", &check_connection) &&
      BindEntryPoint(module, "InternetCrackUrlW", &crack_url);
  if (!bound) *this = InetApi{};
  return bound;
}

bool BindWinInet(UniqueLibrary* library, InetApi* api) {
  UniqueLibrary loaded = LoadSystemLibrary(L"wininet");
  if (!loaded || !api->Bind(loaded.get())) {
    *api = InetApi{};
    library->reset();
    return false;  // `loaded` frees the library
  }
  *library = std::move(loaded);
  return true;
}

}  // namespace ci
