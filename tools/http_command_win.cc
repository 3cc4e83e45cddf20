#include "tools/http_command_win.h"

#include <cstdio>
#include <memory>

#include "ci/base/utf8.h"
#include "ci/net/http_client.h"
#include "ci/net/winhttp_client_win.h"
#include "tools/http_command.h"
#include "tools/http_request_win.h"
#include "tools/proxy_config_report.h"
#include "tools/proxy_lookup_win.h"
#include "tools/secret_text.h"

namespace ci {
namespace {

WString Wide(const std::string& utf8) { return Utf8ToWide(utf8.data(), utf8.size()); }
std::string Narrow(const WString& text) { return WideToUtf8(text); }

int RunProxyConfig(const ProxyConfigCommand& command) {
  std::unique_ptr<HttpClient> client = MakeHttpClient(command.client);
  if (!client) {
    std::fprintf(stderr, "adminprefs proxy-config: neither WinHTTP nor WinINet can be used\n");
    return kHttpExitFailed;
  }
  ProxyConfigReport report;
  report.client = HttpClientName(client.get());
  WString proxy, bypass;
  report.default_result =
      client->GetDefaultProxyConfiguration(&report.access_type, &proxy, &bypass);
  report.proxy = Narrow(proxy);
  report.bypass = Narrow(bypass);
  if (!command.url.empty()) {
    report.url = command.url;
    report.auto_config_url = command.auto_config_url;
    if (report.client == "winhttp") {
      const ProxyLookup lookup =
          LookUpProxyForUrl(Wide(command.url), Wide(command.auto_config_url));
      report.lookup_result = lookup.result;
      report.chosen_proxy = Narrow(lookup.proxy);
      report.chosen_bypass = Narrow(lookup.bypass);
      report.answer = ClassifyProxyLookup(lookup.result, lookup.named_proxy, report.chosen_proxy);
    } else {
      report.lookup_result = client->GetProxyForUrl(Wide(command.url), &proxy);
      report.answer = ProxyLookupAnswer::kNotAvailable;
    }
  }
  std::fputs((command.json ? FormatProxyConfigJson(report) : FormatProxyConfigText(report)).c_str(),
             stdout);
  return ProxyConfigExitCode(report);
}

}  // namespace

std::unique_ptr<HttpClient> MakeHttpClient(HttpClientChoice choice) {
  switch (choice) {
    case HttpClientChoice::kWinHttp:
      return CreateWinHttpClient();
    case HttpClientChoice::kWinInet:
      return CreateInetHttpClient();
    case HttpClientChoice::kFactory:
      break;
  }
  return CreateHttpClient();
}

std::string HttpClientName(HttpClient* client) {
  return dynamic_cast<WinHttpClient*>(client) != nullptr ? "winhttp" : "wininet";
}

bool IsHttpCommandName(const std::string& name) { return name == "http" || name == "proxy-config"; }

int RunHttpCommandLine(const std::vector<std::string>& args) {
  std::vector<std::string> options(args.begin() + 1, args.end());
  const WipeOnExit wipe_options(&options);
  std::string error;
  if (args[0] == "http") {
    HttpCommand command;
    if (!ParseHttpCommand(options, &command, &error)) {
      std::fprintf(stderr, "adminprefs http: %s\n", error.c_str());
      return kHttpExitUsage;
    }
    if (command.help) {
      std::fputs(HttpUsageText().c_str(), stdout);
      return kHttpExitOk;
    }
    return RunHttpRequest(command);
  }
  ProxyConfigCommand command;
  if (!ParseProxyConfigCommand(options, &command, &error)) {
    std::fprintf(stderr, "adminprefs proxy-config: %s\n", error.c_str());
    return kHttpExitUsage;
  }
  if (command.help) {
    std::fputs(ProxyConfigUsageText().c_str(), stdout);
    return kHttpExitOk;
  }
  return RunProxyConfig(command);
}

}  // namespace ci
