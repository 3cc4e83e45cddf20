#include "ci/prefs/multi_string.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

// Splits exactly `n` characters held in a buffer of their own, so that AddressSanitizer
// catches any read past the block.
HResult Split(const WString& block, std::vector<WString>* list, std::size_t byte_count = 0) {
  std::unique_ptr<WChar[]> exact(new WChar[block.size() ? block.size() : 1]);
  std::copy(block.begin(), block.end(), exact.get());
  return SplitMultiString(byte_count ? byte_count : block.size() * 2, exact.get(), list);
}

TEST(MultiString, TwoStringsAndAFinalZero) {
  std::vector<WString> list{u"stale"};
  EXPECT_HR_OK(Split(WString(u"a\0b\0\0", 5), &list));
  EXPECT_EQ(list, (std::vector<WString>{u"a", u"b"}));

  EXPECT_HR_OK(Split(WString(u"first\0second one\0x\0\0", 21), &list));
  EXPECT_EQ(list, (std::vector<WString>{u"first", u"second one", u"x"}));
}

TEST(MultiString, ShortOrLeadingZeroDataGivesAnEmptyList) {
  std::vector<WString> list{u"stale"};
  EXPECT_HR_OK(SplitMultiString(0, nullptr, &list));
  EXPECT_TRUE(list.empty());

  list = {u"stale"};
  EXPECT_HR_OK(Split(WString(u"\0", 1), &list));  // 2 bytes
  EXPECT_TRUE(list.empty());

  list = {u"stale"};
  EXPECT_HR_OK(Split(WString(u"a", 1), &list, 3));  // 3 bytes: one character
  EXPECT_TRUE(list.empty());

  EXPECT_HR_OK(Split(WString(u"\0\0", 2), &list));
  EXPECT_TRUE(list.empty());
  // A leading zero ends the list even when strings follow.
  EXPECT_HR_OK(Split(WString(u"\0a\0\0", 4), &list));
  EXPECT_TRUE(list.empty());
}

TEST(MultiString, MissingFinalZerosAreRefusedWithAnEmptyList) {
  std::vector<WString> list{u"stale"};
  EXPECT_HR_EQ(Split(WString(u"a\0b\0", 4), &list), kE_INVALIDARG);
  EXPECT_TRUE(list.empty());

  list = {u"stale"};
  EXPECT_HR_EQ(Split(WString(u"ab", 2), &list), kE_INVALIDARG);
  EXPECT_TRUE(list.empty());

  EXPECT_HR_EQ(Split(WString(u"a\0\0b", 4), &list), kE_INVALIDARG);
  EXPECT_HR_EQ(Split(WString(u"\0a", 2), &list), kE_INVALIDARG);
}

TEST(MultiString, OddByteCountIgnoresTheHalfCharacter) {
  std::vector<WString> list;
  // Five bytes: two whole characters (a, 0) -- the last two are not both zero.
  EXPECT_HR_EQ(Split(WString(u"a\0\0", 3), &list, 5), kE_INVALIDARG);
  // Seven bytes: a, 0, 0 and half a character.
  EXPECT_HR_OK(Split(WString(u"a\0\0\0", 4), &list, 7));
  EXPECT_EQ(list, std::vector<WString>{u"a"});
}

}  // namespace
}  // namespace ci
