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
#include "tools/hresult_text.h"
#include "tools/http_command.h"

namespace ci {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

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

std::string ClientName(HttpClient* client) {
  return dynamic_cast<WinHttpClient*>(client) != nullptr ? "winhttp" : "wininet";
}

std::string Words(HResult hr) {
  std::string words = DescribeHttpResult(hr);
  if (words.empty()) words = Succeeded(hr) ? "success" : "failed";
  return words + " (" + HResultHex(hr) + ")";
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes) {
  std::FILE* file = ::_wfopen(AsWin(Wide(path)), L"rb");
  if (file == nullptr) return false;
  std::uint8_t chunk[4096];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes->insert(bytes->end(), chunk, chunk + count);
  }
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

int RunHttp(const HttpCommand& command) {
  std::unique_ptr<HttpClient> client = MakeClient(command.client);
  if (!client) {
    std::fprintf(stderr, "adminprefs: neither WinHTTP nor WinINet can be used\n");
    return kExitFailed;
  }
  HttpReport report;
  report.client = ClientName(client.get());

  UrlComponents url;
  const HResult cracked = client->CrackUrl(Wide(command.url), false, &url);
  if (Failed(cracked) || url.host.empty() || (url.scheme != u"http" && url.scheme != u"https")) {
    std::fprintf(stderr, "adminprefs: not an http or https URL: %s\n", command.url.c_str());
    return kExitUsage;
  }
  if (!command.proxy.empty()) {
    client->proxy_mode = kProxyModeNamed;
    client->proxy_server = Wide(command.proxy);
  } else if (!command.auto_config_url.empty()) {
    client->proxy_mode = kProxyModeAutoConfig;
    client->auto_config_url = Wide(command.auto_config_url);
  }
  client->proxy_user = Wide(command.proxy_user);
  client->proxy_password = Wide(command.proxy_password);
  client->retries = command.retries;
  client->retry_delay_ms = command.retry_delay_ms;
  client->retry_without_proxy = command.retry_without_proxy;
  client->request_headers = Wide(JoinHeaderLines(command.headers));
  if (!command.post_file.empty() && !ReadFileBytes(command.post_file, &client->request_body)) {
    std::fprintf(stderr, "adminprefs: cannot read %s\n", command.post_file.c_str());
    return kExitFailed;
  }
  if (!command.post_file.empty() && client->request_body.empty()) {
    std::fprintf(stderr, "adminprefs: %s is empty; an empty body is sent as a GET\n",
                 command.post_file.c_str());
  }

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
    HResult read = kS_OK;
    if (!command.output_file.empty()) {
      read = client->ReadResponseBodyToFile(Wide(command.output_file), command.max_bytes);
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (::GetFileAttributesExW(AsWin(Wide(command.output_file)), GetFileExInfoStandard, &data)) {
        report.body_bytes =
            (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      }
    } else {
      std::vector<std::uint8_t> body;
      read = client->ReadResponseBodyToBuffer(&body, command.max_bytes);
      report.body_bytes = body.size();
      if (!command.json && !body.empty()) std::fwrite(body.data(), 1, body.size(), stdout);
    }
    if (Failed(read)) report.result = read;
  }
  if (command.json) std::fputs(FormatHttpJson(report).c_str(), stdout);
  std::fflush(stdout);
  std::fputs(FormatHttpSummary(report).c_str(), stderr);
  return Succeeded(report.result) ? kExitOk : kExitFailed;
}

int RunProxyConfig(const ProxyConfigCommand& command) {
  std::unique_ptr<HttpClient> client = CreateHttpClient();
  if (!client) {
    std::fprintf(stderr, "adminprefs: neither WinHTTP nor WinINet can be used\n");
    return kExitFailed;
  }
  std::uint32_t access = 0;
  WString proxy, bypass;
  const HResult hr = client->GetDefaultProxyConfiguration(&access, &proxy, &bypass);
  if (Failed(hr)) {
    std::fprintf(stderr, "adminprefs: the default proxy configuration cannot be read: %s\n",
                 Words(hr).c_str());
    return kExitFailed;
  }
  static const char* const kAccess[] = {"direct", "named proxy", "other"};
  std::printf("client: %s\naccess: %s\nproxy: %s\nbypass: %s\n", ClientName(client.get()).c_str(),
              kAccess[access < 3 ? access : 2], Narrow(proxy).c_str(), Narrow(bypass).c_str());
  if (command.url.empty()) return kExitOk;
  if (command.auto_config_url.empty()) {
    client->proxy_mode = kProxyModeAutoDetect;
  } else {
    client->proxy_mode = kProxyModeAutoConfig;
    client->auto_config_url = Wide(command.auto_config_url);
  }
  WString chosen;
  const HResult asked = client->GetProxyForUrl(Wide(command.url), &chosen);
  if (Failed(asked)) {
    std::fprintf(stderr, "adminprefs: %s has no automatic proxy lookup: %s\n",
                 ClientName(client.get()).c_str(), Words(asked).c_str());
    return kExitFailed;
  }
  std::printf("proxy for %s: %s\n", command.url.c_str(),
              chosen.empty() ? "none (direct)" : Narrow(chosen).c_str());
  return kExitOk;
}

}  // namespace

bool IsHttpCommandName(const std::string& name) { return name == "http" || name == "proxy-config"; }

int RunHttpCommandLine(const std::vector<std::string>& args) {
  const std::vector<std::string> options(args.begin() + 1, args.end());
  std::string error;
  if (args[0] == "http") {
    HttpCommand command;
    if (!ParseHttpCommand(options, &command, &error)) {
      std::fprintf(stderr, "adminprefs http: %s\n", error.c_str());
      return kExitUsage;
    }
    if (command.help) {
      std::fputs(HttpUsageText().c_str(), stdout);
      return kExitOk;
    }
    return RunHttp(command);
  }
  ProxyConfigCommand command;
  if (!ParseProxyConfigCommand(options, &command, &error)) {
    std::fprintf(stderr, "adminprefs proxy-config: %s\n", error.c_str());
    return kExitUsage;
  }
  if (command.help) {
    std::fputs(ProxyConfigUsageText().c_str(), stdout);
    return kExitOk;
  }
  return RunProxyConfig(command);
}

}  // namespace ci
