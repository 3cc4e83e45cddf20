// adminprefs.exe end to end: its output and exit codes against the real server,
// an unregistered server, a message that does not decode and a damaged value.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/captured_run_win.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace test {
namespace {

// Runs adminprefs.exe with `arguments`; what it prints to standard output and
// error together.
CapturedRun RunClient(const WString& arguments) {
  const WString exe = FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe");
  return RunCapturingOutput(Quoted(exe) + u" " + arguments, ErrorOutput::kMerged);
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

class AdminPrefsExeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_HR_OK(RegisterServerForTests()); }
  static void TearDownTestSuite() {
    EXPECT_TRUE(WaitForNoServer());
    DeleteStoredValues();
  }
  void SetUp() override { DeleteStoredValues(); }
};

TEST_F(AdminPrefsExeTest, SetsPreferencesAndProxyAndShowsThem) {
  CapturedRun run = RunClient(u"set-prefs --send-stats=true");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "SaveAdminPreferences([10 01])")) << run.output;
  EXPECT_TRUE(Contains(run.output, "SaveAdminPreferences: success (0x00000000)")) << run.output;

  run = RunClient(u"set-proxy --auto-detect=false --http-host=proxy.example --http-port=8080");
  EXPECT_EQ(run.exit_code, 0u) << run.output;

  run = RunClient(u"show");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "machine_prefs: checksum ok [10 01 12 24 16 E7]")) << run.output;
  EXPECT_TRUE(Contains(run.output, "  send_stats = true")) << run.output;
  EXPECT_TRUE(Contains(run.output, "  http_host = \"proxy.example\"")) << run.output;
  EXPECT_TRUE(Contains(run.output, "  http_port = 8080")) << run.output;
  EXPECT_TRUE(Contains(run.output, "SendAnonymousData: 1")) << run.output;

  run = RunClient(u"show --json");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "\"fields\": {\"send_stats\": true}")) << run.output;
  EXPECT_TRUE(Contains(run.output,
                       "\"fields\": {\"auto_detect\": false, \"http_host\": \"proxy.example\", "
                       "\"http_port\": 8080}"))
      << run.output;
}

TEST_F(AdminPrefsExeTest, AcceptEulaSavesPreferencesAndRecordsTheAcceptance) {
  ASSERT_EQ(RunClient(u"set-proxy --auto-detect=true").exit_code, 0u);
  CapturedRun run = RunClient(u"accept-eula --send-stats=false");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "SaveAcceptingEulaSettings([10 00])")) << run.output;
  EXPECT_TRUE(Contains(run.output, "SaveAcceptingEulaSettings: success")) << run.output;

  run = RunClient(u"show");
  EXPECT_TRUE(Contains(run.output, "SendAnonymousData: 0")) << run.output;
  EXPECT_TRUE(Contains(run.output, "ProxySettings: absent")) << run.output;
  const std::size_t userid = run.output.find("userid: \"");
  ASSERT_NE(userid, std::string::npos) << run.output;
  EXPECT_EQ(run.output.find('"', userid + 9), userid + 9 + 36) << run.output;  // 36 characters

  run = RunClient(u"accept-eula");  // no preferences sent
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "SaveAcceptingEulaSettings(no message)")) << run.output;

  DeleteValue(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath), u"userid");
}

TEST_F(AdminPrefsExeTest, RawBytesThatDoNotDecodeAreReportedAsSuch) {
  const CapturedRun run = RunClient(u"set-proxy --raw \"12 00\"");
  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_TRUE(Contains(run.output, "could not decode the message (E_INVALIDARG)")) << run.output;
  EXPECT_TRUE(Contains(run.output, "0x80070057")) << run.output;
  EXPECT_EQ(StoredBytes(L"ProxySettings"), "<absent>");
}

TEST_F(AdminPrefsExeTest, DamagedStoredValueIsFlagged) {
  const std::string damaged = ByteString({0x10, 0x01, 0x12, 0x24, 0x16, 0xE8});
  ASSERT_TRUE(SetBinary(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath), u"machine_prefs", damaged));
  const CapturedRun run = RunClient(u"show");
  EXPECT_EQ(run.exit_code, 3u) << run.output;
  EXPECT_TRUE(Contains(run.output, "machine_prefs: CHECKSUM DOES NOT MATCH")) << run.output;
  EXPECT_TRUE(Contains(run.output, "damaged")) << run.output;
}

TEST_F(AdminPrefsExeTest, UnregisteredServerIsNamedAsTheProblem) {
  ASSERT_TRUE(WaitForNoServer());
  ASSERT_HR_OK(RunAndWait(Quoted(ServerPath()) + u" /UnregServer"));
  const CapturedRun run = RunClient(u"set-prefs --send-stats=false");
  ASSERT_HR_OK(RegisterServerForTests());
  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_TRUE(Contains(run.output, "cannot reach the server")) << run.output;
  EXPECT_TRUE(Contains(run.output, "not registered")) << run.output;
}

TEST_F(AdminPrefsExeTest, HelpAndBadCommandLines) {
  for (const char16_t* help :
       {u"--help", u"help set-proxy", u"set-prefs --help", u"show --help", u"accept-eula --help",
        u"doctor --help", u"help crash-test", u"help http", u"proxy-config --help"}) {
    const CapturedRun run = RunClient(help);
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_TRUE(Contains(run.output, "usage: adminprefs")) << run.output;
  }
  const CapturedRun run = RunClient(u"set-proxy --http-port=http");
  EXPECT_EQ(run.exit_code, 2u) << run.output;
  EXPECT_TRUE(Contains(run.output, "--http-port takes a whole number")) << run.output;
}

TEST_F(AdminPrefsExeTest, DescribeShowsTheFiveMessageTypes) {
  CapturedRun run = RunClient(u"describe");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  for (const char* message : {"message MachinePreferencesProto {", "message ProtocolDescriptor {",
                              "message ProxySettingsProto {", "message RPC_ServiceDescriptor {",
                              "message UserPreferencesProto {"}) {
    EXPECT_TRUE(Contains(run.output, message)) << message << "\n" << run.output;
  }
  EXPECT_TRUE(Contains(run.output, "    optional int32 parent = 12 [default = -1];")) << run.output;

  run = RunClient(u"describe userpreferencesproto");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "  optional fixed32 window_width = 3 [default = 740];"))
      << run.output;
  EXPECT_FALSE(Contains(run.output, "ProxySettingsProto")) << run.output;

  run = RunClient(u"describe nosuchtype");
  EXPECT_EQ(run.exit_code, 2u) << run.output;
  EXPECT_TRUE(Contains(run.output, "no message type")) << run.output;
}

}  // namespace
}  // namespace test
}  // namespace ci
