#include "ci/net/inet_http_client_win.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ci/base/runtime_library_win.h"
#include "ci/base/hresult.h"
#include "ci/net/network_available_win.h"

namespace ci {
namespace {

constexpr HResult kE_INTERNET_SEC_CERT_DATE_INVALID =
    static_cast<HResult>(0x80072F05u);  // ERROR_INTERNET_SEC_CERT_DATE_INVALID
constexpr DWORD kFreshRequestFlags =
    0x84080300;  // reload, no cache write, no cookies, no UI, pragma no-cache
constexpr DWORD kCachedRequestFlags = 0x00080200;  // no cookies, no UI
constexpr DWORD kQueryStatusNumber = 0x20000013;  // HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER

WString AnsiToWide(const char* text) {
  if (text == nullptr || *text == 0) return WString();
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return WString();
  std::vector<wchar_t> wide(static_cast<std::size_t>(length));
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  return FromWin(wide.data());
}

}  // namespace

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

InetHttpClient::InetHttpClient(UniqueLibrary library, const InetApi& api, ProbeEndpoint probe,
                               NetworkCheck network_available)
    : LibraryHttpClient(api.close_handle),
      library_(std::move(library)),
      api_(api),
      probe_(std::move(probe)),
      network_available_(network_available ? network_available : &NetworkAvailable) {}

InetHttpClient::~InetHttpClient() {
  handles_.CloseAll();
  api_ = InetApi{};  // the library reference goes with library_
}

HResult InetHttpClient::SendOnce(const WString& host, std::uint16_t port, const WString& path,
                                 bool use_proxy) {
  BeginExchange();
  const bool through_proxy = use_proxy && !proxy_server.empty();
  const std::wstring proxy_name = ToWide(proxy_server);
  HINTERNET session = GuardedHandle([&] {
    return api_.open(
        static_cast<LPCWSTR>(nullptr),
        static_cast<DWORD>(through_proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT),
        through_proxy ? proxy_name.c_str() : nullptr, static_cast<LPCWSTR>(nullptr),
        static_cast<DWORD>(0));
  });
  if (session == nullptr) return CallFailure();
  if (!handles_.Keep(session, ClientHandles::kSession)) return kE_ABORT;
  VU_RETURN_IF_FAILED(StepCheck());

  // No resolve time-out of its own: resolution counts against the connect time-out.
  const DWORD connect = TimeLeft(connect_timeout_ms), send = TimeLeft(send_timeout_ms),
              receive = TimeLeft(receive_timeout_ms);
  if (connect != 0 || send != 0 || receive != 0) {
    for (auto [option, value] : {std::pair<DWORD, DWORD>{INTERNET_OPTION_CONNECT_TIMEOUT, connect},
                                 {INTERNET_OPTION_SEND_TIMEOUT, send},
                                 {INTERNET_OPTION_RECEIVE_TIMEOUT, receive}}) {
      GuardedBool([&] {
        return api_.set_option(session, option, static_cast<LPVOID>(&value),
                               static_cast<DWORD>(sizeof(value)));
      });
    }
    VU_RETURN_IF_FAILED(StepCheck());
  }

  const std::wstring wide_host = ToWide(host);
  HINTERNET connection = GuardedHandle([&] {
    return api_.connect(session, wide_host.c_str(), static_cast<INTERNET_PORT>(port),
                        static_cast<LPCWSTR>(nullptr), static_cast<LPCWSTR>(nullptr),
                        static_cast<DWORD>(INTERNET_SERVICE_HTTP), static_cast<DWORD>(0),
                        static_cast<DWORD_PTR>(0));
  });
  if (connection == nullptr) return CallFailure();
  if (!handles_.Keep(connection, ClientHandles::kConnection)) return kE_ABORT;
  VU_RETURN_IF_FAILED(StepCheck());

  if (use_proxy && !proxy_user.empty() && !proxy_password.empty()) {
    GuardedBool([&] {
      return api_.set_option(connection, static_cast<DWORD>(INTERNET_OPTION_PROXY_USERNAME),
                             static_cast<LPVOID>(const_cast<wchar_t*>(AsWin(proxy_user))),
                             static_cast<DWORD>(proxy_user.size()));
    });
    GuardedBool([&] {
      return api_.set_option(
          connection, static_cast<DWORD>(INTERNET_OPTION_PROXY_PASSWORD),
          static_cast<LPVOID>(const_cast<wchar_t*>(AsWin(proxy_password.value()))),
          static_cast<DWORD>(proxy_password.size()));
    });
    VU_RETURN_IF_FAILED(StepCheck());
  }

  const bool secure = UsesTls(transport_security, port);
  DWORD flags = bypass_cache ? kFreshRequestFlags : kCachedRequestFlags;
  if (secure) flags |= INTERNET_FLAG_SECURE;
  if (!follow_redirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  const std::wstring object = ToWide(path);
  const bool post = !request_body.empty();
  HINTERNET request = GuardedHandle([&] {
    return api_.http_open_request(connection, post ? L"POST" : L"GET", object.c_str(),
                                  static_cast<LPCWSTR>(nullptr), static_cast<LPCWSTR>(nullptr),
                                  static_cast<LPCWSTR*>(nullptr), flags, static_cast<DWORD_PTR>(0));
  });
  if (request == nullptr) return CallFailure();
  if (!handles_.Keep(request, ClientHandles::kRequest)) return kE_ABORT;
  VU_RETURN_IF_FAILED(StepCheck());

  const std::wstring headers = ToWide(request_headers);
  const wchar_t* header_text = headers.empty() ? nullptr : headers.c_str();
  const DWORD header_length = static_cast<DWORD>(headers.size());
  auto send_request = [&](void* body, DWORD body_size) {
    return GuardedBool([&] {
             return api_.http_send_request(request, header_text, header_length, body, body_size);
           }) != FALSE;
  };
  if (!post) {
    bool sent = send_request(nullptr, 0);
    // A secure GET is sent a second time after a failure (the first may have
    // stopped at a certificate question), and the second outcome counts.
    if (!sent && secure && Succeeded(StepCheck())) sent = send_request(nullptr, 0);
    if (!sent) return CallFailure();
  } else if (!send_request(const_cast<std::uint8_t*>(request_body.data()),
                           static_cast<DWORD>(request_body.size()))) {
    return CallFailure();
  }
  VU_RETURN_IF_FAILED(StepCheck());

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!GuardedBool([&] {
        return api_.http_query_info(request, kQueryStatusNumber, static_cast<LPVOID>(&status),
                                    &size, static_cast<LPDWORD>(nullptr));
      })) {
    return CallFailure();
  }
  status_ = status;
  return kS_OK;
}

HResult InetHttpClient::Send(const WString& host, std::uint16_t port, const WString& path) {
  if (!network_available_()) return kE_INTERNET_CANNOT_CONNECT;
  const HResult result = RunAttempts(host, port, path);
  return result == kE_INTERNET_SEC_CERT_DATE_INVALID ? kE_HTTP_SECURE_CHANNEL_FAILED : result;
}

bool InetHttpClient::CheckConnection() {
  const std::wstring url =
      L"http://" + ToWide(probe_.host) + L":" + std::to_wstring(probe_.port) + L"/";
  return CallGuarded<BOOL>(FALSE, api_.check_connection, url.c_str(),
                           static_cast<DWORD>(FLAG_ICC_FORCE_CONNECTION),
                           static_cast<DWORD>(0)) == 1;
}

HResult InetHttpClient::GetResponseHeader(const WString& name, WString* value) {
  return QueryInfo(HTTP_QUERY_CUSTOM, name, value);
}

HResult InetHttpClient::GetRawResponseHeaders(WString* value) {
  return QueryInfo(HTTP_QUERY_RAW_HEADERS_CRLF, WString(), value);
}

HResult InetHttpClient::QueryInfo(DWORD level, const WString& name, WString* value) {
  if (status_ == 0) return kE_FAIL;
  HINTERNET request = handles_.Get(ClientHandles::kRequest);
  // A custom query reads the header name from the buffer it writes the value into,
  // so every try starts with the name in the buffer.
  std::vector<wchar_t> buffer;
  DWORD bytes = 0;
  // Offers `offered` bytes of a buffer that holds at least `chars` characters.
  auto query_into = [&](std::size_t chars, std::size_t offered) {
    buffer.assign(std::max(chars, name.size()) + 1, 0);
    std::copy(AsWin(name), AsWin(name) + name.size(), buffer.begin());
    bytes = static_cast<DWORD>(offered);
    return GuardedBool([&] {
      return api_.http_query_info(request, level, static_cast<LPVOID>(buffer.data()), &bytes,
                                  static_cast<LPDWORD>(nullptr));
    });
  };
  if (!query_into(0, name.size() * sizeof(wchar_t))) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return handles_.FailedCall();
    const std::size_t chars = std::max<std::size_t>(bytes / sizeof(wchar_t), name.size()) + 1;
    if (!query_into(chars, chars * sizeof(wchar_t))) return handles_.FailedCall();
  }
  *value = FromWin(buffer.data(), std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size()));
  return kS_OK;
}

BOOL InetHttpClient::ReadChunk(void* request, void* buffer, DWORD capacity, DWORD* read) {
  *read = 0;
  DWORD available = 0;
  if (!GuardedBool([&] {
        return api_.query_data_available(request, &available, static_cast<DWORD>(0),
                                         static_cast<DWORD_PTR>(0));
      })) {
    return FALSE;
  }
  if (available == 0) return TRUE;  // the end of the body
  const DWORD wanted = available < capacity ? available : capacity;
  return GuardedBool([&] { return api_.read_file(request, buffer, wanted, read); });
}

void InetHttpClient::LimitReceiveWait(void* request, DWORD ms) {
  GuardedBool([&] {
    return api_.set_option(request, static_cast<DWORD>(INTERNET_OPTION_RECEIVE_TIMEOUT),
                           static_cast<LPVOID>(&ms), static_cast<DWORD>(sizeof(ms)));
  });
}

HResult InetHttpClient::QueryProxyAuthScheme(std::uint32_t* scheme) {
  *scheme = kProxyAuthNone;
  if (status_ != 407) {
    if (Failed(Send(probe_.host, probe_.port, u"/")) || status_ != 407) return kE_FAIL;
  }
  WString headers;
  if (Failed(GetRawResponseHeaders(&headers))) return kE_FAIL;
  *scheme = BestSchemeInHeaders(headers);
  return kS_OK;
}

HResult InetHttpClient::GetProxyForUrl(const WString& url, WString* proxy) { return kE_NOTIMPL; }

HResult InetHttpClient::GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                                     WString* bypass) {
  DWORD size = 0;
  if (GuardedBool([&] {
        return api_.query_option(static_cast<HINTERNET>(nullptr),
                                 static_cast<DWORD>(INTERNET_OPTION_PROXY),
                                 static_cast<LPVOID>(nullptr), &size);
      }) ||
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return kE_FAIL;
  }
  // Room for the record even if the library reports less, so that reading its
  // members never leaves the buffer.
  std::vector<unsigned char> buffer(std::max<std::size_t>(size, sizeof(INTERNET_PROXY_INFO)));
  size = static_cast<DWORD>(buffer.size());
  if (!GuardedBool([&] {
        return api_.query_option(static_cast<HINTERNET>(nullptr),
                                 static_cast<DWORD>(INTERNET_OPTION_PROXY),
                                 static_cast<LPVOID>(buffer.data()), &size);
      })) {
    return handles_.FailedCall();
  }
  const INTERNET_PROXY_INFO* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
  if (access_type) {
    *access_type = info->dwAccessType == INTERNET_OPEN_TYPE_DIRECT  ? kProxyAccessDirect
                   : info->dwAccessType == INTERNET_OPEN_TYPE_PROXY ? kProxyAccessNamedProxy
                                                                    : kProxyAccessOther;
  }
  // The platform hands these back as ANSI text even to the wide query.
  if (proxy) *proxy = AnsiToWide(reinterpret_cast<const char*>(info->lpszProxy));
  if (bypass) *bypass = AnsiToWide(reinterpret_cast<const char*>(info->lpszProxyBypass));
  return kS_OK;
}

HResult InetHttpClient::CrackUrl(const WString& url, bool escape, UrlComponents* components) {
  // The URL as it stands, not a copy: it may hold a password.
  return CrackUrlInto<URL_COMPONENTSW>(
      url.size(),
      [&](URL_COMPONENTSW* parts) {
        return GuardedBool([&] {
          return api_.crack_url(AsWin(url), static_cast<DWORD>(url.size()),
                                static_cast<DWORD>(escape ? ICU_ESCAPE : 0), parts);
        });
      },
      components);
}

std::unique_ptr<HttpClient> CreateInetHttpClient() {
  UniqueLibrary library;
  InetApi api;
  if (!BindWinInet(&library, &api)) return nullptr;
  return std::make_unique<InetHttpClient>(std::move(library), api);
}

}  // namespace ci
