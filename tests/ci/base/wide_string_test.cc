#include "ci/base/wide_string.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

TEST(CaseMapping, AsciiFastPathTouchesOnlyLetters) {
  EXPECT_EQ(ToUpperChar(u'z'), u'Z');
  EXPECT_EQ(ToUpperChar(u'a'), u'A');
  EXPECT_EQ(ToUpperChar(u'{'), u'{');
  EXPECT_EQ(ToUpperChar(u'@'), u'@');
  EXPECT_EQ(ToUpperChar(u'`'), u'`');
  EXPECT_EQ(ToLowerChar(u'Z'), u'z');
  EXPECT_EQ(ToLowerChar(u'['), u'[');
  EXPECT_EQ(ToLowerChar(u']'), u']');
  EXPECT_EQ(ToLowerChar(u'@'), u'@');
}

TEST(CaseMapping, NonAsciiGoesThroughThePlatformMapping) {
  EXPECT_EQ(ToUpperChar(u'\u00e9'), u'\u00c9');
  EXPECT_EQ(ToLowerChar(u'\u00c9'), u'\u00e9');
  EXPECT_EQ(ToUpperChar(u'\u0436'), u'\u0416');  // Cyrillic zhe
  EXPECT_EQ(ToLowerChar(u'\u03a3'), u'\u03c3');  // Greek sigma
  EXPECT_EQ(ToUpperChar(u'\u00f7'), u'\u00f7');  // division sign has no case
  EXPECT_EQ(ToUpperChar(u'\u4e00'), u'\u4e00');
}

TEST(CaseMapping, LowerCaseInPlace) {
  WString ascii = u"Proxy.EXAMPLE.com[]";
  EXPECT_EQ(&LowerCaseInPlace(ascii), &ascii);
  EXPECT_EQ(ascii, u"proxy.example.com[]");
  WString mixed = u"\u00c9COLE Caf\u00c9";
  EXPECT_EQ(LowerCaseInPlace(mixed), u"\u00e9cole caf\u00e9");
}

TEST(CompareChars, StopsAtCountDifferenceOrEndOfFirst) {
  EXPECT_EQ(CompareChars(u"abc", u"abd", 0, false), 0);
  EXPECT_EQ(CompareChars(u"abc", u"abd", 2, false), 0);
  EXPECT_EQ(CompareChars(u"abc", u"abd", 3, false), u'c' - u'd');
  EXPECT_EQ(CompareChars(u"ABC", u"abc", 3, false), u'A' - u'a');
  EXPECT_EQ(CompareChars(u"ABC", u"abc", 3, true), 0);
  EXPECT_EQ(CompareChars(u"ab", u"ab", 10, false), 0);  // stops after the 0 of the first
  EXPECT_EQ(CompareChars(u"ab", u"abc", 10, false), -u'c');
  EXPECT_EQ(CompareChars(u"abc", u"ab", 10, false), u'c');
}

TEST(FindIgnoreCase, FindsHeaderNamesInAnyCase) {
  const WString pattern = u"Content-Type";
  EXPECT_EQ(FindIgnoreCase(u"Accept: */*\r\ncontent-type: text/plain\r\n", pattern), 13u);
  EXPECT_EQ(FindIgnoreCase(u"CONTENT-TYPE: x", pattern), 0u);
  EXPECT_EQ(FindIgnoreCase(u"Content-Length: 4", pattern), WString::npos);
  EXPECT_EQ(FindIgnoreCase(u"Content-Typ", pattern), WString::npos);
  EXPECT_EQ(FindIgnoreCase(u"abc", u""), 0u);
}

TEST(DigitValue, OnlyAsciiDigits) {
  EXPECT_EQ(DigitValue(u'0'), 0);
  EXPECT_EQ(DigitValue(u'9'), 9);
  EXPECT_EQ(DigitValue(u'a'), -1);
  EXPECT_EQ(DigitValue(u'/'), -1);
  EXPECT_EQ(DigitValue(u'\uff11'), -1);  // full-width one
}

struct DecimalCase {
  const char16_t* text;
  std::int32_t value;
  size_t end;
};

TEST(ParseDecimal, SignsSpacesClampingAndEnd) {
  const DecimalCase cases[] = {
      {u"  -42x", -42, 5},
      {u"+7", 7, 2},
      {u"99999999999", INT32_MAX, 11},
      {u"-99999999999", INT32_MIN, 12},
      {u"abc", 0, 0},
      {u"", 0, 0},
      {u"  -", 0, 0},
      {u"\t5", 0, 0},  // only spaces are skipped
      {u"2147483647", INT32_MAX, 10},
      {u"2147483648", INT32_MAX, 10},
      {u"-2147483648", INT32_MIN, 11},
      {u"-2147483649", INT32_MIN, 11},
      {u"4294967295", INT32_MAX, 10},
      {u"4294967296", INT32_MAX, 10},
      {u"0007 ", 7, 4},
  };
  for (const auto& c : cases) {
    const WChar* end = nullptr;
    EXPECT_EQ(ParseDecimal(c.text, &end), c.value) << std::u16string(c.text).size();
    EXPECT_EQ(static_cast<size_t>(end - c.text), c.end);
  }
  EXPECT_EQ(ParseDecimal(u"12"), 12);  // the end position is optional
}

}  // namespace
}  // namespace ci
