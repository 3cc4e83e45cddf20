// Decoding and encoding of the preference and proxy messages: end-of-message
// rules, presence, defaults, unknown fields and the entry points.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/proto/byte_chain.h"
#include "net/proto/protocol_message.h"
#include "net/proto/wire_codec.h"
#include "protocol/preferences.h"
#include "protocol/proxy_settings.h"
#include "tests/protocol/wire_checks.h"

namespace {

using wire_checks::Bytes;
using wire_checks::Encode;
using wire_checks::Parse;

TEST(MessagesTest, FreshMessagesEncodeOnlyRequiredFields) {
  MachinePreferencesProto machine;
  EXPECT_EQ(Encode(machine), Bytes{});
  machine.set_send_stats(true);
  EXPECT_EQ(Encode(machine), (Bytes{0x10, 0x01}));

  UserPreferencesProto user;
  EXPECT_EQ(Encode(user), Bytes{});

  // auto_detect is required, so it is written with its default value.
  ProxySettingsProto proxy;
  EXPECT_FALSE(proxy.has_auto_detect());
  EXPECT_EQ(Encode(proxy), (Bytes{0x08, 0x00}));
}

TEST(MessagesTest, ConstructionAndClearGiveTheSchemaDefaults) {
  MachinePreferencesProto machine;
  UserPreferencesProto user;
  ProxySettingsProto proxy;
  auto check = [&] {
    EXPECT_FALSE(machine.notify_software_updates());
    EXPECT_FALSE(machine.send_stats());
    EXPECT_TRUE(machine.express_updates_enabled());
    EXPECT_TRUE(machine.third_party_updates_enabled());
    EXPECT_FALSE(machine.user_changed_third_party_updates_enabled());
    EXPECT_TRUE(user.notify_new_software());
    EXPECT_FALSE(user.display_systray());
    EXPECT_EQ(user.window_width(), 740);
    EXPECT_EQ(user.window_height(), 560);
    EXPECT_FALSE(proxy.auto_detect());
    EXPECT_EQ(proxy.http_host(), "");
    EXPECT_EQ(proxy.http_port(), 80);
    EXPECT_EQ(proxy.ssl_host(), "");
    EXPECT_EQ(proxy.ssl_port(), 443);
    EXPECT_TRUE(proxy.proxy_for_all());
    EXPECT_EQ(machine.EncodedSize() + user.EncodedSize(), 0);
    EXPECT_EQ(proxy.EncodedSize(), 2);
    EXPECT_EQ(machine.unknown_fields(), nullptr);
  };
  check();
  machine.set_notify_software_updates(true);
  machine.set_express_updates_enabled(false);
  user.set_window_width(1);
  user.set_display_systray(true);
  proxy.set_auto_detect(true);
  proxy.set_http_host("h");
  proxy.set_ssl_port(1);
  proxy.set_proxy_for_all(false);
  ASSERT_TRUE(Parse(&machine, {0x38, 0x01}));  // unknown field 7
  machine.Clear();
  user.Clear();
  proxy.Clear();
  check();
  EXPECT_FALSE(proxy.has_http_host());
}

TEST(MessagesTest, EndOfMessageRules) {
  MachinePreferencesProto machine;
  EXPECT_TRUE(Parse(&machine, {}));
  EXPECT_TRUE(Parse(&machine, {0x00}));  // a final zero byte ends the message
  EXPECT_TRUE(Parse(&machine, {0x10, 0x01, 0x00}));
  EXPECT_FALSE(Parse(&machine, {0x00, 0x08, 0x01}));                    // anything after it fails
  EXPECT_FALSE(Parse(&machine, {0x80, 0x80, 0x80, 0x80, 0x80, 0x01}));  // malformed tag
  EXPECT_FALSE(Parse(&machine, {0x08}));                                // value missing

  ProxySettingsProto proxy;
  EXPECT_FALSE(Parse(&proxy, {}));
  EXPECT_STREQ(proxy.FindMissingField(), "missing field: auto_detect");
  EXPECT_FALSE(Parse(&proxy, {0x12, 0x00}));
  ASSERT_TRUE(Parse(&proxy, {0x08, 0x01, 0x12, 0x00}));
  EXPECT_TRUE(proxy.auto_detect());
  EXPECT_TRUE(proxy.has_http_host());
  EXPECT_EQ(proxy.http_host(), "");
  EXPECT_EQ(proxy.FindMissingField(), nullptr);

  // A required field present before the merge satisfies a later merge.
  EXPECT_TRUE(Parse(&proxy, {0x1D, 0x01, 0x00, 0x00, 0x00}));
  EXPECT_EQ(proxy.http_port(), 1);
}

TEST(MessagesTest, DecodingSetsPresenceAndKeepsTheLastValue) {
  MachinePreferencesProto machine;
  ASSERT_TRUE(Parse(&machine, {0x10, 0x01}));
  EXPECT_TRUE(machine.send_stats());
  EXPECT_TRUE(machine.has_send_stats());
  EXPECT_TRUE(machine.express_updates_enabled());
  EXPECT_FALSE(machine.has_express_updates_enabled());

  ASSERT_TRUE(Parse(&machine, {0x18, 0x00, 0x08, 0x01, 0x18, 0x01, 0x18, 0x00}));
  EXPECT_FALSE(machine.express_updates_enabled());
  EXPECT_TRUE(machine.notify_software_updates());

  // Any nonzero varint is true and is written back as 0x01.
  MachinePreferencesProto wide;
  ASSERT_TRUE(Parse(&wide, {0x08, 0x02}));
  EXPECT_EQ(Encode(wide), (Bytes{0x08, 0x01}));
  ASSERT_TRUE(Parse(&wide, {0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}));
  EXPECT_TRUE(wide.send_stats());
  EXPECT_FALSE(Parse(&wide, {0x18, 0x80, 0x80, 0x80, 0x80, 0x10}));  // 2^32
}

TEST(MessagesTest, ForeignWireTypesAreKeptAsUnknownFields) {
  // Field 1 sent length-delimited, before a known field.
  MachinePreferencesProto machine;
  ASSERT_TRUE(Parse(&machine, {0x0A, 0x01, 0x07, 0x10, 0x01}));
  EXPECT_FALSE(machine.has_notify_software_updates());
  EXPECT_TRUE(machine.send_stats());
  EXPECT_EQ(Encode(machine), (Bytes{0x10, 0x01, 0x0A, 0x01, 0x07}));

  // window_width as a varint does not reach the field.
  UserPreferencesProto user;
  ASSERT_TRUE(Parse(&user, {0x18, 0x05, 0x10, 0x01}));
  EXPECT_EQ(user.window_width(), 740);
  EXPECT_FALSE(user.has_window_width());
  EXPECT_EQ(Encode(user), (Bytes{0x10, 0x01, 0x18, 0x05}));
}

TEST(MessagesTest, UnknownFieldsOfEveryWireTypeRoundTripInArrivalOrder) {
  const Bytes unknown = {
      0xF8, 0x01, 0x96, 0x01,                       // field 31 varint
      0x39, 1,    2,    3,    4,    5,    6, 7, 8,  // field 7 double
      0x42, 0x02, 'o',  'k',                        // field 8 string
      0x4B, 0x50, 0x01, 0x5B, 0x5C, 0x4C,           // field 9 group with a nested group
      0x55, 9,    9,    9,    9,                    // field 10 fixed32
  };
  ProxySettingsProto proxy;
  Bytes input = {0x08, 0x01};
  input.insert(input.end(), unknown.begin(), unknown.end());
  ASSERT_TRUE(Parse(&proxy, input));
  EXPECT_EQ(Encode(proxy), input);
  ASSERT_NE(proxy.unknown_fields(), nullptr);
  EXPECT_EQ(proxy.unknown_fields()->size(), static_cast<int32_t>(unknown.size()));

  // Unknown fields come after the known ones, whatever their arrival order.
  ProxySettingsProto mixed;
  ASSERT_TRUE(Parse(&mixed, {0x42, 0x00, 0x08, 0x01, 0x38, 0x00, 0x30, 0x00}));
  EXPECT_EQ(Encode(mixed), (Bytes{0x08, 0x01, 0x30, 0x00, 0x42, 0x00, 0x38, 0x00}));
}

TEST(MessagesTest, UnskippableUnknownFieldsFailTheParse) {
  const std::vector<Bytes> bad = {
      {0x38},                                // varint missing
      {0x3B, 0x44},                          // group closed with another number
      {0x3B, 0x08, 0x01},                    // group never closed
      {0x3C},                                // end group with none open
      {0x3E, 0x00},                          // wire type 6
      {0x3F, 0x00},                          // wire type 7
      {0x3A, 0x05, 0x01},                    // length beyond the input
      {0x3A, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F},  // negative length
      {0x3D, 0x01, 0x02},                    // fixed32 truncated
  };
  for (const Bytes& b : bad) {
    MachinePreferencesProto machine;
    EXPECT_FALSE(Parse(&machine, b)) << b.size();
  }
}

TEST(MessagesTest, MalformedKnownFieldsFailAndEarlierFieldsStay) {
  ProxySettingsProto proxy;
  EXPECT_FALSE(Parse(&proxy, {0x08, 0x01, 0x12, 0x05, 'a', 'b'}));
  EXPECT_TRUE(proxy.auto_detect());  // decoded before the failure
  EXPECT_FALSE(proxy.has_http_host());
  EXPECT_FALSE(Parse(&proxy, {0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}));
  EXPECT_FALSE(Parse(&proxy, {0x08, 0x01, 0x1D, 0x90, 0x1F}));
  EXPECT_FALSE(Parse(&proxy, {0x08, 0x01, 0x1D, 0x90, 0x1F, 0x00, 0x00, 0x00, 0x08}));
}

TEST(MessagesTest, ProxySettingsEncodeStringsAndPortsAsOnTheWire) {
  ProxySettingsProto proxy;
  proxy.set_auto_detect(true);
  proxy.set_http_host(std::string(200, 'x'));
  proxy.set_http_port(8080);
  Bytes expected = {0x08, 0x01, 0x12, 0xC8, 0x01};
  expected.insert(expected.end(), 200, 'x');
  expected.insert(expected.end(), {0x1D, 0x90, 0x1F, 0x00, 0x00});
  EXPECT_EQ(Encode(proxy), expected);

  ProxySettingsProto back;
  ASSERT_TRUE(Parse(&back, expected));
  EXPECT_EQ(back.http_host(), std::string(200, 'x'));
  EXPECT_EQ(back.http_port(), 8080);
  EXPECT_FALSE(back.has_ssl_port());

  // Strings are bytes: embedded zeros and invalid UTF-8 survive.
  const std::string raw("a\0\xFF", 3);
  proxy.mutable_ssl_host()->assign(raw);
  ASSERT_TRUE(Parse(&back, Encode(proxy)));
  EXPECT_EQ(back.ssl_host(), raw);
  // Negative and large ports are plain 32-bit values.
  proxy.set_ssl_port(-1);
  ASSERT_TRUE(Parse(&back, Encode(proxy)));
  EXPECT_EQ(back.ssl_port(), -1);
}

TEST(MessagesTest, ClearKeepsStringObjectsButDropsTheirContent) {
  ProxySettingsProto proxy;
  proxy.set_http_host(std::string(100, 'h'));
  const std::string* object = proxy.mutable_http_host();
  proxy.Clear();
  EXPECT_FALSE(proxy.has_http_host());
  EXPECT_EQ(proxy.http_host(), "");
  EXPECT_EQ(proxy.mutable_http_host(), object);
  EXPECT_EQ(Encode(proxy), (Bytes{0x08, 0x00, 0x12, 0x00}));
}

TEST(MessagesTest, MemoryFootprintGrowsWithContent) {
  ProxySettingsProto proxy;
  const int32_t empty = proxy.MemoryFootprint();
  EXPECT_GE(empty, static_cast<int32_t>(sizeof(ProxySettingsProto)));
  proxy.set_http_host(std::string(5000, 'h'));
  const int32_t with_host = proxy.MemoryFootprint();
  EXPECT_GE(with_host, empty + 5000);
  Bytes unknown = {0x08, 0x01, 0x3A, 0xD0, 0x0F};  // field 7, 2000 bytes
  unknown.insert(unknown.end(), 2000, 'u');
  ASSERT_TRUE(Parse(&proxy, unknown));
  EXPECT_GE(proxy.MemoryFootprint(), with_host + 2000);
}

TEST(MessagesTest, NewInstanceGivesAFreshMessageOfTheSameClass) {
  ProxySettingsProto proxy;
  proxy.set_http_port(1);
  ProtocolMessage* fresh = proxy.NewInstance();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(&fresh->GetType(), &proxy.GetType());
  EXPECT_EQ(fresh->EncodedSize(), 2);
  delete fresh;
}

// A store like the preference stores: owns its message, records what it read.
class RecordingStore : public ProtoWrapper {
 public:
  ~RecordingStore() { delete message_; }
  ProtocolMessage* GetMessage() override {
    ++get_calls;
    if (!message_) message_ = new MachinePreferencesProto;
    return message_;
  }
  void ReadFromMessage(ProtocolMessage* message) override {
    ++read_calls;
    send_stats = static_cast<MachinePreferencesProto*>(message)->send_stats();
  }
  void WriteToMessage(ProtocolMessage*) override {}
  MachinePreferencesProto* message() { return message_; }

  int get_calls = 0;
  int read_calls = 0;
  bool send_stats = false;

 private:
  MachinePreferencesProto* message_ = nullptr;
};

TEST(DecodeBlobTest, NullOrEmptyInputNeverTouchesTheStore) {
  RecordingStore store;
  const uint8_t byte = 0x00;
  EXPECT_FALSE(DecodeBlob(nullptr, 2, &store));
  EXPECT_FALSE(DecodeBlob(&byte, 0, &store));
  // A byte length beyond the decoder's signed 32-bit range is refused before
  // anything is read, rather than wrapping to a negative length.
  EXPECT_FALSE(DecodeBlob(&byte, 0x80000000u, &store));
  EXPECT_EQ(store.get_calls, 0);

  MachinePreferencesProto machine;
  EXPECT_FALSE(ParseFromBytes(&machine, &byte, -1));
  EXPECT_FALSE(ParseFromBytes(&machine, nullptr, 1));
  EXPECT_TRUE(ParseFromBytes(&machine, nullptr, 0));
}

TEST(DecodeBlobTest, ClearsFirstAndHandsOverOnlyOnSuccess) {
  RecordingStore store;
  store.GetMessage()->Clear();
  store.message()->set_notify_software_updates(true);
  const Bytes good = {0x10, 0x01};
  ASSERT_TRUE(DecodeBlob(good.data(), static_cast<uint32_t>(good.size()), &store));
  EXPECT_FALSE(store.message()->has_notify_software_updates());  // cleared before decoding
  EXPECT_EQ(store.read_calls, 1);
  EXPECT_TRUE(store.send_stats);

  const Bytes bad = {0x20, 0x00, 0x00, 0x08};
  EXPECT_FALSE(DecodeBlob(bad.data(), static_cast<uint32_t>(bad.size()), &store));
  EXPECT_EQ(store.read_calls, 1);
  EXPECT_FALSE(store.message()->has_send_stats());
  EXPECT_TRUE(store.message()->has_third_party_updates_enabled());  // partly filled
}

TEST(AppendEncodedTest, KeepsExistingBytesInFront) {
  MachinePreferencesProto machine;
  machine.set_user_changed_third_party_updates_enabled(true);
  std::string bytes = "prefix";
  AppendEncoded(machine, &bytes);
  EXPECT_EQ(bytes, std::string("prefix\x28\x01", 8));
}

}  // namespace
