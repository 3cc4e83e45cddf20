#include "tools/stored_report.h"

#include <gtest/gtest.h>

#include "ci/prefs/stored_value.h"

namespace ci {
namespace {

RawValue Binary(std::vector<std::uint8_t> data) {
  RawValue value;
  value.present = true;
  value.type = 3;
  value.data = std::move(data);
  return value;
}

RawValue Dword(std::uint32_t number) {
  RawValue value;
  value.present = true;
  value.type = 4;
  value.data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
  return value;
}

RawValue Text(const std::u16string& text) {
  RawValue value;
  value.present = true;
  value.type = 1;
  for (char16_t c : text + u'\0') {
    value.data.push_back(static_cast<std::uint8_t>(c));
    value.data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return value;
}

TEST(StoredReport, KnownStoredValuesVerifyAndDecode) {
  const StoredMessage prefs = InspectStoredMessage("machine_prefs", StoredKind::kPreferences,
                                                   Binary({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  ASSERT_EQ(prefs.state, StoredState::kValid);
  ASSERT_EQ(prefs.fields.size(), 5u);
  EXPECT_TRUE(prefs.fields[1].present);
  EXPECT_TRUE(prefs.fields[1].value.flag);

  const StoredMessage proxy = InspectStoredMessage("ProxySettings", StoredKind::kProxySettings,
                                                   Binary({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4}));
  ASSERT_EQ(proxy.state, StoredState::kValid);
  EXPECT_TRUE(proxy.fields[0].value.flag);
}

TEST(StoredReport, DamagedValuesAreToldApart) {
  EXPECT_EQ(InspectStoredMessage("machine_prefs", StoredKind::kPreferences,
                                 Binary({0x10, 0x01, 0x12, 0x24, 0x16, 0xE8}))
                .state,
            StoredState::kBadChecksum);
  EXPECT_EQ(
      InspectStoredMessage("machine_prefs", StoredKind::kPreferences, Binary({0x12, 0x24})).state,
      StoredState::kBadChecksum);
  std::vector<std::uint8_t> cut = {0x10};  // a tag without its value, correctly checksummed
  AppendMessageChecksum(&cut);
  EXPECT_EQ(InspectStoredMessage("machine_prefs", StoredKind::kPreferences, Binary(cut)).state,
            StoredState::kUndecodable);
  std::vector<std::uint8_t> no_auto_detect = {0x12, 0x00};
  AppendMessageChecksum(&no_auto_detect);
  EXPECT_EQ(
      InspectStoredMessage("ProxySettings", StoredKind::kProxySettings, Binary(no_auto_detect))
          .state,
      StoredState::kUndecodable);
  EXPECT_EQ(InspectStoredMessage("ProxySettings", StoredKind::kProxySettings, Dword(1)).state,
            StoredState::kWrongType);
  EXPECT_EQ(InspectStoredMessage("ProxySettings", StoredKind::kProxySettings, RawValue()).state,
            StoredState::kAbsent);
}

TEST(StoredReport, TextReportShowsFieldsAndFlagsDamage) {
  MachineValues values;
  values.machine_prefs = Binary({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7});
  values.send_anonymous_data = Dword(1);
  values.userid = Text(u"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");
  ShowReport report = FormatShowReport(values, false);
  EXPECT_FALSE(report.damaged);
  EXPECT_NE(report.text.find("machine_prefs: checksum ok [10 01 12 24 16 E7]\n"), std::string::npos)
      << report.text;
  EXPECT_NE(report.text.find("  send_stats = true\n"), std::string::npos);
  EXPECT_NE(report.text.find("  express_updates_enabled = true (not set; default)\n"),
            std::string::npos);
  EXPECT_NE(report.text.find("ProxySettings: absent\n"), std::string::npos);
  values.proxy_settings = Binary({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4});
  report = FormatShowReport(values, false);
  EXPECT_NE(report.text.find("  http_host = \"\" (not set; default)\n"), std::string::npos);
  EXPECT_NE(report.text.find("SendAnonymousData: 1\n"), std::string::npos);
  EXPECT_NE(report.text.find("userid: \"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0\"\n"),
            std::string::npos);
  EXPECT_NE(report.text.find("tc_accpt: absent\n"), std::string::npos);

  values.proxy_settings = Binary({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB5});
  report = FormatShowReport(values, false);
  EXPECT_TRUE(report.damaged);
  EXPECT_NE(report.text.find("ProxySettings: CHECKSUM DOES NOT MATCH [08 01 73 7C 91 B5]"),
            std::string::npos);
}

TEST(StoredReport, JsonReportHasOnlyPresentFields) {
  MachineValues values;
  values.proxy_settings = Binary({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4});
  values.send_anonymous_data = Dword(0);
  const ShowReport report = FormatShowReport(values, true);
  EXPECT_FALSE(report.damaged);
  EXPECT_EQ(report.text,
            "{\"root\": \"HKLM\\\\Software\\\\Velmor\\\\Velmor Updater\", "
            "\"machine_prefs\": {\"state\": \"absent\"}, "
            "\"ProxySettings\": {\"state\": \"valid\", \"bytes\": \"08 01 73 7C 91 B4\", "
            "\"fields\": {\"auto_detect\": true}}, "
            "\"SendAnonymousData\": 0, \"userid\": null, \"offline\": null, \"no_eula\": null, "
            "\"tc_accpt\": null}\n");
}

}  // namespace
}  // namespace ci
