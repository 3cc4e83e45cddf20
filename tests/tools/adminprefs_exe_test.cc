// adminprefs.exe end to end: its output and exit codes against the real server,
// an unregistered server, a message that does not decode and a damaged value.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/admin_prefs/server_test_support.h"

namespace ci {
namespace test {
namespace {

struct ClientRun {
  DWORD exit_code = STILL_ACTIVE;
  std::string output;  // stdout and stderr together
};

// Runs adminprefs.exe with `arguments`, capturing what it prints.
ClientRun RunClient(const WString& arguments) {
  ClientRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE read_raw = nullptr;
  HANDLE write_raw = nullptr;
  if (!::CreatePipe(&read_raw, &write_raw, &inherit, 0)) return run;
  UniqueHandle read_end(read_raw);
  UniqueHandle write_end(write_raw);
  ::SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);

  WString command_line =
      Quoted(FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe")) + u" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end.get();
  startup.hStdError = write_end.get();
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, AsWin(command_line), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return run;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  write_end.reset();
  // Read until the client has ended and the pipe is empty. Not until end of file:
  // under Wine a server that COM starts inherits the client's handles, and so the
  // pipe, until it ends by itself.
  const DWORD start = ::GetTickCount();
  for (;;) {
    const bool ended = ::WaitForSingleObject(process.get(), 20) == WAIT_OBJECT_0;
    DWORD available = 0;
    while (::PeekNamedPipe(read_end.get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
      char buffer[4096];
      DWORD got = 0;
      if (!::ReadFile(read_end.get(), buffer, sizeof(buffer), &got, nullptr) || got == 0) break;
      run.output.append(buffer, got);
    }
    if (ended || ::GetTickCount() - start > 60000) break;
  }
  ::GetExitCodeProcess(process.get(), &run.exit_code);
  return run;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

class AdminPrefsExeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterServerForTests(), kS_OK); }
  static void TearDownTestSuite() {
    EXPECT_TRUE(WaitForNoServer());
    DeleteStoredValues();
  }
  void SetUp() override { DeleteStoredValues(); }
};

TEST_F(AdminPrefsExeTest, SetsPreferencesAndProxyAndShowsThem) {
  ClientRun run = RunClient(u"set-prefs --send-stats=true");
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
  ClientRun run = RunClient(u"accept-eula --send-stats=false");
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

  UniqueKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineRootPath, 0, KEY_SET_VALUE, key.put()) ==
      ERROR_SUCCESS) {
    ::RegDeleteValueW(key.get(), L"userid");
  }
}

TEST_F(AdminPrefsExeTest, RawBytesThatDoNotDecodeAreReportedAsSuch) {
  const ClientRun run = RunClient(u"set-proxy --raw \"12 00\"");
  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_TRUE(Contains(run.output, "could not decode the message (E_INVALIDARG)")) << run.output;
  EXPECT_TRUE(Contains(run.output, "0x80070057")) << run.output;
  EXPECT_EQ(StoredBytes(L"ProxySettings"), "<absent>");
}

TEST_F(AdminPrefsExeTest, DamagedStoredValueIsFlagged) {
  const std::string damaged = Bytes({0x10, 0x01, 0x12, 0x24, 0x16, 0xE8});
  UniqueKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMachineRootPath, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.get(), L"machine_prefs", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(damaged.data()),
                             static_cast<DWORD>(damaged.size())),
            ERROR_SUCCESS);
  const ClientRun run = RunClient(u"show");
  EXPECT_EQ(run.exit_code, 3u) << run.output;
  EXPECT_TRUE(Contains(run.output, "machine_prefs: CHECKSUM DOES NOT MATCH")) << run.output;
  EXPECT_TRUE(Contains(run.output, "damaged")) << run.output;
}

TEST_F(AdminPrefsExeTest, UnregisteredServerIsNamedAsTheProblem) {
  ASSERT_TRUE(WaitForNoServer());
  ASSERT_EQ(RunAndWait(Quoted(ServerPath()) + u" /UnregServer"), kS_OK);
  const ClientRun run = RunClient(u"set-prefs --send-stats=false");
  ASSERT_EQ(RegisterServerForTests(), kS_OK);
  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_TRUE(Contains(run.output, "cannot reach the server")) << run.output;
  EXPECT_TRUE(Contains(run.output, "not registered")) << run.output;
}

TEST_F(AdminPrefsExeTest, HelpAndBadCommandLines) {
  for (const char16_t* help : {u"--help", u"help set-proxy", u"set-prefs --help", u"show --help",
                               u"accept-eula --help"}) {
    const ClientRun run = RunClient(help);
    EXPECT_EQ(run.exit_code, 0u) << run.output;
    EXPECT_TRUE(Contains(run.output, "usage: adminprefs")) << run.output;
  }
  const ClientRun run = RunClient(u"set-proxy --http-port=http");
  EXPECT_EQ(run.exit_code, 2u) << run.output;
  EXPECT_TRUE(Contains(run.output, "--http-port takes a whole number")) << run.output;
}

TEST_F(AdminPrefsExeTest, DescribeShowsTheFiveMessageTypes) {
  ClientRun run = RunClient(u"describe");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  for (const char* message : {"message MachinePreferencesProto {", "message ProtocolDescriptor {",
                              "message ProxySettingsProto {", "message RPC_ServiceDescriptor {",
                              "message UserPreferencesProto {"}) {
    EXPECT_TRUE(Contains(run.output, message)) << message << "\n" << run.output;
  }
  EXPECT_TRUE(Contains(run.output, "    optional int32 parent = 12 [default = -1];")) << run.output;

  run = RunClient(u"describe userpreferencesproto");
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Contains(run.output, "  optional fixed32 window_width = 3 [default = 740];")) << run.output;
  EXPECT_FALSE(Contains(run.output, "ProxySettingsProto")) << run.output;

  run = RunClient(u"describe nosuchtype");
  EXPECT_EQ(run.exit_code, 2u) << run.output;
  EXPECT_TRUE(Contains(run.output, "no message type")) << run.output;
}

}  // namespace
}  // namespace test
}  // namespace ci
