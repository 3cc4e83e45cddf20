#include "tools/message_fields.h"

#include <gtest/gtest.h>

#include "tools/hex.h"

namespace ci {
namespace {

ClientCommand Parse(std::vector<std::string> args) {
  ClientCommand command;
  std::string error;
  EXPECT_TRUE(ParseClientCommand(args, &command, &error)) << error;
  return command;
}

std::string Hex(const std::string& bytes) {
  return FormatHex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(MessageFields, BuildsTheWireBytesOfTheOptionsGiven) {
  EXPECT_EQ(Hex(BuildPreferencesMessage(Parse({"set-prefs", "--send-stats=true"}).fields)), "10 01");
  // Number order on the wire, whatever the order on the command line.
  EXPECT_EQ(Hex(BuildPreferencesMessage(
                Parse({"set-prefs", "--user-changed-third-party-updates-enabled=1",
                       "--notify-software-updates=0"})
                    .fields)),
            "08 00 28 01");
  EXPECT_EQ(Hex(BuildProxyMessage(Parse({"set-proxy", "--auto-detect=true"}).fields)), "08 01");
  // auto_detect is always on the wire; ports are fixed 32-bit.
  EXPECT_EQ(Hex(BuildProxyMessage(Parse({"set-proxy", "--http-port=8080"}).fields)),
            "08 00 1D 90 1F 00 00");
  EXPECT_EQ(Hex(BuildProxyMessage(Parse({"set-proxy", "--ssl-host=p.example"}).fields)),
            "08 00 22 09 70 2E 65 78 61 6D 70 6C 65");
}

TEST(MessageFields, DecodedMessagesListEveryFieldWithPresence) {
  std::vector<ShownField> fields;
  ASSERT_TRUE(DecodePreferences(std::string("\x10\x01", 2), &fields));
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_STREQ(fields[1].field_option->name, "send_stats");
  EXPECT_TRUE(fields[1].present);
  EXPECT_EQ(FieldValueText(fields[1]), "true");
  EXPECT_STREQ(fields[2].field_option->name, "express_updates_enabled");
  EXPECT_FALSE(fields[2].present);
  EXPECT_EQ(FieldValueText(fields[2]), "true");  // the message default

  const std::string proxy = BuildProxyMessage(
      Parse({"set-proxy", "--auto-detect=1", "--http-host=pr\xC3\xB8xy \"q\"", "--ssl-port=8443"})
          .fields);
  ASSERT_TRUE(DecodeProxySettings(proxy, &fields));
  ASSERT_EQ(fields.size(), 6u);
  EXPECT_EQ(FieldValueJson(fields[1]), "\"pr\xC3\xB8xy \\\"q\\\"\"");
  EXPECT_FALSE(fields[2].present);
  EXPECT_EQ(FieldValueJson(fields[2]), "80");
  EXPECT_TRUE(fields[4].present);
  EXPECT_EQ(FieldValueJson(fields[4]), "8443");
}

TEST(MessageFields, BytesThatDoNotDecodeAreReported) {
  std::vector<ShownField> fields;
  EXPECT_FALSE(DecodeProxySettings(std::string("\x12\x00", 2), &fields));  // no auto_detect
  EXPECT_FALSE(DecodePreferences(std::string("\x10", 1), &fields));         // cut short
}

}  // namespace
}  // namespace ci
