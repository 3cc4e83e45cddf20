// The portable parts of the HTTP clients: the settings, the attempt loop,
// SendWithProxyAuth, body reading, the exchange deadline and the choice of proxy
// scheme.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ci/net/http_client.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// Scripted outcomes of SendOnce, consumed in order; each call is logged. As in
// the clients, every exchange starts by forgetting the last status.
struct ScriptedSends {
  struct Outcome {
    HResult result;
    std::uint32_t status;
  };
  std::vector<Outcome> outcomes;
  std::vector<bool> use_proxy_log;
  std::vector<std::uint32_t> sleeps;
  int direct_works = 0;
  std::uint32_t status = 0;
  bool aborted = false;
  int abort_in_send = -1;   // the send (counted from 0) during which Abort comes
  int abort_in_pause = -1;  // the pause (counted from 0) that Abort cuts short

  SendAttemptHooks Hooks() {
    return SendAttemptHooks{[this](bool use_proxy) {
                              use_proxy_log.push_back(use_proxy);
                              const Outcome o = outcomes.at(use_proxy_log.size() - 1);
                              status = Succeeded(o.result) ? o.status : 0;
                              if (abort_in_send == static_cast<int>(use_proxy_log.size()) - 1)
                                aborted = true;
                              return o.result;
                            },
                            [this] { return status; },
                            [this](std::uint32_t ms) {
                              sleeps.push_back(ms);
                              if (abort_in_pause == static_cast<int>(sleeps.size()) - 1)
                                aborted = true;
                              return !aborted;
                            },
                            [this] { return aborted; }, [this] { ++direct_works; }};
  }
};

// A client with the portable settings and SendWithProxyAuth; Send and the scheme
// query are scripted.
class FakeClient : public HttpClient {
 public:
  HResult Abort() override { return kS_OK; }
  std::uint32_t GetStatusCode() override { return status; }
  HResult GetResponseHeader(const WString&, WString*) override { return kE_NOTIMPL; }
  HResult GetRawResponseHeaders(WString*) override { return kE_NOTIMPL; }
  HResult ReadResponseBody(WString*, std::uint32_t) override { return kE_NOTIMPL; }
  HResult ReadResponseBodyToBuffer(std::vector<std::uint8_t>*, std::uint32_t) override {
    return kE_NOTIMPL;
  }
  HResult ReadResponseBodyToFile(const WString&, std::uint32_t) override { return kE_NOTIMPL; }
  HResult QueryProxyAuthScheme(std::uint32_t* scheme) override {
    *scheme = offered_scheme;
    return query_result;
  }
  HResult GetProxyForUrl(const WString&, WString*) override { return kE_NOTIMPL; }
  HResult GetDefaultProxyConfiguration(std::uint32_t*, WString*, WString*) override {
    return kE_NOTIMPL;
  }
  HResult CrackUrl(const WString&, bool, UrlComponents*) override { return kE_NOTIMPL; }
  HResult Send(const WString&, std::uint16_t, const WString&) override {
    const auto& [result, next_status] = sends.at(sent++);
    status = next_status;
    return result;
  }
  bool CheckConnection() override { return false; }

  std::vector<std::pair<HResult, std::uint32_t>> sends;
  int sent = 0;
  std::uint32_t status = 0;
  std::uint32_t offered_scheme = kProxyAuthNone;
  HResult query_result = kS_OK;
};

TEST(HttpClientSettingsTest, InitialValues) {
  FakeClient client;
  EXPECT_TRUE(client.request_headers.empty());
  EXPECT_EQ(client.proxy_mode, 0u);
  EXPECT_EQ(client.proxy_auth_scheme, 0u);
  EXPECT_TRUE(client.bypass_cache);
  EXPECT_FALSE(client.retry_without_proxy);
  EXPECT_TRUE(client.request_body.empty());
  EXPECT_EQ(client.connect_timeout_ms, 20000u);
  EXPECT_EQ(client.send_timeout_ms, 10000u);
  EXPECT_EQ(client.receive_timeout_ms, 10000u);
  EXPECT_EQ(client.retries, 0);
  EXPECT_EQ(client.retry_delay_ms, 1000u);
  EXPECT_TRUE(client.follow_redirects);
  EXPECT_EQ(client.resolve_timeout_ms, 10000u);
  EXPECT_EQ(client.exchange_timeout_ms, 60000u);
  EXPECT_EQ(client.transport_security, TransportSecurity::kByPort);
}

TEST(SendAttemptsTest, AttemptsDelaysAndDirectRetries) {
  struct Case {
    const char* name;
    std::int32_t retries;
    bool retry_without_proxy;
    const char16_t* proxy_server;
    std::vector<ScriptedSends::Outcome> outcomes;
    HResult expected;
    std::vector<bool> use_proxy_log;
    int sleeps;
    int direct_works;
  };
  const Case cases[] = {
      {"no attempt", -1, false, u"", {}, kS_OK, {}, 0, 0},
      {"one success", 0, false, u"", {{kS_OK, 200}}, kS_OK, {true}, 0, 0},
      {"three failures",
       2,
       false,
       u"",
       {{kE_INTERNET_CANNOT_CONNECT, 0}, {kE_INTERNET_CANNOT_CONNECT, 0}, {kE_FAIL, 0}},
       kE_FAIL,
       {true, true, true},
       2,
       0},
      {"second attempt succeeds",
       2,
       false,
       u"",
       {{kE_INTERNET_CANNOT_CONNECT, 0}, {kS_OK, 500}},
       kS_OK,
       {true, true},
       1,
       0},
      {"a status is a success", 2, false, u"p:1", {{kS_OK, 500}}, kS_OK, {true}, 0, 0},
      {"direct retry after a failed proxy send",
       0,
       true,
       u"p:1",
       {{kE_INTERNET_CANNOT_CONNECT, 0}, {kS_OK, 200}},
       kS_OK,
       {true, false},
       0,
       1},
      {"direct retry after a status other than 200 or 304",
       0,
       true,
       u"p:1",
       {{kS_OK, 407}, {kS_OK, 200}},
       kS_OK,
       {true, false},
       0,
       1},
      {"no direct retry after 304", 0, true, u"p:1", {{kS_OK, 304}}, kS_OK, {true}, 0, 0},
      {"no direct retry without a proxy",
       1,
       true,
       u"",
       {{kE_INTERNET_CANNOT_CONNECT, 0}, {kE_INTERNET_CANNOT_CONNECT, 0}},
       kE_INTERNET_CANNOT_CONNECT,
       {true, true},
       1,
       0},
      {"a failed direct retry after a proxy answer is the result",
       0,
       true,
       u"p:1",
       {{kS_OK, 502}, {kE_INTERNET_CANNOT_CONNECT, 0}},
       kE_INTERNET_CANNOT_CONNECT,
       {true, false},
       0,
       0},
      {"failed direct retries keep the proxy result",
       1,
       true,
       u"p:1",
       {{kE_INTERNET_CANNOT_CONNECT, 0},
        {kE_FAIL, 0},
        {kE_INTERNET_CANNOT_CONNECT, 0},
        {kE_FAIL, 0}},
       kE_INTERNET_CANNOT_CONNECT,
       {true, false, true, false},
       1,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClient settings;
    settings.retries = c.retries;
    settings.retry_delay_ms = 250;
    settings.retry_without_proxy = c.retry_without_proxy;
    settings.proxy_server = c.proxy_server;
    ScriptedSends script;
    script.outcomes = c.outcomes;
    EXPECT_HR_EQ(RunSendAttempts(settings, script.Hooks()), c.expected);
    EXPECT_EQ(script.use_proxy_log, c.use_proxy_log);
    EXPECT_EQ(script.sleeps, std::vector<std::uint32_t>(c.sleeps, 250u));
    EXPECT_EQ(script.direct_works, c.direct_works);
  }
}

TEST(SendAttemptsTest, AnAbortEndsTheAttemptsAtOnce) {
  struct Case {
    const char* name;
    int abort_in_send;
    int abort_in_pause;
    std::vector<bool> use_proxy_log;
    int pauses;
  };
  // Every send fails, the direct retry is on, five extra attempts.
  const Case cases[] = {
      {"during the proxy send: no direct retry, no pause", 0, -1, {true}, 0},
      {"during the direct retry: no pause", 1, -1, {true, false}, 0},
      {"during the first pause: no further send", -1, 0, {true, false}, 1},
      {"during the third pause", -1, 2, {true, false, true, false, true, false}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClient settings;
    settings.retries = 5;
    settings.retry_without_proxy = true;
    settings.proxy_server = u"p:1";
    ScriptedSends script;
    script.outcomes.assign(12, {kE_INTERNET_CANNOT_CONNECT, 0});
    script.abort_in_send = c.abort_in_send;
    script.abort_in_pause = c.abort_in_pause;
    EXPECT_HR_EQ(RunSendAttempts(settings, script.Hooks()), kE_ABORT);
    EXPECT_EQ(script.use_proxy_log, c.use_proxy_log);
    EXPECT_EQ(script.sleeps.size(), static_cast<std::size_t>(c.pauses));
  }
  // Aborted before Send: nothing at all.
  FakeClient settings;
  ScriptedSends script;
  script.aborted = true;
  EXPECT_HR_EQ(RunSendAttempts(settings, script.Hooks()), kE_ABORT);
  EXPECT_TRUE(script.use_proxy_log.empty());
}

TEST(SendAttemptsTest, TheObserverIsToldOfEveryAttemptAsItEnds) {
  using Report = std::tuple<std::int32_t, bool, HResult, std::uint32_t>;
  FakeClient settings;
  settings.retries = 2;
  settings.retry_without_proxy = true;
  settings.proxy_server = u"p:1";
  ScriptedSends script;
  // Through the proxy: refused, then 502 (the direct retry fails), then 200.
  script.outcomes = std::vector<ScriptedSends::Outcome>{{kE_INTERNET_CANNOT_CONNECT, 0},
                                                        {kE_FAIL, 0},
                                                        {kS_OK, 502},
                                                        {kE_HTTP_TIMEOUT, 0},
                                                        {kS_OK, 200}};
  std::vector<Report> told;
  settings.attempt_observer = [&](const SendAttemptReport& report) {
    // Attempt N is told after N pauses: before the pause that follows it.
    EXPECT_EQ(script.sleeps.size(), static_cast<std::size_t>(report.attempt));
    told.emplace_back(report.attempt, report.direct_retry, report.result, report.status);
  };
  EXPECT_HR_OK(RunSendAttempts(settings, script.Hooks()));
  EXPECT_EQ(told, (std::vector<Report>{Report{0, false, kE_INTERNET_CANNOT_CONNECT, 0},
                                       Report{0, true, kE_FAIL, 0}, Report{1, false, kS_OK, 502},
                                       Report{1, true, kE_HTTP_TIMEOUT, 0},
                                       Report{2, false, kS_OK, 200}}));

  // An abort during a send is told as E_ABORT, whatever the send returned.
  told.clear();
  ScriptedSends aborted;
  aborted.outcomes = std::vector<ScriptedSends::Outcome>{{kS_OK, 200}};
  aborted.abort_in_send = 0;
  settings.attempt_observer = [&](const SendAttemptReport& report) {
    told.emplace_back(report.attempt, report.direct_retry, report.result, report.status);
  };
  EXPECT_HR_EQ(RunSendAttempts(settings, aborted.Hooks()), kE_ABORT);
  EXPECT_EQ(told, (std::vector<Report>{Report{0, false, kE_ABORT, 0}}));
}

TEST(SendWithProxyAuthTest, SendsAgainWithCredentialsOnlyWhenItCan) {
  struct Case {
    const char* name;
    const char16_t* proxy_server;
    const char16_t* user;
    std::vector<std::pair<HResult, std::uint32_t>> sends;
    std::uint32_t offered;
    HResult query_result;
    HResult expected;
    int sent;
  };
  const Case cases[] = {
      {"failure is returned",
       u"p:1",
       u"u",
       {{kE_INTERNET_CANNOT_CONNECT, 0}},
       kProxyAuthBasic,
       kS_OK,
       kE_INTERNET_CANNOT_CONNECT,
       1},
      {"not 407", u"p:1", u"u", {{kS_OK, 200}}, kProxyAuthBasic, kS_OK, kS_OK, 1},
      {"407 without a proxy", u"", u"u", {{kS_OK, 407}}, kProxyAuthBasic, kS_OK, kS_OK, 1},
      {"no user",
       u"p:1",
       u"",
       {{kS_OK, 407}},
       kProxyAuthBasic,
       kS_OK,
       kE_HTTP_PROXY_USER_MISSING,
       1},
      {"digest",
       u"p:1",
       u"u",
       {{kS_OK, 407}},
       kProxyAuthDigest,
       kS_OK,
       kE_HTTP_PROXY_SCHEME_UNSUPPORTED,
       1},
      {"unknown scheme",
       u"p:1",
       u"u",
       {{kS_OK, 407}},
       kProxyAuthUnsupported,
       kS_OK,
       kE_HTTP_PROXY_SCHEME_UNSUPPORTED,
       1},
      {"basic: second send",
       u"p:1",
       u"u",
       {{kS_OK, 407}, {kS_OK, 200}},
       kProxyAuthBasic,
       kS_OK,
       kS_OK,
       2},
      {"ntlm: second send fails",
       u"p:1",
       u"u",
       {{kS_OK, 407}, {kE_FAIL, 0}},
       kProxyAuthNtlm,
       kS_OK,
       kE_FAIL,
       2},
      {"failed query: second send all the same",
       u"p:1",
       u"u",
       {{kS_OK, 407}, {kS_OK, 200}},
       kProxyAuthNone,
       kE_FAIL,
       kS_OK,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClient client;
    client.proxy_server = c.proxy_server;
    client.proxy_user = c.user;
    client.sends = c.sends;
    client.offered_scheme = c.offered;
    client.query_result = c.query_result;
    EXPECT_HR_EQ(client.SendWithProxyAuth(u"h", 80, u"/"), c.expected);
    EXPECT_EQ(client.sent, c.sent);
  }
}

struct ChunkScript {
  std::vector<std::uint32_t> reads;  // bytes per read; a read past the list returns 0
  HResult end_result = kS_OK;        // the result of the read past the list
  int abort_after = -1;              // reads after which the abort flag is set (in the read)
  int expire_after = -1;             // reads after which the deadline has passed
  std::size_t position = 0;
  std::size_t calls = 0;
  std::string appended;
  HResult append_result = kS_OK;

  BodyReadHooks Hooks() {
    auto reached = [this](int after) { return after >= 0 && static_cast<int>(calls) >= after; };
    return BodyReadHooks{[this, reached] { return reached(abort_after); },
                         [this, reached] { return reached(expire_after); },
                         [this](std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read) {
                           ++calls;
                           if (position >= reads.size()) {
                             *read = 0;
                             return end_result;
                           }
                           *read = reads[position++];
                           for (std::uint32_t i = 0; i < *read && i < capacity; ++i)
                             buffer[i] = 'a' + position;
                           return kS_OK;
                         },
                         [this](const std::uint8_t* bytes, std::uint32_t count) {
                           appended.append(reinterpret_cast<const char*>(bytes), count);
                           return append_result;
                         }};
  }
};

TEST(BodyReaderTest, ReadsChunksWithinTheLimit) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> reads;
    std::uint32_t max_bytes;
    HResult append_result;
    HResult expected;
    std::size_t appended;
  };
  const Case cases[] = {
      {"2000 bytes, limit 1500", {1024, 976}, 1500, kS_OK, kE_HTTP_BODY_TOO_LARGE, 1024},
      {"2000 bytes, limit 2000", {1024, 976}, 2000, kS_OK, kS_OK, 2000},
      {"no limit", {1024, 1024, 1024, 7}, 0, kS_OK, kS_OK, 3079},
      {"empty body", {}, 10, kS_OK, kS_OK, 0},
      {"failed append", {10}, 0, kE_OUTOFMEMORY, kE_OUTOFMEMORY, 10},
      {"a read claiming more than the chunk", {1025}, 0, kS_OK, kE_FAIL, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkScript script;
    script.reads = c.reads;
    script.append_result = c.append_result;
    EXPECT_HR_EQ(ReadBodyChunks(c.max_bytes, kNoDeclaredLength, script.Hooks()), c.expected);
    EXPECT_EQ(script.appended.size(), c.appended);
  }
}

TEST(BodyReaderTest, ABodyThatDoesNotArriveWholeIsAFailure) {
  constexpr HResult kReset = static_cast<HResult>(0x80072746u);  // WSAECONNRESET
  struct Case {
    const char* name;
    std::vector<std::uint32_t> reads;
    HResult end_result;
    std::uint64_t declared;
    int abort_after;
    int expire_after;
    HResult expected;
    std::size_t appended;
  };
  const Case cases[] = {
      {"a failed read ends with its error", {100}, kReset, kNoDeclaredLength, -1, -1, kReset, 100},
      {"shorter than declared",
       {1024, 976},
       kS_OK,
       10000,
       -1,
       -1,
       kE_HTTP_CONNECTION_ABORTED,
       2000},
      {"exactly as declared", {1024, 976}, kS_OK, 2000, -1, -1, kS_OK, 2000},
      // The declared length read, nothing more is asked: a read past it would fail.
      {"no read past the declared length", {1024, 976}, kReset, 2000, -1, -1, kS_OK, 2000},
      {"declared empty", {}, kS_OK, 0, -1, -1, kS_OK, 0},
      {"abort between reads", {1024, 1024}, kS_OK, kNoDeclaredLength, 1, -1, kE_ABORT, 0},
      {"an abort cuts a read short that then fails", {}, kReset, 10, 1, -1, kE_ABORT, 0},
      {"an abort cuts a read short that reports the end",
       {},
       kS_OK,
       kNoDeclaredLength,
       1,
       -1,
       kE_ABORT,
       0},
      {"the deadline passes during a read",
       {5, 5, 5},
       kS_OK,
       kNoDeclaredLength,
       -1,
       2,
       kE_HTTP_TIMEOUT,
       5},
      {"a read that fails past the deadline",
       {5},
       kReset,
       kNoDeclaredLength,
       -1,
       2,
       kE_HTTP_TIMEOUT,
       5},
      {"an abort outweighs the deadline", {5}, kS_OK, kNoDeclaredLength, 1, 1, kE_ABORT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkScript script;
    script.reads = c.reads;
    script.end_result = c.end_result;
    script.abort_after = c.abort_after;
    script.expire_after = c.expire_after;
    EXPECT_HR_EQ(ReadBodyChunks(0, c.declared, script.Hooks()), c.expected);
    EXPECT_EQ(script.appended.size(), c.appended);
  }
}

TEST(BodyReaderTest, ContentLengthValues) {
  struct Case {
    const char16_t* text;
    std::uint64_t length;
  };
  const Case cases[] = {
      {u"10000", 10000},
      {u" 42\t", 42},
      {u"0", 0},
      {u"18446744073709551614", 18446744073709551614ull},
      {u"18446744073709551615", kNoDeclaredLength},  // the marker itself is no length
      {u"99999999999999999999", kNoDeclaredLength},
      {u"", kNoDeclaredLength},
      {u"  ", kNoDeclaredLength},
      {u"-1", kNoDeclaredLength},
      {u"+5", kNoDeclaredLength},
      {u"10, 10", kNoDeclaredLength},
      {u"1 0", kNoDeclaredLength},
      {u"0x10", kNoDeclaredLength},
  };
  for (const Case& c : cases) {
    const std::u16string text(c.text);
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(ParseContentLength(text.data(), text.size()), c.length);
  }
}

TEST(ExchangeDeadlineTest, TimeOutsAreCutToWhatIsLeft) {
  ExchangeDeadline none;
  EXPECT_FALSE(none.Expired(~std::uint64_t{0}));
  EXPECT_EQ(none.Clip(0, 5), 0u);
  EXPECT_EQ(none.Clip(20000, 5), 20000u);

  ExchangeDeadline unlimited;
  unlimited.Start(1000, 0);
  EXPECT_FALSE(unlimited.Expired(1000000));
  EXPECT_EQ(unlimited.Clip(7, 1000000), 7u);

  ExchangeDeadline deadline;
  deadline.Start(1000, 60000);  // ends at 61000
  struct Case {
    std::uint32_t setting;
    std::uint64_t now;
    std::uint32_t clipped;
  };
  const Case cases[] = {
      {20000, 1000, 20000},   // well within
      {0, 1000, 60000},       // the library's unlimited wait becomes what is left
      {20000, 50000, 11000},  // cut to what is left
      {20000, 60999, 1},
      {20000, 61000, 1},  // past: never 0, which a library takes for no limit
      {0, 99999, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.now);
    EXPECT_EQ(deadline.Clip(c.setting, c.now), c.clipped);
  }
  EXPECT_FALSE(deadline.Expired(60999));
  EXPECT_TRUE(deadline.Expired(61000));
  // A later start begins a new exchange; the largest budget still fits 32 bits.
  deadline.Start(5000000000ull, 0xFFFFFFFFu);
  EXPECT_FALSE(deadline.Expired(5000000000ull + 0xFFFFFFFEull));
  EXPECT_EQ(deadline.Clip(0, 5000000000ull), 0xFFFFFFFFu);
}

TEST(ProxyAuthSchemeTest, FlagsAndWords) {
  EXPECT_EQ(SchemeFromFlags(0), 0u);
  EXPECT_EQ(SchemeFromFlags(kSchemeFlagDigest | kSchemeFlagNtlm), 5u);
  EXPECT_EQ(SchemeFromFlags(kSchemeFlagNegotiate | kSchemeFlagBasic), 4u);
  EXPECT_EQ(SchemeFromFlags(kSchemeFlagDigest | kSchemeFlagBasic), 3u);
  EXPECT_EQ(SchemeFromFlags(kSchemeFlagBasic), 2u);
  EXPECT_EQ(SchemeFromFlags(0x4), 1u);  // passport only
  for (std::uint32_t scheme = 2; scheme <= 5; ++scheme) {
    EXPECT_EQ(SchemeFromFlags(FlagForScheme(scheme)), scheme);
  }
  EXPECT_EQ(FlagForScheme(0), 0u);
  EXPECT_EQ(FlagForScheme(1), 0u);
  EXPECT_EQ(FlagForScheme(6), 0u);
  EXPECT_EQ(RankSchemeWord(u"ntlm"), 5u);
  EXPECT_EQ(RankSchemeWord(u"NEGOTIATE"), 4u);
  EXPECT_EQ(RankSchemeWord(u"Digest"), 3u);
  EXPECT_EQ(RankSchemeWord(u"basic"), 2u);
  EXPECT_EQ(RankSchemeWord(u"Bas"), 1u);
  EXPECT_EQ(RankSchemeWord(u"Kerberos"), 1u);
}

TEST(ProxyAuthSchemeTest, TheBestSchemeOfAHeaderBlock) {
  struct Case {
    const char16_t* headers;
    std::uint32_t scheme;
  };
  const Case cases[] = {
      {u"HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n"
       u"Proxy-Authenticate: NTLM\r\n\r\n",
       5},
      {u"HTTP/1.1 407 X\r\nProxy-Authenticate: NTLM\r\nProxy-Authenticate: Basic realm=x\r\n\r\n",
       5},
      {u"HTTP/1.1 407 X\r\nproxy-authenticate: basic realm=\"Tinyproxy\"\r\n\r\n", 2},
      {u"HTTP/1.1 407 X\r\nProxy-Authenticate: Digest realm=a\r\nServer: s\r\n\r\n", 3},
      {u"HTTP/1.1 407 X\r\nProxy-Authenticate: Bearer\r\n\r\n", 1},
      {u"HTTP/1.1 200 OK\r\nServer: s\r\n\r\n", 0},
      {u"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::u16string(c.headers).size());
    EXPECT_EQ(BestSchemeInHeaders(c.headers), c.scheme);
  }
}

}  // namespace
}  // namespace ci
