// The registrar on the real registry (under a key of this test's own in
// HKCU\Software) and script resources.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "admin_prefs/registration/registrar_win.h"
#include "ci/base/paths.h"
#include "tests/support/hresult_checks.h"
#include "tests/support/processes_win.h"
#include "tests/support/registry_win.h"

namespace ci {
namespace {

using test::KeyExists;
using test::ReadString;
using testing::UnorderedElementsAre;

class RegistrarWinTest : public testing::Test {
 protected:
  void SetUp() override {
    name_ = u"VelmorRegistrarTest-" + FromWin(std::to_wstring(::GetCurrentProcessId()).c_str());
    base_ = u"Software\\" + name_;
    registrar_.AddReplacement(u"TESTKEY", name_);
    test::DeleteTree(HKEY_CURRENT_USER, base_);
  }
  void TearDown() override {
    test::DeleteTree(HKEY_CURRENT_USER, base_);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base_));
  }

  HResult Run(const WString& body, ScriptAction action) {
    WindowsScriptRegistry registry;
    return registrar_.RunScript(
        u"HKCU { NoRemove Software { NoRemove '%TESTKEY%' { " + body + u" } } }", action, registry);
  }

  WString name_, base_;
  Registrar registrar_;
};

constexpr char16_t kBody[] =
    u"'It''s a key' = s 'default text' {\n"
    u"  val Text = s 'C:\\a b\\x.exe'\n"
    u"  val Number = d '4294967295'\n"
    u"  val Small = d '7'\n"
    u"  NoRemove Kept { val Gone = s 'x' }\n"
    u"  ForceRemove Rebuilt { Inner = s 'i' }\n"
    u"}";

TEST_F(RegistrarWinTest, RegistersKeysAndTypedValues) {
  ASSERT_HR_OK(Run(kBody, ScriptAction::kRegister));
  const WString key = base_ + u"\\It's a key";
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key, u""), u"default text");
  test::RawValue value;
  ASSERT_TRUE(test::ReadRaw(HKEY_CURRENT_USER, key, u"Text", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.bytes.size(),
            (WString(u"C:\\a b\\x.exe").size() + 1) * 2);  // terminator included
  ASSERT_TRUE(test::ReadRaw(HKEY_CURRENT_USER, key, u"Number", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value.bytes, (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFF}));
  ASSERT_TRUE(test::ReadRaw(HKEY_CURRENT_USER, key, u"Small", &value));
  EXPECT_EQ(value.bytes, (std::vector<BYTE>{7, 0, 0, 0}));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key + u"\\Rebuilt\\Inner", u""), u"i");
}

TEST_F(RegistrarWinTest, ForceRemoveDeletesAWholeSubtree) {
  const WString rebuilt = base_ + u"\\It's a key\\Rebuilt";
  WString deep = rebuilt;
  for (int i = 0; i < 6; ++i) {
    deep += u"\\Level";
    test::SetString(HKEY_CURRENT_USER, deep, u"v", u"old");
    test::SetString(HKEY_CURRENT_USER, deep + u" sibling", u"", u"old");
  }
  test::SetString(HKEY_CURRENT_USER, rebuilt, u"Stale", u"old");
  ASSERT_HR_OK(Run(kBody, ScriptAction::kRegister));
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, rebuilt), UnorderedElementsAre(u"Inner"));
  EXPECT_THAT(test::ValueNames(HKEY_CURRENT_USER, rebuilt), testing::IsEmpty());
}

TEST_F(RegistrarWinTest, UnregisterKeepsNoRemoveAndKeysWithForeignSubKeys) {
  ASSERT_HR_OK(Run(kBody, ScriptAction::kRegister));
  const WString key = base_ + u"\\It's a key";
  test::SetString(HKEY_CURRENT_USER, key + u"\\Rebuilt\\Foreign", u"", u"f");
  ASSERT_HR_OK(Run(kBody, ScriptAction::kUnregister));
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, key), UnorderedElementsAre(u"Kept", u"Rebuilt"));
  EXPECT_THAT(test::ValueNames(HKEY_CURRENT_USER, key), UnorderedElementsAre(u""));
  EXPECT_THAT(test::ValueNames(HKEY_CURRENT_USER, key + u"\\Kept"), testing::IsEmpty());
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, key + u"\\Rebuilt"),
              UnorderedElementsAre(u"Foreign"));

  test::DeleteTree(HKEY_CURRENT_USER, key + u"\\Rebuilt\\Foreign");
  test::DeleteTree(HKEY_CURRENT_USER, key + u"\\Kept");
  ASSERT_HR_OK(Run(kBody, ScriptAction::kUnregister));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base_));     // NoRemove
  EXPECT_HR_OK(Run(kBody, ScriptAction::kUnregister));  // nothing left is fine
}

TEST_F(RegistrarWinTest, BadNumberFailsAndTheBlockIsRolledBack) {
  EXPECT_HR_EQ(Run(u"First = s '1' Second { val Count = d 'many' } Third", ScriptAction::kRegister),
               kDISP_E_TYPEMISMATCH);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base_));
  EXPECT_THAT(test::SubKeyNames(HKEY_CURRENT_USER, base_), testing::IsEmpty());
}

TEST_F(RegistrarWinTest, ScriptResourceEndsAtItsFirstZeroByte) {
  const WString self = GetModulePath(nullptr);
  WString text;
  ASSERT_HR_OK(LoadScriptResource(self, 301, &text));
  EXPECT_EQ(text, u"HKCU { NoRemove Software { NoRemove '%TESTKEY%' { Loaded = s 'yes' } } }");
  ASSERT_HR_OK(RunScriptResource(registrar_, self, 301, ScriptAction::kRegister));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, base_ + u"\\Loaded", u""), u"yes");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Not"));
}

TEST_F(RegistrarWinTest, MissingResourceOrModuleGivesThePlatformError) {
  WString text = u"kept";
  EXPECT_HR_EQ(LoadScriptResource(GetModulePath(nullptr), 399, &text),
               HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_TRUE(
      Failed(LoadScriptResource(test::TestDirectory() + u"\\no such module.dll", 301, &text)));
  EXPECT_EQ(text, u"kept");
}

}  // namespace
}  // namespace ci
