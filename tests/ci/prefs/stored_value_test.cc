// Stored values: a preference message with its checksum, and multi-string data.
#include "ci/prefs/stored_value.h"

#include <gtest/gtest.h>

#include <memory>

#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tests/support/bytes.h"
#include "tests/support/hresult_checks.h"

namespace ci {
namespace {

using test::ByteList;

TEST(MessageChecksum, KnownValues) {
  EXPECT_EQ(MessageChecksum(nullptr, 0), 0xB9E50C1Du);  // the starting value
  const auto send_stats = ByteList({0x10, 0x01});
  EXPECT_EQ(MessageChecksum(send_stats.data(), send_stats.size()), 0xE7162412u);
  const auto auto_detect = ByteList({0x08, 0x01});
  EXPECT_EQ(MessageChecksum(auto_detect.data(), auto_detect.size()), 0xB4917C73u);
  const auto with_port = ByteList({0x08, 0x00, 0x1D, 0x90, 0x1F, 0x00, 0x00});
  EXPECT_EQ(MessageChecksum(with_port.data(), with_port.size()), 0x8D8AA13Bu);
  const auto check = ByteList(std::string("123456789"));
  EXPECT_EQ(MessageChecksum(check.data(), check.size()), 0x02F9D3C4u);
}

TEST(StoredValue, ChecksumFollowsTheMessageLeastSignificantByteFirst) {
  auto bytes = ByteList({0x10, 0x01});
  AppendMessageChecksum(&bytes);
  EXPECT_EQ(bytes, ByteList({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  bytes = ByteList({0x08, 0x00, 0x1D, 0x90, 0x1F, 0x00, 0x00});
  AppendMessageChecksum(&bytes);
  EXPECT_EQ(bytes, ByteList({0x08, 0x00, 0x1D, 0x90, 0x1F, 0x00, 0x00, 0x3B, 0xA1, 0x8A, 0x8D}));
}

TEST(StoredValue, SplitReturnsTheMessageOfAnIntactValue) {
  const auto stored = ByteList({0x08, 0x01, 0x73, 0x7C, 0x91, 0xB4});
  std::string message;
  ASSERT_TRUE(SplitStoredValue(stored.data(), stored.size(), &message));
  EXPECT_EQ(message, std::string("\x08\x01", 2));
  // Only the checksum of nothing: a well-formed empty message.
  const auto empty = ByteList({0x1D, 0x0C, 0xE5, 0xB9});
  message = "stale";
  ASSERT_TRUE(SplitStoredValue(empty.data(), empty.size(), &message));
  EXPECT_EQ(message, "");
}

TEST(StoredValue, SplitRefusesShortOrDamagedValues) {
  const auto stored = ByteList({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7});
  std::string message = "untouched";
  for (size_t size = 0; size < kStoredChecksumSize; ++size) {
    EXPECT_FALSE(SplitStoredValue(stored.data(), size, &message)) << size;
  }
  EXPECT_FALSE(SplitStoredValue(nullptr, 6, &message));
  // Every single-bit change, in the message or in the checksum, is detected.
  for (size_t bit = 0; bit < stored.size() * 8; ++bit) {
    auto damaged = stored;
    damaged[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(SplitStoredValue(damaged.data(), damaged.size(), &message)) << bit;
  }
  // A value cut short loses its checksum's match.
  EXPECT_FALSE(SplitStoredValue(stored.data(), stored.size() - 1, &message));
  EXPECT_EQ(message, "untouched");
}

TEST(StoredValue, ReadStoredMessageDecodesIntoAClearedMessage) {
  MachinePreferencesProto prefs;
  prefs.set_notify_software_updates(true);  // cleared before decoding
  const auto stored = ByteList({0x10, 0x01, 0x12, 0x24, 0x16, 0xE7});
  ASSERT_TRUE(ReadStoredMessage(stored.data(), stored.size(), &prefs));
  EXPECT_TRUE(prefs.has_send_stats());
  EXPECT_TRUE(prefs.send_stats());
  EXPECT_FALSE(prefs.has_notify_software_updates());

  // An intact checksum over bytes that do not decode: no auto_detect.
  auto undecodable = ByteList({0x12, 0x00});
  AppendMessageChecksum(&undecodable);
  ProxySettingsProto proxy;
  EXPECT_FALSE(ReadStoredMessage(undecodable.data(), undecodable.size(), &proxy));
  auto damaged = stored;
  damaged[0] ^= 1;
  EXPECT_FALSE(ReadStoredMessage(damaged.data(), damaged.size(), &prefs));
}

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
