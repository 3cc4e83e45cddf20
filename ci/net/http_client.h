// The product's one abstraction for a single synchronous HTTP exchange: fill in
// the settings and the body, send to a host, port and path, then read the status,
// the headers and the body. Two implementations exist, over the platform's two
// HTTP stacks; CreateHttpClient picks the first one that can be bound.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ci/base/hresult.h"
#include "ci/base/secret_wstring.h"
#include "ci/base/wide_string.h"

namespace ci {

// The proxy authentication schemes, in the numbering stored in proxy_auth_scheme.
enum ProxyAuthScheme : std::uint32_t {
  kProxyAuthNone = 0,
  kProxyAuthUnsupported = 1,
  kProxyAuthBasic = 2,
  kProxyAuthDigest = 3,
  kProxyAuthNegotiate = 4,
  kProxyAuthNtlm = 5,
};

// What GetDefaultProxyConfiguration reports as the platform's stored access type.
enum ProxyAccessType : std::uint32_t {
  kProxyAccessDirect = 0,
  kProxyAccessNamedProxy = 1,
  kProxyAccessOther = 2,
};

// Bits of HttpClient::proxy_mode.
constexpr std::uint32_t kProxyModeNamed = 1;       // use proxy_server (the value must be exactly 1)
constexpr std::uint32_t kProxyModeAutoDetect = 2;  // automatic proxy detection
constexpr std::uint32_t kProxyModeAutoConfig = 4;  // the auto-config script at auto_config_url

// Results of the HTTP layer beyond the platform's own.
constexpr HResult kE_HTTP_PROXY_USER_MISSING = static_cast<HResult>(0x80420028u);
constexpr HResult kE_HTTP_PROXY_SCHEME_UNSUPPORTED = static_cast<HResult>(0x80420029u);
constexpr HResult kE_HTTP_SECURE_CHANNEL_FAILED = static_cast<HResult>(0x80420035u);
// A body longer than max_bytes (the HRESULT of ERROR_INSUFFICIENT_BUFFER).
constexpr HResult kE_HTTP_BODY_TOO_LARGE = kE_INSUFFICIENT_BUFFER;
// HRESULT_FROM_WIN32(ERROR_INTERNET_CANNOT_CONNECT): also the result when no
// network is available.
constexpr HResult kE_INTERNET_CANNOT_CONNECT = static_cast<HResult>(0x80072EFDu);
// Both libraries' time-out code (ERROR_WINHTTP_TIMEOUT, ERROR_INTERNET_TIMEOUT,
// 12002): also the result of an exchange that outlived exchange_timeout_ms.
constexpr HResult kE_HTTP_TIMEOUT = static_cast<HResult>(0x80072EE2u);
// Both libraries' "connection aborted" code (ERROR_WINHTTP_CONNECTION_ERROR,
// ERROR_INTERNET_CONNECTION_ABORTED, 12030): also the result of a body that ended
// before the length its Content-Length header declared.
constexpr HResult kE_HTTP_CONNECTION_ABORTED = static_cast<HResult>(0x80072EFEu);

// Whether a request goes over TLS.
enum class TransportSecurity : std::uint32_t {
  kByPort,  // TLS on port 443, plain HTTP on every other port
  kPlain,   // plain HTTP on any port
  kTls,     // TLS on any port
};

// The choice for one request: the URL of the proxy lookup ("https://" or
// "http://") and the library's secure-request flag both follow it.
bool UsesTls(TransportSecurity security, std::uint16_t port);

// A URL split into its parts, as the platform's URL cracker reports them.
struct UrlComponents {
  WString scheme;
  std::int32_t scheme_number = 0;  // the library's own scheme number
  WString host;
  std::uint16_t port = 0;
  WString user;
  SecretWString password;  // wiped, as every copy the cracking made
  WString path;
  WString extra;  // query and fragment
};

// One attempt of Send as it ended, for a caller that shows the exchange as it
// happens. Attempts are numbered from 0 within each Send; the direct retry after
// a failure through the proxy carries the number of the attempt it belongs to.
struct SendAttemptReport {
  std::int32_t attempt = 0;
  bool direct_retry = false;
  // This attempt's own result (E_ABORT once aborted), before Send maps its final
  // result (a TLS failure to kE_HTTP_SECURE_CHANNEL_FAILED).
  HResult result = kS_OK;
  std::uint32_t status = 0;  // 0: no answer
};
using SendAttemptObserver = std::function<void(const SendAttemptReport&)>;

class HttpClient {
 public:
  HttpClient() = default;
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  virtual ~HttpClient() = default;

  // Sets the abort flag and closes the client's handles. A send or read running on
  // another thread ends with E_ABORT at its next check; the flag is never cleared.
  virtual HResult Abort() = 0;
  // The numeric status of the last response; 0 before any.
  virtual std::uint32_t GetStatusCode() = 0;
  virtual HResult GetResponseHeader(const WString& name, WString* value) = 0;
  // All response headers, one per line, each line ended by CR LF.
  virtual HResult GetRawResponseHeaders(WString* value) = 0;
  // The body decoded from UTF-8. A max_bytes of 0 means no limit; a longer body
  // gives kE_HTTP_BODY_TOO_LARGE. Every body form fails with the failed read's
  // error, E_ABORT after an Abort, kE_HTTP_TIMEOUT past the exchange deadline,
  // and kE_HTTP_CONNECTION_ABORTED when the body ends short of its declared
  // Content-Length.
  virtual HResult ReadResponseBody(WString* text, std::uint32_t max_bytes) = 0;
  virtual HResult ReadResponseBodyToBuffer(std::vector<std::uint8_t>* bytes,
                                           std::uint32_t max_bytes) = 0;
  // The body into a new file (replacing one of that name); the file is left in place.
  virtual HResult ReadResponseBodyToFile(const WString& path, std::uint32_t max_bytes) = 0;
  // The preferred proxy authentication scheme on offer, as a ProxyAuthScheme.
  virtual HResult QueryProxyAuthScheme(std::uint32_t* scheme) = 0;
  // The proxy that automatic configuration chooses for `url`.
  virtual HResult GetProxyForUrl(const WString& url, WString* proxy) = 0;
  // The platform's stored default proxy settings; each output may be null.
  virtual HResult GetDefaultProxyConfiguration(std::uint32_t* access_type, WString* proxy,
                                               WString* bypass) = 0;
  // Splits `url`; no copy of its password outlives the call unwiped.
  virtual HResult CrackUrl(const WString& url, bool escape, UrlComponents* components) = 0;
  // Performs the request with the configured attempts; GET when request_body is
  // empty, POST otherwise. An Abort on another thread ends it at once, also in
  // the pause between attempts, and no further attempt follows.
  virtual HResult Send(const WString& host, std::uint16_t port, const WString& path) = 0;
  // True when the network reaches the probe host.
  virtual bool CheckConnection() = 0;

  // Send, and when a named proxy answers 407, choose its scheme and send again
  // with proxy_user and proxy_password.
  HResult SendWithProxyAuth(const WString& host, std::uint16_t port, const WString& path);

  // Settings, set directly by the caller before sending.
  WString request_headers;       // extra request headers, sent unchanged
  std::uint32_t proxy_mode = 0;  // kProxyMode... bits
  WString auto_config_url;
  WString proxy_server;  // named proxy, as the platform accepts it ("host:port")
  std::uint32_t proxy_auth_scheme = kProxyAuthNone;
  WString proxy_user;
  SecretWString proxy_password;      // wiped before its storage is released or reused
  bool bypass_cache = true;          // ask for a fresh response
  bool retry_without_proxy = false;  // after a failed send through the proxy, try once directly
  std::vector<std::uint8_t> request_body;
  std::uint32_t connect_timeout_ms = 20000;
  std::uint32_t send_timeout_ms = 10000;
  std::uint32_t receive_timeout_ms = 10000;
  std::int32_t retries = 0;             // extra attempts; -1 makes no attempt at all
  std::uint32_t retry_delay_ms = 1000;  // an Abort cuts the pause short
  // When false neither library follows a 3xx answer: its status is the result.
  bool follow_redirects = true;
  // Name resolution, where the library has such a time-out (WinHTTP; WinINet has
  // none of its own and resolves within the connect time-out).
  std::uint32_t resolve_timeout_ms = 10000;
  // The deadline of one exchange: one attempt's request and the reading of its
  // answer. Every library time-out is cut to what is left of it, and a step or
  // body read that ends past it fails with kE_HTTP_TIMEOUT. 0: no deadline (each
  // time-out as set, 0 there meaning the library's own unlimited wait).
  std::uint32_t exchange_timeout_ms = 60000;
  TransportSecurity transport_security = TransportSecurity::kByPort;
  // Called on the sending thread after every attempt of Send (and its direct
  // retry), before the pause to the next; empty: nobody is told.
  SendAttemptObserver attempt_observer;
};

// A client over the first HTTP stack that can be bound (WinHTTP, then WinINet), or
// null when neither can.
std::unique_ptr<HttpClient> CreateHttpClient();

}  // namespace ci
