// adminprefs http and proxy-config as an administrator runs them: through
// tinyproxy with Basic authentication (started around this program by
// with_tinyproxy.sh) to an origin server of the test on 127.0.0.2.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ci/base/paths.h"
#include "ci/base/win_handles.h"
#include "tests/support/loopback_http_server_win.h"

namespace ci::test {
namespace {

struct ClientRun {
  DWORD exit_code = STILL_ACTIVE;
  std::string out;
  std::string err;
};

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

// Runs adminprefs.exe with `arguments`; standard output and error apart.
ClientRun RunAdminPrefs(const std::wstring& arguments) {
  ClientRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
  if (!::CreatePipe(&out_read, &out_write, &inherit, 1 << 20) ||
      !::CreatePipe(&err_read, &err_write, &inherit, 1 << 20)) {
    return run;
  }
  UniqueHandle out_r(out_read), out_w(out_write), err_r(err_read), err_w(err_write);
  ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  const WString exe = GetDirectoryPart(GetModulePath(nullptr)) + u"\\..\\..\\tools\\adminprefs.exe";
  std::wstring command_line = L"\"" + std::wstring(AsWin(exe)) + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return run;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  out_w.reset();
  err_w.reset();
  // This command starts no server, so the pipes close when the client ends.
  std::string err;
  std::thread err_reader([&] { err = ReadAll(err_read); });
  run.out = ReadAll(out_read);
  err_reader.join();
  run.err = err;
  ::WaitForSingleObject(process.get(), 60000);
  ::GetExitCodeProcess(process.get(), &run.exit_code);
  return run;
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
    const ClientRun run = RunAdminPrefs(L"http --client=" + std::wstring(client) + L" " + proxy_ + L" " +
                                  credentials_ + L" -i " + url_);
    EXPECT_EQ(run.exit_code, 0u) << run.err;
    EXPECT_NE(run.out.find("X-Origin: yes\r\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 12), "origin body\n");
    EXPECT_NE(run.err.find("status 200"), std::string::npos) << run.err;
  }
  EXPECT_EQ(origin_.Requests().size(), 2u);
}

TEST_F(AdminPrefsHttpTest, WithoutCredentialsTheJsonReportShowsTheProxyDemand) {
  const ClientRun run = RunAdminPrefs(L"http --json " + proxy_ + L" " + url_);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_NE(run.out.find("\"result\": \"0x80420028\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"status\": 407"), std::string::npos);
  EXPECT_NE(run.out.find("\"client\": \"winhttp\""), std::string::npos);
  EXPECT_NE(run.err.find("no proxy user was given"), std::string::npos) << run.err;
  EXPECT_TRUE(origin_.Requests().empty());
}

TEST_F(AdminPrefsHttpTest, AStatusIsASuccessfulExchangeAndTheBodyLimitIsNot) {
  origin_.Respond(CannedResponse{404, {}, std::string(3000, 'z')});
  ClientRun run = RunAdminPrefs(L"http --json " + url_);
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_NE(run.out.find("\"status\": 404"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"body_bytes\": 3000"), std::string::npos);
  run = RunAdminPrefs(L"http --max-bytes=1500 " + url_);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_NE(run.err.find("0x8007007A"), std::string::npos) << run.err;
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
  ClientRun run = RunAdminPrefs(L"proxy-config");
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_NE(run.out.find("access: direct"), std::string::npos) << run.out;
  run = RunAdminPrefs(L"proxy-config --auto-config-url=http://127.0.0.2:" +
                      std::to_wstring(scripts.port()) + L"/p.pac http://127.0.0.3/");
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_NE(run.out.find("proxy for http://127.0.0.3/: 127.0.0.9:8080"), std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace ci::test
