// The product's one abstraction for a single synchronous HTTP exchange: fill in
// the settings and the body, send to a host, port and path, then read the status,
// the headers and the body. Two implementations exist, over the platform's two
// HTTP stacks; CreateHttpClient picks the first one that can be bound.
//
// Below the interface, the logic both implementations share, portable and
// tested natively: the choice of proxy authentication scheme, the attempt loop,
// the deadline of one exchange and the body-reading loop (its three forms are
// Windows code, in http_client_win.cc with the factory).
#pragma once

#include <cstddef>
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

// Where CheckConnection and QueryProxyAuthScheme send their probe: a public web
// server over plain HTTP, named by the build setting VU_HTTP_PROBE_HOST.
struct ProbeEndpoint {
  WString host;
  std::uint16_t port = 80;
};

ProbeEndpoint DefaultProbeEndpoint();

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
// A WinHTTP client over the process-wide binding, or null when it cannot be bound.
std::unique_ptr<HttpClient> CreateWinHttpClient();
// A WinINet client with its own binding, or null when it cannot be bound.
std::unique_ptr<HttpClient> CreateInetHttpClient();

// Choosing among the proxy authentication schemes on offer (ProxyAuthScheme
// above), and the platform's scheme flags (the WinHTTP numbering).

constexpr std::uint32_t kSchemeFlagBasic = 0x1;
constexpr std::uint32_t kSchemeFlagNtlm = 0x2;
constexpr std::uint32_t kSchemeFlagDigest = 0x8;
constexpr std::uint32_t kSchemeFlagNegotiate = 0x10;

// The preferred scheme of a set of flags: NTLM, Negotiate, Digest, Basic; any
// other non-empty set is "unsupported" (1); an empty set is none (0).
std::uint32_t SchemeFromFlags(std::uint32_t supported);

// The flag to hand the platform with credentials for `scheme`; 0 for none,
// unsupported, and values out of range.
std::uint32_t FlagForScheme(std::uint32_t scheme);

// The rank of a scheme word of a Proxy-Authenticate header, ignoring case:
// Negotiate 4, NTLM 5, Digest 3, Basic 2, anything else 1.
std::uint32_t RankSchemeWord(const WString& word);

// The highest-ranked scheme named by the Proxy-Authenticate lines of a raw
// header block; 0 when there is none.
std::uint32_t BestSchemeInHeaders(const WString& raw_headers);

// The attempt loop shared by both HTTP clients: attempts 0..retries, a pause
// before each extra one, and a direct retry when a send through the proxy failed.
struct SendAttemptHooks {
  std::function<HResult(bool use_proxy)> send_once;
  std::function<std::uint32_t()> status;  // status of the last exchange
  // Pauses before an extra attempt; false when an abort cut the pause short.
  std::function<bool(std::uint32_t ms)> pause;
  std::function<bool()> aborted;
  std::function<void()> direct_works;  // a direct retry succeeded
};

// Runs the attempts for `settings` and returns the result of the last one (S_OK
// when retries is -1 and no attempt is made). A direct retry is made when
// retry_without_proxy is set, proxy_server is not empty, and the attempt failed or
// answered neither 200 nor 304. When it succeeds the attempt counts as successful;
// when it fails after the proxy answered, its failure is the attempt's result
// (the proxy's answer went with its handles), otherwise the proxy's failure
// stands. Once aborted, no further send or pause is made and the result is
// E_ABORT. Every send, the direct retry included, is told to
// settings.attempt_observer when it has ended.
HResult RunSendAttempts(const HttpClient& settings, const SendAttemptHooks& hooks);

// The deadline of one HTTP exchange (request and answer) in milliseconds of a
// monotonic clock, and the library time-outs cut to what is left of it.
class ExchangeDeadline {
 public:
  // No deadline until Start.
  ExchangeDeadline() = default;

  // The exchange begins at `now_ms` and may last `budget_ms`; 0: no deadline.
  void Start(std::uint64_t now_ms, std::uint32_t budget_ms);
  bool Expired(std::uint64_t now_ms) const;
  // A library time-out of `setting_ms` (0: the library waits without limit) cut
  // to the time left, and never 0 while a deadline stands (a library takes 0 for
  // no limit), so 1 ms once the deadline has passed. Without a deadline the
  // setting as it is.
  std::uint32_t Clip(std::uint32_t setting_ms, std::uint64_t now_ms) const;

 private:
  bool limited_ = false;
  std::uint64_t end_ms_ = 0;
};

// The body-reading loop shared by both HTTP clients and all three body forms.
struct BodyReadHooks {
  std::function<bool()> aborted;
  std::function<bool()> expired;  // the exchange deadline has passed
  // Reads up to `capacity` bytes; a failure ends the body with it. A read of 0
  // bytes ends the body.
  std::function<HResult(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read)> read;
  // Takes the bytes read; a failure ends the loop with it.
  std::function<HResult(const std::uint8_t* bytes, std::uint32_t count)> append;
};

constexpr std::uint32_t kBodyChunkBytes = 1024;
// The body declares no length (no Content-Length, or one that does not count).
constexpr std::uint64_t kNoDeclaredLength = ~std::uint64_t{0};

// Reads chunks until an empty read (S_OK; kE_HTTP_CONNECTION_ABORTED when fewer
// than `declared_length` bytes came), a failed read (its error), or a total above
// max_bytes when max_bytes is not 0 (0x8007007A, before the chunk that crossed
// the limit is appended). Whatever a read reported, after an abort the result is
// E_ABORT and past the deadline kE_HTTP_TIMEOUT.
HResult ReadBodyChunks(std::uint32_t max_bytes, std::uint64_t declared_length,
                       const BodyReadHooks& hooks);

// The length a Content-Length value declares: decimal digits only, around them
// spaces or tabs; kNoDeclaredLength for anything else (empty, signed, several
// values, beyond 64 bits).
std::uint64_t ParseContentLength(const char16_t* text, std::size_t length);

// The three forms a response body is read into (text, bytes, file), over one
// chunk reader of either HTTP library (Windows). A BodySource is one response's
// body as the reading loop sees it.
struct BodySource {
  std::function<bool()> aborted;
  std::function<bool()> expired;
  std::function<HResult(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read)> read;
  std::uint64_t declared_length;  // kNoDeclaredLength when none counts
};

HResult ReadBodyAsText(const BodySource& source, std::uint32_t max_bytes, WString* text);
HResult ReadBodyAsBytes(const BodySource& source, std::uint32_t max_bytes,
                        std::vector<std::uint8_t>* bytes);
// Creates (or replaces) the file first; the file is closed on every path and left
// in place, also when the read fails.
HResult ReadBodyToNewFile(const BodySource& source, std::uint32_t max_bytes, const WString& path);

}  // namespace ci
