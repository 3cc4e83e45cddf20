#include "tools/http_command_win.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>

#include "ci/base/utf8.h"
#include "ci/net/http_client.h"
#include "ci/net/http_client_creators.h"
#include "ci/net/winhttp_client_win.h"
#include "tools/http_command.h"
#include "tools/http_report.h"
#include "tools/http_url.h"
#include "tools/proxy_config_report.h"
#include "tools/proxy_lookup_win.h"
#include "tools/secret_text.h"

namespace ci {
namespace {

WString Wide(const std::string& utf8) { return Utf8ToWide(utf8.data(), utf8.size()); }
std::string Narrow(const WString& text) { return WideToUtf8(text); }

std::unique_ptr<HttpClient> MakeClient(HttpClientChoice choice) {
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

// The whole file, or false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes) {
  std::FILE* file = ::_wfopen(AsWin(Wide(path)), L"rb");
  if (file == nullptr) return false;
  std::setvbuf(file, nullptr, _IONBF, 0);  // no stdio buffer keeps a copy of a password
  char chunk[4096];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes->append(chunk, count);
  volatile char* wipe = chunk;
  for (std::size_t i = 0; i < sizeof(chunk); ++i) wipe[i] = 0;
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// Fills the client's settings from the command; false (with the message printed)
// when the command's files cannot be read.
bool ConfigureClient(const HttpCommand& command, HttpClient* client) {
  if (!command.proxy.empty()) {
    client->proxy_mode = kProxyModeNamed;
    client->proxy_server = Wide(command.proxy);
  } else if (!command.auto_config_url.empty()) {
    client->proxy_mode = kProxyModeAutoConfig;
    client->auto_config_url = Wide(command.auto_config_url);
  }
  client->proxy_user = Wide(command.proxy_user);
  client->proxy_password = command.proxy_password;
  if (!command.proxy_password_file.empty()) {
    std::string bytes, error;
    const bool read = ReadFileBytes(command.proxy_password_file, &bytes);
    if (!read || !TakePasswordFromFile(&bytes, &client->proxy_password, &error)) {
      WipeText(&bytes);
      std::fprintf(stderr, "adminprefs http: %s: %s\n", command.proxy_password_file.c_str(),
                   read ? error.c_str() : "cannot be read");
      return false;
    }
  }
  client->retries = command.retries;
  client->retry_delay_ms = command.retry_delay_ms;
  client->retry_without_proxy = command.retry_without_proxy;
  client->request_headers = Wide(JoinHeaderLines(command.headers));
  if (!command.post_file.empty()) {
    std::string body;
    if (!ReadFileBytes(command.post_file, &body)) {
      std::fprintf(stderr, "adminprefs http: cannot read %s\n", command.post_file.c_str());
      return false;
    }
    if (body.empty()) {
      std::fprintf(stderr, "adminprefs http: %s is empty; an empty body is sent as a GET\n",
                   command.post_file.c_str());
    }
    client->request_body.assign(body.begin(), body.end());
  }
  return true;
}

// Reads the body to standard output or the --output file; its size into the report.
HResult ReadBody(const HttpCommand& command, HttpClient* client, HttpReport* report) {
  if (!command.output_file.empty()) {
    const HResult read =
        client->ReadResponseBodyToFile(Wide(command.output_file), command.max_bytes);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExW(AsWin(Wide(command.output_file)), GetFileExInfoStandard, &data)) {
      report->body_bytes =
          (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return read;
  }
  std::vector<std::uint8_t> body;
  const HResult read = client->ReadResponseBodyToBuffer(&body, command.max_bytes);
  report->body_bytes = body.size();
  if (!command.json && !body.empty()) std::fwrite(body.data(), 1, body.size(), stdout);
  return read;
}

int RunHttp(const HttpCommand& command) {
  std::unique_ptr<HttpClient> client = MakeClient(command.client);
  if (!client) {
    std::fprintf(stderr, "adminprefs http: neither WinHTTP nor WinINet can be used\n");
    return kHttpExitFailed;
  }
  HttpReport report;
  report.client = HttpClientName(client.get());

  UrlComponents url;
  const HResult cracked = client->CrackUrl(Wide(command.url), false, &url);
  url.password.Wipe();  // none: URLs with credentials are refused before
  if (Failed(cracked) || url.host.empty() || (url.scheme != u"http" && url.scheme != u"https")) {
    std::fprintf(stderr, "adminprefs http: not an http or https URL: %s\n",
                 RedactUrl(command.url).c_str());
    return kHttpExitUsage;
  }
  const std::string refusal = TransportRefusal(Narrow(url.scheme), url.port);
  if (!refusal.empty()) {
    std::fprintf(stderr, "adminprefs http: %s\n", refusal.c_str());
    return kHttpExitUsage;
  }
  if (!ConfigureClient(command, client.get())) return kHttpExitFailed;

  // Headers (already CR LF) and body go out byte for byte.
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  const WString path = (url.path.empty() ? WString(u"/") : url.path) + url.extra;
  report.result = client->SendWithProxyAuth(url.host, url.port, path);
  report.status = client->GetStatusCode();
  report.proxy_auth_scheme = client->proxy_auth_scheme;
  if (Succeeded(report.result)) {
    WString headers;
    if (Succeeded(client->GetRawResponseHeaders(&headers))) report.headers = Narrow(headers);
    if (command.show_headers && !command.json) std::fputs(report.headers.c_str(), stdout);
    if (!IsFailStatus(report, command.fail)) {
      const HResult read = ReadBody(command, client.get(), &report);
      if (Failed(read)) report.result = read;
    }
  }
  if (command.json) std::fputs(FormatHttpJson(report).c_str(), stdout);
  std::fflush(stdout);
  std::fputs(FormatHttpSummary(report).c_str(), stderr);
  return HttpExitCode(report, command.fail);
}

int RunProxyConfig(const ProxyConfigCommand& command) {
  std::unique_ptr<HttpClient> client = MakeClient(command.client);
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
    return RunHttp(command);
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
