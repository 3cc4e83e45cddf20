// Bounded formatting with the platform's wvsprintfW rules.
#include "ci/base/wide_string.h"

#include <gtest/gtest.h>

namespace ci {
namespace {

TEST(Format, FormatsWithPlatformRules) {
  WString out = u"old";
  ASSERT_TRUE(Format(&out, L"%s-%u-%d-%08x", L"dump", 42u, -7, 0xBEEFu));
  EXPECT_EQ(out, u"dump-42--7-0000beef");
  ASSERT_TRUE(Format(&out, L""));
  EXPECT_EQ(out, u"");
}

TEST(Format, LongestTextFitsAndLongerFails) {
  const std::wstring fits(kMaxFormattedChars - 2, L'x');
  WString out;
  ASSERT_TRUE(Format(&out, L"%s", fits.c_str()));
  EXPECT_EQ(out.size(), fits.size());

  const std::wstring too_long(5000, L'y');
  out = u"unchanged?";
  EXPECT_FALSE(Format(&out, L"%s", too_long.c_str()));
  EXPECT_TRUE(out.empty());
  const std::wstring boundary(kMaxFormattedChars - 1, L'z');
  EXPECT_FALSE(Format(&out, L"%s", boundary.c_str()));
}

}  // namespace
}  // namespace ci
