#include "tools/http_command.h"

#include <cerrno>
#include <cstdlib>

#include "tools/hresult_text.h"
#include "tools/json_text.h"

namespace ci {
namespace {

bool ParseNumber(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

// "--name=value" or "--name value"; advances `i` past what it used.
bool TakeValue(const std::vector<std::string>& args, std::size_t* i, const std::string& name,
               std::string* value, bool* matched, std::string* error) {
  const std::string& arg = args[*i];
  if (arg == name) {
    *matched = true;
    if (*i + 1 >= args.size()) {
      *error = name + " needs a value";
      return false;
    }
    *value = args[++*i];
    return true;
  }
  if (arg.compare(0, name.size() + 1, name + "=") == 0) {
    *matched = true;
    *value = arg.substr(name.size() + 1);
    return true;
  }
  *matched = false;
  return true;
}

}  // namespace

bool ParseHttpCommand(const std::vector<std::string>& args, HttpCommand* command,
                      std::string* error) {
  *command = HttpCommand();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      command->help = true;
      return true;
    }
    if (arg == "-i") {
      command->show_headers = true;
      continue;
    }
    if (arg == "--json") {
      command->json = true;
      continue;
    }
    if (arg == "--retry-without-proxy") {
      command->retry_without_proxy = true;
      continue;
    }
    struct Text {
      const char* name;
      std::string* target;
    };
    const Text texts[] = {{"--proxy", &command->proxy},
                          {"--proxy-user", &command->proxy_user},
                          {"--proxy-password", &command->proxy_password},
                          {"--auto-config-url", &command->auto_config_url},
                          {"--post", &command->post_file},
                          {"--output", &command->output_file}};
    bool matched = false;
    for (const Text& text : texts) {
      if (!TakeValue(args, &i, text.name, text.target, &matched, error)) return false;
      if (matched) break;
    }
    if (matched) continue;
    std::string value;
    if (!TakeValue(args, &i, "--header", &value, &matched, error)) return false;
    if (matched) {
      if (value.find_first_of("\r\n") != std::string::npos ||
          value.find(':') == std::string::npos) {
        *error = "--header takes one line \"Name: value\"";
        return false;
      }
      command->headers.push_back(value);
      continue;
    }
    if (!TakeValue(args, &i, "--client", &value, &matched, error)) return false;
    if (matched) {
      if (value == "winhttp") {
        command->client = HttpClientChoice::kWinHttp;
      } else if (value == "wininet") {
        command->client = HttpClientChoice::kWinInet;
      } else {
        *error = "--client is winhttp or wininet";
        return false;
      }
      continue;
    }
    struct Number {
      const char* name;
      long long low, high;
      long long parsed;
    };
    Number numbers[] = {{"--retries", -1, 100, command->retries},
                        {"--retry-delay", 0, 600000, command->retry_delay_ms},
                        {"--max-bytes", 0, 0xFFFFFFFFll, command->max_bytes}};
    for (Number& number : numbers) {
      if (!TakeValue(args, &i, number.name, &value, &matched, error)) return false;
      if (!matched) continue;
      if (!ParseNumber(value, number.low, number.high, &number.parsed)) {
        *error = std::string(number.name) + " takes a number from " + std::to_string(number.low) +
                 " to " + std::to_string(number.high);
        return false;
      }
      break;
    }
    if (matched) {
      command->retries = static_cast<std::int32_t>(numbers[0].parsed);
      command->retry_delay_ms = static_cast<std::uint32_t>(numbers[1].parsed);
      command->max_bytes = static_cast<std::uint32_t>(numbers[2].parsed);
      continue;
    }
    if (!arg.empty() && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    }
    if (!command->url.empty()) {
      *error = "one URL only";
      return false;
    }
    command->url = arg;
  }
  if (command->url.empty()) {
    *error = "a URL is needed (http://HOST[:PORT]/PATH)";
    return false;
  }
  if (!command->proxy_password.empty() && command->proxy_user.empty()) {
    *error = "--proxy-password needs --proxy-user";
    return false;
  }
  if (!command->proxy.empty() && !command->auto_config_url.empty()) {
    *error = "--proxy and --auto-config-url exclude each other";
    return false;
  }
  return true;
}

bool ParseProxyConfigCommand(const std::vector<std::string>& args, ProxyConfigCommand* command,
                             std::string* error) {
  *command = ProxyConfigCommand();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      command->help = true;
      return true;
    }
    bool matched = false;
    if (!TakeValue(args, &i, "--auto-config-url", &command->auto_config_url, &matched, error)) {
      return false;
    }
    if (matched) continue;
    if (!arg.empty() && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    }
    if (!command->url.empty()) {
      *error = "one URL only";
      return false;
    }
    command->url = arg;
  }
  return true;
}

std::string HttpUsageText() {
  return "usage: adminprefs http [OPTION...] URL\n"
         "Sends one request through the updater's HTTP stack, as the updater sends it (a\n"
         "proxy that asks for authentication gets the user and password), prints the\n"
         "body, then the status and the result on standard error.\n\n"
         "  --client=winhttp|wininet   the library (default: WinHTTP when it can be used)\n"
         "  --proxy=HOST:PORT          send through this proxy\n"
         "  --proxy-user=NAME          proxy user name\n"
         "  --proxy-password=TEXT      proxy password\n"
         "  --auto-config-url=URL      let this proxy auto-config script choose (WinHTTP)\n"
         "  --retries=N                extra attempts after a failed one (-1: none at all)\n"
         "  --retry-delay=MS           pause before each extra attempt (default 1000)\n"
         "  --retry-without-proxy      after a failure through the proxy, try directly\n"
         "  --post=FILE                POST the bytes of FILE (default: GET)\n"
         "  --header=\"NAME: VALUE\"     an extra request header (repeatable)\n"
         "  --max-bytes=N              refuse a body longer than N bytes\n"
         "  --output=FILE              write the body to FILE instead\n"
         "  -i                         print the response headers before the body\n"
         "  --json                     print one JSON object instead of the body\n\n"
         "Exit code 0 when the exchange succeeded, whatever the status; 1 when it failed;\n"
         "2 for a bad command line.\n";
}

std::string ProxyConfigUsageText() {
  return "usage: adminprefs proxy-config [--auto-config-url=URL] [URL]\n"
         "Prints the machine's default proxy configuration and, with a URL, the proxy\n"
         "that automatic configuration picks for it: by automatic detection, or by the\n"
         "given proxy auto-config script.\n";
}

std::string JoinHeaderLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) {
    if (!joined.empty()) joined += "\r\n";
    joined += line;
  }
  return joined;
}

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
      {0x8007007Au, "the body is longer than the limit (--max-bytes)"},
      {0x80004004u, "the exchange was aborted"},
      {0x80072EFDu, "cannot connect to the server (or no network is available)"},
      {0x80072EE2u, "the server did not answer in time"},
      {0x80072EE7u, "the host name could not be resolved"},
      {0x80072EE6u, "the URL's scheme is not supported"},
      {0x80072F78u, "the server's answer was not valid HTTP"},
      {0x80072EFEu, "the connection was closed"},
  };
  return FindHResultText(kKnown, hr);
}

std::string FormatHttpSummary(const HttpReport& report) {
  std::string words = DescribeHttpResult(report.result);
  if (words.empty()) words = Succeeded(report.result) ? "success" : "failed";
  std::string text = "client " + report.client + ", ";
  text += report.status ? "status " + std::to_string(report.status) : std::string("no status");
  text += ", " + words + " (" + HResultHex(report.result) + ")";
  if (report.proxy_auth_scheme != 0) {
    text += ", proxy scheme " + std::string(ProxyAuthSchemeName(report.proxy_auth_scheme));
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
  return "{\"client\": " + JsonString(report.client) +
         ", \"result\": " + JsonString(HResultHex(report.result)) +
         ", \"status\": " + std::to_string(report.status) +
         ", \"proxy_auth_scheme\": " + std::to_string(report.proxy_auth_scheme) +
         ", \"proxy_auth_scheme_name\": " +
         JsonString(ProxyAuthSchemeName(report.proxy_auth_scheme)) + ", \"headers\": " + headers +
         ", \"body_bytes\": " + std::to_string(report.body_bytes) + "}\n";
}

}  // namespace ci
