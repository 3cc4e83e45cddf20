// Registration and unregistration walks of registry scripts, against an
// in-memory registry.
#include "admin_prefs/registration/registry_script_walk.h"

#include <gtest/gtest.h>

#include "admin_prefs/registration/registrar.h"
#include "tests/admin_prefs/registration/fake_script_registry.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

constexpr ScriptRoot kLm = ScriptRoot::kLocalMachine;

// The shape of the product's class script.
constexpr char16_t kClassLike[] =
    u"HKLM { NoRemove SOFTWARE { NoRemove Classes {\n"
    u"  'Prog.1' = s 'Desc' { CLSID = s '{C}' }\n"
    u"  NoRemove CLSID {\n"
    u"    ForceRemove '{C}' = s 'Desc' {\n"
    u"      val AppID = s '{A}'\n"
    u"      LocalServer32 = s '\"C:\\x y\\s.exe\"'\n"
    u"      Elevation { val Enabled = d '1' val IconReference = s '@C:\\x y\\s.exe,-3000' }\n"
    u"    }\n"
    u"  }\n"
    u"} } }";

const WString kClassKey = u"SOFTWARE\\Classes\\CLSID\\{C}";

ParsedScript Parse(const WString& text) {
  ParsedScript script;
  EXPECT_HR_OK(ParseScript(text, &script));
  return script;
}

TEST(RegisterScript, WritesEveryKeyAndValue) {
  FakeScriptRegistry registry;
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  EXPECT_EQ(*registry.Value(kLm, u"SOFTWARE\\Classes\\Prog.1", u""), u"Desc");
  EXPECT_EQ(*registry.Value(kLm, u"SOFTWARE\\Classes\\Prog.1\\CLSID", u""), u"{C}");
  EXPECT_EQ(*registry.Value(kLm, kClassKey, u""), u"Desc");
  EXPECT_EQ(*registry.Value(kLm, kClassKey, u"AppID"), u"{A}");
  EXPECT_EQ(*registry.Value(kLm, kClassKey + u"\\LocalServer32", u""), u"\"C:\\x y\\s.exe\"");
  EXPECT_EQ(*registry.Value(kLm, kClassKey + u"\\Elevation", u"Enabled"), u"dword:1");
  EXPECT_EQ(*registry.Value(kLm, kClassKey + u"\\Elevation", u"IconReference"),
            u"@C:\\x y\\s.exe,-3000");
  EXPECT_EQ(registry.keys.size(), 8u);
}

TEST(RegisterScript, ForceRemoveRebuildsTheKeyAndValuesAreOverwritten) {
  FakeScriptRegistry registry;
  registry.Put(kLm, kClassKey + u"\\Stale\\Deeper", u"x", u"1");
  registry.Put(kLm, kClassKey, u"Stale", u"old");
  registry.Put(kLm, u"SOFTWARE\\Classes\\Prog.1", u"", u"old description");
  registry.Put(kLm, u"SOFTWARE\\Classes\\Prog.1", u"Foreign", u"kept");
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  EXPECT_FALSE(registry.Has(kLm, kClassKey + u"\\Stale"));
  EXPECT_EQ(registry.Value(kLm, kClassKey, u"Stale"), nullptr);
  EXPECT_EQ(*registry.Value(kLm, u"SOFTWARE\\Classes\\Prog.1", u""), u"Desc");
  // Only a ForceRemove key is rebuilt; others keep what the script does not name.
  EXPECT_EQ(*registry.Value(kLm, u"SOFTWARE\\Classes\\Prog.1", u"Foreign"), u"kept");
  EXPECT_EQ(registry.keys.size(), 8u);
}

TEST(UnregisterScript, RemovesAllButNoRemoveKeys) {
  FakeScriptRegistry registry;
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  ASSERT_HR_OK(UnregisterScript(Parse(kClassLike), registry));
  EXPECT_TRUE(registry.Has(kLm, u"SOFTWARE"));
  EXPECT_TRUE(registry.Has(kLm, u"SOFTWARE\\Classes"));
  EXPECT_TRUE(registry.Has(kLm, u"SOFTWARE\\Classes\\CLSID"));
  EXPECT_EQ(registry.keys.size(), 3u);
  // Nothing left to remove: a second run is a quiet success.
  EXPECT_HR_OK(UnregisterScript(Parse(kClassLike), registry));
}

TEST(UnregisterScript, KeyWithForeignSubKeyStaysButLosesWhatTheScriptNames) {
  FakeScriptRegistry registry;
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  registry.Put(kLm, kClassKey + u"\\Foreign", u"v", u"1");
  ASSERT_HR_OK(UnregisterScript(Parse(kClassLike), registry));
  ASSERT_TRUE(registry.Has(kLm, kClassKey));
  EXPECT_TRUE(registry.Has(kLm, kClassKey + u"\\Foreign"));
  EXPECT_FALSE(registry.Has(kLm, kClassKey + u"\\LocalServer32"));
  EXPECT_FALSE(registry.Has(kLm, kClassKey + u"\\Elevation"));
  EXPECT_EQ(registry.Value(kLm, kClassKey, u"AppID"), nullptr);
  EXPECT_FALSE(registry.Has(kLm, u"SOFTWARE\\Classes\\Prog.1"));
}

TEST(UnregisterScript, KeyThatCannotBeOpenedIsSkippedWithItsBlock) {
  FakeScriptRegistry registry;
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  registry.fail_open.insert(FakeScriptRegistry::Id(kLm, kClassKey));
  ASSERT_HR_OK(UnregisterScript(Parse(kClassLike), registry));
  EXPECT_TRUE(registry.Has(kLm, kClassKey + u"\\Elevation"));
  EXPECT_EQ(*registry.Value(kLm, kClassKey, u"AppID"), u"{A}");
  EXPECT_FALSE(registry.Has(kLm, u"SOFTWARE\\Classes\\Prog.1"));
}

TEST(UnregisterScript, StopsAtTheFirstFailure) {
  FakeScriptRegistry registry;
  ASSERT_HR_OK(RegisterScript(Parse(kClassLike), registry));
  registry.fail_delete.insert(FakeScriptRegistry::Id(kLm, u"SOFTWARE\\Classes\\Prog.1\\CLSID"));
  EXPECT_HR_EQ(UnregisterScript(Parse(kClassLike), registry), kE_ACCESSDENIED);
  EXPECT_TRUE(registry.Has(kLm, kClassKey));  // later keys were not reached
}

TEST(RegisterScript, FailedRootBlockIsRolledBackEarlierBlocksStay) {
  FakeScriptRegistry registry;
  registry.fail_set_value.insert(u"Broken");
  const WString text =
      u"HKCU { First = s 'one' }\n"
      u"HKLM { NoRemove Base { A = s 'a' { Inner } B { val Broken = s 'x' } C } }";
  EXPECT_HR_EQ(RegisterScript(Parse(text), registry), kE_ACCESSDENIED);
  EXPECT_TRUE(registry.Has(ScriptRoot::kCurrentUser, u"First"));
  EXPECT_TRUE(registry.Has(kLm, u"Base"));  // NoRemove
  EXPECT_FALSE(registry.Has(kLm, u"Base\\A"));
  EXPECT_FALSE(registry.Has(kLm, u"Base\\B"));
  EXPECT_FALSE(registry.Has(kLm, u"Base\\C"));
}

TEST(RegisterScript, CreateFailureIsReturnedAndRolledBack) {
  FakeScriptRegistry registry;
  registry.fail_create.insert(FakeScriptRegistry::Id(kLm, kClassKey + u"\\Elevation"));
  EXPECT_HR_EQ(RegisterScript(Parse(kClassLike), registry), kE_ACCESSDENIED);
  EXPECT_EQ(registry.keys.size(), 3u);  // only the NoRemove keys remain
}

TEST(Registrar, ExpandsParsesAndRunsOrWritesNothing) {
  Registrar registrar;
  registrar.AddReplacement(u"CLSID", u"{C}");
  registrar.AddReplacement(u"Module", u"\"C:\\it''s\\s.exe\"");
  FakeScriptRegistry registry;
  ASSERT_HR_OK(registrar.RunScript(u"HKLM { '%CLSID%' { LocalServer32 = s '%MODULE%' } }",
                                   ScriptAction::kRegister, registry));
  EXPECT_EQ(*registry.Value(kLm, u"{C}\\LocalServer32", u""), u"\"C:\\it's\\s.exe\"");
  ASSERT_HR_OK(registrar.RunScript(u"HKLM { '%CLSID%' { LocalServer32 } }",
                                   ScriptAction::kUnregister, registry));
  EXPECT_TRUE(registry.keys.empty());
  const int writes = registry.write_count;

  // A script that does not expand or parse writes nothing, even in its valid part.
  EXPECT_HR_EQ(
      registrar.RunScript(u"HKLM { A } HKLM { %NOPE% }", ScriptAction::kRegister, registry),
      kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(registrar.RunScript(u"HKLM { A } HKLM { B", ScriptAction::kRegister, registry),
               kDISP_E_EXCEPTION);
  EXPECT_EQ(registry.write_count, writes);
}

}  // namespace
}  // namespace ci
