// adminprefs http and adminprefs proxy-config: one request through the product's
// HTTP stack, the way the updater sends it, and the machine's proxy settings, for
// an administrator diagnosing a network or a proxy. Parsing and output are
// platform-free; arguments arrive as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/hresult.h"

namespace ci {

enum class HttpClientChoice { kFactory, kWinHttp, kWinInet };

struct HttpCommand {
  bool help = false;
  HttpClientChoice client = HttpClientChoice::kFactory;
  std::string url;
  std::string proxy;  // HOST:PORT, a named proxy
  std::string proxy_user;
  std::string proxy_password;
  std::string auto_config_url;
  std::int32_t retries = 0;
  std::uint32_t retry_delay_ms = 1000;
  bool retry_without_proxy = false;
  std::string post_file;  // body from this file (POST)
  std::vector<std::string> headers;
  std::uint32_t max_bytes = 0;
  std::string output_file;
  bool show_headers = false;  // -i
  bool json = false;
};

struct ProxyConfigCommand {
  bool help = false;
  std::string url;              // optional: ask automatic configuration for this URL
  std::string auto_config_url;  // ask this script instead of detecting one
};

// False with a one-line reason for a command line that makes no sense. `args`
// starts after the command name.
bool ParseHttpCommand(const std::vector<std::string>& args, HttpCommand* command,
                      std::string* error);
bool ParseProxyConfigCommand(const std::vector<std::string>& args, ProxyConfigCommand* command,
                             std::string* error);
std::string HttpUsageText();
std::string ProxyConfigUsageText();

// The request headers as the client sends them: the lines joined with CR LF.
std::string JoinHeaderLines(const std::vector<std::string>& lines);

// What one exchange gave, for the report.
struct HttpReport {
  std::string client;      // "winhttp" or "wininet"
  HResult result = kS_OK;  // of the send (or of reading the body)
  std::uint32_t status = 0;
  std::uint32_t proxy_auth_scheme = 0;
  std::string headers;  // raw response headers, UTF-8, CR LF lines
  std::uint64_t body_bytes = 0;
};

// One JSON object: client, result ("0x%08X"), status, proxy_auth_scheme (number and
// name), headers (a list of lines), body_bytes.
std::string FormatHttpJson(const HttpReport& report);
// The status and the result in words, for standard error.
std::string FormatHttpSummary(const HttpReport& report);
// A sentence for the HTTP layer's results; empty for codes it does not know.
std::string DescribeHttpResult(HResult hr);
const char* ProxyAuthSchemeName(std::uint32_t scheme);

}  // namespace ci
