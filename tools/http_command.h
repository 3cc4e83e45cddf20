// The command lines of adminprefs http and adminprefs proxy-config: one request
// through the product's HTTP stack, the way the updater sends it, and the
// machine's proxy configuration, for an administrator diagnosing a network or a
// proxy. Platform-free; arguments arrive as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ci/base/secret_wstring.h"
#include "tools/http_redirect.h"

namespace ci {

enum class HttpClientChoice { kFactory, kWinHttp, kWinInet };

// Exit codes of both commands.
constexpr int kHttpExitOk = 0;          // the exchange (or the lookup) was done
constexpr int kHttpExitFailed = 1;      // it failed
constexpr int kHttpExitUsage = 2;       // a bad command line (a URL that is not http or https)
constexpr int kHttpExitHttpError = 22;  // --fail and a status of 400 or more

struct HttpCommand {
  bool help = false;
  HttpClientChoice client = HttpClientChoice::kFactory;
  std::string url;    // without its fragment; never with credentials
  std::string proxy;  // HOST:PORT, a named proxy
  std::string proxy_user;
  SecretWString proxy_password;     // from --proxy-password or the --proxy URL
  std::string proxy_password_file;  // read by the caller into proxy_password
  std::string auto_config_url;
  std::int32_t retries = 0;
  std::uint32_t retry_delay_ms = 1000;
  bool retry_without_proxy = false;
  std::string post_file;  // body from this file (POST)
  std::vector<std::string> headers;
  std::uint32_t max_bytes = 0;
  std::string output_file;
  bool fail = false;          // --fail
  bool show_headers = false;  // -i, each hop's
  bool json = false;
  bool verbose = false;           // -v: the exchange on standard error as it happens
  bool follow_redirects = false;  // -L: the tool follows them, hop by hop
  std::uint32_t max_redirects = kDefaultMaxRedirects;
  std::uint32_t max_time_ms = 60000;  // the deadline of one exchange; 0: none
};

struct ProxyConfigCommand {
  bool help = false;
  HttpClientChoice client = HttpClientChoice::kFactory;
  std::string url;              // optional: ask automatic configuration for this URL
  std::string auto_config_url;  // ask this script instead of detecting one
  bool json = false;
};

// False with a one-line reason for a command line that makes no sense; the
// reason never holds a password. `args` starts after the command name; a
// password among them is copied only into the command's SecretWString.
bool ParseHttpCommand(const std::vector<std::string>& args, HttpCommand* command,
                      std::string* error);
bool ParseProxyConfigCommand(const std::vector<std::string>& args, ProxyConfigCommand* command,
                             std::string* error);
std::string HttpUsageText();
std::string ProxyConfigUsageText();

// The request headers as the client sends them: the lines joined with CR LF.
std::string JoinHeaderLines(const std::vector<std::string>& lines);

// The password of a --proxy-password-file: its first line (a UTF-8 byte-order
// mark and the line end left out). `bytes` is wiped whatever the outcome; false
// with a reason for a file whose first line is empty.
bool TakePasswordFromFile(std::string* bytes, SecretWString* password, std::string* error);

}  // namespace ci
