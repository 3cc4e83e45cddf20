// The product's one abstraction for a single synchronous HTTP exchange: fill in
// the settings and the body, send to a host, port and path, then read the status,
// the headers and the body. Two implementations exist, over the platform's two
// HTTP stacks; CreateHttpClient picks the first one that can be bound.
#pragma once

#include <cstdint>
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

// A URL split into its parts, as the platform's URL cracker reports them.
struct UrlComponents {
  WString scheme;
  std::int32_t scheme_number = 0;  // the library's own scheme number
  WString host;
  std::uint16_t port = 0;
  WString user;
  WString password;
  WString path;
  WString extra;  // query and fragment
};

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
  // gives kE_HTTP_BODY_TOO_LARGE.
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
  virtual HResult CrackUrl(const WString& url, bool escape, UrlComponents* components) = 0;
  // Performs the request with the configured attempts; GET when request_body is
  // empty, POST otherwise.
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
  std::int32_t retries = 0;  // extra attempts; -1 makes no attempt at all
  std::uint32_t retry_delay_ms = 1000;
};

// A client over the first HTTP stack that can be bound (WinHTTP, then WinINet), or
// null when neither can.
std::unique_ptr<HttpClient> CreateHttpClient();

}  // namespace ci
