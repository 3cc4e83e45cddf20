// adminprefs doctor on this prefix's registration: healthy, then broken on
// purpose (the server file moved away, keys removed, a damaged stored value),
// each break named by its check. Registers the server and puts back what it
// breaks.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/admin_prefs/server_test_support.h"
#include "tests/support/captured_run_win.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace test {
namespace {

const WString kClassKey = u"SOFTWARE\\Classes\\CLSID\\{AF2A86CC-90BE-453F-95FD-140F8CCFE558}";

// Runs adminprefs doctor; its output with the console's CR LF as LF.
CapturedRun RunDoctor(const char16_t* options = u"") {
  const WString exe = FullPath(TestDirectory() + u"\\..\\..\\tools\\adminprefs.exe");
  CapturedRun run = RunCapturingOutput(Quoted(exe) + u" doctor " + options, ErrorOutput::kMerged);
  run.output.erase(std::remove(run.output.begin(), run.output.end(), '\r'), run.output.end());
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The line of one check, for messages.
std::string LineOf(const std::string& output, const std::string& check) {
  const std::size_t at = output.find(" " + check + ": ");
  if (at == std::string::npos) return "<no line for " + check + ">";
  const std::size_t begin = output.rfind('\n', at);
  const std::size_t end = output.find('\n', at);
  return output.substr(begin == std::string::npos ? 0 : begin + 1,
                       end == std::string::npos ? std::string::npos : end - begin - 1);
}

class AdminPrefsDoctorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_HR_OK(RegisterServerForTests()); }
  void TearDown() override {
    // Each doctor run activates the server once; it idles out.
    EXPECT_TRUE(WaitForNoServer());
    ASSERT_HR_OK(RegisterServerForTests());
    DeleteStoredValues();
  }
};

TEST_F(AdminPrefsDoctorTest, AHealthyInstallationHasNoProblem) {
  const CapturedRun run = RunDoctor();
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  for (const char* check :
       {"class", "ProgID", "AppID", "LocalServer32", "elevation", "type library", "interface",
        "access permission", "activation", "machine_prefs", "ProxySettings"}) {
    EXPECT_EQ(LineOf(run.output, check).compare(0, 9, "ok       "), 0) << LineOf(run.output, check);
  }
  // No resource module is installed beside the build's server: only a warning.
  EXPECT_TRUE(Contains(LineOf(run.output, "resource module"), "warning  resource module: \""))
      << run.output;
  EXPECT_TRUE(
      Contains(LineOf(run.output, "access permission"), "AccessPermission is O:BAG:BAD:(A;;"))
      << run.output;
  EXPECT_TRUE(Contains(run.output, "info     crash-report consent: ")) << run.output;
  EXPECT_TRUE(Contains(run.output, "info     dump type: minidump_type")) << run.output;
  EXPECT_TRUE(Contains(run.output, "info     default proxy: winhttp: ")) << run.output;
  EXPECT_TRUE(Contains(run.output, " 0 problems, 1 warning\n")) << run.output;

  const CapturedRun json = RunDoctor(u"--json");
  EXPECT_EQ(json.exit_code, 0u) << json.output;
  EXPECT_EQ(json.output.compare(0, 24, "{\"checks\": [{\"check\": \"c"), 0) << json.output;
  EXPECT_TRUE(Contains(json.output, "\"problems\": 0, \"warnings\": 1}")) << json.output;
}

TEST_F(AdminPrefsDoctorTest, TheServerFileMovedAwayIsNamed) {
  ASSERT_TRUE(WaitForNoServer());
  const WString server = ServerPath();
  const WString moved = server + u".moved";
  ASSERT_TRUE(::MoveFileW(AsWin(server), AsWin(moved)));
  const CapturedRun run = RunDoctor();
  ASSERT_TRUE(::MoveFileW(AsWin(moved), AsWin(server)));

  EXPECT_EQ(run.exit_code, 1u) << run.output;
  const std::string local_server = LineOf(run.output, "LocalServer32");
  EXPECT_TRUE(Contains(local_server, "problem  LocalServer32: \"")) << local_server;
  EXPECT_TRUE(Contains(local_server, "VelmorUpdaterAdminPrefs.exe\" does not exist. Put"))
      << local_server;
  EXPECT_TRUE(Contains(LineOf(run.output, "type library"), "problem  type library: "))
      << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "activation"), "problem  activation: ")) << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "elevation"), "warning  elevation: ")) << run.output;
  // The keys themselves are still as registered.
  EXPECT_TRUE(Contains(LineOf(run.output, "class"), "ok       class: ")) << run.output;
}

TEST_F(AdminPrefsDoctorTest, RemovedKeysAndADamagedValueAreNamed) {
  ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, kClassKey + u"\\Elevation"));
  ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE,
                         u"SOFTWARE\\Classes\\AdminPrefsManager.AdminPrefsManagerCtl\\CurVer"));
  ASSERT_TRUE(DeleteValue(HKEY_CLASSES_ROOT, u"AppID\\{D286CF35-0D59-44A3-8579-6BCEC4E291C7}",
                          u"AccessPermission"));
  ASSERT_TRUE(SetBinary(HKEY_LOCAL_MACHINE, FromWin(kMachineRootPath), u"machine_prefs",
                        ByteString({0x10, 0x01, 0x12, 0x24, 0x16, 0xE8})));
  const CapturedRun run = RunDoctor();

  EXPECT_EQ(run.exit_code, 1u) << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "elevation"),
                       "problem  elevation: HKLM\\SOFTWARE\\Classes\\CLSID\\{AF2A86CC-90BE-453F-"
                       "95FD-140F8CCFE558}\\Elevation is missing (and 2 more). Register it again"))
      << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "ProgID"),
                       "problem  ProgID: HKLM\\SOFTWARE\\Classes\\"
                       "AdminPrefsManager.AdminPrefsManagerCtl\\CurVer is missing"))
      << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "access permission"), "AccessPermission is missing"))
      << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "machine_prefs"),
                       "problem  machine_prefs: the checksum does not match"))
      << run.output;
  EXPECT_TRUE(Contains(LineOf(run.output, "class"), "ok       class: ")) << run.output;
  EXPECT_TRUE(Contains(run.output, " 4 problems, ")) << run.output;
}

}  // namespace
}  // namespace test
}  // namespace ci
