// The registry-script language: %name% replacement, tokens and syntax (hostile
// input included), and the registration and unregistration walks against an
// in-memory registry.
#include "admin_prefs/registration/registry_script.h"

#include <gtest/gtest.h>

#include "tests/admin_prefs/registration/fake_script_registry.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// --- Replacements ---

ReplacementMap SampleMap() {
  ReplacementMap map;
  map.Add(u"CLSID", u"{AF2A86CC-90BE-453F-95FD-140F8CCFE558}");
  map.Add(u"Module", u"\"C:\\a b\\x.exe\"");
  map.Add(u"PERCENT", u"100%");
  map.Add(u"clsid", u"shadowed");
  return map;
}

TEST(ExpandReplacements, NamesAnyCaseDoubledPercentAndUntouchedValues) {
  WString out;
  ASSERT_HR_OK(
      ExpandReplacements(u"a %clsid% b %MODULE%%module% 50%% %Percent%", SampleMap(), &out));
  // The first pair of a name wins; a value is not expanded again.
  EXPECT_EQ(out,
            u"a {AF2A86CC-90BE-453F-95FD-140F8CCFE558} b \"C:\\a b\\x.exe\"\"C:\\a b\\x.exe\" "
            u"50% 100%");
  ASSERT_HR_OK(ExpandReplacements(u"", SampleMap(), &out));
  EXPECT_EQ(out, u"");
  ASSERT_HR_OK(ExpandReplacements(u"%%%%", SampleMap(), &out));
  EXPECT_EQ(out, u"%%");
}

TEST(ExpandReplacements, UnknownOrUnterminatedNamesFail) {
  WString out = u"kept";
  EXPECT_HR_EQ(ExpandReplacements(u"x %NOPE% y", SampleMap(), &out), kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(ExpandReplacements(u"x %CLSID", SampleMap(), &out), kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(ExpandReplacements(u"%CLSID% %", SampleMap(), &out), kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(ExpandReplacements(u"% CLSID%", SampleMap(), &out), kDISP_E_EXCEPTION);
  EXPECT_EQ(out, u"kept");  // a failure leaves the output alone
}

TEST(ExpandReplacements, NamesOf32CharactersOrMoreFailWithEFail) {
  ReplacementMap map;
  const WString name31(31, u'N');
  map.Add(name31, u"v");
  map.Add(name31 + u"N", u"w");
  WString out;
  EXPECT_HR_OK(ExpandReplacements(u"%" + name31 + u"%", map, &out));
  EXPECT_EQ(out, u"v");
  EXPECT_HR_EQ(ExpandReplacements(u"%" + name31 + u"N%", map, &out), kE_FAIL);
  EXPECT_HR_EQ(ExpandReplacements(u"%" + WString(5000, u'x') + u"%", map, &out), kE_FAIL);
}

TEST(ExpandReplacements, OversizedResultIsOutOfMemory) {
  ReplacementMap map;
  map.Add(u"BIG", WString(1000, u'b'));
  WString out;
  EXPECT_HR_OK(ExpandReplacements(u"%BIG%%BIG%", map, &out, 2000));
  EXPECT_EQ(out.size(), 2000u);
  EXPECT_HR_EQ(ExpandReplacements(u"%BIG%%BIG%x", map, &out, 2000), kE_OUTOFMEMORY);
  EXPECT_HR_EQ(ExpandReplacements(u"%BIG%%BIG%%%", map, &out, 2000), kE_OUTOFMEMORY);
  // The default bound stops a script that multiplies a large value.
  map.Add(u"HUGE", WString(std::size_t{1} << 16, u'h'));
  WString text;
  for (int i = 0; i < 80; ++i) text += u"%HUGE%";
  EXPECT_HR_EQ(ExpandReplacements(text, map, &out), kE_OUTOFMEMORY);
}

// --- Tokens and syntax ---

std::vector<WString> Texts(const std::vector<ScriptToken>& tokens) {
  std::vector<WString> texts;
  for (const ScriptToken& token : tokens) texts.push_back(token.text);
  return texts;
}

TEST(TokenizeScript, SeparatorsAndQuotedTokens) {
  std::vector<ScriptToken> tokens;
  ASSERT_HR_OK(TokenizeScript(u" HKLM\r\n{\tval\t'It''s a ''x''' = s '' ''''}\n", &tokens));
  EXPECT_EQ(Texts(tokens), (std::vector<WString>{u"HKLM", u"{", u"val", u"It's a 'x'", u"=", u"s",
                                                 u"", u"'", u"}"}));
  EXPECT_FALSE(tokens[0].quoted);
  EXPECT_TRUE(tokens[3].quoted);
  EXPECT_TRUE(tokens[6].quoted);
  ASSERT_HR_OK(TokenizeScript(u" \r\n\t ", &tokens));
  EXPECT_TRUE(tokens.empty());
}

TEST(TokenizeScript, UnterminatedQuoteFails) {
  std::vector<ScriptToken> tokens;
  EXPECT_HR_EQ(TokenizeScript(u"HKLM { 'abc }", &tokens), kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(TokenizeScript(u"'abc''", &tokens), kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(TokenizeScript(u"'", &tokens), kDISP_E_EXCEPTION);
}

TEST(TokenizeScript, TokensBeyondTheBufferFail) {
  std::vector<ScriptToken> tokens;
  const WString longest(kMaxScriptTokenLength, u'k');
  ASSERT_HR_OK(TokenizeScript(longest + u" '" + longest + u"'", &tokens));
  EXPECT_EQ(tokens[1].text.size(), kMaxScriptTokenLength);
  EXPECT_HR_EQ(TokenizeScript(longest + u"k", &tokens), kDISP_E_EXCEPTION);
  EXPECT_HR_EQ(TokenizeScript(u"'" + longest + u"k'", &tokens), kDISP_E_EXCEPTION);
  // Doubled quotes count once: 4095 quote characters written as 8190 fit.
  ASSERT_HR_OK(TokenizeScript(u"'" + WString(2 * kMaxScriptTokenLength, u'\'') + u"'", &tokens));
  EXPECT_EQ(tokens[0].text, WString(kMaxScriptTokenLength, u'\''));
}

constexpr char16_t kSample[] =
    u"HKLM {\n"
    u"  NoRemove SOFTWARE {\n"
    u"    noremove Classes {\n"
    u"      'Prog.Id.1' = s 'Class description' { CLSID = s '{GUID}' }\n"
    u"      FORCEREMOVE '{GUID}' = S 'desc' {\n"
    u"        val AppID = s '{APP}'\n"
    u"        VAL 'Odd name' = D '1'\n"
    u"        'val' { }\n"
    u"        Elevation { val Enabled = d '1' }\n"
    u"      }\n"
    u"    }\n"
    u"  }\n"
    u"}\n"
    u"hkey_current_user { Plain }";

TEST(ParseScript, BuildsTheTree) {
  ParsedScript script;
  ASSERT_HR_OK(ParseScript(kSample, &script));
  ASSERT_EQ(script.roots.size(), 2u);
  EXPECT_EQ(script.roots[0].root, ScriptRoot::kLocalMachine);
  EXPECT_EQ(script.roots[1].root, ScriptRoot::kCurrentUser);
  ASSERT_EQ(script.roots[1].keys.size(), 1u);
  EXPECT_EQ(script.roots[1].keys[0].name, u"Plain");
  EXPECT_FALSE(script.roots[1].keys[0].has_default);

  const ScriptKey& software = script.roots[0].keys.at(0);
  EXPECT_EQ(software.mode, ScriptKeyMode::kNoRemove);
  const ScriptKey& classes = software.keys.at(0);
  EXPECT_EQ(classes.name, u"Classes");
  EXPECT_EQ(classes.mode, ScriptKeyMode::kNoRemove);
  ASSERT_EQ(classes.keys.size(), 2u);

  const ScriptKey& prog_id = classes.keys[0];
  EXPECT_EQ(prog_id.name, u"Prog.Id.1");
  EXPECT_EQ(prog_id.mode, ScriptKeyMode::kNormal);
  ASSERT_TRUE(prog_id.has_default);
  EXPECT_EQ(prog_id.default_value.data, u"Class description");
  ASSERT_EQ(prog_id.keys.size(), 1u);
  EXPECT_EQ(prog_id.keys[0].default_value.data, u"{GUID}");

  const ScriptKey& clsid = classes.keys[1];
  EXPECT_EQ(clsid.mode, ScriptKeyMode::kForceRemove);
  EXPECT_EQ(clsid.default_value.type, ScriptValueType::kString);
  ASSERT_EQ(clsid.values.size(), 2u);
  EXPECT_EQ(clsid.values[0].name, u"AppID");
  EXPECT_EQ(clsid.values[0].data, u"{APP}");
  EXPECT_EQ(clsid.values[1].name, u"Odd name");
  EXPECT_EQ(clsid.values[1].type, ScriptValueType::kDword);
  EXPECT_EQ(clsid.values[1].data, u"1");
  ASSERT_EQ(clsid.keys.size(), 2u);
  EXPECT_EQ(clsid.keys[0].name, u"val");  // quoted: a key name, not the keyword
  EXPECT_EQ(clsid.keys[1].values.at(0).name, u"Enabled");
}

TEST(ParseScript, EmptyScriptAndEveryRootName) {
  ParsedScript script;
  ASSERT_HR_OK(ParseScript(u"  \n", &script));
  EXPECT_TRUE(script.roots.empty());
  ASSERT_HR_OK(
      ParseScript(u"HKCR { } HKEY_CLASSES_ROOT { } HKU { } HKEY_USERS { } HKCU { } "
                  u"HKEY_LOCAL_MACHINE { }",
                  &script));
  ASSERT_EQ(script.roots.size(), 6u);
  EXPECT_EQ(script.roots[1].root, ScriptRoot::kClassesRoot);
  EXPECT_EQ(script.roots[3].root, ScriptRoot::kUsers);
  EXPECT_EQ(script.roots[5].root, ScriptRoot::kLocalMachine);
}

TEST(ParseScript, MalformedScriptsFail) {
  const char16_t* const kBad[] = {
      u"HKXX { A }",                    // unknown root
      u"'HKLM' { A }",                  // a quoted root name is not a root
      u"HKLM",                          // root without its block
      u"HKLM A { }",                    // root followed by a key, not a block
      u"HKLM { A { val B s 'x' } }",    // val without "="
      u"HKLM { A { val B = } }",        // type missing
      u"HKLM { A { val B = x 'y' } }",  // unknown type
      u"HKLM { A { val B = s",          // ends where the data is expected
      u"HKLM { A\\B }",                 // key name with a backslash
      u"HKLM { 'A\\B' = s 'x' }",       // the same, quoted
      u"HKLM { A { B }",                // missing closing brace
      u"HKLM { A = s 'x' { }",          // missing closing brace after a default
      u"HKLM { NoRemove }",             // modifier without a key
      u"HKLM { A { = s 'x' } }",        // "=" where a key name is expected
      u"HKLM { val A = s 'x' }",        // values belong to keys, not to the root
      u"HKLM { '' }",                   // empty key name
      u"HKLM { A } }",                  // stray closing brace
      u"HKLM { A 'unterminated }",
  };
  for (const char16_t* text : kBad) {
    ParsedScript script;
    EXPECT_HR_EQ(ParseScript(text, &script), kDISP_E_EXCEPTION)
        << testing::PrintToString(WString(text));
  }
}

WString Nested(int blocks) {
  WString text = u"HKLM {";
  for (int i = 1; i < blocks; ++i) text += u" K {";
  for (int i = 0; i < blocks; ++i) text += u" }";
  return text;
}

TEST(ParseScript, NestingIsBounded) {
  ParsedScript script;
  EXPECT_HR_OK(ParseScript(Nested(kMaxScriptDepth), &script));
  EXPECT_HR_EQ(ParseScript(Nested(kMaxScriptDepth + 1), &script), kDISP_E_EXCEPTION);
  // A hostile script far deeper than any stack could follow is refused, not followed.
  WString deep = u"HKLM {";
  for (int i = 0; i < 200000; ++i) deep += u" K {";
  EXPECT_HR_EQ(ParseScript(deep, &script), kDISP_E_EXCEPTION);
}

// --- The walks ---

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

}  // namespace
}  // namespace ci
