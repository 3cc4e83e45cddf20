#include "tools/field_values.h"

#include <gtest/gtest.h>

#include "net/proto/protocoltype.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tools/client_command.h"
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

const ProtocolMessage& kPrefs = MachinePreferencesProto::default_instance();
const ProtocolMessage& kProxy = ProxySettingsProto::default_instance();

TEST(FieldValues, BuildsTheWireBytesOfTheOptionsGiven) {
  EXPECT_EQ(Hex(BuildMessage(kPrefs, Parse({"set-prefs", "--send-stats=true"}).fields)), "10 01");
  // Number order on the wire, whatever the order on the command line.
  EXPECT_EQ(
      Hex(BuildMessage(kPrefs, Parse({"set-prefs", "--user-changed-third-party-updates-enabled=1",
                                      "--notify-software-updates=0"})
                                   .fields)),
      "08 00 28 01");
  EXPECT_EQ(Hex(BuildMessage(kProxy, Parse({"set-proxy", "--auto-detect=true"}).fields)), "08 01");
  // auto_detect is required, so always on the wire; ports are fixed 32-bit.
  EXPECT_EQ(Hex(BuildMessage(kProxy, Parse({"set-proxy", "--http-port=8080"}).fields)),
            "08 00 1D 90 1F 00 00");
  EXPECT_EQ(Hex(BuildMessage(kProxy, Parse({"set-proxy", "--ssl-host=p.example"}).fields)),
            "08 00 22 09 70 2E 65 78 61 6D 70 6C 65");
  EXPECT_EQ(Hex(BuildMessage(kProxy, Parse({"set-proxy", "--ssl-port=4294967295"}).fields)),
            "08 00 2D FF FF FF FF");
}

TEST(FieldValues, SettableFieldsComeFromTheTypeRecord) {
  std::vector<std::string> names;
  for (const FieldInfo* field : SettableFields(kProxy.GetType())) names.push_back(field->name);
  EXPECT_EQ(names, (std::vector<std::string>{"auto_detect", "http_host", "http_port", "ssl_host",
                                             "ssl_port", "proxy_for_all"}));
  // Groups and the fields inside them are not options; the top-level strings and
  // the double of the service descriptor are.
  names.clear();
  for (const FieldInfo* field :
       SettableFields(RPC_ServiceDescriptor::default_instance().GetType())) {
    names.push_back(field->name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"filename", "name", "failure_detection_delay"}));
}

TEST(FieldValues, ValuesOfEveryDeclaredTypeParseOrAreRefused) {
  const MessageType& service = RPC_ServiceDescriptor::default_instance().GetType();
  const MessageType& descriptor = ProtocolDescriptor::default_instance().GetType();
  const struct {
    const FieldInfo* field;
    const char* text;
    bool ok;
  } cases[] = {
      {kProxy.GetType().FieldByNumber(3), "65536", true},  // fixed32
      {kProxy.GetType().FieldByNumber(3), "-2147483648", true},
      {kProxy.GetType().FieldByNumber(3), "4294967296", false},
      {kProxy.GetType().FieldByNumber(3), "80x", false},
      {kProxy.GetType().FieldByNumber(3), "", false},
      {kProxy.GetType().FieldByNumber(1), "yes", true},  // bool
      {kProxy.GetType().FieldByNumber(1), "maybe", false},
      {service.FieldByNumber(16), "0.25", true},  // double
      {service.FieldByNumber(16), "1e400", false},
      {service.FieldByNumber(16), "nan", false},
      {descriptor.FieldByNumber(12), "-1", true},  // int32 inside a group
      {descriptor.FieldByNumber(12), "2147483648", false},
      {descriptor.FieldByNumber(2), "x", false},  // a group holds no value
  };
  for (const auto& c : cases) {
    FieldSetting setting;
    std::string error;
    EXPECT_EQ(ParseFieldValue(*c.field, "--x", c.text, &setting, &error), c.ok)
        << c.field->name << " " << c.text;
    if (!c.ok) {
      EXPECT_EQ(error.compare(0, 4, "--x "), 0) << error;
    }
  }
}

TEST(FieldValues, DecodedMessagesListEveryFieldWithPresence) {
  std::vector<ShownField> fields;
  ASSERT_TRUE(DecodeFields(kPrefs, std::string("\x10\x01", 2), &fields));
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_STREQ(fields[1].field->name, "send_stats");
  EXPECT_TRUE(fields[1].present);
  EXPECT_EQ(FieldValueText(fields[1]), "true");
  EXPECT_STREQ(fields[2].field->name, "express_updates_enabled");
  EXPECT_FALSE(fields[2].present);
  EXPECT_EQ(FieldValueText(fields[2]), "true");  // the default from the type record

  const std::string proxy = BuildMessage(
      kProxy,
      Parse({"set-proxy", "--auto-detect=1", "--http-host=pr\xC3\xB8xy \"q\"", "--ssl-port=8443"})
          .fields);
  ASSERT_TRUE(DecodeFields(kProxy, proxy, &fields));
  ASSERT_EQ(fields.size(), 6u);
  EXPECT_EQ(FieldValueJson(fields[1]), "\"pr\xC3\xB8xy \\\"q\\\"\"");
  EXPECT_FALSE(fields[2].present);
  EXPECT_EQ(FieldValueJson(fields[2]), "80");
  EXPECT_TRUE(fields[4].present);
  EXPECT_EQ(FieldValueJson(fields[4]), "8443");

  // A known number in a foreign wire type and a repeated field: the class's view wins.
  ASSERT_TRUE(DecodeFields(kPrefs, std::string("\x12\x00\x10\x00\x10\x01", 6), &fields));
  EXPECT_FALSE(fields[0].present);
  EXPECT_TRUE(fields[1].present);
  EXPECT_EQ(FieldValueText(fields[1]), "true");

  // Doubles print in their shortest exact form.
  RPC_ServiceDescriptor service;
  service.set_failure_detection_delay(0.1);
  std::string bytes;
  AppendEncoded(service, &bytes);
  ASSERT_TRUE(DecodeFields(RPC_ServiceDescriptor::default_instance(), bytes, &fields));
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(FieldValueText(fields[2]), "0.1");
  EXPECT_TRUE(fields[0].present);  // required: always written
}

TEST(FieldValues, BytesThatDoNotDecodeAreReported) {
  std::vector<ShownField> fields;
  EXPECT_FALSE(DecodeFields(kProxy, std::string("\x12\x00", 2), &fields));  // no auto_detect
  EXPECT_FALSE(DecodeFields(kPrefs, std::string("\x10", 1), &fields));      // cut short
}

}  // namespace
}  // namespace ci
