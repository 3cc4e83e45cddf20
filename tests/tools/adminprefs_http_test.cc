// adminprefs http and proxy-config as an administrator runs them: through
// tinyproxy with Basic authentication (started around this program by
// with_tinyproxy.sh) to an origin server of the test on 127.0.0.2.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/captured_run_win.h"
#include "tests/support/loopback_http_server_win.h"
#include "tests/support/processes_win.h"

namespace ci::test {
namespace {

// Runs adminprefs.exe with `arguments`; standard output and error apart.
CapturedRun RunAdminPrefs(const std::wstring& arguments) {
  const WString exe = FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe");
  return RunCapturingOutput(Quoted(exe) + u" " + FromWin(arguments.c_str()), ErrorOutput::kApart);
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[256];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 256);
  return length > 0 && length < 256 ? std::wstring(value, length) : std::wstring();
}

class AdminPrefsHttpTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env(L"VU_TINYPROXY_PORT").empty()) << "run through with_tinyproxy.sh";
    ASSERT_TRUE(origin_.Start("127.0.0.2"));
    origin_.Respond(CannedResponse{200, {"X-Origin: yes"}, "origin body\n"});
    url_ = L"http://127.0.0.2:" + std::to_wstring(origin_.port()) + L"/page?x=1";
    proxy_ = L"--proxy=127.0.0.1:" + Env(L"VU_TINYPROXY_PORT");
    credentials_ = L"--proxy-user=" + Env(L"VU_TINYPROXY_USER") + L" --proxy-password=" +
                   Env(L"VU_TINYPROXY_PASSWORD");
  }

  LoopbackHttpServer origin_;
  std::wstring url_, proxy_, credentials_;
};

TEST_F(AdminPrefsHttpTest, ThroughTheProxyWithBasicAuthenticationForBothClients) {
  for (const wchar_t* client : {L"winhttp", L"wininet"}) {
    const CapturedRun run = RunAdminPrefs(L"http --client=" + std::wstring(client) + L" " + proxy_ +
                                          L" " + credentials_ + L" -i " + url_);
    EXPECT_EQ(run.exit_code, 0u) << run.error;
    EXPECT_NE(run.output.find("X-Origin: yes\r\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.substr(run.output.size() - 12), "origin body\n");
    EXPECT_NE(run.error.find("status 200"), std::string::npos) << run.error;
  }
  EXPECT_EQ(origin_.Requests().size(), 2u);
}

TEST_F(AdminPrefsHttpTest, WithoutCredentialsTheJsonReportShowsTheProxyDemand) {
  const CapturedRun run = RunAdminPrefs(L"http --json " + proxy_ + L" " + url_);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_NE(run.output.find("\"result\": \"0x80420028\""), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\"status\": 407"), std::string::npos);
  EXPECT_NE(run.output.find("\"client\": \"winhttp\""), std::string::npos);
  EXPECT_NE(run.error.find("no proxy user was given"), std::string::npos) << run.error;
  EXPECT_TRUE(origin_.Requests().empty());
}

TEST_F(AdminPrefsHttpTest, AStatusIsASuccessfulExchangeAndTheBodyLimitIsNot) {
  origin_.Respond(CannedResponse{404, {}, std::string(3000, 'z')});
  CapturedRun run = RunAdminPrefs(L"http --json " + url_);
  EXPECT_EQ(run.exit_code, 0u) << run.error;
  EXPECT_NE(run.output.find("\"status\": 404"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\"body_bytes\": 3000"), std::string::npos);
  run = RunAdminPrefs(L"http --max-bytes=1500 " + url_);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_NE(run.error.find("0x8007007A"), std::string::npos) << run.error;
}

TEST_F(AdminPrefsHttpTest, ABadCommandLineOrUrlIsAUsageError) {
  EXPECT_EQ(RunAdminPrefs(L"http").exit_code, 2u);
  EXPECT_EQ(RunAdminPrefs(L"http --client=other " + url_).exit_code, 2u);
  EXPECT_EQ(RunAdminPrefs(L"http ftp://127.0.0.2/x").exit_code, 2u);
}

TEST_F(AdminPrefsHttpTest, ProxyConfigPrintsTheDefaultAndAScriptsChoice) {
  LoopbackHttpServer scripts;
  ASSERT_TRUE(scripts.Start("127.0.0.2"));
  scripts.Respond(CannedResponse{
      200, {}, "function FindProxyForURL(url, host) { return \"PROXY 127.0.0.9:8080\"; }\n"});
  CapturedRun run = RunAdminPrefs(L"proxy-config");
  EXPECT_EQ(run.exit_code, 0u) << run.error;
  EXPECT_NE(run.output.find("access: direct"), std::string::npos) << run.output;
  run = RunAdminPrefs(L"proxy-config --auto-config-url=http://127.0.0.2:" +
                      std::to_wstring(scripts.port()) + L"/p.pac http://127.0.0.3/");
  EXPECT_EQ(run.exit_code, 0u) << run.error;
  EXPECT_NE(run.output.find("proxy for http://127.0.0.3/: 127.0.0.9:8080"), std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace ci::test
