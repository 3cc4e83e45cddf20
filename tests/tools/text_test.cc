// Hex, JSON strings and result texts of the client.
#include <gtest/gtest.h>

#include "tools/hex.h"
#include "tools/hresult_text.h"
#include "tools/json_text.h"

namespace ci {
namespace {

TEST(Hex, ParsesPairsWithSeparatorsAndFormatsUpperCase) {
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ParseHex("0x10 01:12-24 16e7", &bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x10, 0x01, 0x12, 0x24, 0x16, 0xE7}));
  EXPECT_EQ(FormatHex(bytes), "10 01 12 24 16 E7");
  ASSERT_TRUE(ParseHex("", &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(FormatHex(bytes), "");
}

TEST(Hex, RejectsBadTextAndLeavesTheOutputAlone) {
  std::vector<std::uint8_t> bytes = {0xAA};
  for (const char* bad : {"1", "1 0", "zz", "10 0g", "0x", "10\n01"}) {
    EXPECT_FALSE(ParseHex(bad, &bytes)) << bad;
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{0xAA});
  }
}

TEST(JsonString, EscapesAndKeepsOutputValidUtf8) {
  EXPECT_EQ(JsonString("proxy.example"), "\"proxy.example\"");
  EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(JsonString("pr\xC3\xB8xy \xF0\x9F\x98\x80"), "\"pr\xC3\xB8xy \xF0\x9F\x98\x80\"");
  // A lone continuation byte, an overlong form, a surrogate and a cut sequence.
  EXPECT_EQ(JsonString("\x80|\xC0\xAF|\xED\xA0\x80|\xE2\x82"),
            "\"\\ufffd|\\ufffd\\ufffd|\\ufffd\\ufffd\\ufffd|\\ufffd\\ufffd\"");
}

TEST(ResultText, NamesTheResultsClientsMeet) {
  EXPECT_EQ(HResultHex(static_cast<HResult>(0x80070057u)), "0x80070057");
  EXPECT_NE(DescribeServerResult(kE_INVALIDARG).find("could not decode"), std::string::npos);
  EXPECT_NE(DescribeServerResult(static_cast<HResult>(0x80040154u)).find("/RegServer"),
            std::string::npos);
  EXPECT_NE(DescribeServerResult(static_cast<HResult>(0x8042003Du)).find("administrator"),
            std::string::npos);
  EXPECT_EQ(DescribeServerResult(static_cast<HResult>(0x8000FFFFu)), "");
}

}  // namespace
}  // namespace ci
