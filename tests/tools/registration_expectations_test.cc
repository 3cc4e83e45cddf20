// What doctor expects of the registration: the server's own scripts, expanded
// with the registration's replacement pairs, as entries; and how an entry that
// differs is named.
#include "tools/registration_expectations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "admin_prefs/registration/registration.h"
#include "ci/base/utf8.h"
#include "tests/tools/observed_entries.h"
#include "tools/doctor_checks.h"

namespace ci {
namespace {

constexpr char16_t kServer[] = u"C:\\Velmor's Updater\\VelmorUpdaterAdminPrefs.exe";
constexpr char16_t kResources[] = u"C:\\Velmor's Updater\\2.4\\cires.dll";
constexpr char16_t kClassKey[] =
    u"SOFTWARE\\Classes\\CLSID\\{AF2A86CC-90BE-453F-95FD-140F8CCFE558}";

// A script of the server's source folder, widened (it is ASCII).
WString ScriptText(const char* name) {
  std::ifstream file(std::string(VU_SOURCE_DIR) + "/admin_prefs/" + name);
  std::stringstream text;
  text << file.rdbuf();
  const std::string bytes = text.str();
  return WString(bytes.begin(), bytes.end());
}

std::vector<ExpectedEntry> Expected(const char* script, const Registrar& registrar) {
  ParsedScript parsed;
  EXPECT_EQ(registrar.Parse(ScriptText(script), &parsed), kS_OK) << script;
  return ExpectedEntries(parsed);
}

const ExpectedEntry* Find(const std::vector<ExpectedEntry>& entries, const WString& key,
                          const WString& value_name, bool is_value = true) {
  for (const ExpectedEntry& entry : entries) {
    if (entry.key == key && entry.is_value == is_value && entry.value_name == value_name) {
      return &entry;
    }
  }
  return nullptr;
}

TEST(RegistrationExpectationsTest, TheClassScriptGivesEveryKeyAndValueItWrites) {
  const std::vector<ExpectedEntry> entries =
      Expected("class_script.rgs", ScriptRegistrar(ClassReplacements(kResources), kServer));
  const WString key = kClassKey;
  struct Want {
    WString key;
    const char16_t* value_name;
    ScriptValueType type;
    WString data;
    ClassPart part;
  };
  const Want wants[] = {
      {key, u"", ScriptValueType::kString, u"AdminPrefsManagerCtl Class", ClassPart::kClass},
      {key, u"AppID", ScriptValueType::kString, u"{D286CF35-0D59-44A3-8579-6BCEC4E291C7}",
       ClassPart::kClass},
      {key, u"LocalizedString", ScriptValueType::kString, u"@" + WString(kResources) + u",-5323",
       ClassPart::kResourceModule},
      {key + u"\\LocalServer32", u"", ScriptValueType::kString, u"\"" + WString(kServer) + u"\"",
       ClassPart::kLocalServer},
      {key + u"\\Elevation", u"Enabled", ScriptValueType::kDword, u"1", ClassPart::kElevation},
      {key + u"\\Elevation", u"IconReference", ScriptValueType::kString,
       u"@" + WString(kServer) + u",-3000", ClassPart::kElevation},
      {key + u"\\TypeLib", u"", ScriptValueType::kString, u"{347D20CF-2DD9-4789-AB9B-489066C3DF94}",
       ClassPart::kClass},
      {u"SOFTWARE\\Classes\\AdminPrefsManager.AdminPrefsManagerCtl\\CurVer", u"",
       ScriptValueType::kString, u"AdminPrefsManager.AdminPrefsManagerCtl.1", ClassPart::kProgId},
      {u"SOFTWARE\\Classes\\AdminPrefsManager.AdminPrefsManagerCtl.1\\CLSID", u"",
       ScriptValueType::kString, u"{AF2A86CC-90BE-453F-95FD-140F8CCFE558}", ClassPart::kProgId},
  };
  for (const Want& want : wants) {
    const ExpectedEntry* entry = Find(entries, want.key, want.value_name);
    ASSERT_NE(entry, nullptr) << WideToUtf8(want.key) << " " << WideToUtf8(want.value_name);
    EXPECT_EQ(entry->type, want.type);
    EXPECT_EQ(entry->data, want.data) << WideToUtf8(entry->data);
    EXPECT_EQ(ClassPartOf(*entry), want.part) << EntryName(*entry);
  }
  // Keys the registration never removes are nobody's to check.
  for (const char16_t* shared : {u"SOFTWARE", u"SOFTWARE\\Classes", u"SOFTWARE\\Classes\\CLSID"}) {
    EXPECT_EQ(Find(entries, shared, u"", false), nullptr) << WideToUtf8(shared);
  }
  ASSERT_NE(Find(entries, key + u"\\Elevation", u"", false), nullptr);
  EXPECT_EQ(entries.size(), 25u);  // 11 keys, 14 values
}

TEST(RegistrationExpectationsTest, TheAppIdScriptGivesItsTwoKeys) {
  const std::vector<ExpectedEntry> entries =
      Expected("appid_script.rgs", ScriptRegistrar(AppIdReplacements(), kServer));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(EntryName(entries[0]),
            "HKLM\\SOFTWARE\\Classes\\AppID\\{D286CF35-0D59-44A3-8579-6BCEC4E291C7}");
  EXPECT_EQ(entries[1].data, u"Velmor Updater Administrative Preferences Manager");
  EXPECT_EQ(EntryName(entries[3]),
            "HKLM\\SOFTWARE\\Classes\\AppID\\VelmorUpdaterAdminPrefs.exe: AppID");
}

TEST(RegistrationExpectationsTest, AMismatchSaysWhatDiffers) {
  ExpectedEntry key;
  key.key = u"SOFTWARE\\Classes\\X";
  ExpectedEntry text = key;
  text.is_value = true;
  text.data = u"{GUID}";
  ExpectedEntry number = key;
  number.is_value = true;
  number.value_name = u"Enabled";
  number.type = ScriptValueType::kDword;
  number.data = u"1";
  ObservedEntry no_key;
  ObservedEntry no_value;
  no_value.key_present = true;
  ObservedEntry binary = test::NumberEntry(1);
  binary.type = 3;
  struct Case {
    ExpectedEntry expected;
    ObservedEntry observed;
    const char* mismatch;
  };
  const Case cases[] = {
      {key, no_key, "HKLM\\SOFTWARE\\Classes\\X is missing"},
      {key, no_value, ""},
      {text, no_key, "the key of HKLM\\SOFTWARE\\Classes\\X: (default) is missing"},
      {text, no_value, "HKLM\\SOFTWARE\\Classes\\X: (default) is missing"},
      {text, test::TextEntry(u"{GUID}"), ""},
      {text, test::TextEntry(u"{OTHER}"),
       "HKLM\\SOFTWARE\\Classes\\X: (default) is \"{OTHER}\", expected \"{GUID}\""},
      {text, test::NumberEntry(1),
       "HKLM\\SOFTWARE\\Classes\\X: (default) is not a REG_SZ (type 4), expected \"{GUID}\""},
      {number, test::NumberEntry(1), ""},
      {number, test::NumberEntry(0), "HKLM\\SOFTWARE\\Classes\\X: Enabled is 0, expected 1"},
      {number, binary,
       "HKLM\\SOFTWARE\\Classes\\X: Enabled is not a REG_DWORD (type 3), expected REG_DWORD 1"},
      {number, test::TextEntry(u"1"),
       "HKLM\\SOFTWARE\\Classes\\X: Enabled is not a REG_DWORD (type 1), expected REG_DWORD 1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EntryMismatch(CheckedEntry{c.expected, c.observed}), c.mismatch);
  }
}

}  // namespace
}  // namespace ci
