// Both HTTP clients against a loopback server of the test: requests as sent,
// answers as read, attempts, aborts, proxy scheme choice, URL cracking.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "ci/base/paths.h"
#include "ci/base/utf8.h"
#include "ci/base/win_handles.h"
#include "ci/net/http_client.h"
#include "ci/net/proxy_state.h"
#include "tests/ci/net/test_clients_win.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/loopback_http_server_win.h"

namespace ci::test {
namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

// A loopback port with nothing listening: bound, then closed again.
std::uint16_t RefusingPort() {
  LoopbackHttpServer server;
  if (!server.Start("127.0.0.2")) return 1;
  const std::uint16_t port = server.port();
  server.Stop();
  return port;
}

class HttpClientTest : public testing::TestWithParam<ClientKind> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start("127.0.0.2"));
    client_ = MakeClient(GetParam());
    ASSERT_TRUE(client_);
  }

  HResult Get(const WString& path) { return client_->Send(host(), server_.port(), path); }
  WString host() const { return Wide(server_.address()); }
  WString ProxyAddress() const { return host() + u":" + Wide(std::to_string(server_.port())); }

  LoopbackHttpServer server_;
  std::unique_ptr<HttpClient> client_;
};

TEST_P(HttpClientTest, AGetReadsStatusHeadersAndBody) {
  server_.Respond(CannedResponse{404, {"X-Test: one", "X-Other: two"}, "not here \xC3\xA9"});
  client_->request_headers = u"X-Asked: yes";
  ASSERT_HR_OK(Get(u"/some/path?q=1"));
  EXPECT_EQ(client_->GetStatusCode(), 404u);

  WString value;
  EXPECT_HR_OK(client_->GetResponseHeader(u"X-Test", &value));
  EXPECT_EQ(value, u"one");
  WString raw;
  ASSERT_HR_OK(client_->GetRawResponseHeaders(&raw));
  EXPECT_EQ(raw.find(u"HTTP/1.1 404"), 0u);
  EXPECT_NE(raw.find(u"\r\nX-Other: two\r\n"), WString::npos);
  EXPECT_EQ(raw.substr(raw.size() - 4), u"\r\n\r\n");
  WString text;
  ASSERT_HR_OK(client_->ReadResponseBody(&text, 0));
  EXPECT_EQ(text, u"not here \u00e9");

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/some/path?q=1");
  EXPECT_EQ(requests[0].Header("X-Asked"), "yes");
  EXPECT_TRUE(requests[0].body.empty());
}

TEST_P(HttpClientTest, APostBodyArrivesByteForByte) {
  for (int i = 0; i < 3000; ++i) client_->request_body.push_back(static_cast<std::uint8_t>(i * 7));
  client_->request_body[10] = 0;
  client_->request_headers = u"Content-Type: binary";
  ASSERT_HR_OK(Get(u"/cr?prod=x"));
  EXPECT_EQ(client_->GetStatusCode(), 200u);
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].Header("Content-Type"), "binary");
  EXPECT_EQ(requests[0].body,
            std::string(client_->request_body.begin(), client_->request_body.end()));
}

TEST_P(HttpClientTest, NothingCanBeReadBeforeAResponse) {
  WString text;
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(client_->GetStatusCode(), 0u);
  EXPECT_HR_EQ(client_->ReadResponseBody(&text, 0), kE_FAIL);
  EXPECT_HR_EQ(client_->ReadResponseBodyToBuffer(&bytes, 0), kE_FAIL);
  EXPECT_HR_EQ(client_->GetRawResponseHeaders(&text), kE_FAIL);
  EXPECT_HR_EQ(client_->GetResponseHeader(u"Server", &text), kE_FAIL);
}

TEST_P(HttpClientTest, ABodyOverTheLimitFailsAfterTheReadThatCrossesIt) {
  const std::string body(2000, 'b');
  server_.Respond(CannedResponse{200, {}, body});
  struct Case {
    std::uint32_t max_bytes;
    HResult expected;
    std::size_t kept;  // bytes in the vector afterwards
  };
  // 1500: the first read (1024) fits, the second (976 more) crosses the limit.
  for (const Case& c : {Case{1500, kE_HTTP_BODY_TOO_LARGE, 1024}, Case{2000, kS_OK, 2000},
                        Case{0, kS_OK, 2000}, Case{1999, kE_HTTP_BODY_TOO_LARGE, 1024}}) {
    SCOPED_TRACE(c.max_bytes);
    ASSERT_HR_OK(Get(u"/big"));
    std::vector<std::uint8_t> bytes{1, 2, 3};
    EXPECT_HR_EQ(client_->ReadResponseBodyToBuffer(&bytes, c.max_bytes), c.expected);
    EXPECT_EQ(bytes.size(), c.kept);
  }
}

TEST_P(HttpClientTest, TheBodyGoesIntoANewFileLeftInPlace) {
  std::string body;
  for (int i = 0; i < 5000; ++i) body.push_back(static_cast<char>(i));
  server_.Respond(CannedResponse{200, {}, body});
  const WString path =
      GetTempDirectory() + u"http body " + Wide(std::to_string(::GetCurrentProcessId())) + u".bin";
  ASSERT_HR_OK(Get(u"/file"));
  ASSERT_HR_OK(client_->ReadResponseBodyToFile(path, 0));
  {
    UniqueFileHandle file(
        ::CreateFileW(AsWin(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    std::string read(body.size() + 10, '\0');
    DWORD count = 0;
    ASSERT_TRUE(::ReadFile(file.get(), &read[0], static_cast<DWORD>(read.size()), &count, nullptr));
    read.resize(count);
    EXPECT_EQ(read, body);
  }
  // Over the limit: the failure is reported and the bytes already written stay.
  ASSERT_HR_OK(Get(u"/file"));
  EXPECT_HR_EQ(client_->ReadResponseBodyToFile(path, 3000), kE_HTTP_BODY_TOO_LARGE);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(::GetFileAttributesExW(AsWin(path), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 2048u);
  ::DeleteFileW(AsWin(path));
}

// --- A body that does not arrive as promised ends in a failure ---------------

TEST_P(HttpClientTest, ABodyCutShortOfItsDeclaredLengthFailsInEveryForm) {
  CannedResponse cut_short{200, {}, std::string(2000, 'c')};
  cut_short.content_length = 10000;
  server_.Respond(cut_short);
  const WString path = GetTempDirectory() + u"http short body " +
                       Wide(std::to_string(::GetCurrentProcessId())) + u".bin";
  for (int form = 0; form < 3; ++form) {
    SCOPED_TRACE(form);
    ASSERT_HR_OK(Get(u"/short"));
    EXPECT_EQ(client_->GetStatusCode(), 200u);
    WString text;
    std::vector<std::uint8_t> bytes;
    const HResult read = form == 0   ? client_->ReadResponseBody(&text, 0)
                         : form == 1 ? client_->ReadResponseBodyToBuffer(&bytes, 0)
                                     : client_->ReadResponseBodyToFile(path, 0);
    EXPECT_HR_EQ(read, kE_HTTP_CONNECTION_ABORTED);
  }
  ::DeleteFileW(AsWin(path));

  // The whole promised body, and an answer that carries none, read as they are.
  server_.Respond(CannedResponse{200, {}, std::string(3000, 'w')});
  ASSERT_HR_OK(Get(u"/whole"));
  std::vector<std::uint8_t> bytes;
  EXPECT_HR_OK(client_->ReadResponseBodyToBuffer(&bytes, 0));
  EXPECT_EQ(bytes.size(), 3000u);
}

TEST_P(HttpClientTest, TheExchangeDeadlineEndsABodyThatComesTooSlowly) {
  struct Case {
    const char* name;
    std::string body;
    int trickle_ms;
    bool ends_at_deadline;
  };
  // A silent server is left when WinHTTP's receive time-out, cut to the
  // deadline, ends the read. Wine's WinINet applies no receive time-out to body
  // reads: there the read ends when the byte comes, and fails then.
  const Case cases[] = {
      {"trickled, two seconds for the whole body", std::string(20, 't'), 100, true},
      {"silent for three seconds after the headers", "x", 3000, GetParam() == ClientKind::kWinHttp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CannedResponse slow{200, {}, c.body};
    slow.trickle_ms = c.trickle_ms;
    server_.Respond(slow);
    client_->exchange_timeout_ms = 1000;
    const auto start = Clock::now();
    ASSERT_HR_OK(Get(u"/slow"));
    std::vector<std::uint8_t> bytes;
    EXPECT_HR_EQ(client_->ReadResponseBodyToBuffer(&bytes, 0), kE_HTTP_TIMEOUT);
    EXPECT_GE(ElapsedMs(start), 900);
    if (c.ends_at_deadline) {
      EXPECT_LT(ElapsedMs(start), 2500);
      EXPECT_LT(bytes.size(), c.body.size());
    }
  }
  // With no deadline the trickled body is read whole.
  CannedResponse trickled{200, {}, cases[0].body};
  trickled.trickle_ms = cases[0].trickle_ms;
  server_.Respond(trickled);
  client_->exchange_timeout_ms = 0;
  ASSERT_HR_OK(Get(u"/slow"));
  std::vector<std::uint8_t> bytes;
  EXPECT_HR_OK(client_->ReadResponseBodyToBuffer(&bytes, 0));
  EXPECT_EQ(bytes.size(), cases[0].body.size());
}

TEST_P(HttpClientTest, AnAbortDuringTheBodyEndsItWithEAbort) {
  CannedResponse trickle{200, {}, std::string(30, 'a')};
  trickle.trickle_ms = 100;
  server_.Respond(trickle);
  ASSERT_HR_OK(Get(u"/trickle"));
  HResult read = kS_OK;
  std::vector<std::uint8_t> bytes;
  std::thread reader([&] { read = client_->ReadResponseBodyToBuffer(&bytes, 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_HR_OK(client_->Abort());
  reader.join();
  EXPECT_HR_EQ(read, kE_ABORT);
}

TEST_P(HttpClientTest, RetriesMakeThreeAttemptsADelayApartAndReturnTheLastError) {
  client_->retries = 2;
  client_->retry_delay_ms = 1000;
  const auto start = Clock::now();
  const HResult hr = client_->Send(host(), RefusingPort(), u"/");
  const int elapsed = ElapsedMs(start);
  EXPECT_HR_EQ(hr, HResultFromWin32(12029));  // cannot connect
  EXPECT_GE(elapsed, 1900);
  EXPECT_LT(elapsed, 6000);

  // Counted at a server that drops every connection: one request per attempt.
  // (Wine's WinINet reports a connection closed without an answer as a
  // successful exchange, so only WinHTTP sees a failed attempt there.)
  if (GetParam() != ClientKind::kWinHttp) return;
  server_.Respond(CannedResponse{200, {}, "", 0, /*drop=*/true});
  client_->retry_delay_ms = 50;
  EXPECT_TRUE(Failed(Get(u"/dropped")));
  EXPECT_EQ(server_.Requests().size(), 3u);
}

TEST_P(HttpClientTest, RetriesOfMinusOneMakeNoAttempt) {
  client_->retries = -1;
  EXPECT_HR_OK(Get(u"/"));
  EXPECT_EQ(client_->GetStatusCode(), 0u);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_P(HttpClientTest, AbortBeforeASendEndsItAndEveryLaterCall) {
  EXPECT_HR_OK(client_->Abort());
  EXPECT_HR_EQ(Get(u"/"), kE_ABORT);
  EXPECT_HR_EQ(Get(u"/"), kE_ABORT);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_P(HttpClientTest, AbortFromAnotherThreadEndsASlowExchange) {
  // Wine does not cut a blocked synchronous receive short when its handle is
  // closed, so the sender returns when the answer comes; it must still report
  // the abort, not the late answer.
  server_.Respond(CannedResponse{200, {}, "late", /*delay_ms=*/1500});
  HResult hr = kS_OK;
  std::thread sender([&] { hr = Get(u"/slow"); });
  ASSERT_TRUE(server_.WaitForRequests(1, 5000));
  EXPECT_HR_OK(client_->Abort());
  sender.join();
  EXPECT_HR_EQ(hr, kE_ABORT);
  WString text;
  EXPECT_HR_NE(client_->ReadResponseBody(&text, 0), kS_OK);
  EXPECT_TRUE(text.empty());
}

TEST_P(HttpClientTest, AnAbortEndsTheAttemptsAtOnceAlsoInThePauseBetweenThem) {
  client_->retries = 5;
  client_->retry_delay_ms = 2000;  // ten seconds of pauses
  client_->proxy_server = u"127.0.0.1:" + Wide(std::to_string(RefusingPort()));
  client_->proxy_mode = kProxyModeNamed;
  client_->retry_without_proxy = true;
  const std::uint16_t refusing = RefusingPort();
  HResult hr = kS_OK;
  const auto start = Clock::now();
  std::thread sender([&] { hr = client_->Send(host(), refusing, u"/"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_HR_OK(client_->Abort());
  sender.join();
  EXPECT_HR_EQ(hr, kE_ABORT);
  EXPECT_LT(ElapsedMs(start), 1500);
}

TEST_P(HttpClientTest, AFailedDirectRetryAfterAProxyAnswerIsTheResult) {
  // The test server plays a proxy that answers 502; the direct retry finds
  // nobody listening. The proxy's answer went with its handles.
  client_->proxy_mode = kProxyModeNamed;
  client_->proxy_server = ProxyAddress();
  client_->retry_without_proxy = true;
  server_.Respond(CannedResponse{502, {}, "bad gateway"});
  const HResult hr = client_->Send(u"127.0.0.3", RefusingPort(), u"/");
  EXPECT_HR_EQ(hr, HResultFromWin32(12029));  // cannot connect
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(client_->GetStatusCode(), 0u);
  WString text;
  EXPECT_HR_EQ(client_->GetRawResponseHeaders(&text), kE_FAIL);
  EXPECT_HR_EQ(client_->ReadResponseBody(&text, 0), kE_FAIL);
}

// --- Redirects -----------------------------------------------------------------

TEST_P(HttpClientTest, RedirectsAreFollowedOnlyWhenAsked) {
  LoopbackHttpServer elsewhere;
  ASSERT_TRUE(elsewhere.Start("127.0.0.4"));
  elsewhere.Respond(CannedResponse{200, {}, "taken elsewhere"});
  client_->follow_redirects = false;
  for (bool post : {false, true}) {
    client_->request_body.assign(post ? 4 : 0, 'd');
    for (int status : {301, 302, 303, 307, 308}) {
      SCOPED_TRACE(testing::Message() << status << (post ? " POST" : " GET"));
      server_.Respond(RedirectTo(elsewhere, "/elsewhere", status));
      ASSERT_HR_OK(Get(u"/cr"));
      EXPECT_EQ(client_->GetStatusCode(), static_cast<std::uint32_t>(status));
      WString location;
      EXPECT_HR_OK(client_->GetResponseHeader(u"Location", &location));
      EXPECT_NE(location.find(u"/elsewhere"), WString::npos);
    }
  }
  EXPECT_TRUE(elsewhere.Requests().empty());

  // Followed by default: the POST goes again to wherever the answer points.
  // (Wine's WinINet sends it there without its body.)
  client_->follow_redirects = true;
  server_.Respond(RedirectTo(elsewhere, "/elsewhere", 307));
  ASSERT_HR_OK(Get(u"/cr"));
  EXPECT_EQ(client_->GetStatusCode(), 200u);
  ASSERT_EQ(elsewhere.Requests().size(), 1u);
  EXPECT_EQ(elsewhere.Requests()[0].method, "POST");
  EXPECT_EQ(elsewhere.Requests()[0].target, "/elsewhere");
}

TEST_P(HttpClientTest, TheProxySchemeOnOfferIsChosenByPreference) {
  // The test server plays the proxy: a named proxy at its address.
  client_->proxy_mode = kProxyModeNamed;
  client_->proxy_server = ProxyAddress();
  struct Case {
    std::vector<std::string> lines;
    std::uint32_t scheme;
  };
  const Case cases[] = {
      {{"Proxy-Authenticate: Digest realm=\"x\"", "Proxy-Authenticate: NTLM"}, kProxyAuthNtlm},
      {{"Proxy-Authenticate: Basic realm=\"x\"", "Proxy-Authenticate: NTLM"}, kProxyAuthNtlm},
      {{"Proxy-Authenticate: Basic realm=\"x\""}, kProxyAuthBasic},
      {{"Proxy-Authenticate: Negotiate", "Proxy-Authenticate: Digest realm=\"x\""},
       kProxyAuthNegotiate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines[0]);
    server_.Respond(CannedResponse{407, c.lines, ""});
    ASSERT_HR_OK(client_->Send(u"127.0.0.3", 80, u"/"));
    ASSERT_EQ(client_->GetStatusCode(), 407u);
    std::uint32_t scheme = 99;
    EXPECT_HR_OK(client_->QueryProxyAuthScheme(&scheme));
    EXPECT_EQ(scheme, c.scheme);
  }
}

TEST_P(HttpClientTest, SendWithProxyAuthNeedsAUserAndASupportedScheme) {
  client_->proxy_mode = kProxyModeNamed;
  client_->proxy_server = ProxyAddress();
  server_.Respond(CannedResponse{407, {"Proxy-Authenticate: Basic realm=\"x\""}, ""});
  EXPECT_HR_EQ(client_->SendWithProxyAuth(u"127.0.0.3", 80, u"/"), kE_HTTP_PROXY_USER_MISSING);

  client_->proxy_user = u"user";
  client_->proxy_password = WString(u"secret");
  server_.Respond(CannedResponse{407, {"Proxy-Authenticate: Digest realm=\"x\""}, ""});
  EXPECT_HR_EQ(client_->SendWithProxyAuth(u"127.0.0.3", 80, u"/"),
               kE_HTTP_PROXY_SCHEME_UNSUPPORTED);
  EXPECT_EQ(client_->proxy_auth_scheme, static_cast<std::uint32_t>(kProxyAuthDigest));

  // Without a proxy a 407 is just a status.
  client_->proxy_server.clear();
  client_->proxy_mode = 0;
  EXPECT_HR_OK(client_->SendWithProxyAuth(host(), server_.port(), u"/"));
  EXPECT_EQ(client_->GetStatusCode(), 407u);
}

TEST_P(HttpClientTest, TheSchemeProbeGoesToTheProbeHost) {
  LoopbackHttpServer probe;
  ASSERT_TRUE(probe.Start("127.0.0.4"));
  probe.Respond(CannedResponse{407, {"Proxy-Authenticate: Basic realm=\"p\""}, ""});
  auto client = MakeClient(GetParam(), ProbeEndpoint{u"127.0.0.4", probe.port()});
  std::uint32_t scheme = 0;
  ASSERT_HR_OK(client->QueryProxyAuthScheme(&scheme));
  EXPECT_EQ(scheme, static_cast<std::uint32_t>(kProxyAuthBasic));
  ASSERT_EQ(probe.Requests().size(), 1u);
  EXPECT_EQ(probe.Requests()[0].target, "/");

  // A probe that does not answer 407: no scheme. WinHTTP reports success with
  // scheme 0, WinINet a failure.
  probe.Respond(CannedResponse{200, {}, ""});
  auto other = MakeClient(GetParam(), ProbeEndpoint{u"127.0.0.4", probe.port()});
  scheme = 7;
  EXPECT_EQ(other->QueryProxyAuthScheme(&scheme),
            GetParam() == ClientKind::kWinHttp ? kS_OK : kE_FAIL);
  EXPECT_EQ(scheme, 0u);
}

TEST_P(HttpClientTest, CheckConnectionAsksTheProbeHost) {
  LoopbackHttpServer probe;
  ASSERT_TRUE(probe.Start("127.0.0.4"));
  EXPECT_TRUE(MakeClient(GetParam(), ProbeEndpoint{u"127.0.0.4", probe.port()})->CheckConnection());
  EXPECT_FALSE(
      MakeClient(GetParam(), ProbeEndpoint{u"127.0.0.4", RefusingPort()})->CheckConnection());
}

TEST_P(HttpClientTest, ADeadProxyIsBypassedDirectlyAndTheProxyStateReset) {
  client_->proxy_mode = kProxyModeNamed;
  client_->proxy_server = u"127.0.0.1:" + Wide(std::to_string(RefusingPort()));
  client_->retry_without_proxy = true;
  server_.Respond(CannedResponse{200, {}, "direct"});
  {
    ProxyState& state = GlobalProxyState();
    VU_UNDER_LOCK(&state.lock) {
      state.direct_ok = false;
      state.detected = true;
      state.found_type = 4;
    }
  }
  ASSERT_HR_OK(Get(u"/"));
  EXPECT_EQ(client_->GetStatusCode(), 200u);
  EXPECT_EQ(server_.Requests().size(), 1u);
  ProxyState& state = GlobalProxyState();
  EXPECT_TRUE(state.direct_ok);
  EXPECT_FALSE(state.detected);
  EXPECT_EQ(state.found_type, 0);
}

TEST_P(HttpClientTest, TransportSecurityChoosesTlsByPortOrAsSet) {
  // Through a named proxy (the test server), a secure request opens a tunnel to
  // host:port first; a plain one is forwarded as it is.
  struct Case {
    TransportSecurity security;
    std::uint16_t port;
    bool tls;
  };
  const Case cases[] = {{TransportSecurity::kByPort, 443, true},
                        {TransportSecurity::kByPort, 8080, false},
                        {TransportSecurity::kTls, 8443, true},
                        {TransportSecurity::kPlain, 443, false}};
  server_.Respond(CannedResponse{502, {}, ""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    auto client = MakeClient(GetParam());
    client->proxy_mode = kProxyModeNamed;
    client->proxy_server = ProxyAddress();
    client->connect_timeout_ms = client->send_timeout_ms = client->receive_timeout_ms = 3000;
    client->transport_security = c.security;
    const std::size_t before = server_.Requests().size();
    client->Send(u"127.0.0.3", c.port, u"/asked");
    const auto requests = server_.Requests();
    ASSERT_GT(requests.size(), before);
    const RecordedRequest& request = requests[before];
    const std::string authority = "127.0.0.3:" + std::to_string(c.port);
    if (c.tls) {
      EXPECT_EQ(request.method, "CONNECT");
      EXPECT_EQ(request.target, authority);
    } else {
      EXPECT_EQ(request.method, "GET");
      EXPECT_NE(request.target.find("http://" + authority + "/asked"), std::string::npos)
          << request.target;
    }
  }
}

TEST_P(HttpClientTest, CrackUrlSplitsAUrl) {
  UrlComponents parts;
  const WString url = u"http://user:pw@127.0.0.2:8080/a%20b/c?x=1";
  ASSERT_HR_OK(client_->CrackUrl(url, false, &parts));
  EXPECT_EQ(parts.scheme, u"http");
  // Each library numbers the schemes its own way.
  EXPECT_EQ(parts.scheme_number, GetParam() == ClientKind::kWinHttp ? 1 : 3);
  EXPECT_EQ(parts.host, u"127.0.0.2");
  EXPECT_EQ(parts.port, 8080);
  EXPECT_EQ(parts.user, u"user");
  EXPECT_EQ(parts.password.value(), u"pw");
  EXPECT_EQ(parts.path, u"/a%20b/c");
  EXPECT_EQ(parts.extra, u"?x=1");
  ASSERT_HR_OK(client_->CrackUrl(url, /*escape=*/true, &parts));
  EXPECT_EQ(parts.host, u"127.0.0.2");
  EXPECT_EQ(parts.extra, u"?x=1");
  ASSERT_HR_OK(client_->CrackUrl(u"https://127.0.0.2/", false, &parts));
  EXPECT_EQ(parts.port, 443);
  EXPECT_TRUE(Failed(client_->CrackUrl(u"not a url", false, &parts)));
}

TEST_P(HttpClientTest, TheDefaultProxyConfigurationOfThePrefixIsDirect) {
  std::uint32_t access = 99;
  WString proxy = u"unchanged";
  ASSERT_HR_OK(client_->GetDefaultProxyConfiguration(&access, &proxy, nullptr));
  EXPECT_EQ(access, static_cast<std::uint32_t>(kProxyAccessDirect));
  EXPECT_HR_OK(client_->GetDefaultProxyConfiguration(nullptr, nullptr, nullptr));
}

// A proxy auto-config script served by the test server: secure URLs of host
// 127.0.0.3 go to one proxy, everything else direct.
CannedResponse AutoConfigScript(std::uint16_t proxy_port) {
  return CannedResponse{
      200,
      {"Content-Type: application/x-ns-proxy-autoconfig"},
      "function FindProxyForURL(url, host) {\n"
      "  if (url.indexOf(\"https://127.0.0.3:443/\") == 0) return \"PROXY 127.0.0.2:" +
          std::to_string(proxy_port) +
          "\";\n"
          "  return \"DIRECT\";\n"
          "}\n"};
}

TEST(WinHttpAutoConfigTest, AnAutoConfigScriptChoosesTheProxyForAUrl) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.Start("127.0.0.2"));
  server.Respond(AutoConfigScript(3128));
  auto client = MakeWinHttpClient(RefusingProbe());
  const WString script_url =
      u"http://127.0.0.2:" + Wide(std::to_string(server.port())) + u"/proxy.pac";

  WString proxy = u"unchanged";
  // Without an automatic mode nothing is asked.
  EXPECT_HR_OK(client->GetProxyForUrl(u"https://127.0.0.3:443/x", &proxy));
  EXPECT_EQ(proxy, u"unchanged");
  EXPECT_TRUE(server.Requests().empty());

  client->proxy_mode = kProxyModeAutoConfig;
  client->auto_config_url = script_url;
  EXPECT_HR_OK(client->GetProxyForUrl(u"https://127.0.0.3:443/x", &proxy));
  EXPECT_EQ(proxy, u"127.0.0.2:3128");
  ASSERT_FALSE(server.Requests().empty());
  EXPECT_EQ(server.Requests()[0].target, "/proxy.pac");
}

TEST(WinHttpAutoConfigTest, ASendConsultsTheAutoConfigScript) {
  // Wine fetches and runs the script, but does not apply a proxy set on a request
  // handle: the send itself then goes direct (refused here), which Windows would
  // route through the script's proxy.
  LoopbackHttpServer server;
  ASSERT_TRUE(server.Start("127.0.0.2"));
  server.SetResponder([&server](const RecordedRequest& request) {
    if (request.target == "/proxy.pac") return AutoConfigScript(server.port());
    return CannedResponse{502, {}, ""};
  });
  auto client = MakeWinHttpClient(RefusingProbe());
  client->proxy_mode = kProxyModeAutoConfig;
  client->auto_config_url =
      u"http://127.0.0.2:" + Wide(std::to_string(server.port())) + u"/proxy.pac";
  client->connect_timeout_ms = 2000;
  client->Send(u"127.0.0.3", RefusingPort(), u"/x");
  const auto requests = server.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].target, "/proxy.pac");
}

TEST(InetHttpClientTest, HasNoAutomaticProxyLookup) {
  auto client = MakeInetHttpClient(RefusingProbe(), &NetworkUp);
  client->proxy_mode = kProxyModeAutoConfig;
  client->auto_config_url = u"http://127.0.0.2:1/proxy.pac";
  WString proxy;
  EXPECT_HR_EQ(client->GetProxyForUrl(u"http://127.0.0.3/", &proxy), E_NOTIMPL);
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, HttpClientTest,
                         testing::Values(ClientKind::kWinHttp, ClientKind::kWinInet),
                         [](const testing::TestParamInfo<ClientKind>& info) {
                           return KindName(info.param);
                         });

}  // namespace
}  // namespace ci::test
