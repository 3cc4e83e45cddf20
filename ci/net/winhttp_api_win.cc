#include "ci/net/winhttp_api_win.h"

#include "ci/base/runtime_library_win.h"

namespace ci {

bool WinHttpApi::Bind(HMODULE module) {
  const bool bound = BindEntryPoint(module, "WinHttpAddRequestHeaders", &add_request_headers) &&
                     BindEntryPoint(module, "WinHttpCloseHandle", &close_handle) &&
                     BindEntryPoint(module, "WinHttpConnect", &connect) &&
                     BindEntryPoint(module, "WinHttpCrackUrl", &crack_url) &&
                     BindEntryPoint(module, "WinHttpGetDefaultProxyConfiguration",
                                    &get_default_proxy_configuration) &&
                     BindEntryPoint(module, "WinHttpOpen", &open) &&
                     BindEntryPoint(module, "WinHttpOpenRequest", &open_request) &&
                     BindEntryPoint(module, "WinHttpQueryAuthSchemes", &query_auth_schemes) &&
                     BindEntryPoint(module, "WinHttpQueryDataAvailable", &query_data_available) &&
                     BindEntryPoint(module, "WinHttpQueryHeaders", &query_headers) &&
                     BindEntryPoint(module, "WinHttpQueryOption", &query_option) &&
                     BindEntryPoint(module, "WinHttpReadData", &read_data) &&
                     BindEntryPoint(module, "WinHttpReceiveResponse", &receive_response) &&
                     BindEntryPoint(module, "WinHttpSendRequest", &send_request) &&
                     BindEntryPoint(module, "WinHttpSetCredentials", &set_credentials) &&
                     BindEntryPoint(module, "WinHttpSetOption", &set_option) &&
                     BindEntryPoint(module, "WinHttpSetStatusCallback", &set_status_callback) &&
                     BindEntryPoint(module, "WinHttpSetTimeouts", &set_timeouts) &&
                     BindEntryPoint(module, "WinHttpGetProxyForUrl", &get_proxy_for_url);
  if (!bound) *this = WinHttpApi{};
  return bound;
}

const WinHttpApi* WinHttpApi::Process() {
  // Bound by the first caller (a thread-safe static), never unbound.
  static const WinHttpApi* const api = []() -> const WinHttpApi* {
    UniqueLibrary library = LoadSystemLibrary(L"winhttp");
    if (!library) library = LoadSystemLibrary(L"winhttp5");
    if (!library) return nullptr;
    static WinHttpApi table;
    if (!table.Bind(library.get())) return nullptr;  // the library is freed here
    library.release();                               // stays loaded for the life of the process
    return &table;
  }();
  return api;
}

}  // namespace ci
