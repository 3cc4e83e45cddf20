// Tokens and syntax of registry scripts, including hostile input.
#include "admin_prefs/registration/registry_script_parser.h"

#include <gtest/gtest.h>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

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

}  // namespace
}  // namespace ci
