// The registrar: a script runs only when all of it expands and parses.
#include "admin_prefs/registration/registrar.h"

#include <gtest/gtest.h>

#include "tests/admin_prefs/registration/fake_script_registry.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

constexpr ScriptRoot kLm = ScriptRoot::kLocalMachine;

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
