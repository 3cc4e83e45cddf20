#include "ci/base/utf8.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

std::string Bytes(std::initializer_list<unsigned> list) {
  std::string s;
  for (unsigned b : list) s.push_back(static_cast<char>(b));
  return s;
}

TEST(Utf8ToWide, ByteOrderMarkIsDropped) {
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF"
                       "abc",
                       6),
            u"abc");
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF"
                       "abc",
                       0),
            u"abc");
  // Only a leading mark is dropped.
  EXPECT_EQ(Utf8ToWide("a\xEF\xBB\xBF", 4), u"a\ufeff");
}

TEST(Utf8ToWide, EmptyInputsAndEmbeddedZero) {
  EXPECT_EQ(Utf8ToWide("", 0), u"");
  EXPECT_EQ(Utf8ToWide(nullptr, 0), u"");
  EXPECT_EQ(Utf8ToWide("ab\0cd", 5), u"ab");
  EXPECT_EQ(Utf8ToWide("ab\0cd", 0), u"ab");
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF", 3), u"");
}

TEST(Utf8ToWide, NonAsciiAndSupplementaryCharacters) {
  EXPECT_EQ(Utf8ToWide("pr\xC3\xB8xy.\xE4\xBE\x8B\xE3\x81\x88.jp", 0),
            u"pr\u00f8xy.\u4f8b\u3048.jp");
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80", 4), u"\U0001F600");
}

TEST(Utf8ToWide, InvalidSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(PortableUtf8ToUtf16("\x80", 1), u"\ufffd");
  EXPECT_EQ(PortableUtf8ToUtf16("a\xC3", 2), u"a\ufffd");                    // truncated
  EXPECT_EQ(PortableUtf8ToUtf16("\xC0\xAF", 2), u"\ufffd\ufffd");            // overlong
  EXPECT_EQ(PortableUtf8ToUtf16("\xED\xA0\x80", 3), u"\ufffd\ufffd\ufffd");  // surrogate
  EXPECT_EQ(PortableUtf8ToUtf16("\xF4\x90\x80\x80", 4), u"\ufffd\ufffd\ufffd\ufffd");
  EXPECT_EQ(PortableUtf8ToUtf16("\xE4\xBEx", 3), u"\ufffdx");  // maximal subpart
  EXPECT_EQ(PortableUtf8ToUtf16("\xFF", 1), u"\ufffd");
}

TEST(WideToUtf8, AsciiIsNarrowedOthersAreEncoded) {
  EXPECT_EQ(WideToUtf8(u"abc"), "abc");
  EXPECT_EQ(WideToUtf8(u"\u00e9"), Bytes({0xC3, 0xA9}));
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), Bytes({0xF0, 0x9F, 0x98, 0x80}));
  EXPECT_EQ(WideToUtf8(u""), "");
  EXPECT_EQ(WideToUtf8(WString(u"a\0b", 3)), "a");
  EXPECT_EQ(WideToUtf8(WString(u"\u00e9\0b", 3)), Bytes({0xC3, 0xA9}));
}

TEST(WideToUtf8, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(PortableUtf16ToUtf8(u"\xD800", 1), Bytes({0xEF, 0xBF, 0xBD}));
  EXPECT_EQ(PortableUtf16ToUtf8(u"\xDC00x", 2), Bytes({0xEF, 0xBF, 0xBD, 'x'}));
}

TEST(Utf8RoundTrip, EveryScalarValueSurvives) {
  WString all;
  for (char32_t cp = 1; cp <= 0x10FFFF; cp += (cp < 0x800 ? 1 : 97)) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp >= 0x10000) {
      all.push_back(static_cast<WChar>(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(static_cast<WChar>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      all.push_back(static_cast<WChar>(cp));
    }
  }
  const std::string utf8 = WideToUtf8(all);
  EXPECT_EQ(Utf8ToWide(utf8.data(), utf8.size()), all);
}

}  // namespace
}  // namespace ci
