// adminprefs http as an administrator diagnoses with it: the scheme decides TLS,
// --max-time, redirects shown or followed hop by hop (-L), and the exchange on
// standard error (-v), against servers of the test on loopback addresses and
// tinyproxy (started around this program by with_tinyproxy.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ci/base/utf8.h"
#include "ci/base/wide_string.h"
#include "tests/tools/adminprefs_http_run_win.h"

namespace ci::test {
namespace {

using Clock = std::chrono::steady_clock;

const wchar_t* const kClients[] = {L"winhttp", L"wininet"};

std::wstring ClientOption(const wchar_t* client) { return L"--client=" + std::wstring(client); }

class AdminPrefsHttpHopsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(first_.Start("127.0.0.2"));
    ASSERT_TRUE(second_.Start("127.0.0.3"));
    second_.Respond(CannedResponse{200, {}, "landed\n"});
  }

  LoopbackHttpServer first_, second_;
};

TEST_F(AdminPrefsHttpHopsTest, AnHttpsUrlIsTlsOnAnyPortNeverPlainText) {
  for (const wchar_t* client : kClients) {
    SCOPED_TRACE(testing::Message() << client);
    const std::size_t openings = first_.UnreadableOpenings().size();
    const CapturedRun run = RunAdminPrefs(L"http -v --max-time=10 " + ClientOption(client) + L" " +
                                          UrlOf(first_, L"/secret", L"https"));
    EXPECT_EQ(run.exit_code, 1u) << run.error;
    EXPECT_TRUE(Has(run.error,
                    "* GET https://127.0.0.2:" + std::to_string(first_.port()) + "/secret (TLS)\n"))
        << run.error;
    // A TLS handshake came, and no request in plain text.
    const auto seen = first_.UnreadableOpenings();
    ASSERT_GT(seen.size(), openings) << run.error;
    EXPECT_EQ(seen[openings][0], '\x16') << "a TLS handshake record";
    EXPECT_TRUE(first_.Requests().empty());
  }
}

TEST_F(AdminPrefsHttpHopsTest, AnHttpUrlIsPlainEvenOnPort443) {
  LoopbackHttpServer on_443;
  if (!on_443.Start("127.0.0.12", 443)) {
    GTEST_SKIP() << "port 443 cannot be bound here (not root, or in use); the choice is shown "
                    "through the client setting (TransportSecurityChoosesTlsByPortOrAsSet)";
  }
  on_443.Respond(CannedResponse{200, {}, "plain on 443\n"});
  for (const wchar_t* client : kClients) {
    SCOPED_TRACE(testing::Message() << client);
    const CapturedRun run =
        RunAdminPrefs(L"http -v " + ClientOption(client) + L" http://127.0.0.12:443/plain");
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    EXPECT_EQ(run.output, "plain on 443\n");
    EXPECT_TRUE(Has(run.error, "* GET http://127.0.0.12:443/plain (plain HTTP)")) << run.error;
  }
  EXPECT_EQ(on_443.Requests().size(), 2u);
  EXPECT_TRUE(on_443.UnreadableOpenings().empty());
}

TEST_F(AdminPrefsHttpHopsTest, MaxTimeEndsATricklingAnswer) {
  CannedResponse trickle{200, {}, std::string(20, 't')};
  trickle.trickle_ms = 100;  // two seconds for the body
  first_.Respond(trickle);
  for (const wchar_t* client : kClients) {
    SCOPED_TRACE(testing::Message() << client);
    const Clock::time_point start = Clock::now();
    CapturedRun run =
        RunAdminPrefs(L"http --max-time=0.6 " + ClientOption(client) + L" " + UrlOf(first_, L"/"));
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(run.exit_code, 1u) << run.error;
    EXPECT_TRUE(Has(run.error,
                    "status 200, the server did not answer in time (0x80072EE2): an "
                    "exchange may last 0.6 s (--max-time)"))
        << run.error;
    EXPECT_LT(run.output.size(), 20u);
    EXPECT_LT(elapsed, std::chrono::milliseconds(1900));
    // Without a deadline the same answer is read whole.
    run = RunAdminPrefs(L"http --max-time=0 " + ClientOption(client) + L" " + UrlOf(first_, L"/"));
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    EXPECT_EQ(run.output, std::string(20, 't'));
  }
}

TEST_F(AdminPrefsHttpHopsTest, ARedirectIsTheAnswerUnlessFollowed) {
  CannedResponse moved = RedirectTo(second_, "/landing", 302);
  moved.body = "moved\n";
  first_.Respond(moved);
  for (const wchar_t* client : kClients) {
    SCOPED_TRACE(testing::Message() << client);
    CapturedRun run =
        RunAdminPrefs(L"http -v --fail " + ClientOption(client) + L" " + UrlOf(first_, L"/start"));
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    EXPECT_EQ(run.output, "moved\n");
    EXPECT_TRUE(Has(run.error, "* the 302 redirect is the answer (-L follows it)\n")) << run.error;
    EXPECT_TRUE(Has(run.error, "status 302")) << run.error;

    run = RunAdminPrefs(L"http -L -v " + ClientOption(client) + L" " + UrlOf(first_, L"/start"));
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    EXPECT_EQ(run.output, "landed\n");
    const std::string landing = "http://127.0.0.3:" + std::to_string(second_.port()) + "/landing";
    EXPECT_TRUE(Has(run.error, "* redirect 1 of at most 10: 302 to " + landing)) << run.error;
    EXPECT_TRUE(Has(run.error, "* GET " + landing + " (plain HTTP)")) << run.error;
    EXPECT_TRUE(Has(run.error,
                    "status 200, the exchange succeeded (0x00000000), after 1 "
                    "redirect: " +
                        landing))
        << run.error;
  }
  EXPECT_EQ(first_.Requests().size(), 4u);
  ASSERT_EQ(second_.Requests().size(), 2u);
  EXPECT_EQ(second_.Requests()[0].target, "/landing");
}

TEST_F(AdminPrefsHttpHopsTest, RedirectsStopAtTheLimitAndAtAnotherScheme) {
  first_.SetResponder([this](const RecordedRequest&) { return RedirectTo(first_, "/again"); });
  CapturedRun run = RunAdminPrefs(L"http -L --max-redirs=3 " + UrlOf(first_, L"/"));
  EXPECT_EQ(run.exit_code, 1u) << run.error;
  EXPECT_TRUE(Has(run.error, "a redirect was not followed (0x80072F7C): more than 3 redirects"))
      << run.error;
  EXPECT_EQ(first_.Requests().size(), 4u);

  // Each hop's scheme decides: an https Location is TLS, also to a plain server.
  first_.Respond(CannedResponse{
      301, {"Location: https://127.0.0.3:" + std::to_string(second_.port()) + "/tls"}, ""});
  run = RunAdminPrefs(L"http -L --max-time=10 " + UrlOf(first_, L"/"));
  EXPECT_EQ(run.exit_code, 1u) << run.error;
  EXPECT_TRUE(second_.Requests().empty());
  EXPECT_FALSE(second_.UnreadableOpenings().empty());

  first_.Respond(CannedResponse{302, {"Location: ftp://127.0.0.3/file"}, ""});
  run = RunAdminPrefs(L"http -L " + UrlOf(first_, L"/"));
  EXPECT_EQ(run.exit_code, 1u) << run.error;
  EXPECT_TRUE(Has(run.error, "ftp://127.0.0.3/file is not followed: http and https only"))
      << run.error;
}

TEST_F(AdminPrefsHttpHopsTest, EachHopGetsTheMethodAndHeadersItShould) {
  const WString body_file = TestDirectory() + u"\\hop_body.txt";
  {
    std::FILE* file = ::_wfopen(AsWin(body_file), L"wb");
    ASSERT_NE(file, nullptr);
    std::fputs("payload", file);
    std::fclose(file);
  }
  const std::wstring post = L"--post=\"" + std::wstring(AsWin(body_file)) + L"\" ";
  const std::wstring credentials =
      L"--header=\"Authorization: Basic aHVudGVyMg==\" --header=\"X-Trace: 7\" ";
  struct Case {
    int status;
    const char* method;
    const char* body;
  };
  for (const Case& c : {Case{307, "POST", "payload"}, Case{303, "GET", ""}}) {
    SCOPED_TRACE(c.status);
    first_.Respond(RedirectTo(second_, "/next", c.status));
    const std::size_t before = second_.Requests().size();
    const CapturedRun run =
        RunAdminPrefs(L"http -L -v " + post + credentials + UrlOf(first_, L"/"));
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    const auto requests = second_.Requests();
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_EQ(requests[before].method, c.method);
    EXPECT_EQ(requests[before].body, c.body);
    // Another server gets no Authorization header; other headers go on.
    EXPECT_EQ(requests[before].Header("Authorization"), "");
    EXPECT_EQ(requests[before].Header("X-Trace"), "7");
    EXPECT_EQ(first_.Requests().back().Header("Authorization"), "Basic aHVudGVyMg==");
    EXPECT_TRUE(Has(run.error, "not sent to another server: Authorization")) << run.error;
    EXPECT_TRUE(Has(run.error, "> Authorization: ***")) << run.error;
    EXPECT_FALSE(Has(run.error, "aHVudGVyMg")) << run.error;
  }
  ::DeleteFileW(AsWin(body_file));
}

TEST_F(AdminPrefsHttpHopsTest, VerboseShowsProxyAttemptsAndHopsButNoPassword) {
  ASSERT_FALSE(Env(L"VU_TINYPROXY_PORT").empty()) << "run through with_tinyproxy.sh";
  const std::string password = WideToUtf8(FromWin(Env(L"VU_TINYPROXY_PASSWORD").c_str()));
  first_.Respond(RedirectTo(second_, "/via-proxy"));
  for (const wchar_t* client : kClients) {
    SCOPED_TRACE(testing::Message() << client);
    const CapturedRun run = RunAdminPrefs(
        L"http -v -L " + ClientOption(client) + L" --proxy=127.0.0.1:" + Env(L"VU_TINYPROXY_PORT") +
        L" --proxy-user=" + Env(L"VU_TINYPROXY_USER") + L" --proxy-password=" +
        Env(L"VU_TINYPROXY_PASSWORD") + L" " + UrlOf(first_, L"/"));
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    EXPECT_EQ(run.output, "landed\n");
    std::vector<std::string> lines = {
        "* proxy 127.0.0.1:" + WideToUtf8(FromWin(Env(L"VU_TINYPROXY_PORT").c_str())) +
            ", user proxyuser with a password\n",
        "* redirect 1 of at most 10: 307 to http://127.0.0.3:", "< HTTP/1.1 200 OK\n",
        "* body: 7 bytes\n", "status 200, the exchange succeeded"};
    if (std::wstring(client) == L"winhttp") {
      // The first answer is the proxy's demand; from then on the credentials go
      // with every attempt, on the next hop at once.
      lines.push_back(
          "* attempt 1: status 407, the proxy asks for credentials\n"
          "* attempt 1, with the proxy credentials of proxyuser (Basic): status 307\n");
      lines.push_back(
          "(plain HTTP)\n* attempt 1, with the proxy credentials of proxyuser "
          "(Basic): status 200\n");
    } else {
      // The WinINet library answers the proxy's demand itself.
      lines.push_back("* attempt 1: status 307\n");
    }
    for (const std::string& line : lines) {
      EXPECT_TRUE(Has(run.error, line)) << line << "\n" << run.error;
    }
    EXPECT_FALSE(Has(run.error, password)) << run.error;
  }
  // The proxy credentials went to the proxy only.
  for (const RecordedRequest& request : second_.Requests()) {
    EXPECT_EQ(request.Header("Proxy-Authorization"), "");
    EXPECT_EQ(request.target.find('@'), std::string::npos) << request.target;
  }
  EXPECT_EQ(second_.Requests().size(), 2u);
}

TEST_F(AdminPrefsHttpHopsTest, VerboseShowsEveryAttempt) {
  LoopbackHttpServer gone;
  ASSERT_TRUE(gone.Start("127.0.0.2"));
  const std::wstring url = UrlOf(gone, L"/");
  gone.Stop();  // nothing listens there any more
  const CapturedRun run = RunAdminPrefs(L"http -v --retries=1 --retry-delay=10 " + url);
  EXPECT_EQ(run.exit_code, 1u) << run.error;
  EXPECT_TRUE(Has(run.error, "* up to 2 attempts, 10 ms apart\n")) << run.error;
  EXPECT_TRUE(Has(run.error, "* attempt 1 of 2: failed: ")) << run.error;
  EXPECT_TRUE(Has(run.error, "* attempt 2 of 2: failed: ")) << run.error;
}

}  // namespace
}  // namespace ci::test
