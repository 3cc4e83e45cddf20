#include "tools/http_report.h"

#include "ci/net/http_client.h"
#include "tools/hresult_text.h"
#include "tools/http_command.h"
#include "tools/json_text.h"

namespace ci {

const char* ProxyAuthSchemeName(std::uint32_t scheme) {
  switch (scheme) {
    case 0:
      return "none";
    case 1:
      return "unsupported";
    case 2:
      return "Basic";
    case 3:
      return "Digest";
    case 4:
      return "Negotiate";
    case 5:
      return "NTLM";
    default:
      return "unknown";
  }
}

std::string DescribeHttpResult(HResult hr) {
  static constexpr HResultText kKnown[] = {
      {0x00000000u, "the exchange succeeded"},
      {0x80420028u, "the proxy asks for authentication and no proxy user was given"},
      {0x80420029u, "the proxy asks for an authentication scheme the updater does not support"},
      {0x80420035u, "the secure channel could not be set up"},
      {0x80072F7Du, "the TLS handshake failed (so it does against a plain HTTP server)"},
      {0x80072F8Fu, "the secure channel could not be set up"},
      {0x80072F7Cu, "a redirect was not followed"},
      {0x8007007Au, "the body is longer than the limit (--max-bytes)"},
      {0x80004004u, "the exchange was aborted"},
      {0x80072EFDu, "cannot connect to the server (or no network is available)"},
      {0x80072EE2u, "the server did not answer in time"},
      {0x80072EE7u, "the host name could not be resolved"},
      {0x80072EE6u, "the URL's scheme is not supported"},
      {0x80072F78u, "the server's answer was not valid HTTP"},
      {0x80072EFEu, "the connection was closed"},
      {0x80072EE5u, "the URL is not valid"},
      {0x80072F94u, "automatic proxy detection found no proxy auto-config script"},
      {0x80072F87u, "the proxy auto-config script could not be downloaded"},
      {0x80072F86u, "the proxy auto-config script did not run or gave no answer"},
  };
  return FindHResultText(kKnown, hr);
}

std::string HttpResultWords(HResult hr) {
  std::string words = DescribeHttpResult(hr);
  if (words.empty()) words = Succeeded(hr) ? "success" : "failed";
  return words + " (" + HResultHex(hr) + ")";
}

std::string SecondsText(std::uint32_t ms) {
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    text += "." + fraction;
  }
  return text + " s";
}

std::string FormatHttpSummary(const HttpReport& report) {
  std::string text = "client " + report.client + ", ";
  text += report.status ? "status " + std::to_string(report.status) : std::string("no status");
  text += ", " + HttpResultWords(report.result);
  if (!report.problem.empty()) text += ": " + report.problem;
  if (report.result == kE_HTTP_TIMEOUT && report.exchange_timeout_ms != 0) {
    text += ": an exchange may last " + SecondsText(report.exchange_timeout_ms) + " (--max-time)";
  }
  if (report.proxy_auth_scheme != 0) {
    text += ", proxy scheme " + std::string(ProxyAuthSchemeName(report.proxy_auth_scheme));
  }
  if (!report.redirects.empty()) {
    text += ", after " + std::to_string(report.redirects.size()) +
            (report.redirects.size() == 1 ? " redirect: " : " redirects: ") + report.url;
  }
  return text + "\n";
}

std::string FormatHttpJson(const HttpReport& report) {
  std::string headers = "[";
  std::size_t start = 0;
  bool first = true;
  while (start < report.headers.size()) {
    std::size_t end = report.headers.find("\r\n", start);
    if (end == std::string::npos) end = report.headers.size();
    if (end > start) {
      headers += (first ? "" : ", ") + JsonString(report.headers.substr(start, end - start));
      first = false;
    }
    start = end + 2;
  }
  headers += "]";
  std::string redirects = "[";
  for (const FollowedRedirect& redirect : report.redirects) {
    if (redirects.size() > 1) redirects += ", ";
    redirects += "{\"status\": " + std::to_string(redirect.status) +
                 ", \"url\": " + JsonString(redirect.url) + "}";
  }
  redirects += "]";
  return "{\"client\": " + JsonString(report.client) +
         ", \"result\": " + JsonString(HResultHex(report.result)) +
         ", \"status\": " + std::to_string(report.status) +
         ", \"proxy_auth_scheme\": " + std::to_string(report.proxy_auth_scheme) +
         ", \"proxy_auth_scheme_name\": " +
         JsonString(ProxyAuthSchemeName(report.proxy_auth_scheme)) + ", \"headers\": " + headers +
         ", \"body_bytes\": " + std::to_string(report.body_bytes) +
         ", \"url\": " + JsonString(report.url) + ", \"redirects\": " + redirects +
         ", \"problem\": " + JsonString(report.problem) + "}\n";
}

bool IsFailStatus(const HttpReport& report, bool fail) {
  return fail && Succeeded(report.result) && report.status >= 400;
}

int HttpExitCode(const HttpReport& report, bool fail) {
  if (Failed(report.result)) return kHttpExitFailed;
  return IsFailStatus(report, fail) ? kHttpExitHttpError : kHttpExitOk;
}

}  // namespace ci
