#include "tools/http_trace.h"

#include "tools/http_redirect.h"
#include "tools/http_report.h"

namespace ci {
namespace {

// Header lines whose value is a credential.
bool CarriesCredentials(const std::string& line) {
  const std::string name = HeaderNameOf(line);
  return name == "authorization" || name == "proxy-authorization" || name == "cookie";
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

std::string TraceSetup(const HttpCommand& command, const std::string& client) {
  std::string text = "* client " + client + "; ";
  text += command.max_time_ms == 0
              ? std::string("no deadline for an exchange")
              : "an exchange may last " + SecondsText(command.max_time_ms) + " (--max-time)";
  text += command.follow_redirects
              ? "; redirects followed, at most " + std::to_string(command.max_redirects)
              : std::string("; redirects not followed (-L follows them)");
  text += "\n";
  if (command.retries > 0) {
    text += "* up to " + std::to_string(command.retries + 1) + " attempts, " +
            std::to_string(command.retry_delay_ms) + " ms apart\n";
  }
  if (!command.proxy.empty()) {
    text += "* proxy " + command.proxy;
    if (!command.proxy_user.empty()) {
      const bool password = !command.proxy_password.empty() || !command.proxy_password_file.empty();
      text +=
          ", user " + command.proxy_user + (password ? " with a password" : " without a password");
    }
    text += "\n";
    if (command.retry_without_proxy) {
      text += "* after a failure through the proxy, each attempt is made directly too\n";
    }
  } else if (!command.auto_config_url.empty()) {
    text += "* proxy: as the auto-config script " + command.auto_config_url + " chooses\n";
  } else {
    text += "* proxy: none, connecting directly\n";
  }
  return text;
}

std::string TraceProxyLookup(const std::string& url, ProxyLookupAnswer answer, HResult result,
                             const std::string& proxy) {
  std::string text = "* the auto-config script's choice for " + url + ": ";
  switch (answer) {
    case ProxyLookupAnswer::kProxy:
      text += proxy;
      break;
    case ProxyLookupAnswer::kDirect:
      text += "direct";
      break;
    case ProxyLookupAnswer::kFailed:
      text += "failed: " + HttpResultWords(result) + "; the request goes direct";
      break;
    case ProxyLookupAnswer::kNotAvailable:
    case ProxyLookupAnswer::kNotAsked:
      text += "not asked";
      break;
  }
  return text + "\n";
}

std::string TraceRequest(const std::string& url, bool tls, std::uint64_t body_bytes,
                         const std::vector<std::string>& headers) {
  std::string text = std::string("* ") + (body_bytes != 0 ? "POST " : "GET ") + url +
                     (tls ? " (TLS)" : " (plain HTTP)");
  if (body_bytes != 0) text += ", " + std::to_string(body_bytes) + " bytes of body";
  text += "\n";
  for (const std::string& line : headers) {
    text +=
        "> " + (CarriesCredentials(line) ? line.substr(0, line.find(':')) + ": ***" : line) + "\n";
  }
  return text;
}

std::string TraceAttempt(const TracedAttempt& attempt) {
  std::string text = "* attempt " + std::to_string(attempt.attempt + 1);
  if (attempt.retries > 0) text += " of " + std::to_string(attempt.retries + 1);
  if (attempt.direct_retry) text += ", directly (without the proxy)";
  if (!attempt.proxy_user.empty()) {
    text += ", with the proxy credentials of " + attempt.proxy_user;
    if (!attempt.proxy_scheme.empty()) text += " (" + attempt.proxy_scheme + ")";
  }
  text += ": ";
  if (Failed(attempt.result)) {
    text += "failed: " + HttpResultWords(attempt.result);
  } else {
    text += "status " + std::to_string(attempt.status);
    if (attempt.status == 407 && !attempt.direct_retry) text += ", the proxy asks for credentials";
  }
  return text + "\n";
}

std::string TraceResponseHeaders(const std::string& raw_headers) {
  std::string text;
  std::size_t start = 0;
  while (start < raw_headers.size()) {
    std::size_t end = raw_headers.find("\r\n", start);
    if (end == std::string::npos) end = raw_headers.size();
    if (end > start) text += "< " + raw_headers.substr(start, end - start) + "\n";
    start = end + 2;
  }
  return text;
}

std::string TraceRedirect(std::uint32_t number, std::uint32_t limit, std::uint32_t status,
                          const std::string& url, bool as_get,
                          const std::vector<std::string>& dropped_headers) {
  std::string text = "* redirect " + std::to_string(number) + " of at most " +
                     std::to_string(limit) + ": " + std::to_string(status) + " to " + url;
  if (as_get) text += "; sent as a GET without the body";
  if (!dropped_headers.empty()) {
    text += "; not sent to another server: " + Joined(dropped_headers);
  }
  return text + "\n";
}

std::string TraceUnfollowedRedirect(std::uint32_t status) {
  return "* the " + std::to_string(status) + " redirect is the answer (-L follows it)\n";
}

std::string TraceBody(std::uint64_t bytes, HResult result, const std::string& output_file,
                      bool kept_back) {
  if (kept_back) return "* body not read: the status is 400 or more (--fail)\n";
  std::string text = "* body: " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  if (!output_file.empty()) text += " to " + output_file;
  if (Failed(result)) text += ", then failed: " + HttpResultWords(result);
  return text + "\n";
}

}  // namespace ci
