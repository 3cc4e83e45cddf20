#include "tools/http_request_win.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>

#include "ci/base/utf8.h"
#include "ci/net/http_client.h"
#include "tools/http_command_win.h"
#include "tools/http_redirect.h"
#include "tools/http_report.h"
#include "tools/http_trace.h"
#include "tools/http_url.h"
#include "tools/proxy_lookup_win.h"
#include "tools/secret_text.h"

namespace ci {
namespace {

WString Wide(const std::string& utf8) { return Utf8ToWide(utf8.data(), utf8.size()); }
std::string Narrow(const WString& text) { return WideToUtf8(text); }

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
  client->exchange_timeout_ms = command.max_time_ms;
  // The tool follows redirects itself, one exchange per hop, so that each hop is
  // shown and gets the same rules.
  client->follow_redirects = false;
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

// Splits an http or https URL; false for anything else. A URL's password never
// outlives the call (URLs with credentials are refused before).
bool CrackHttpUrl(HttpClient* client, const std::string& url, UrlComponents* parts) {
  const HResult cracked = client->CrackUrl(Wide(url), false, parts);
  parts->password.Wipe();
  return Succeeded(cracked) && !parts->host.empty() &&
         (parts->scheme == u"http" || parts->scheme == u"https");
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

// -v: lines on standard error at once, so they interleave with the exchange.
class Trace {
 public:
  explicit Trace(bool on) : on_(on) {}
  void Write(const std::string& lines) const {
    if (!on_) return;
    std::fputs(lines.c_str(), stderr);
    std::fflush(stderr);
  }
  bool on() const { return on_; }

 private:
  bool on_;
};

// Each attempt to the trace. Once the proxy has asked for credentials, the
// client knows its scheme and offers them with every later attempt, on every
// hop. (The WinINet library answers a proxy's challenge itself: its client sees
// no 407.)
class AttemptTracer {
 public:
  AttemptTracer(const HttpCommand& command, const HttpClient& client, const Trace& trace)
      : command_(command), client_(client), trace_(trace) {}

  void operator()(const SendAttemptReport& report) {
    TracedAttempt attempt;
    attempt.attempt = report.attempt;
    attempt.retries = client_.retries;
    attempt.direct_retry = report.direct_retry;
    attempt.result = report.result;
    attempt.status = report.status;
    if (proxy_asked_ && !report.direct_retry) {
      attempt.proxy_user = command_.proxy_user;
      if (client_.proxy_auth_scheme != kProxyAuthNone) {
        attempt.proxy_scheme = ProxyAuthSchemeName(client_.proxy_auth_scheme);
      }
    }
    if (!command_.proxy.empty() && !report.direct_retry && report.status == 407) {
      proxy_asked_ = true;
    }
    trace_.Write(TraceAttempt(attempt));
  }

 private:
  const HttpCommand& command_;
  const HttpClient& client_;
  const Trace& trace_;
  bool proxy_asked_ = false;
};

// Sends to `url` (cracked into `parts`) and follows its redirects when asked;
// the last answer's status and headers, or the failure, go into the report.
void SendHops(const HttpCommand& command, HttpClient* client, std::string url, UrlComponents parts,
              const Trace& trace, HttpReport* report) {
  AttemptTracer tracer(command, *client, trace);
  client->attempt_observer = [&tracer](const SendAttemptReport& attempt) { tracer(attempt); };
  std::vector<std::string> headers = command.headers;
  for (;;) {
    const bool tls = parts.scheme == u"https";
    client->transport_security = tls ? TransportSecurity::kTls : TransportSecurity::kPlain;
    client->request_headers = Wide(JoinHeaderLines(headers));
    report->url = url;
    trace.Write(TraceRequest(url, tls, client->request_body.size(), headers));
    if (trace.on() && !command.auto_config_url.empty()) {
      const ProxyLookup lookup = LookUpProxyForUrl(Wide(url), Wide(command.auto_config_url));
      const std::string chosen = Narrow(lookup.proxy);
      trace.Write(TraceProxyLookup(url,
                                   ClassifyProxyLookup(lookup.result, lookup.named_proxy, chosen),
                                   lookup.result, chosen));
    }
    const WString path = (parts.path.empty() ? WString(u"/") : parts.path) + parts.extra;
    report->result = client->SendWithProxyAuth(parts.host, parts.port, path);
    report->status = client->GetStatusCode();
    report->proxy_auth_scheme = client->proxy_auth_scheme;
    report->headers.clear();
    if (Failed(report->result)) return;
    WString raw;
    if (Succeeded(client->GetRawResponseHeaders(&raw))) report->headers = Narrow(raw);
    trace.Write(TraceResponseHeaders(report->headers));
    if (command.show_headers && !command.json) std::fputs(report->headers.c_str(), stdout);
    if (!command.follow_redirects) {
      if (IsFollowedRedirect(report->status)) trace.Write(TraceUnfollowedRedirect(report->status));
      return;
    }

    WString location;  // stays empty without the header
    client->GetResponseHeader(u"Location", &location);
    RedirectQuestion question;
    question.status = report->status;
    question.location = Narrow(location);
    question.url = url;
    question.post = !client->request_body.empty();
    question.followed = static_cast<std::uint32_t>(report->redirects.size());
    question.limit = command.max_redirects;
    const RedirectAnswer answer = AnswerRedirect(question);
    if (answer.verdict == RedirectAnswer::kShow) return;
    UrlComponents next;
    if (answer.verdict == RedirectAnswer::kRefuse || !CrackHttpUrl(client, answer.url, &next)) {
      report->result = kE_HTTP_REDIRECT_FAILED;
      report->problem = answer.verdict == RedirectAnswer::kRefuse
                            ? answer.reason
                            : "the redirect to " + RedactUrl(answer.url) + " is not a URL to send";
      return;
    }
    std::vector<std::string> dropped;
    headers = HeadersForNextHop(headers, SameOrigin(url, answer.url), &dropped);
    if (answer.as_get) client->request_body.clear();
    report->redirects.push_back(FollowedRedirect{report->status, answer.url});
    trace.Write(TraceRedirect(static_cast<std::uint32_t>(report->redirects.size()),
                              command.max_redirects, report->status, answer.url, answer.as_get,
                              dropped));
    url = answer.url;
    parts = next;
  }
}

}  // namespace

int RunHttpRequest(const HttpCommand& command) {
  std::unique_ptr<HttpClient> client = MakeHttpClient(command.client);
  if (!client) {
    std::fprintf(stderr, "adminprefs http: neither WinHTTP nor WinINet can be used\n");
    return kHttpExitFailed;
  }
  HttpReport report;
  report.client = HttpClientName(client.get());
  report.exchange_timeout_ms = command.max_time_ms;

  UrlComponents parts;
  if (!CrackHttpUrl(client.get(), command.url, &parts)) {
    std::fprintf(stderr, "adminprefs http: not an http or https URL: %s\n",
                 RedactUrl(command.url).c_str());
    return kHttpExitUsage;
  }
  if (!command.auto_config_url.empty() && report.client != "winhttp") {
    // The factory fell back to WinINet, which would send directly.
    std::fprintf(stderr,
                 "adminprefs http: --auto-config-url needs WinHTTP, which cannot be used here\n");
    return kHttpExitFailed;
  }
  if (!ConfigureClient(command, client.get())) return kHttpExitFailed;
  const Trace trace(command.verbose);
  trace.Write(TraceSetup(command, report.client));

  // Headers (already CR LF) and body go out byte for byte.
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  SendHops(command, client.get(), command.url, parts, trace, &report);
  if (Succeeded(report.result)) {
    const bool kept_back = IsFailStatus(report, command.fail);
    HResult read = kS_OK;
    if (!kept_back) read = ReadBody(command, client.get(), &report);
    if (Failed(read)) report.result = read;
    trace.Write(TraceBody(report.body_bytes, read, command.output_file, kept_back));
  }
  if (command.json) std::fputs(FormatHttpJson(report).c_str(), stdout);
  std::fflush(stdout);
  std::fputs(FormatHttpSummary(report).c_str(), stderr);
  return HttpExitCode(report, command.fail);
}

}  // namespace ci
