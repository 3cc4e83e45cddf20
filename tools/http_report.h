// What one exchange of adminprefs http gave, as the report on standard error,
// as JSON, and as the exit code. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/hresult.h"

namespace ci {

// A redirect that was followed: its status and where it led.
struct FollowedRedirect {
  std::uint32_t status = 0;
  std::string url;
};

struct HttpReport {
  std::string client;      // "winhttp" or "wininet"
  HResult result = kS_OK;  // of the send (or of reading the body)
  std::uint32_t status = 0;
  std::uint32_t proxy_auth_scheme = 0;
  std::string headers;  // raw response headers of the last answer, UTF-8, CR LF lines
  std::uint64_t body_bytes = 0;
  std::uint32_t exchange_timeout_ms = 0;  // --max-time; 0: none
  std::string url;                        // the URL of the last request
  std::vector<FollowedRedirect> redirects;
  std::string problem;  // why the exchange stopped where the result alone does not say
};

// One JSON object: client, result ("0x%08X"), status, proxy_auth_scheme (number and
// name), headers (a list of lines), body_bytes, url, redirects (status and url of
// each), problem.
std::string FormatHttpJson(const HttpReport& report);
// The status and the result in words, for standard error.
std::string FormatHttpSummary(const HttpReport& report);
// A sentence for the HTTP layer's results; empty for codes it does not know.
std::string DescribeHttpResult(HResult hr);
// DescribeHttpResult, or "success"/"failed", with the code: "... (0x80072EFD)".
std::string HttpResultWords(HResult hr);
// Milliseconds as seconds for people: "2 s", "0.25 s".
std::string SecondsText(std::uint32_t ms);
const char* ProxyAuthSchemeName(std::uint32_t scheme);

// True when --fail keeps the body back: the exchange succeeded with a status of
// 400 or more.
bool IsFailStatus(const HttpReport& report, bool fail);
// 0 for a done exchange, 1 for a failed one, 22 for IsFailStatus.
int HttpExitCode(const HttpReport& report, bool fail);

}  // namespace ci
