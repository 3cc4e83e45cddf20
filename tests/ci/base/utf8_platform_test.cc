// The product's conversions against the platform's own UTF-8 converters.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>

#include "ci/base/utf8.h"

namespace ci {
namespace {

WString Platform(const std::string& bytes) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  WString out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), AsWin(out), n);
  }
  return out;
}

TEST(Utf8Platform, ValidTextMatchesThePlatform) {
  const std::string samples[] = {"abc", "pr\xC3\xB8xy.\xE4\xBE\x8B\xE3\x81\x88.jp",
                                 "\xF0\x9F\x98\x80 smile",
                                 "\xEF\xBB\xBF"
                                 "bom",
                                 std::string("a\0b", 3)};
  for (const auto& s : samples) {
    EXPECT_EQ(PlatformUtf8ToUtf16(s.data(), s.size()), Platform(s));
    EXPECT_EQ(PortableUtf8ToUtf16(s.data(), s.size()), Platform(s));
    const WString wide = Platform(s);
    EXPECT_EQ(PortableUtf16ToUtf8(wide.data(), wide.size()),
              PlatformUtf16ToUtf8(wide.data(), wide.size()));
  }
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF"
                       "abc",
                       6),
            u"abc");
  EXPECT_EQ(Utf8ToWide("ab\0cd", 5), u"ab");
}

TEST(Utf8Platform, InvalidInputGivesADefinedResultWithoutCrashing) {
  // The platform replaces what it cannot decode; whatever it yields, the product
  // conversion is the platform's, cut at the first zero, and never crashes.
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(1 + rng() % 12, '\0');
    for (char& c : bytes) c = static_cast<char>(0x80 | rng());
    const WString platform = Platform(bytes);
    const WString product = Utf8ToWide(bytes.data(), bytes.size());
    EXPECT_EQ(product, platform.substr(0, platform.find(u'\0'))
                           .substr(!platform.empty() && platform[0] == 0xFEFF ? 1 : 0));
  }
}

TEST(Utf8Platform, SupplementaryCharactersRoundTrip) {
  const WString text = u"\U0001F600\U00010348x\u00e9";
  const std::string utf8 = WideToUtf8(text);
  EXPECT_EQ(utf8, "\xF0\x9F\x98\x80\xF0\x90\x8D\x88x\xC3\xA9");
  EXPECT_EQ(Utf8ToWide(utf8.data(), utf8.size()), text);
}

}  // namespace
}  // namespace ci
