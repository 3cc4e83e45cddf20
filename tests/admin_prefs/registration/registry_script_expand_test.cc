// Replacement of %name% references in registry scripts.
#include "admin_prefs/registration/registry_script_expand.h"

#include <gtest/gtest.h>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

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

}  // namespace
}  // namespace ci
