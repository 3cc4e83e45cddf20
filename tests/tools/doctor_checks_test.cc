// adminprefs doctor's decisions: each check over what the Windows side read.
#include "tools/doctor_checks.h"

#include <gtest/gtest.h>

#include "tests/tools/observed_entries.h"

#include "ci/prefs/stored_value.h"

namespace ci {
namespace {

constexpr char16_t kServer[] = u"C:\\Program Files\\Velmor\\VelmorUpdaterAdminPrefs.exe";

RawValue Raw(std::uint32_t type, std::vector<std::uint8_t> data) {
  RawValue raw;
  raw.present = true;
  raw.type = type;
  raw.data = std::move(data);
  return raw;
}

CheckedEntry Entry(const char16_t* value_name, const WString& expected, ObservedEntry observed) {
  CheckedEntry entry;
  entry.expected.key = u"SOFTWARE\\Classes\\CLSID\\{C}";
  entry.expected.is_value = true;
  entry.expected.value_name = value_name;
  entry.expected.data = expected;
  entry.observed = std::move(observed);
  return entry;
}

TEST(DoctorChecksTest, LocalServerPathsAndReferences) {
  bool quoted = false;
  EXPECT_EQ(LocalServerPath(u" \"C:\\a b\\s.exe\" ", &quoted), u"C:\\a b\\s.exe");
  EXPECT_TRUE(quoted);
  EXPECT_EQ(LocalServerPath(u"C:\\a b\\s.exe", &quoted), u"C:\\a b\\s.exe");
  EXPECT_FALSE(quoted);
  EXPECT_EQ(LocalServerPath(u"  ", &quoted), u"");
  EXPECT_EQ(ReferencePath(u"@C:\\x,y\\cires.dll,-5323"), u"C:\\x,y\\cires.dll");
  EXPECT_EQ(ReferencePath(u"C:\\cires.dll,-5323"), u"");
  EXPECT_EQ(ReferencePath(u"@C:\\cires.dll"), u"");
}

TEST(DoctorChecksTest, LocalServerMustBeQuotedAndExist) {
  struct Case {
    bool present;
    WString value;
    bool exists;
    CheckLevel level;
    const char* detail;
  };
  const Case cases[] = {
      {false, u"", false, CheckLevel::kProblem, "LocalServer32 is missing"},
      {true, u"", false, CheckLevel::kProblem, "is empty"},
      {true, kServer, true, CheckLevel::kProblem, "is not in quotes"},
      {true, u"\"" + WString(kServer) + u"\"", false, CheckLevel::kProblem, "does not exist"},
      {true, u"\"C:\\x\\Other.exe\"", true, CheckLevel::kWarning, "is named Other.exe"},
      {true, u"\"c:\\x\\velmorupdateradminprefs.EXE\"", true, CheckLevel::kOk, "exists"},
      {true, u"\"" + WString(kServer) + u"\"", true, CheckLevel::kOk, "exists"},
  };
  for (const Case& c : cases) {
    LocalServerFacts facts;
    facts.present = c.present;
    facts.value = c.value;
    facts.file_exists = c.exists;
    const CheckResult result = CheckLocalServer(facts);
    EXPECT_EQ(result.level, c.level) << c.detail;
    EXPECT_NE(result.detail.find(c.detail), std::string::npos) << result.detail;
    EXPECT_EQ(result.advice.empty(), c.level == CheckLevel::kOk) << result.detail;
  }
}

TEST(DoctorChecksTest, EntriesReportTheFirstMismatchAndHowManyMore) {
  std::vector<CheckedEntry> entries = {Entry(u"AppID", u"{A}", test::TextEntry(u"{A}")),
                                       Entry(u"ProgID", u"P.1", test::TextEntry(u"P.1"))};
  CheckResult result = CheckEntries("class", entries, kS_OK);
  EXPECT_EQ(result.level, CheckLevel::kOk);
  EXPECT_EQ(result.detail, "2 keys and values as the registration writes them");

  entries[0].observed = test::TextEntry(u"{B}");
  entries[1].observed = ObservedEntry();
  result = CheckEntries("class", entries, kS_OK);
  EXPECT_EQ(result.level, CheckLevel::kProblem);
  EXPECT_EQ(result.detail,
            "HKLM\\SOFTWARE\\Classes\\CLSID\\{C}: AppID is \"{B}\", expected \"{A}\" (and 1 more)");
  EXPECT_NE(result.advice.find("/RegServer"), std::string::npos);

  result = CheckEntries("AppID", {}, kE_FILE_NOT_FOUND);
  EXPECT_EQ(result.level, CheckLevel::kProblem);
  EXPECT_NE(result.detail.find("0x80070002"), std::string::npos);
}

TEST(DoctorChecksTest, ElevationNeedsItsValuesAndTheIcon) {
  const WString icon = u"@" + WString(kServer) + u",-3000";
  ElevationFacts facts;
  ObservedEntry enabled;
  enabled.key_present = enabled.value_present = true;
  enabled.type = 4;
  enabled.data = {1, 0, 0, 0};
  CheckedEntry enabled_entry = Entry(u"Enabled", u"1", enabled);
  enabled_entry.expected.type = ScriptValueType::kDword;
  facts.entries = {enabled_entry, Entry(u"IconReference", icon, test::TextEntry(icon))};
  facts.server_known = facts.server_exists = facts.icon_found = true;
  EXPECT_EQ(CheckElevation(facts).level, CheckLevel::kOk);

  facts.icon_found = false;
  EXPECT_EQ(CheckElevation(facts).level, CheckLevel::kWarning);
  facts.server_exists = false;
  EXPECT_NE(CheckElevation(facts).detail.find("the file of its icon is missing"),
            std::string::npos);
  facts.server_exists = true;

  facts.entries[1].observed = test::TextEntry(u"@C:\\old\\VelmorUpdaterAdminPrefs.exe,-3000");
  CheckResult result = CheckElevation(facts);
  EXPECT_EQ(result.level, CheckLevel::kProblem);
  EXPECT_NE(result.detail.find("IconReference is \"@C:\\old"), std::string::npos) << result.detail;

  // Without a server path the icon cannot be judged, and that is said.
  facts.server_known = false;
  result = CheckElevation(facts);
  EXPECT_EQ(result.level, CheckLevel::kProblem);
  EXPECT_NE(result.detail.find("cannot be checked"), std::string::npos) << result.detail;
}

TEST(DoctorChecksTest, TypeLibraryInterfaceAndAccessPermission) {
  TypeLibraryFacts library;
  library.path = kServer;
  library.interface_found = true;
  EXPECT_EQ(CheckTypeLibrary(library).level, CheckLevel::kOk);
  library.interface_found = false;
  EXPECT_EQ(CheckTypeLibrary(library).level, CheckLevel::kProblem);
  library.load_result = kE_FILE_NOT_FOUND;
  EXPECT_NE(CheckTypeLibrary(library).detail.find("cannot be loaded"), std::string::npos);
  library.path_result = static_cast<HResult>(0x8002801Du);  // TYPE_E_LIBNOTREGISTERED
  EXPECT_NE(CheckTypeLibrary(library).detail.find("not registered (0x8002801D)"),
            std::string::npos);

  InterfaceFacts marshalling;
  marshalling.proxy_stub = test::TextEntry(u"{00020424-0000-0000-c000-000000000046}");
  marshalling.type_library = test::TextEntry(u"{347D20CF-2DD9-4789-AB9B-489066C3DF94}");
  EXPECT_EQ(CheckInterface(marshalling).level, CheckLevel::kOk);
  marshalling.type_library = test::TextEntry(u"{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(CheckInterface(marshalling).level, CheckLevel::kProblem);
  marshalling.proxy_stub = test::TextEntry(u"{B8DA6310-E19B-11D0-933C-00A0C90DCAA9}");
  EXPECT_NE(CheckInterface(marshalling).detail.find("not by the automation marshaller"),
            std::string::npos);
  marshalling.proxy_stub = ObservedEntry();
  EXPECT_NE(CheckInterface(marshalling).detail.find("ProxyStubClsid32 is missing"),
            std::string::npos);

  AccessPermissionFacts permission;
  permission.expected_text = u"O:BAG:BAD:(A;;CCDC;;;IU)(A;;CCDC;;;SY)";
  EXPECT_NE(CheckAccessPermission(permission).detail.find("missing"), std::string::npos);
  permission.present = true;
  permission.type = 1;
  EXPECT_EQ(CheckAccessPermission(permission).level, CheckLevel::kProblem);
  permission.type = 3;
  permission.decodes = true;
  permission.text = u"O:BAG:BAD:(A;;CCDC;;;WD)";
  EXPECT_NE(CheckAccessPermission(permission).detail.find("expected O:BAG:BAD:(A;;CCDC;;;IU)"),
            std::string::npos);
  permission.text = permission.expected_text;
  EXPECT_EQ(CheckAccessPermission(permission).level, CheckLevel::kOk);
}

TEST(DoctorChecksTest, AMissingResourceModuleIsOnlyAWarning) {
  const WString reference = u"@C:\\Velmor\\cires.dll,-5323";
  ResourceModuleFacts facts;
  facts.localized_string = Entry(u"LocalizedString", reference, test::TextEntry(reference));
  facts.server_known = true;
  facts.file_exists = true;
  EXPECT_EQ(CheckResourceModule(facts).level, CheckLevel::kOk);
  facts.file_exists = false;
  const CheckResult absent = CheckResourceModule(facts);
  EXPECT_EQ(absent.level, CheckLevel::kWarning);
  EXPECT_EQ(absent.detail,
            "\"C:\\Velmor\\cires.dll\" is absent; only the elevation prompt's localised name "
            "needs it");
  facts.localized_string.observed = test::TextEntry(u"@D:\\elsewhere\\cires.dll,-5323");
  EXPECT_EQ(CheckResourceModule(facts).level, CheckLevel::kWarning);
  facts.localized_string.observed = ObservedEntry();
  EXPECT_EQ(CheckResourceModule(facts).level, CheckLevel::kWarning);
}

TEST(DoctorChecksTest, StoredValuesActivationAndInformation) {
  EXPECT_EQ(CheckActivation(kS_OK, 1100).detail,
            "the server started and was released in 1100 ms (no operation called)");
  const CheckResult refused = CheckActivation(kREGDB_E_CLASSNOTREG, 3);
  EXPECT_EQ(refused.level, CheckLevel::kProblem);
  EXPECT_NE(refused.detail.find("not registered"), std::string::npos);

  const std::vector<std::uint8_t> message = {0x10, 0x01};
  std::vector<std::uint8_t> stored = message;
  AppendMessageChecksum(&stored);
  EXPECT_EQ(CheckStoredValue("machine_prefs", StoredKind::kPreferences, Raw(3, stored)).level,
            CheckLevel::kOk);
  stored.back() ^= 1;
  const CheckResult damaged =
      CheckStoredValue("machine_prefs", StoredKind::kPreferences, Raw(3, stored));
  EXPECT_EQ(damaged.level, CheckLevel::kProblem);
  EXPECT_NE(damaged.advice.find("set-prefs"), std::string::npos);
  EXPECT_EQ(CheckStoredValue("ProxySettings", StoredKind::kProxySettings, RawValue()).level,
            CheckLevel::kOk);
  EXPECT_EQ(
      CheckStoredValue("ProxySettings", StoredKind::kProxySettings, Raw(4, {1, 0, 0, 0})).level,
      CheckLevel::kProblem);

  CheckResult info = ConsentInformation(Raw(4, {1, 0, 0, 0}), true);
  EXPECT_EQ(info.level, CheckLevel::kInfo);
  EXPECT_EQ(info.detail,
            "SendAnonymousData = 1 (REG_DWORD): crash reports are sent (with a small dump)");
  info = ConsentInformation(Raw(1, {'1', 0, 0, 0}), false);
  EXPECT_EQ(info.detail, "SendAnonymousData = \"1\" (REG_SZ): no crash report is sent");
  EXPECT_EQ(ConsentInformation(RawValue(), false).detail,
            "SendAnonymousData is not set: no crash report is sent");
  EXPECT_EQ(DumpTypeInformation(RawValue(), kE_FILE_NOT_FOUND, 0x0C).detail,
            "minidump_type is not set: the default dump type 0x0000000C is used");
  EXPECT_EQ(DumpTypeInformation(Raw(4, {2, 0, 0, 0}), kS_OK, 2).detail,
            "minidump_type = 2 (REG_DWORD): dumps of type 0x00000002");

  ProxyFacts proxy;
  proxy.client = "winhttp";
  EXPECT_EQ(ProxyInformation(proxy).detail, "winhttp: direct");
  proxy.access_type = 1;
  proxy.proxy = "127.0.0.1:3128";
  proxy.bypass = "<local>";
  EXPECT_EQ(ProxyInformation(proxy).detail, "winhttp: named proxy 127.0.0.1:3128 (bypass <local>)");
  proxy.result = kE_FAIL;
  EXPECT_EQ(ProxyInformation(proxy).level, CheckLevel::kInfo);
}

TEST(DoctorChecksTest, OnlyAProblemFailsTheRun) {
  std::vector<CheckResult> results(3);
  results[0].name = "class";
  results[0].detail = "11 keys";
  results[1].name = "resource module";
  results[1].level = CheckLevel::kWarning;
  results[1].detail = "absent";
  results[1].advice = "Install it";
  results[2].name = "dump type";
  results[2].level = CheckLevel::kInfo;
  results[2].detail = "not set";
  EXPECT_EQ(DoctorExitCode(results), 0);
  EXPECT_EQ(FormatDoctorText(results),
            "ok       class: 11 keys\n"
            "warning  resource module: absent. Install it\n"
            "info     dump type: not set\n"
            "doctor: 3 checks, 0 problems, 1 warning\n");
  results[0].level = CheckLevel::kProblem;
  EXPECT_EQ(DoctorExitCode(results), 1);
  EXPECT_EQ(
      FormatDoctorJson(results),
      "{\"checks\": [{\"check\": \"class\", \"level\": \"problem\", \"detail\": \"11 keys\", "
      "\"advice\": \"\"}, {\"check\": \"resource module\", \"level\": \"warning\", \"detail\": "
      "\"absent\", \"advice\": \"Install it\"}, {\"check\": \"dump type\", \"level\": \"info\", "
      "\"detail\": \"not set\", \"advice\": \"\"}], \"problems\": 1, \"warnings\": 1}\n");
}

}  // namespace
}  // namespace ci
