// The lines of adminprefs http -v, written to standard error as the exchange
// happens: the settings and the proxy, each hop's request, each attempt and its
// result, the answer's headers, each redirect followed, the body. Every line
// starts with "* " (what the tool does), "> " (an extra request header) or "< "
// (a response header) and ends with "\n". No line holds a password: a header
// that carries credentials shows "***" for its value. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/hresult.h"
#include "tools/http_command.h"
#include "tools/proxy_config_report.h"

namespace ci {

// The client, the deadline, redirects, attempts and the proxy.
std::string TraceSetup(const HttpCommand& command, const std::string& client);

// What WinHTTP's automatic configuration chose for `url` (--auto-config-url).
std::string TraceProxyLookup(const std::string& url, ProxyLookupAnswer answer, HResult result,
                             const std::string& proxy);

// One hop's request: method, URL, TLS or plain, the body's size, the extra
// header lines.
std::string TraceRequest(const std::string& url, bool tls, std::uint64_t body_bytes,
                         const std::vector<std::string>& headers);

struct TracedAttempt {
  std::int32_t attempt = 0;  // from 0
  std::int32_t retries = 0;  // the attempts of one send are 0..retries
  bool direct_retry = false;
  HResult result = kS_OK;
  std::uint32_t status = 0;
  // The proxy user whose credentials went with the attempt, and the scheme's
  // name; empty when none did.
  std::string proxy_user;
  std::string proxy_scheme;
};
std::string TraceAttempt(const TracedAttempt& attempt);

// The raw response headers (CR LF lines), one "< " line each.
std::string TraceResponseHeaders(const std::string& raw_headers);

// Redirect `number` (from 1) of at most `limit`: `status` to `url`; whether the
// request became a GET without its body; the header names left out.
std::string TraceRedirect(std::uint32_t number, std::uint32_t limit, std::uint32_t status,
                          const std::string& url, bool as_get,
                          const std::vector<std::string>& dropped_headers);

// A redirect answer that -L was not given to follow.
std::string TraceUnfollowedRedirect(std::uint32_t status);

// The body: its size (to `output_file` when one is given), the failure that
// ended it, or that --fail kept it back.
std::string TraceBody(std::uint64_t bytes, HResult result, const std::string& output_file,
                      bool kept_back);

}  // namespace ci
