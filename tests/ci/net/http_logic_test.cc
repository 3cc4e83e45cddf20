// The portable parts of the HTTP clients: the attempt loop, SendWithProxyAuth,
// body reading and the choice of proxy scheme.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ci/net/body_reader.h"
#include "ci/net/http_client.h"
#include "ci/net/proxy_auth_scheme.h"
#include "ci/net/recent_answer.h"
#include "ci/net/send_attempts.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// Scripted outcomes of SendOnce, consumed in order; each call is logged.
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

  SendAttemptHooks Hooks() {
    return SendAttemptHooks{[this](bool use_proxy) {
                              use_proxy_log.push_back(use_proxy);
                              const Outcome o = outcomes.at(use_proxy_log.size() - 1);
                              if (Succeeded(o.result)) status = o.status;
                              return o.result;
                            },
                            [this] { return status; },
                            [this](std::uint32_t ms) { sleeps.push_back(ms); },
                            [this] { ++direct_works; }};
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
  bool fail_at_end = false;
  int abort_after = -1;  // reads after which the abort flag is set
  std::size_t position = 0;
  std::string appended;
  HResult append_result = kS_OK;

  BodyReadHooks Hooks() {
    return BodyReadHooks{
        [this] { return abort_after >= 0 && static_cast<int>(position) >= abort_after; },
        [this](std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* read) {
          if (position >= reads.size()) {
            *read = 0;
            return !fail_at_end;
          }
          *read = reads[position++];
          for (std::uint32_t i = 0; i < *read && i < capacity; ++i) buffer[i] = 'a' + position;
          return true;
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
    int abort_after;
    HResult append_result;
    HResult expected;
    std::size_t appended;
  };
  const Case cases[] = {
      {"2000 bytes, limit 1500", {1024, 976}, 1500, -1, kS_OK, kE_HTTP_BODY_TOO_LARGE, 1024},
      {"2000 bytes, limit 2000", {1024, 976}, 2000, -1, kS_OK, kS_OK, 2000},
      {"no limit", {1024, 1024, 1024, 7}, 0, -1, kS_OK, kS_OK, 3079},
      {"empty body", {}, 10, -1, kS_OK, kS_OK, 0},
      {"abort between reads", {1024, 1024}, 0, 1, kS_OK, kE_ABORT, 1024},
      {"failed append", {10}, 0, -1, kE_OUTOFMEMORY, kE_OUTOFMEMORY, 10},
      {"a read claiming more than the chunk", {1025}, 0, -1, kS_OK, kE_FAIL, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkScript script;
    script.reads = c.reads;
    script.abort_after = c.abort_after;
    script.append_result = c.append_result;
    EXPECT_HR_EQ(ReadBodyChunks(c.max_bytes, script.Hooks()), c.expected);
    EXPECT_EQ(script.appended.size(), c.appended);
  }
  // A failed read ends the body like an empty one.
  ChunkScript failing;
  failing.reads = {100};
  failing.fail_at_end = true;
  EXPECT_HR_OK(ReadBodyChunks(0, failing.Hooks()));
  EXPECT_EQ(failing.appended.size(), 100u);
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

std::uint64_t fake_now = 0;
std::uint64_t FakeClock() { return fake_now; }

TEST(RecentAnswerTest, ReusesAnAnswerForItsLifetimeOnly) {
  RecentAnswer answer(500, &FakeClock);
  int asked = 0;
  bool truth = false;
  auto ask = [&] {
    ++asked;
    return truth;
  };
  fake_now = 1000;
  EXPECT_FALSE(answer.Get(ask));
  truth = true;
  fake_now = 1499;
  EXPECT_FALSE(answer.Get(ask));  // still the first answer
  EXPECT_EQ(asked, 1);
  fake_now = 1500;
  EXPECT_TRUE(answer.Get(ask));  // run out: asked again
  EXPECT_EQ(asked, 2);
  truth = false;
  fake_now = 10;  // a clock that went backwards asks again
  EXPECT_FALSE(answer.Get(ask));
  EXPECT_EQ(asked, 3);
  // The very first question is asked even at time 0.
  RecentAnswer fresh(500, &FakeClock);
  fake_now = 0;
  truth = true;
  EXPECT_TRUE(fresh.Get(ask));
  EXPECT_EQ(asked, 4);
}

}  // namespace
}  // namespace ci
