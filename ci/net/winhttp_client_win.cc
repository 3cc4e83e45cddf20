#include "ci/net/winhttp_client_win.h"

#include <vector>

#include "ci/base/runtime_library_win.h"
#include "ci/base/hresult.h"

namespace ci {
namespace {

constexpr HResult kE_WINHTTP_SECURE_FAILURE =
    static_cast<HResult>(0x80072F8Fu);  // ERROR_WINHTTP_SECURE_FAILURE

}  // namespace

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

WinHttpClient::WinHttpClient(const WinHttpApi* api, ProbeEndpoint probe)
    : LibraryHttpClient(api->close_handle), api_(api), probe_(std::move(probe)) {}

WinHttpClient::~WinHttpClient() = default;

bool WinHttpClient::LookUpAutoProxy(HINTERNET session, const std::wstring& url,
                                    WINHTTP_PROXY_INFO* info) {
  WINHTTP_AUTOPROXY_OPTIONS options{};
  const std::wstring config_url = ToWide(auto_config_url);
  if (proxy_mode & kProxyModeAutoDetect) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  } else if (proxy_mode & kProxyModeAutoConfig) {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = config_url.c_str();
  } else {
    return false;
  }
  options.fAutoLogonIfChallenged = TRUE;
  *info = WINHTTP_PROXY_INFO{};
  return GuardedBool([&] {
           return api_->get_proxy_for_url(session, url.c_str(), &options, info);
         }) != FALSE;
}

HResult WinHttpClient::SendOnce(const WString& host, std::uint16_t port, const WString& path,
                                bool use_proxy) {
  BeginExchange();
  const bool named_proxy = use_proxy && proxy_mode == kProxyModeNamed;
  const std::wstring proxy_name = ToWide(proxy_server);
  HINTERNET session = GuardedHandle([&] {
    return api_->open(nullptr,
                      named_proxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                      named_proxy ? proxy_name.c_str() : WINHTTP_NO_PROXY_NAME,
                      WINHTTP_NO_PROXY_BYPASS, static_cast<DWORD>(0));
  });
  if (session == nullptr) return CallFailure();
  if (!handles_.Keep(session, ClientHandles::kSession)) return kE_ABORT;
  VU_RETURN_IF_FAILED(StepCheck());

  const DWORD resolve = TimeLeft(resolve_timeout_ms), connect = TimeLeft(connect_timeout_ms),
              send = TimeLeft(send_timeout_ms), receive = TimeLeft(receive_timeout_ms);
  if (resolve != 0 || connect != 0 || send != 0 || receive != 0) {
    GuardedBool([&] {
      return api_->set_timeouts(session, static_cast<int>(resolve), static_cast<int>(connect),
                                static_cast<int>(send), static_cast<int>(receive));
    });
    VU_RETURN_IF_FAILED(StepCheck());
  }

  const std::wstring wide_host = ToWide(host);
  HINTERNET connection = GuardedHandle([&] {
    return api_->connect(session, wide_host.c_str(), static_cast<INTERNET_PORT>(port),
                         static_cast<DWORD>(0));
  });
  if (connection == nullptr) return CallFailure();
  if (!handles_.Keep(connection, ClientHandles::kConnection)) return kE_ABORT;
  VU_RETURN_IF_FAILED(StepCheck());

  const bool secure = UsesTls(transport_security, port);
  DWORD flags = bypass_cache ? WINHTTP_FLAG_REFRESH : 0;
  if (secure) flags |= WINHTTP_FLAG_SECURE;
  const std::wstring object = ToWide(path);
  HINTERNET request = GuardedHandle([&] {
    return api_->open_request(connection, request_body.empty() ? L"GET" : L"POST", object.c_str(),
                              static_cast<LPCWSTR>(nullptr), WINHTTP_NO_REFERER,
                              WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  });
  if (request == nullptr) return CallFailure();
  if (!handles_.Keep(request, ClientHandles::kRequest)) return kE_ABORT;
  VU_RETURN_IF_FAILED(StepCheck());

  if (!follow_redirects) {
    // Nothing is sent that could be passed on to wherever an answer points.
    DWORD disable = WINHTTP_DISABLE_REDIRECTS;
    if (!GuardedBool([&] {
          return api_->set_option(request, static_cast<DWORD>(WINHTTP_OPTION_DISABLE_FEATURE),
                                  static_cast<LPVOID>(&disable),
                                  static_cast<DWORD>(sizeof(disable)));
        })) {
      return CallFailure();
    }
  }
  // The wait for the whole header block, which the receive time-out (one read)
  // does not bound; not every version knows the option.
  DWORD headers_wait = TimeLeft(0);
  if (headers_wait != 0) {
    GuardedBool([&] {
      return api_->set_option(request, static_cast<DWORD>(WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT),
                              static_cast<LPVOID>(&headers_wait),
                              static_cast<DWORD>(sizeof(headers_wait)));
    });
  }

  if (use_proxy) {
    const DWORD scheme_flag = FlagForScheme(proxy_auth_scheme);
    if (scheme_flag != 0 && !proxy_user.empty() && !proxy_password.empty()) {
      GuardedBool([&] {
        return api_->set_credentials(request, static_cast<DWORD>(WINHTTP_AUTH_TARGET_PROXY),
                                     scheme_flag, AsWin(proxy_user), AsWin(proxy_password.value()),
                                     static_cast<LPVOID>(nullptr));
      });
    }
  }
  VU_RETURN_IF_FAILED(StepCheck());

  std::wstring url = secure ? L"https://" : L"http://";
  url += wide_host + L":" + std::to_wstring(port) + object;
  WINHTTP_PROXY_INFO proxy_info;
  if (LookUpAutoProxy(session, url, &proxy_info)) {
    GuardedBool([&] {
      return api_->set_option(request, static_cast<DWORD>(WINHTTP_OPTION_PROXY),
                              static_cast<LPVOID>(&proxy_info),
                              static_cast<DWORD>(sizeof(proxy_info)));
    });
    if (proxy_info.lpszProxy) ::GlobalFree(proxy_info.lpszProxy);
    if (proxy_info.lpszProxyBypass) ::GlobalFree(proxy_info.lpszProxyBypass);
  }
  VU_RETURN_IF_FAILED(StepCheck());

  const std::wstring headers = ToWide(request_headers);
  void* body = request_body.empty() ? nullptr : const_cast<std::uint8_t*>(request_body.data());
  const DWORD body_size = static_cast<DWORD>(request_body.size());
  if (!GuardedBool([&] {
        return api_->send_request(request,
                                  headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                  static_cast<DWORD>(headers.size()), body, body_size, body_size,
                                  static_cast<DWORD_PTR>(0));
      })) {
    return CallFailure();
  }
  VU_RETURN_IF_FAILED(StepCheck());
  if (!GuardedBool([&] { return api_->receive_response(request, static_cast<LPVOID>(nullptr)); })) {
    return CallFailure();
  }
  VU_RETURN_IF_FAILED(StepCheck());

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!GuardedBool([&] {
        return api_->query_headers(
            request, static_cast<DWORD>(WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER),
            WINHTTP_HEADER_NAME_BY_INDEX, static_cast<LPVOID>(&status), &size,
            WINHTTP_NO_HEADER_INDEX);
      })) {
    return CallFailure();
  }
  status_ = status;
  return kS_OK;
}

HResult WinHttpClient::Send(const WString& host, std::uint16_t port, const WString& path) {
  const HResult result = RunAttempts(host, port, path);
  return result == kE_WINHTTP_SECURE_FAILURE ? kE_HTTP_SECURE_CHANNEL_FAILED : result;
}

bool WinHttpClient::CheckConnection() { return Succeeded(Send(probe_.host, probe_.port, u"/")); }

HResult WinHttpClient::QueryHeader(DWORD level, const wchar_t* name, WString* value) {
  if (status_ == 0) return kE_FAIL;
  HINTERNET request = handles_.Get(ClientHandles::kRequest);
  DWORD size = 0;
  if (GuardedBool([&] {
        return api_->query_headers(request, level, name, static_cast<LPVOID>(nullptr), &size,
                                   WINHTTP_NO_HEADER_INDEX);
      })) {
    return kS_OK;
  }
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return handles_.FailedCall();
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (!GuardedBool([&] {
        return api_->query_headers(request, level, name, static_cast<LPVOID>(buffer.data()), &size,
                                   WINHTTP_NO_HEADER_INDEX);
      })) {
    return handles_.FailedCall();
  }
  *value = FromWin(buffer.data(), size / sizeof(wchar_t));
  return kS_OK;
}

HResult WinHttpClient::GetResponseHeader(const WString& name, WString* value) {
  const std::wstring wide_name = ToWide(name);
  return QueryHeader(WINHTTP_QUERY_CUSTOM, wide_name.c_str(), value);
}

HResult WinHttpClient::GetRawResponseHeaders(WString* value) {
  return QueryHeader(WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, value);
}

BOOL WinHttpClient::ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) {
  *read = 0;
  // A read asks only for what has arrived: the library otherwise waits to fill
  // the buffer, and a server that trickles would hold it past the deadline.
  DWORD available = 0;
  if (!GuardedBool([&] { return api_->query_data_available(request, &available); })) return FALSE;
  if (available == 0) return TRUE;  // the end of the body
  const DWORD wanted = available < capacity ? available : capacity;
  return GuardedBool([&] { return api_->read_data(request, buffer, wanted, read); });
}

void WinHttpClient::LimitReceiveWait(void* request, DWORD ms) {
  GuardedBool([&] {
    return api_->set_option(request, static_cast<DWORD>(WINHTTP_OPTION_RECEIVE_TIMEOUT),
                            static_cast<LPVOID>(&ms), static_cast<DWORD>(sizeof(ms)));
  });
}

HResult WinHttpClient::QueryProxyAuthScheme(std::uint32_t* scheme) {
  *scheme = kProxyAuthNone;
  if (status_ != 407) {
    if (Failed(Send(probe_.host, probe_.port, u"/")) || status_ != 407) return kS_OK;
  }
  DWORD supported = 0, first = 0, target = 0;
  if (!GuardedBool([&] {
        return api_->query_auth_schemes(handles_.Get(ClientHandles::kRequest), &supported, &first,
                                        &target);
      })) {
    return handles_.FailedCall();
  }
  if (target != WINHTTP_AUTH_TARGET_PROXY) return kE_FAIL;
  *scheme = SchemeFromFlags(supported);
  return kS_OK;
}

HResult WinHttpClient::GetProxyForUrl(const WString& url, WString* proxy) {
  HINTERNET session = handles_.Get(ClientHandles::kSession);
  if (session == nullptr) {
    session = GuardedHandle([&] {
      return api_->open(nullptr, static_cast<DWORD>(WINHTTP_ACCESS_TYPE_NO_PROXY),
                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, static_cast<DWORD>(0));
    });
    if (session == nullptr || !handles_.Keep(session, ClientHandles::kSession)) return kS_OK;
  }
  WINHTTP_PROXY_INFO info;
  if (LookUpAutoProxy(session, ToWide(url), &info)) {
    if (info.lpszProxy) {
      *proxy = FromWin(info.lpszProxy);
      ::GlobalFree(info.lpszProxy);
    }
    if (info.lpszProxyBypass) ::GlobalFree(info.lpszProxyBypass);
  }
  return kS_OK;
}

HResult WinHttpClient::GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                                    WString* bypass) {
  WINHTTP_PROXY_INFO info{};
  if (!GuardedBool([&] { return api_->get_default_proxy_configuration(&info); }))
    return handles_.FailedCall();
  if (access_type) {
    *access_type = info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY      ? kProxyAccessDirect
                   : info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? kProxyAccessNamedProxy
                                                                          : kProxyAccessOther;
  }
  if (proxy && info.lpszProxy) *proxy = FromWin(info.lpszProxy);
  if (bypass && info.lpszProxyBypass) *bypass = FromWin(info.lpszProxyBypass);
  if (info.lpszProxy) ::GlobalFree(info.lpszProxy);
  if (info.lpszProxyBypass) ::GlobalFree(info.lpszProxyBypass);
  return kS_OK;
}

HResult WinHttpClient::CrackUrl(const WString& url, bool escape, UrlComponents* components) {
  // The URL as it stands, not a copy: it may hold a password.
  return CrackUrlInto<URL_COMPONENTS>(
      url.size(),
      [&](URL_COMPONENTS* parts) {
        return GuardedBool([&] {
          return api_->crack_url(AsWin(url), static_cast<DWORD>(url.size()),
                                 static_cast<DWORD>(escape ? ICU_ESCAPE : 0), parts);
        });
      },
      components);
}

std::unique_ptr<HttpClient> CreateWinHttpClient() {
  const WinHttpApi* api = WinHttpApi::Process();
  if (api == nullptr) return nullptr;
  return std::make_unique<WinHttpClient>(api);
}

}  // namespace ci
